#!/usr/bin/env bash
# Builds torvik32c.dll, 3ds2bmf.exe and bmftool.exe for 32-bit Windows
# (build/mingw) and 64-bit Windows (build/mingw64) and tests them under Wine
# against a native build.  For each architecture:
#   - the DLL's exports and imports, and (32-bit) SSE2 rather than x87 math;
#   - dll_host.exe loads the DLL and checks its exports and the C entry's
#     contract (the bounded message, a damaged file, non-ASCII names), then
#     converts every input through do3dsparse;
#   - import_host.exe calls the DLL through its import library;
#   - 3ds2bmf.exe converts every input, by default and with
#     --smoothing-groups, --keep-file-winding and --keyframer, and exports
#     the glTF of the scene as authored (--as-authored --gltf, and --gltf
#     --orient-outward);
#   - every output (BMF and .glb) is compared byte for byte with the native
#     3ds2bmf's, and the converter's acos and its other elementary functions
#     (base/portable_math.h) are compared on a million arguments;
#   - the tools' previews (textured) and glTF export: the previews are the
#     native tools' pixels, the .glb files their bytes, and they pass the
#     Khronos validator (when it is installed: scripts/setup-gltf-validator.sh);
#     what the build lacks is refused up front, and --help says so;
#   - the version resources.
# The inputs: samples/*.3ds (crate.3ds with its crate_maps), the models of
# tests/windows/make_models.cpp (keyframer placements, inward meshes, BMP,
# GIF and TGA textures that the glTF encodes again as PNG), the
# generator's presets and every file in ../shared/corpus or
# $TORVIK_CORPUS_DIR (when it is there).  The 64-bit build converts them all
# but the preset "large" and, of a corpus over 16 files, 16 spread over it.
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
corpus="${TORVIK_CORPUS_DIR:-$root/../shared/corpus}"

for tool in i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix wine wineserver; do
  if ! command -v "$tool" >/dev/null; then
    echo "windows-tests: $tool is missing; scripts/setup-windows.sh installs it" >&2
    exit 1
  fi
done

# One build of build/mingw and build/mingw64 at a time, whoever runs it.
mkdir -p build
exec 9>build/mingw.lock
flock 9

echo "== native build ($native)"
if [ ! -f "$native/CMakeCache.txt" ]; then
  cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$native" -j 2 --target 3ds2bmf bmftool make_models make_preset math_survey \
  same_pixels >/dev/null

# build_arch PRESET TRIPLET: the cross build and the test programs, which
# are rebuilt when their sources change.
stale() {  # stale TARGET SOURCE...
  local target=$1
  shift
  [ ! -f "$target" ] || [ -n "$(find "$@" -newer "$target" 2>/dev/null)" ]
}
build_arch() {
  local preset=$1 triplet=$2
  local build="$root/build/$preset" bin="$root/build/$preset/windows-tests"
  echo "== cross build (build/$preset)"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j 2 --target torvik32c 3ds2bmf bmftool >/dev/null
  mkdir -p "$bin"
  local flags=(-O2 -Wall -Wextra -Wpedantic -Werror -ffp-contract=off)
  [ "$triplet" = i686-w64-mingw32 ] && flags+=(-msse2 -mfpmath=sse)
  if stale "$bin/dll_host.exe" tests/windows/dll_host.c; then
    "$triplet-gcc-posix" -std=c11 "${flags[@]}" tests/windows/dll_host.c -o "$bin/dll_host.exe"
  fi
  if stale "$bin/version_host.exe" tests/windows/version_host.c; then
    "$triplet-gcc-posix" -std=c11 "${flags[@]}" tests/windows/version_host.c -lversion \
      -o "$bin/version_host.exe"
  fi
  if stale "$bin/import_host.exe" tests/windows/import_host.c include "$build/src/torvik32c.dll"; then
    "$triplet-gcc-posix" -std=c11 "${flags[@]}" -Iinclude tests/windows/import_host.c \
      -L"$build/src" -ltorvik32c -o "$bin/import_host.exe"
  fi
  if stale "$bin/math_survey.exe" tests/windows/math_survey.cpp "$build/src/libtorvik32c_static.a"; then
    "$triplet-g++-posix" -std=c++20 "${flags[@]}" -Isrc/base tests/windows/math_survey.cpp \
      "$build/src/libtorvik32c_static.a" -static -o "$bin/math_survey.exe"
  fi
  cp "$build/src/torvik32c.dll" "$bin/"  # hosts find the DLL beside them
}
build_arch mingw i686-w64-mingw32
build_arch mingw64 x86_64-w64-mingw32

