# Cross build for 32-bit x86 Linux with Debian's g++-i686-linux-gnu, linked
# statically: the tests run its tools under user-mode emulation
# (qemu-i386-static), which needs no 32-bit support from the kernel, to check
# that 32-bit x86 code computes the bytes every other build writes.
#   cmake --preset i686-linux
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)

# Libraries, headers and packages of the target only: the host's libpng,
# libjpeg and meshoptimizer are 64-bit.
set(CMAKE_FIND_ROOT_PATH /usr/i686-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386-static)
