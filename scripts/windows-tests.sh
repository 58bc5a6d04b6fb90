#!/usr/bin/env bash
# Builds torvik32c.dll and 3ds2bmf.exe for 32-bit Windows (build/mingw) and
# tests them under Wine against a native build:
#   - dll_host.exe loads the DLL and checks its exports and the C entry's
#     contract, then converts every input through do3dsparse;
#   - import_host.exe calls the DLL through its import library;
#   - 3ds2bmf.exe converts every input;
#   - every output is compared byte for byte with the native 3ds2bmf's, and
#     the converter's acos is compared on three million arguments.
# The inputs: samples/sample.3ds, the models of tests/windows/make_models.cpp
# and every file in ../shared/corpus or $TORVIK_CORPUS_DIR (when it is there).
#
#   scripts/windows-tests.sh [NATIVE_BUILD]   NATIVE_BUILD defaults to
#       build/win-native, configured and built here; CTest passes its own.
#   scripts/windows-tests.sh --acos-survey [NATIVE_BUILD]   compares the C
#       runtimes' own acos (msvcrt.dll under Wine against this system's)
#
# Needs MinGW-w64 and Wine: scripts/setup-windows.sh installs them.
set -euo pipefail
start=$SECONDS
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

survey=0
if [ "${1:-}" = --acos-survey ]; then
  survey=1
  shift
fi
native="$(realpath -m "${1:-build/win-native}")"
mingw="$root/build/mingw"
corpus="${TORVIK_CORPUS_DIR:-$root/../shared/corpus}"

for tool in i686-w64-mingw32-g++-posix i686-w64-mingw32-gcc-posix wine wineserver; do
  if ! command -v "$tool" >/dev/null; then
    echo "windows-tests: $tool is missing; scripts/setup-windows.sh installs it" >&2
    exit 1
  fi
done

# One build of build/mingw at a time, whoever runs it.
mkdir -p build
exec 9>build/mingw.lock
flock 9

echo "== native build ($native)"
if [ ! -f "$native/CMakeCache.txt" ]; then
  cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$native" -j 2 --target 3ds2bmf make_models acos_survey >/dev/null

echo "== cross build (build/mingw)"
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j 2 --target torvik32c 3ds2bmf bmftool >/dev/null
dll="$mingw/src/torvik32c.dll"

# The test programs, rebuilt when their sources change.
bin="$mingw/windows-tests"
mkdir -p "$bin"
stale() {  # stale TARGET SOURCE...
  local target=$1
  shift
  [ ! -f "$target" ] || [ -n "$(find "$@" -newer "$target" 2>/dev/null)" ]
}
flags=(-O2 -Wall -Wextra -Wpedantic -Werror -msse2 -mfpmath=sse -ffp-contract=off)
if stale "$bin/dll_host.exe" tests/windows/dll_host.c; then
  i686-w64-mingw32-gcc-posix -std=c11 "${flags[@]}" tests/windows/dll_host.c -o "$bin/dll_host.exe"
fi
if stale "$bin/version_host.exe" tests/windows/version_host.c; then
  i686-w64-mingw32-gcc-posix -std=c11 "${flags[@]}" tests/windows/version_host.c -lversion \
    -o "$bin/version_host.exe"
fi
if stale "$bin/import_host.exe" tests/windows/import_host.c include "$dll"; then
  i686-w64-mingw32-gcc-posix -std=c11 "${flags[@]}" -Iinclude tests/windows/import_host.c \
    -L"$mingw/src" -ltorvik32c -o "$bin/import_host.exe"
fi
if stale "$bin/acos_survey.exe" tests/windows/acos_survey.cpp "$mingw/src/libtorvik32c_static.a"; then
  i686-w64-mingw32-g++-posix -std=c++20 "${flags[@]}" -Isrc/outgl tests/windows/acos_survey.cpp \
    "$mingw/src/libtorvik32c_static.a" -static -o "$bin/acos_survey.exe"
fi
cp "$dll" "$bin/"  # hosts find the DLL beside them

# A Wine prefix of our own, made once: no display, no installers, no noise.
export WINEPREFIX="${TORVIK_WINEPREFIX:-${TMPDIR:-/tmp}/torvik32c-wine-$(id -u)}"
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
work="$(mktemp -d)"
# shellcheck disable=SC2317  # called by the trap
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== making the Wine prefix $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  if ! wineboot -i >"$work/wineboot.log" 2>&1 || ! wineserver -w; then
    cat "$work/wineboot.log"
    echo "windows-tests: wineboot failed" >&2
    exit 1
  fi
fi

if [ $survey -eq 1 ]; then
  echo "== acos of msvcrt.dll (under Wine) against this system's"
  wine "$bin/acos_survey.exe" write system "$work/acos.bin"
  "$native/tests/windows/acos_survey" compare system "$work/acos.bin" || true
  exit 0
fi

