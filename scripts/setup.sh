#!/usr/bin/env bash
# Installs what the build and the tests need from Debian's packages.  Safe to
# run again: it installs only what is missing.  Needs root (or sudo) when
# something is missing.
set -euo pipefail
exec "$(dirname "$0")/install-packages.sh" setup cmake g++ make libgtest-dev libgmock-dev libpng-dev libcli11-dev libstb-dev pkg-config libmeshoptimizer-dev
