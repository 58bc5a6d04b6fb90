# What the MinGW-w64 toolchain files share: the compilers of the
# TORVIK_MINGW_PREFIX they set (x86_64-w64-mingw32, i686-w64-mingw32), and
# libraries, headers and packages from its folder only.
#
# The "posix" flavour of the compilers is used because the 3ds2bmf command
# runs its conversions on std::thread, which GCC 12's "win32" flavour lacks.
# Everything is linked statically (see src/CMakeLists.txt), so the DLL and the
# commands still depend on nothing but system DLLs.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TORVIK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TORVIK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TORVIK_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TORVIK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
