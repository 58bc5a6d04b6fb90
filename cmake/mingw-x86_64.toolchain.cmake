# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix).
#   cmake --preset mingw64    (or -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.toolchain.cmake)
#
# x64 has one calling convention, so the DLL's exports need no decoration
# rules there (src/torvik32c/torvik32c-x64.def); SSE2 is part of x86-64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TORVIK_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
