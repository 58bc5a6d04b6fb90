#!/usr/bin/env bash
# Builds everything and runs the whole test suite.
#   scripts/test.sh            optimised build (preset "release")
#   scripts/test.sh ci         the same with warnings as errors
#   scripts/test.sh asan       debug build under AddressSanitizer and UBSan
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-release}"
scripts/setup.sh
scripts/setup-gltf-validator.sh
scripts/setup-python.sh
cmake --preset "$preset"
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset" -j "$(nproc)"
