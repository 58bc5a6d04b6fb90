#!/usr/bin/env bash
# Builds the Python module torvik32c into build/release/python/ for Debian's
# Python (/usr/bin/python3), installing what it needs first (scripts/setup.sh,
# scripts/setup-python.sh), and imports it once.  Then:
#   PYTHONPATH=build/release/python python3 -c "import torvik32c"
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/setup-python.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "${JOBS:-2}" --target torvik32c_python
PYTHONPATH=build/release/python /usr/bin/python3 -c \
  "import torvik32c; print('build-python: torvik32c', torvik32c.__version__, 'is in build/release/python')"
echo "build-python: use it with PYTHONPATH=build/release/python /usr/bin/python3"
