# Asio, header-only and standalone, as the target pellquin_asio. A cross build cannot put the
# host's /usr/include on its search path (the host's C library headers would shadow the
# target's), so it sees Asio through a directory of its own that holds nothing else.
find_path(PELLQUIN_ASIO_HOST_DIR asio.hpp NO_CMAKE_FIND_ROOT_PATH REQUIRED)
if(CMAKE_CROSSCOMPILING)
    set(pellquin_asio_dir ${CMAKE_BINARY_DIR}/asio-include)
    file(MAKE_DIRECTORY ${pellquin_asio_dir})
    file(CREATE_LINK ${PELLQUIN_ASIO_HOST_DIR}/asio.hpp ${pellquin_asio_dir}/asio.hpp SYMBOLIC)
    file(CREATE_LINK ${PELLQUIN_ASIO_HOST_DIR}/asio ${pellquin_asio_dir}/asio SYMBOLIC)
else()
    set(pellquin_asio_dir ${PELLQUIN_ASIO_HOST_DIR})
endif()
# The query service's build looks for this.
set(ASIO_INCLUDE_DIR ${pellquin_asio_dir} CACHE PATH "Asio headers" FORCE)

add_library(pellquin_asio INTERFACE)
target_include_directories(pellquin_asio SYSTEM INTERFACE ${pellquin_asio_dir})
target_compile_definitions(pellquin_asio INTERFACE ASIO_STANDALONE ASIO_NO_DEPRECATED)
target_link_libraries(pellquin_asio INTERFACE Threads::Threads)
if(WIN32)
    target_link_libraries(pellquin_asio INTERFACE ws2_32 mswsock)
endif()
