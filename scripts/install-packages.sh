#!/usr/bin/env bash
# Installs the named Debian packages that are not installed yet; nothing when
# all are.  Needs root (or sudo) when something is missing.
#   scripts/install-packages.sh [--no-recommends] [--i386] LABEL PACKAGE...
# --i386 adds the i386 architecture first (for packages such as wine32:i386).
set -euo pipefail

apt_options=()
i386=false
while [ $# -gt 0 ]; do
  case "$1" in
    --no-recommends) apt_options+=(--no-install-recommends) ;;
    --i386) i386=true ;;
    *) break ;;
  esac
  shift
done
label="$1"
shift

missing=()
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "$label: installing ${missing[*]}" >&2
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
if $i386 && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
# Another apt run holding its lock is waited for (up to 10 minutes).
"${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 update -q
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -q "${apt_options[@]}" "${missing[@]}"