# A Wine prefix of our own, made once: 64-bit, which runs the 32-bit programs
# too; no display, no installers, no noise.
export WINEPREFIX="${TORVIK_WINEPREFIX:-${TMPDIR:-/tmp}/torvik32c-wine64-$(id -u)}"
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
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
  wine "$root/build/mingw/windows-tests/math_survey.exe" write system "$work/acos.bin"
  "$native/tests/windows/math_survey" compare system "$work/acos.bin" || true
  exit 0
fi

failed=0
fail() {  # fail MESSAGE...
  echo "FAILED: $*"
  failed=1
}

echo "== inputs"
mkdir -p "$work/in"
cp -r samples/*.3ds samples/crate_maps "$work/in/"
"$native/tests/windows/make_models" "$work/in"
for preset in small medium manymat bigmat large; do
  "$native/generator/make_preset" $preset "$work/in/preset-$preset.3ds"
done
inputs=("$work"/in/*.3ds)
subset=("$work"/in/*.3ds)
subset=("${subset[@]/*preset-large.3ds/}")
if [ -d "$corpus" ]; then
  mapfile -t corpus_files < <(find "$corpus" -maxdepth 1 -iname '*.3ds' | sort)
  inputs+=("${corpus_files[@]}")
  step=$(((${#corpus_files[@]} + 15) / 16))
  for ((i = 0; i < ${#corpus_files[@]}; i += step)); do subset+=("${corpus_files[i]}"); done
else
  echo "(no corpus at $corpus)"
fi
mapfile -t subset < <(printf '%s\n' "${subset[@]}" | sed '/^$/d')
echo "${#inputs[@]} files, ${#subset[@]} of them for the 64-bit build"

cd "$work"
echo "== native 3ds2bmf"
# Each variant's options, split at spaces; those with --gltf also write the
# .glb of the scene as authored, compared as well.
variants=(default --smoothing-groups --keep-file-winding --keyframer "--as-authored --gltf"
          "--gltf --orient-outward")
for variant in "${variants[@]}"; do
  options=()
  # shellcheck disable=SC2206  # the options are split on purpose
  [ "$variant" = default ] || options=($variant)
  mkdir -p "native${variant// /}"
  "$native/3ds2bmf" -q "${options[@]}" -d "native${variant// /}" "${inputs[@]}" ||
    fail "native 3ds2bmf $variant"
done

# same_as_native DIR VARIANT INPUT...: DIR/NAME.bmf (and DIR/NAME.glb for a
# variant with --gltf) is the native output's bytes.
same_as_native() {
  local dir=$1 variant=$2 compared=0 input name extension
  local extensions=(bmf)
  [[ " $variant " == *" --gltf "* ]] && extensions+=(glb)
  shift 2
  for input in "$@"; do
    for extension in "${extensions[@]}"; do
      name="$(basename "${input%.*}").$extension"
      if ! cmp -s "$work/native${variant// /}/$name" "$work/$dir/$name"; then
        fail "$dir/$name differs from the native build's output"
        cmp "$work/native${variant// /}/$name" "$work/$dir/$name" | head -3 || true
      fi
      compared=$((compared + 1))
    done
  done
  echo "$compared outputs of $dir are the native build's"
}

# test_arch ARCH PRESET TRIPLET INPUT...
test_arch() {
  local arch=$1 preset=$2 triplet=$3
  shift 3
  local build="$root/build/$preset" bin="$root/build/$preset/windows-tests"
  local dll="$build/src/torvik32c.dll"
  mkdir -p "$arch" && cd "$arch"

  echo "== $arch: the DLL's exports and imports"
  local exports imports
  exports="$("$triplet-objdump" -p "$dll" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p')"
  imports="$("$triplet-objdump" -p "$dll" | sed -n 's/^\tDLL Name: //p' | tr '[:upper:]' '[:lower:]' | sort)"
  if [ "$(printf '%s' "$exports" | sed '/^$/d')" != $'[Ordinal/Name Pointer] Table\n\t[   0] do3dsparse\n\t[   1] do3dsparse_ex' ]; then
    fail "the DLL exports something else than do3dsparse (1) and do3dsparse_ex (2):"
    echo "$exports"
  fi
  if [ "$(printf '%s\n' "$imports" | grep -cvxE 'kernel32\.dll|msvcrt\.dll|user32\.dll|advapi32\.dll')" -ne 0 ]; then
    fail "the DLL imports more than system DLLs:"; echo "$imports"
  fi
  if [ "$arch" = win32 ]; then
    echo "== $arch: SSE2 arithmetic in the DLL's own code"
    # x87 loads and stores carry float results back from calls; x87
    # arithmetic would round differently from the native build.
    local x87
    x87="$("$triplet-objdump" -d --no-show-raw-insn "$dll" | awk '
      /^[0-9a-f]+ <.*>:$/ { own = ($2 ~ /torvik|do3dsparse/); if (own) functions++ }
      own && $2 ~ /^(f(add|sub|subr|mul|div|divr)[lsp]?|fi(add|sub|subr|mul|div|divr)[ls]?|fsqrt|fpatan|fsin|fcos|fsincos|fptan|fyl2x|f2xm1|fscale|fprem1?|frndint)$/ { print }
      END { if (functions == 0) print "no function of the library found: is the DLL stripped?" }')"
    if [ -n "$x87" ]; then
      fail "x87 arithmetic in the library's code:"
      echo "$x87" | head
    fi
  fi

  echo "== $arch: host programs under Wine"
  mkdir -p dll
  wine "$bin/dll_host.exe" torvik32c.dll "$work/in/sample.3ds" dll "$@" || fail "$arch dll_host"
  wine "$bin/import_host.exe" "$work/in/sample.3ds" || fail "$arch import_host"

  echo "== $arch: 3ds2bmf.exe against the native 3ds2bmf"
  local variant options
  local these
  for variant in "${variants[@]}"; do
    options=()
    # shellcheck disable=SC2206  # the options are split on purpose
    [ "$variant" = default ] || options=($variant)
    # The glTF of the preset "large" adds time and nothing else.
    these=("$@")
    if [[ " $variant " == *" --gltf "* ]]; then
      mapfile -t these < <(printf '%s\n' "$@" | grep -v 'preset-large\.3ds$')
    fi
    mkdir -p "exe${variant// /}"
    wine "$build/3ds2bmf.exe" -q "${options[@]}" -d "exe${variant// /}" "${these[@]}" ||
      fail "$arch 3ds2bmf.exe $variant"
    same_as_native "$arch/exe${variant// /}" "$variant" "${these[@]}"
  done
  same_as_native "$arch/dll" default "$@"

  echo "== $arch: previews and glTF"
  mkdir -p tools
  local crate="$root/samples/crate.3ds"
  wine "$build/3ds2bmf.exe" -v --preview --gltf -d tools "$crate" >tools/3ds2bmf.out 2>tools/3ds2bmf.err ||
    fail "$arch 3ds2bmf.exe --preview --gltf"
  grep -q "textures 2/2 found" tools/3ds2bmf.out || fail "$arch 3ds2bmf.exe finds the crate's textures"
  [ ! -s tools/3ds2bmf.err ] || { fail "$arch 3ds2bmf.exe warns:"; cat tools/3ds2bmf.err; }
  cmp -s tools/crate.glb "$work/tools-native/crate.glb" || fail "$arch crate.glb is not the native build's"
  wine "$build/bmftool.exe" gltf --texture-path "$root/samples" -o tools/crate.gltf tools/crate.bmf ||
    fail "$arch bmftool.exe gltf"
  wine "$build/bmftool.exe" png --no-textures -o tools/flat.png tools/crate.bmf ||
    fail "$arch bmftool.exe png"
  "$native/tests/windows/same_pixels" tools/crate.png "$work/tools-native/crate.png" ||
    fail "$arch: the preview is not the native 3ds2bmf's picture"
  if "$native/tests/windows/same_pixels" tools/crate.png tools/flat.png >/dev/null; then
    fail "$arch: the preview is not textured"
  fi
  validate tools/crate.glb tools/crate.gltf

  echo "== $arch: what the build lacks is refused up front, and --help says so"
  if wine "$build/3ds2bmf.exe" -q --optimize -o refused.bmf "$crate" 2>/dev/null || [ -e refused.bmf ]; then
    fail "$arch 3ds2bmf.exe --optimize is not refused before any work"
  fi
  wine "$build/3ds2bmf.exe" --help | tr -d '\r' >help.txt
  grep -q '^  --optimize    no meshoptimizer$' help.txt || fail "$arch 3ds2bmf.exe --help names --optimize as refused"
  if grep -qE '^  --(preview|gltf)  ' help.txt; then fail "$arch 3ds2bmf.exe --help refuses --preview or --gltf"; fi

  echo "== $arch: Windows devices are written in place"
  local device
  for device in NUL nul.bmf; do
    wine "$build/3ds2bmf.exe" -q -o "$device" "$work/in/sample.3ds" || fail "$arch 3ds2bmf.exe -o $device"
  done

  echo "== $arch: version resources carry the project version"
  local version binary resource
  version="$(sed -n 's/^project(torvik32c VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
  for binary in "$dll" "$build/3ds2bmf.exe" "$build/bmftool.exe"; do
    resource="$(wine "$bin/version_host.exe" "$(winepath -w "$binary" 2>/dev/null)" | tr -d '\r')"
    if grep -qx "fixed=$version" <<<"$resource" && grep -qx "FileVersion=$version" <<<"$resource" &&
       grep -qx "ProductVersion=$version" <<<"$resource" && grep -qx "ProductName=torvik32c" <<<"$resource" &&
       grep -qx "OriginalFilename=$(basename "$binary")" <<<"$resource"; then
      echo "$(basename "$binary"): $version"
    else
      fail "the version resource of $binary:"
      echo "$resource"
    fi
  done

  echo "== $arch: the converter's elementary functions, native and under Wine"
  local which
  for which in torvik torvik-float portable; do
    wine "$bin/math_survey.exe" write $which math.bin 1000000
    "$native/tests/windows/math_survey" compare $which math.bin 1000000 | tail -2 ||
      fail "$arch $which functions"
  done
  cd "$work"
}

# validate FILE...: the Khronos validator's verdict, when it is installed.
validate() {
  local status=0
  node "$root/scripts/validate-gltf.js" "$@" >validate.out 2>&1 || status=$?
  case $status in
    0) echo "glTF validator: $* pass" ;;
    2) if grep -q "no gltf-validator" validate.out; then
         echo "(glTF validator not installed: scripts/setup-gltf-validator.sh)"
       else
         fail "validate-gltf.js"; cat validate.out
       fi ;;
    *) fail "the glTF validator rejects $*"; cat validate.out ;;
  esac
}
command -v node >/dev/null || node() { echo "no gltf-validator (no node)"; return 2; }

mkdir -p tools-native
"$native/3ds2bmf" -q --preview --gltf -d tools-native "$root/samples/crate.3ds" ||
  fail "native 3ds2bmf --preview --gltf"
test_arch win32 mingw i686-w64-mingw32 "${inputs[@]}"
test_arch win64 mingw64 x86_64-w64-mingw32 "${subset[@]}"
if ! cmp -s win32/tools/crate.png win64/tools/crate.png; then
  fail "the previews of the 32-bit and the 64-bit 3ds2bmf.exe differ"
fi

echo "== Windows tests took $((SECONDS - start)) s"
[ $failed -eq 0 ] && echo "windows-tests: passed" || echo "windows-tests: FAILED"
exit $failed
