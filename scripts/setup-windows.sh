#!/usr/bin/env bash
# Installs what the Windows build and its tests need from Debian's packages:
# MinGW-w64 for 32-bit Windows and Wine with its 32-bit part (which needs the
# i386 architecture).  Safe to run again: it installs only what is missing.
# Needs root (or sudo) when something is missing.
set -euo pipefail

# The "posix" flavour of the i686 compilers is the one the toolchain file
# uses.  Wine's recommended packages (graphics drivers, codecs, GStreamer
# plugins: hundreds of MiB) are not needed for console programs.
exec "$(dirname "$0")/install-packages.sh" --no-recommends --i386 setup-windows \
  g++-mingw-w64-i686-posix wine wine32:i386
