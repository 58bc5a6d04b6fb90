#!/usr/bin/env bash
# Installs what the optional peer comparison needs from Debian's packages:
# lib3ds 1.3 and Assimp (their development files) and hyperfine.  The
# benchmarks of our own converter need none of them.  Safe to run again: it
# installs only what is missing.  Needs root (or sudo) when something is
# missing.
set -euo pipefail

packages=(lib3ds-dev libassimp-dev hyperfine)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "setup-bench: installing ${missing[*]}" >&2
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q "${missing[@]}"
