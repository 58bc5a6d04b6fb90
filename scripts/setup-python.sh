#!/usr/bin/env bash
# Installs what the Python module (python/) needs to build and test, from
# Debian's packages, for Debian's own Python (/usr/bin/python3): pybind11,
# numpy, pytest and Dask (the recipe in python/examples/), and venv,
# setuptools and wheel, with which pip builds it offline in a venv
# (tests/python/pip_install_test.py).  Safe to run
# again: it installs only what is missing.  Needs root (or sudo) when
# something is missing.
set -euo pipefail
"$(dirname "$0")/install-packages.sh" setup-python python3 python3-dev pybind11-dev \
  python3-numpy python3-pytest python3-dask python3-venv python3-setuptools python3-wheel
