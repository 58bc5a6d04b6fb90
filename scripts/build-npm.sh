#!/usr/bin/env bash
# Builds the npm package torvik32c (not published) into
# build/npm/torvik32c-VERSION.tgz: the WebAssembly module (preset wasm),
# the converter's JavaScript API (web/page/torvik.js), the entry points and
# TypeScript declarations of npm/, its README and the licence.  Installs
# what it needs first (scripts/setup-npm.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-npm.sh
export NODE_PATH=/usr/share/nodejs   # Debian's emcc finds its npm modules there
cmake --preset wasm >/dev/null
cmake --build --preset wasm -j "${JOBS:-2}"

version="$(sed -n 's/^project(torvik32c VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
out=build/npm
package="$out/torvik32c"
rm -rf "$package"
mkdir -p "$package"
sed "s/@VERSION@/$version/" npm/package.json > "$package/package.json"
cp npm/index.js npm/index.d.ts npm/three.js npm/three.d.ts npm/texture_fetch.js npm/texture_names.js npm/model_files.js \
  npm/README.md LICENSE "$package/"
cp web/page/torvik.js build/wasm/web/torvik32c.mjs build/wasm/web/torvik32c.wasm "$package/"
rm -f "$out"/torvik32c-*.tgz
npm pack "./$package" --pack-destination "$out" --loglevel=error >/dev/null
echo "build-npm: the package is $out/torvik32c-$version.tgz"
