#!/usr/bin/env bash
# Installs what the web page's build and its browser tests need: Emscripten
# and Chromium from Debian's packages, Node.js and npm when missing, and the
# npm packages of web/package-lock.json (three.js, puppeteer-core, axe-core) into
# web/node_modules (ignored by git).  Safe to run again: it installs only
# what is missing.  Needs root (or sudo) when something is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

# Emscripten needs Node.js; one that is there already, from Debian or
# elsewhere, does.
command -v node >/dev/null || scripts/install-packages.sh setup-web nodejs
command -v npm >/dev/null || scripts/install-packages.sh setup-web npm
scripts/install-packages.sh setup-web emscripten chromium
# npm ci when web/node_modules was not installed from this very lock file.
stamp=web/node_modules/.installed-from-lock
if ! cmp -s web/package-lock.json "$stamp" 2>/dev/null; then
  echo "setup-web: installing the npm packages of web/package-lock.json into web/node_modules" >&2
  npm ci --prefix web --no-audit --no-fund --loglevel=error
  cp web/package-lock.json "$stamp"
fi
