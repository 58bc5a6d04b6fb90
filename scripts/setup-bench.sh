#!/usr/bin/env bash
# Installs what the optional peer comparison needs from Debian's packages:
# lib3ds 1.3 and Assimp (their development files) and hyperfine.  The
# benchmarks of our own converter need none of them.  Safe to run again: it
# installs only what is missing.  Needs root (or sudo) when something is
# missing.
set -euo pipefail
exec "$(dirname "$0")/install-packages.sh" setup-bench lib3ds-dev libassimp-dev hyperfine
