#!/usr/bin/env bash
# Runs the leak soak (10,000 calls of do3dsparse on good, damaged and missing
# files, with failing destinations) under valgrind's memcheck, without
# sanitizers, and fails on any definite or indirect leak or memory error.
#   scripts/valgrind-soak.sh [CALLS]
# The build lives in build/valgrind.
set -euo pipefail
cd "$(dirname "$0")/.."
calls="${1:-10000}"
scripts/setup.sh
scripts/setup-fuzz.sh
cmake --preset release -B build/valgrind -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/valgrind -j 2 --target allocation_tests >/dev/null
TORVIK_SOAK_CALLS="$calls" valgrind --quiet --leak-check=full --show-leak-kinds=definite,indirect \
  --errors-for-leak-kinds=definite,indirect --error-exitcode=1 \
  build/valgrind/tests/robustness/allocation_tests --gtest_filter='LeakSoak.*'
echo "valgrind-soak: $calls calls, no leaks and no memory errors"
