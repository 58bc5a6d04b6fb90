#!/usr/bin/env bash
# Installs what the npm package's build and tests need: what the web page
# needs (scripts/setup-web.sh: Emscripten, Chromium, Node.js and npm,
# puppeteer-core), and the npm packages of npm/tools/package-lock.json
# (TypeScript, three.js and its types) into npm/tools/node_modules (ignored
# by git).  Safe to run again: it installs only what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-web.sh
stamp=npm/tools/node_modules/.installed-from-lock
if ! cmp -s npm/tools/package-lock.json "$stamp" 2>/dev/null; then
  echo "setup-npm: installing the npm packages of npm/tools/package-lock.json into npm/tools/node_modules" >&2
  npm ci --prefix npm/tools --no-audit --no-fund --loglevel=error
  cp npm/tools/package-lock.json "$stamp"
fi
