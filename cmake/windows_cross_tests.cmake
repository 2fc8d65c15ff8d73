# Tests of a Windows cross build, run under Wine in a private prefix inside the build tree.
#
# Every Wine process costs seconds to start, so each GoogleTest executable is one CTest test
# (gtest_discover_tests would also run the programs at build time). The fixture "wine" starts
# the prefix's wineserver persistently and boots the prefix before the first test, and stops
# that server and its processes after the last one: without the persistent server Wine ends
# services when its last program exits, and a server started by a test would inherit CTest's
# output pipe and keep CTest waiting.

# GoogleTest is not packaged for mingw: build it from Debian's sources (package googletest).
set(PELLQUIN_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${PELLQUIN_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found at ${PELLQUIN_GOOGLETEST_SOURCE}; "
                        "install Debian's googletest package")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${PELLQUIN_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# Debian's wine64 package puts the loader and the server outside PATH.
find_program(PELLQUIN_WINE NAMES wine64 HINTS /usr/lib/wine /usr/lib64/wine
             NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_program(PELLQUIN_WINESERVER NAMES wineserver wineserver64 HINTS /usr/lib/wine
             /usr/lib64/wine NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(PELLQUIN_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
foreach(script wine-run wine-prefix)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/${script}.sh.in ${CMAKE_BINARY_DIR}/${script}
                   @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                   GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()
# Commands of tests that name a target of this build run through this.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

add_test(NAME wine.prefix.start COMMAND ${CMAKE_BINARY_DIR}/wine-prefix start)
add_test(NAME wine.prefix.stop COMMAND ${CMAKE_BINARY_DIR}/wine-prefix stop)
set_tests_properties(wine.prefix.start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
set_tests_properties(wine.prefix.stop PROPERTIES FIXTURES_CLEANUP wine)

# Registers a test that needs the Wine prefix; extra arguments are test properties.
function(pellquin_wine_test name)
    add_test(NAME ${name} ${ARGN})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine)
endfunction()

# Stands in for GoogleTest's gtest_discover_tests in this build: the whole executable is one
# test under Wine. Takes the target and, as the original does, PROPERTIES for the test.
function(gtest_discover_tests target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "PROPERTIES")
    add_test(NAME ${target} COMMAND ${target} --gtest_brief=1)
    set_tests_properties(${target} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)
    if(arg_PROPERTIES)
        set_tests_properties(${target} PROPERTIES ${arg_PROPERTIES})
    endif()
endfunction()
