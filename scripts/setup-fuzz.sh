#!/usr/bin/env bash
# Installs what the fuzz targets, the ThreadSanitizer build and the valgrind
# leak check need from Debian's packages: clang with libFuzzer and the
# sanitizer runtimes, and valgrind.  Safe to run again: it installs only what
# is missing.  Needs root (or sudo) when something is missing.
set -euo pipefail

exec "$(dirname "$0")/install-packages.sh" setup-fuzz clang-14 libclang-rt-14-dev valgrind
