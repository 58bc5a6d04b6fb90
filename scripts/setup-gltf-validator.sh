#!/usr/bin/env bash
# Installs the Khronos glTF validator, which the tests run on the glTF files
# that bmftool writes: Node.js and npm from Debian's packages when they are
# missing, then the npm package gltf-validator into .cache/gltf-validator
# (ignored by git).  Safe to run again: it installs only what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
version=2.0.0-dev.3.10
folder=.cache/gltf-validator

command -v node >/dev/null || scripts/install-packages.sh gltf-validator nodejs
command -v npm >/dev/null || scripts/install-packages.sh gltf-validator npm
installed="$(node -p "require('./$folder/node_modules/gltf-validator/package.json').version" \
               2>/dev/null || true)"
if [ "$installed" != "$version" ]; then
  echo "gltf-validator: installing gltf-validator@$version into $folder" >&2
  mkdir -p "$folder"
  npm install --prefix "$folder" --no-audit --no-fund --no-save --loglevel=error \
    "gltf-validator@$version"
fi
