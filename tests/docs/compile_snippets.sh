#!/usr/bin/env bash
# Compiles every C and C++ snippet of the project's Markdown files, so that
# the docs show code that builds.  Snippets that include <windows.h> are
# compiled by MinGW-w64 when it is installed and skipped otherwise: for
# 64-bit Windows (x86_64) when they name _WIN64, else for 32-bit Windows
# (i686).  The C header is also compiled as C89.
#   compile_snippets.sh SOURCE_DIR CC CXX
set -euo pipefail
source_dir="$1" cc="$2" cxx="$3"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mingw32_cc="$(command -v i686-w64-mingw32-gcc-posix || true)"
mingw64_cc="$(command -v x86_64-w64-mingw32-gcc-posix || true)"
failed=0 compiled=0 skipped=0

for doc in "$source_dir"/README.md "$source_dir"/docs/*.md; do
  awk -v dir="$work" -v base="$(basename "$doc" .md)" '
    /^```(c|cpp)$/ { lang = substr($0, 4); n++; file = dir "/" base "-" n "." lang; next }
    /^```/ { file = ""; next }
    file != "" { print > file }
  ' "$doc"
done

echo '#include "torvik32c/torvik32c.h"' > "$work/header-c89.c"
for snippet in "$work"/*.c "$work"/*.cpp; do
  [ -e "$snippet" ] || continue
  name="$(basename "$snippet")"
  case "$snippet" in
    *header-c89.c) compiler=("$cc" -std=c89 -pedantic-errors -Wall -Werror) ;;
    *.c) compiler=("$cc" -std=c99 -Wall -Werror) ;;
    *.cpp) compiler=("$cxx" -std=c++20 -Wall -Werror) ;;
  esac
  if grep -q '<windows.h>' "$snippet"; then
    mingw_cc="$mingw32_cc"
    if grep -q '_WIN64' "$snippet"; then mingw_cc="$mingw64_cc"; fi
    if [ -z "$mingw_cc" ]; then
      echo "skipped $name: MinGW-w64 is not installed (scripts/setup-windows.sh)"
      skipped=$((skipped + 1))
      continue
    fi
    compiler=("$mingw_cc" -std=c99 -Wall -Werror)
  fi
  if "${compiler[@]}" -fsyntax-only -I"$source_dir/include" "$snippet"; then
    compiled=$((compiled + 1))
  else
    echo "FAILED: $name"
    sed 's/^/    /' "$snippet"
    failed=$((failed + 1))
  fi
done
echo "$compiled snippets compiled, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ] && [ "$compiled" -gt 0 ]
