# Cross build for 32-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-i686).
#   cmake --preset mingw    (or -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.toolchain.cmake)
#
# The "posix" flavour of the compilers is used because the 3ds2bmf command
# runs its conversions on std::thread, which GCC 12's "win32" flavour lacks.
# Everything is linked statically (see src/CMakeLists.txt), so the DLL and the
# command still depend on nothing but system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(TORVIK_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TORVIK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TORVIK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TORVIK_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TORVIK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

