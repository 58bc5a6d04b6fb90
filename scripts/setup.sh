#!/usr/bin/env bash
# Installs what the build needs from Debian's packages.  The tests also need
# the glTF validator, which scripts/test.sh installs on top of this
# (scripts/setup-gltf-validator.sh, from npm).  Safe to run again: it
# installs only what is missing.  Needs root (or sudo) when something is
# missing.
set -euo pipefail
"$(dirname "$0")/install-packages.sh" setup cmake g++ make pkg-config libgtest-dev libgmock-dev \
  libpng-dev libcli11-dev nlohmann-json3-dev libstb-dev libmeshoptimizer-dev \
  libtinygltf-dev