echo "== the DLL's exports and imports"
exports="$(i686-w64-mingw32-objdump -p "$dll" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p')"
imports="$(i686-w64-mingw32-objdump -p "$dll" | sed -n 's/^\tDLL Name: //p' | tr '[:upper:]' '[:lower:]' | sort)"
expected_exports=$'[Ordinal/Name Pointer] Table\n\t[   0] do3dsparse\n\t[   1] do3dsparse_ex'
failed=0
if [ "$(printf '%s' "$exports" | sed '/^$/d')" != "$expected_exports" ]; then
  echo "FAILED: the DLL exports something else than do3dsparse (1) and do3dsparse_ex (2):"
  echo "$exports"
  failed=1
fi
if [ "$(printf '%s\n' "$imports" | grep -cvxE 'kernel32\.dll|msvcrt\.dll|user32\.dll|advapi32\.dll')" -ne 0 ]; then
  echo "FAILED: the DLL imports more than system DLLs:"; echo "$imports"
  failed=1
fi

echo "== SSE2 arithmetic in the DLL's own code"
# x87 loads and stores carry float results back from calls; x87 arithmetic
# would round differently from the native build.
x87="$(i686-w64-mingw32-objdump -d --no-show-raw-insn "$dll" | awk '
  /^[0-9a-f]+ <.*>:$/ { own = ($2 ~ /torvik|do3dsparse/); if (own) functions++ }
  own && $2 ~ /^(f(add|sub|subr|mul|div|divr)[lsp]?|fi(add|sub|subr|mul|div|divr)[ls]?|fsqrt|fpatan|fsin|fcos|fsincos|fptan|fyl2x|f2xm1|fscale|fprem1?|frndint)$/ { print }
  END { if (functions == 0) print "no function of the library found: is the DLL stripped?" }')"
if [ -n "$x87" ]; then
  echo "FAILED: x87 arithmetic in the library's code:"
  echo "$x87" | head
  failed=1
fi

echo "== inputs"
mkdir -p "$work/in" "$work/native" "$work/exe" "$work/dll"
cp samples/sample.3ds "$work/in/"
"$native/tests/windows/make_models" "$work/in"
inputs=("$work"/in/*.3ds)
if [ -d "$corpus" ]; then
  inputs+=("$corpus"/*.[3][dD][sS])
else
  echo "(no corpus at $corpus)"
fi
echo "${#inputs[@]} files"

cd "$work"
echo "== host programs under Wine"
wine "$bin/dll_host.exe" torvik32c.dll "$work/in/sample.3ds" dll "${inputs[@]}" || failed=1
wine "$bin/import_host.exe" "$work/in/sample.3ds" || failed=1

echo "== 3ds2bmf, native and under Wine"
"$native/3ds2bmf" -q -d native "${inputs[@]}" || failed=1
wine "$mingw/3ds2bmf.exe" -q -d exe "${inputs[@]}" || failed=1

compared=0
for expected in native/*.bmf; do
  name="$(basename "$expected")"
  for other in exe dll; do
    if ! cmp -s "$expected" "$other/$name"; then
      echo "FAILED: $other/$name differs from the native build's output"
      cmp "$expected" "$other/$name" | head -3 || true
      failed=1
    fi
  done
  compared=$((compared + 1))
done
echo "$compared native outputs compared with 3ds2bmf.exe's and the DLL's"

echo "== version resources carry the project version"
version="$(sed -n 's/^project(torvik32c VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
for binary in "$dll" "$mingw/3ds2bmf.exe" "$mingw/bmftool.exe"; do
  resource="$(wine "$bin/version_host.exe" "$(winepath -w "$binary" 2>/dev/null)" | tr -d '\r')"
  if grep -qx "fixed=$version" <<<"$resource" && grep -qx "FileVersion=$version" <<<"$resource" &&
     grep -qx "ProductVersion=$version" <<<"$resource" && grep -qx "ProductName=torvik32c" <<<"$resource" &&
     grep -qx "OriginalFilename=$(basename "$binary")" <<<"$resource"; then
    echo "$(basename "$binary"): $version"
  else
    echo "FAILED: the version resource of $binary:"
    echo "$resource"
    failed=1
  fi
done

echo "== 3ds2bmf.exe writes Windows devices in place"
for device in NUL nul.bmf; do
  if wine "$mingw/3ds2bmf.exe" -q -o "$device" "${inputs[0]}"; then
    echo "-o $device: ok"
  else
    echo "FAILED: 3ds2bmf.exe -o $device"
    failed=1
  fi
done

echo "== the converter's acos, native and under Wine"
for which in torvik torvik-float; do
  wine "$bin/acos_survey.exe" write $which acos.bin 1000000
  "$native/tests/windows/acos_survey" compare $which acos.bin 1000000 | tail -2 || failed=1
done

echo "== Windows tests took $((SECONDS - start)) s"
[ $failed -eq 0 ] && echo "windows-tests: passed" || echo "windows-tests: FAILED"
exit $failed
