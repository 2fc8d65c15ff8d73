# Shared by the mingw-w64 toolchain files, which set PELLQUIN_MINGW_TRIPLET first.
# The -posix compilers: the win32-thread variant of mingw-w64's libstdc++ lacks std::mutex
# and std::thread, which the query service needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${PELLQUIN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PELLQUIN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PELLQUIN_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PELLQUIN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime: the programs run on a bare Windows (and under Wine) without the mingw
# DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
