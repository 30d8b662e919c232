# Cross-building the Windows module, development host and tests with Debian's
# mingw-w64 (the POSIX-threads variant, for std::thread and std::mutex).
# Used by `make windows`: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KEM_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KEM_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KEM_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KEM_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KEM_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and the development host run under Wine here.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
