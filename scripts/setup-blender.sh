#!/usr/bin/env bash
# Installs Debian's Blender (3.4), which the test of glTF and OBJ files
# written by Blender uses (it is skipped without it).  Large (some 400 MB
# with what it needs): neither scripts/test.sh nor CI installs it.
set -euo pipefail
"$(dirname "$0")/install-packages.sh" --no-recommends blender blender
