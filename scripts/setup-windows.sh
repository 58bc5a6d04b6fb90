#!/usr/bin/env bash
# Installs what the Windows builds and their tests need from Debian's
# packages: MinGW-w64 for 32-bit and 64-bit Windows, the headers of stb and
# nlohmann-json that the Windows tools are built with, and Wine with its
# 64-bit and 32-bit parts (the latter needs the i386 architecture); and the
# i686 Linux cross compiler with qemu's user-mode emulator, which run the
# 32-bit x86 code where the kernel runs none.  Safe to run again: it installs only what is missing.  Needs root (or sudo) when
# something is missing.
set -euo pipefail

# The "posix" flavour of the compilers is the one the toolchain files use.
# Wine's recommended packages (graphics drivers, codecs, GStreamer plugins:
# hundreds of MiB) are not needed for console programs.
exec "$(dirname "$0")/install-packages.sh" --no-recommends --i386 setup-windows \
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libstb-dev nlohmann-json3-dev \
  wine wine64 wine32:i386 g++-i686-linux-gnu qemu-user-static
