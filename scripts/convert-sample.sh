#!/usr/bin/env bash
# Builds the converter and converts the shipped sample into build/sample.bmf.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target 3ds2bmf
build/release/3ds2bmf -v samples/sample.3ds -o build/sample.bmf
