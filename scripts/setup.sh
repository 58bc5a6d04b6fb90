#!/usr/bin/env bash
# Installs what the build and the tests need from Debian's packages, and the
# glTF validator the tests run (scripts/setup-gltf-validator.sh).  Safe to
# run again: it installs only what is missing.  Needs root (or sudo) when
# something is missing.
set -euo pipefail
"$(dirname "$0")/install-packages.sh" setup cmake g++ make pkg-config libgtest-dev libgmock-dev \
  libpng-dev libjpeg-dev libcli11-dev nlohmann-json3-dev libstb-dev libmeshoptimizer-dev
"$(dirname "$0")/setup-gltf-validator.sh"
