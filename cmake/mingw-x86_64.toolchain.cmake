# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix).
#   cmake --preset mingw64    (or -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.toolchain.cmake)
#
# The same as the 32-bit toolchain (mingw-i686.toolchain.cmake) but for x64,
# which has one calling convention: the DLL's exports need no decoration
# rules there.  SSE2 is part of x86-64, so no option asks for it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TORVIK_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TORVIK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TORVIK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TORVIK_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TORVIK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
