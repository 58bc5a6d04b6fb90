#!/usr/bin/env bash
# Installs what the build and the tests need from Debian's packages.  Safe to
# run again: it installs only what is missing.  Needs root (or sudo) when
# something is missing.
set -euo pipefail

packages=(cmake g++ make libgtest-dev libgmock-dev libpng-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "setup: installing ${missing[*]}" >&2
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q "${missing[@]}"
