#!/usr/bin/env bash
# Installs what the Windows build and its tests need from Debian's packages:
# MinGW-w64 for 32-bit Windows and Wine with its 32-bit part (which needs the
# i386 architecture).  Safe to run again: it installs only what is missing.
# Needs root (or sudo) when something is missing.
set -euo pipefail

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

# The "posix" flavour of the i686 compilers is the one the toolchain file
# uses.  Wine's recommended packages (graphics drivers, codecs, GStreamer
# plugins: hundreds of MiB) are not needed for console programs.
packages=(g++-mingw-w64-i686-posix wine wine32:i386)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "setup-windows: installing ${missing[*]}" >&2
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
"${sudo_cmd[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
