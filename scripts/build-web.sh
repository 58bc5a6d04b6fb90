#!/usr/bin/env bash
# Builds the web page into build/web/, a folder of static files that any
# static host serves with the page's security headers (scripts/serve-web;
# README, "In a web page"): the page, the
# converter built to WebAssembly (preset wasm), and the parts of three.js it
# uses, from npm.  Installs what it needs first (scripts/setup-web.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-web.sh
# Debian's emcc runs under the Node.js that is installed, and finds its own
# npm modules in Debian's folder.
export NODE_PATH=/usr/share/nodejs
cmake --preset wasm >/dev/null
cmake --build --preset wasm -j "${JOBS:-2}"

out=build/web
rm -rf "$out.new"
mkdir -p "$out.new"
cp web/page/*.html web/page/*.css web/page/*.js web/page/*.svg "$out.new/"
cp build/wasm/web/torvik32c.mjs build/wasm/web/torvik32c.wasm "$out.new/"
# three.js: the core and the add-ons the page imports, which import 'three'
# by its bare name; the page has no import map (its security policy allows
# no inline script), so they import the core by its path instead.
three=web/node_modules/three
vendor="$out.new/vendor/three"
mkdir -p "$vendor/build" "$vendor/examples/jsm/loaders" "$vendor/examples/jsm/controls" \
  "$vendor/examples/jsm/utils"
cp "$three/LICENSE" "$vendor/"
cp "$three/build/three.module.js" "$three/build/three.core.js" "$vendor/build/"
for addon in loaders/GLTFLoader.js loaders/TGALoader.js controls/OrbitControls.js \
             utils/BufferGeometryUtils.js utils/SkeletonUtils.js; do
  sed "s#from 'three'#from '../../../build/three.module.js'#" "$three/examples/jsm/$addon" \
    > "$vendor/examples/jsm/$addon"
done
rm -rf "$out"
mv "$out.new" "$out"
echo "build-web: the page is in $out (serve it with: scripts/serve-web)"
