# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (posix threads, which
# std::thread and Qt need). QORV_WINDOWS_PREFIX names the folder that holds the
# cross-built Qt, hidapi and GoogleTest.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(QORV_WINDOWS_PREFIX "$ENV{QORV_WINDOWS_PREFIX}" CACHE PATH "Cross-built libraries for Windows")
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${QORV_WINDOWS_PREFIX})
list(APPEND CMAKE_PREFIX_PATH ${QORV_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# Built programs (test discovery, the tests themselves) run under wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
