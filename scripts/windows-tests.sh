#!/usr/bin/env bash
# Tests the 32-bit and 64-bit Windows DLLs and tools (build/mingw and
# build/mingw64, built here with MinGW-w64) against a native build, in parts
# that CTest runs as tests of their own:
#
#   win32-binaries  the 32-bit DLL as files, without running it: a PE32 for
#                   i386, exporting do3dsparse (ordinal 1) and do3dsparse_ex
#                   (ordinal 2) undecorated, do3dsparse returning with
#                   `ret $0xc` (__stdcall: the callee pops its 12 bytes),
#                   importing system DLLs only, and doing its arithmetic in
#                   SSE2 rather than x87; 3ds2bmf.exe and bmftool.exe PE32 too.
#   win32           the 32-bit DLL and tools under Wine (below).
#   win64           the 64-bit DLL as files (PE32+ for x86-64, the same
#                   exports and imports), then under Wine (below).
#   i686            the 32-bit x86 code's arithmetic without Windows or a
#                   32-bit kernel: 3ds2bmf built for i686 Linux (static,
#                   SSE2 math as in the 32-bit DLL) and run under user-mode
#                   emulation (qemu-i386-static) writes the native build's
#                   BMF and .glb bytes for every input and option below, and
#                   its elementary functions agree with the native ones.
#
# Under Wine, for each architecture:
#   - dll_host.exe loads the DLL and checks its exports and the C entry's
#     contract (the bounded message, a damaged file, non-ASCII names, and on
#     32-bit that every call pops its arguments), then converts every input
#     through do3dsparse;
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
#
# Wine runs 32-bit Windows programs only where the kernel runs 32-bit code.
# A kernel without it (built or booted with its 32-bit emulation off) makes
# Wine's 32-bit loader fail with "Exec format error"; the part win32 then
# exits with status 77, which CTest reports as skipped, saying why, and the
# parts win32-binaries and i686 check what can be checked without it.
#
# The inputs: samples/*.3ds (crate.3ds with its crate_maps), the models of
# tests/windows/make_models.cpp (keyframer placements, inward meshes, BMP,
# GIF and TGA textures that the glTF encodes again as PNG), the
# generator's presets and every file in ../shared/corpus or
# $TORVIK_CORPUS_DIR (when it is there).  The 64-bit build converts them all
# but the preset "large" and, of a corpus over 16 files, 16 spread over it.
#
#   scripts/windows-tests.sh [--part PART]... [NATIVE_BUILD]   every part
#       this machine can run when none is named.  NATIVE_BUILD defaults to
#       build/win-native, configured and built here; CTest passes its own.
#   scripts/windows-tests.sh --runs-32-bit   exit status 0 when this kernel
#       runs 32-bit x86 programs, 1 (with the reason) when it does not
#   scripts/windows-tests.sh --acos-survey [NATIVE_BUILD]   compares the C
#       runtimes' own acos (msvcrt.dll under Wine against this system's)
#
# Needs MinGW-w64 and Wine, and for the part i686 g++-i686-linux-gnu and
# qemu-user-static: scripts/setup-windows.sh installs them.
set -euo pipefail
start=$SECONDS
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

# runs_32_bit: whether the kernel runs a 32-bit x86 program itself.  The
# probe is the smallest such program (an ELF32 header and `exit(0)` through
# int 0x80), written here so that no 32-bit compiler is needed.  An
# emulator registered with binfmt_misc would run it without the kernel's
# support, and too slowly for Wine: that counts as no support.
runs_32_bit() {
  local probe status=0
  if [ "$(uname -m)" != x86_64 ] && [ "$(uname -m)" != i686 ]; then
    why_not_32_bit="this machine is not x86 ($(uname -m))"
    return 1
  fi
  if grep -qls '^enabled$' /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null; then
    why_not_32_bit="32-bit programs run through qemu-i386 (binfmt_misc), not the kernel"
    return 1
  fi
  probe="$(mktemp)"
  # ELF header (52 bytes), one program header (32 bytes) loading the file at
  # 0x08048000, then: mov eax, 1; xor ebx, ebx; int 0x80.
  printf '%b' '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
    '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
    '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00' \
    '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
    '\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
    '\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  if [ $status -ne 0 ]; then
    why_not_32_bit="the kernel runs no 32-bit code (a 32-bit x86 program exits with status $status: its 32-bit emulation is off)"
    return 1
  fi
}

parts=()
survey=0
while [ $# -gt 0 ]; do
  case "$1" in
    --part)
      case "${2:-}" in
        win32-binaries | win32 | win64 | i686) parts+=("$2") ;;
        *) echo "windows-tests: unknown part '${2:-}' (win32-binaries, win32, win64, i686)" >&2; exit 2 ;;
      esac
      shift 2 ;;
    --runs-32-bit)
      if runs_32_bit; then echo "this kernel runs 32-bit x86 programs"; exit 0; fi
      echo "$why_not_32_bit"
      exit 1 ;;
    --acos-survey) survey=1; shift ;;
    *) break ;;
  esac
done
native="$(realpath -m "${1:-build/win-native}")"
corpus="${TORVIK_CORPUS_DIR:-$root/../shared/corpus}"
if [ $survey -eq 1 ]; then
  parts=(survey)
elif [ ${#parts[@]} -eq 0 ]; then
  parts=(win32-binaries win64 i686)
  if runs_32_bit; then parts+=(win32); else echo "(win32 under Wine skipped: $why_not_32_bit)"; fi
fi
has_part() { [[ " ${parts[*]} " == *" $1 "* ]]; }

needed=(i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix)
if has_part win32 || has_part win64 || has_part survey; then needed+=(wine wineserver); fi
if has_part i686; then needed+=(i686-linux-gnu-g++ qemu-i386-static); fi
for tool in "${needed[@]}"; do
  if ! command -v "$tool" >/dev/null; then
    echo "windows-tests: $tool is missing; scripts/setup-windows.sh installs it" >&2
    exit 1
  fi
done
if has_part win32 && ! runs_32_bit; then
  echo "SKIPPED: the 32-bit DLL and tools under Wine: $why_not_32_bit."
  echo "The parts win32-binaries (the DLL's format, exports, calling convention and"
  echo "arithmetic) and i686 (the 32-bit x86 code's bytes, under qemu-i386-static) check"
  echo "what can be checked without running 32-bit code."
  exit 77
fi

# One build of each cross build at a time, whoever runs it.
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
# The i686 Linux build: 3ds2bmf and the survey of the elementary functions.
build_i686() {
  local build="$root/build/i686-linux"
  echo "== cross build (build/i686-linux)"
  cmake --preset i686-linux >/dev/null
  cmake --build --preset i686-linux -j 2 --target 3ds2bmf >/dev/null
  if stale "$build/math_survey" tests/windows/math_survey.cpp "$build/src/libtorvik32c_static.a"; then
    i686-linux-gnu-g++ -std=c++20 -O2 -Wall -Wextra -Wpedantic -Werror -ffp-contract=off -msse2 \
      -mfpmath=sse -Isrc/base tests/windows/math_survey.cpp "$build/src/libtorvik32c_static.a" \
      -static -o "$build/math_survey"
  fi
}
if has_part win32 || has_part win32-binaries || has_part survey; then build_arch mingw i686-w64-mingw32; fi
if has_part win64; then build_arch mingw64 x86_64-w64-mingw32; fi
if has_part i686; then build_i686; fi
flock -u 9

work="$(mktemp -d)"
# shellcheck disable=SC2317  # called by the trap
cleanup() {
  if [ -n "${WINEPREFIX:-}" ]; then wineserver -k 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The 64-bit loader alone: Debian's `wine` starts the 32-bit loader whenever
# wine32 is installed, even for a 64-bit program.
wine64_loader() {
  if [ -x /usr/lib/wine/wine64 ]; then
    echo /usr/lib/wine/wine64
  elif command -v wine64 >/dev/null; then
    command -v wine64
  else
    echo wine
  fi
}

# A Wine prefix of our own, made once: 64-bit, which runs the 32-bit programs
# too where the kernel does; no display, no installers, no noise.  Where the
# kernel runs no 32-bit code, a prefix of its own made by the 64-bit loader
# alone, whose set-up leaves out the 32-bit half (it says it failed to open
# syswow64's rundll32.exe, and goes on).
wine_prefix() {
  local kind=wine64 loader=wine
  if ! runs_32_bit; then
    kind=wine64-only
    loader="$(wine64_loader)"
    export WINELOADER="$loader"
  fi
  export WINEPREFIX="${TORVIK_WINEPREFIX:-${TMPDIR:-/tmp}/torvik32c-$kind-$(id -u)}"
  export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  unset DISPLAY WAYLAND_DISPLAY
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== making the Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    if ! "$loader" wineboot -i >"$work/wineboot.log" 2>&1 || ! wineserver -w; then
      cat "$work/wineboot.log"
      echo "windows-tests: wineboot failed" >&2
      exit 1
    fi
  fi
}
if has_part win32 || has_part win64 || has_part survey; then wine_prefix; fi
# The loader of each architecture's programs.
run_wine32() { wine "$@"; }
run_wine64() { "$(wine64_loader)" "$@"; }

if has_part survey; then
  echo "== acos of msvcrt.dll (under Wine) against this system's"
  run_wine32 "$root/build/mingw/windows-tests/math_survey.exe" write system "$work/acos.bin"
  "$native/tests/windows/math_survey" compare system "$work/acos.bin" || true
  exit 0
fi

failed=0
fail() {  # fail MESSAGE...
  echo "FAILED: $*"
  failed=1
}

# The inputs in $work/in, and the native 3ds2bmf's outputs of every variant.
# Each variant's options, split at spaces; those with --gltf also write the
# .glb of the scene as authored, compared as well.
variants=(default --smoothing-groups --keep-file-winding --keyframer "--as-authored --gltf"
          "--gltf --orient-outward")
make_inputs() {
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
  for variant in "${variants[@]}"; do
    options=()
    # shellcheck disable=SC2206  # the options are split on purpose
    [ "$variant" = default ] || options=($variant)
    mkdir -p "native${variant// /}"
    "$native/3ds2bmf" -q "${options[@]}" -d "native${variant// /}" "${inputs[@]}" ||
      fail "native 3ds2bmf $variant"
  done
}
if has_part win32 || has_part win64 || has_part i686; then make_inputs; fi

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

# convert_variants DIR INPUT...: every variant's outputs by the command in
# the array `runner` (3ds2bmf, through Wine or an emulator), each compared
# with the native build's.
convert_variants() {
  local dir=$1 variant options these
  shift
  for variant in "${variants[@]}"; do
    options=()
    # shellcheck disable=SC2206  # the options are split on purpose
    [ "$variant" = default ] || options=($variant)
    # The glTF of the preset "large" adds time and nothing else.
    these=("$@")
    if [[ " $variant " == *" --gltf "* ]]; then
      mapfile -t these < <(printf '%s\n' "$@" | grep -v 'preset-large\.3ds$')
    fi
    mkdir -p "$dir/exe${variant// /}"
    "${runner[@]}" -q "${options[@]}" -d "$dir/exe${variant// /}" "${these[@]}" ||
      fail "$dir: 3ds2bmf $variant"
    same_as_native "$dir/exe${variant// /}" "$variant" "${these[@]}"
  done
}

# survey_math ARCH RUN SURVEY: the converter's elementary functions computed
# by the SURVEY program of the other build (run through the command RUN)
# against the native ones, on a million arguments each.
survey_math() {
  local arch=$1 run=$2 survey=$3 which
  echo "== $arch: the converter's elementary functions, native and $arch"
  for which in torvik torvik-float portable; do
    $run "$survey" write $which "$work/math-$arch.bin" 1000000
    "$native/tests/windows/math_survey" compare $which "$work/math-$arch.bin" 1000000 | tail -2 ||
      fail "$arch $which functions"
  done
}

# check_binaries ARCH PRESET TRIPLET: the DLL and tools as files.
check_binaries() {
  local arch=$1 preset=$2 triplet=$3
  local build="$root/build/$preset"
  local dll="$build/src/torvik32c.dll" format magic kind binary
  if [ "$arch" = win32 ]; then
    format=pei-i386 magic=010b kind=PE32
  else
    format=pei-x86-64 magic=020b kind=PE32+
  fi
  echo "== $arch: the binaries' format"
  for binary in "$dll" "$build/3ds2bmf.exe" "$build/bmftool.exe"; do
    if ! "$triplet-objdump" -f "$binary" | grep -q "file format $format\$" ||
       ! grep -qxF "$(printf 'Magic\t\t\t%s\t(%s)' $magic $kind)" <<<"$("$triplet-objdump" -p "$binary")"; then
      fail "$(basename "$binary") is not $format, $kind:"
      "$triplet-objdump" -fp "$binary" | grep -E 'file format|^Magic'
    else
      echo "$(basename "$binary"): $format, $kind"
    fi
  done

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
  [ "$arch" = win32 ] || return 0

  echo "== $arch: the entries pop their own arguments (__stdcall)"
  # Each entry's every return is `ret $0xc` (do3dsparse's three pointers) or
  # `ret $0x10` (do3dsparse_ex's four arguments): a plain `ret` would leave
  # them to a host that does not remove them, and unbalance its stack.
  local entry pops returns
  for entry in do3dsparse@12:0xc do3dsparse_ex@16:0x10; do
    pops=${entry#*:}
    entry=${entry%:*}
    returns="$("$triplet-objdump" -d --no-show-raw-insn "$dll" | awk -v entry="<_$entry>:" '
      /^[0-9a-f]+ <.*>:$/ { inside = ($2 == entry); next }
      inside && $2 ~ /^ret/ { print $2 " " $3 }')"
    if [ -z "$returns" ]; then
      fail "no function _$entry in the DLL: is it stripped?"
    elif grep -qvx "ret \\\$$pops" <<<"$returns"; then
      fail "_$entry returns otherwise than with ret \$$pops:"
      echo "$returns"
    else
      echo "_$entry: $(wc -l <<<"$returns") returns, each ret \$$pops"
    fi
  done

  echo "== $arch: SSE2 arithmetic in the library's own code, in the DLL and the tools"
  # x87 loads and stores carry float results back from calls; x87
  # arithmetic would round differently from the native build.  The tools
  # hold the components too (images, glTF), whose pixels are written.
  local x87
  for binary in "$dll" "$build/3ds2bmf.exe" "$build/bmftool.exe"; do
    x87="$("$triplet-objdump" -d --no-show-raw-insn "$binary" | awk '
      /^[0-9a-f]+ <.*>:$/ { own = ($2 ~ /torvik|do3dsparse/); if (own) functions++ }
      own && $2 ~ /^(f(add|sub|subr|mul|div|divr)[lsp]?|fi(add|sub|subr|mul|div|divr)[ls]?|fsqrt|fpatan|fsin|fcos|fsincos|fptan|fyl2x|f2xm1|fscale|fprem1?|frndint)$/ { print }
      END { if (functions == 0) print "no function of the library found: is it stripped?" }')"
    if [ -n "$x87" ]; then
      fail "x87 arithmetic in the library's code in $(basename "$binary"):"
      echo "$x87" | head
    else
      echo "$(basename "$binary"): no x87 arithmetic in the library's code"
    fi
  done
}

# test_arch ARCH PRESET WINE INPUT...: the DLL and tools under Wine.
test_arch() {
  local arch=$1 preset=$2 wine=$3
  shift 3
  local build="$root/build/$preset" bin="$root/build/$preset/windows-tests"
  local dll="$build/src/torvik32c.dll"
  mkdir -p "$arch" && cd "$arch"

  echo "== $arch: host programs under Wine"
  mkdir -p dll
  $wine "$bin/dll_host.exe" torvik32c.dll "$work/in/sample.3ds" dll "$@" || fail "$arch dll_host"
  $wine "$bin/import_host.exe" "$work/in/sample.3ds" || fail "$arch import_host"

  echo "== $arch: 3ds2bmf.exe against the native 3ds2bmf"
  cd "$work"
  runner=("$wine" "$build/3ds2bmf.exe")
  convert_variants "$arch" "$@"
  same_as_native "$arch/dll" default "$@"
  cd "$arch"

  echo "== $arch: previews and glTF"
  mkdir -p tools
  local crate="$root/samples/crate.3ds"
  $wine "$build/3ds2bmf.exe" -v --preview --gltf -d tools "$crate" >tools/3ds2bmf.out 2>tools/3ds2bmf.err ||
    fail "$arch 3ds2bmf.exe --preview --gltf"
  grep -q "textures 2/2 found" tools/3ds2bmf.out || fail "$arch 3ds2bmf.exe finds the crate's textures"
  [ ! -s tools/3ds2bmf.err ] || { fail "$arch 3ds2bmf.exe warns:"; cat tools/3ds2bmf.err; }
  cmp -s tools/crate.glb "$work/tools-native/crate.glb" || fail "$arch crate.glb is not the native build's"
  $wine "$build/bmftool.exe" gltf --texture-path "$root/samples" -o tools/crate.gltf tools/crate.bmf ||
    fail "$arch bmftool.exe gltf"
  $wine "$build/bmftool.exe" png --no-textures -o tools/flat.png tools/crate.bmf ||
    fail "$arch bmftool.exe png"
  "$native/tests/windows/same_pixels" tools/crate.png "$work/tools-native/crate.png" ||
    fail "$arch: the preview is not the native 3ds2bmf's picture"
  if "$native/tests/windows/same_pixels" tools/crate.png tools/flat.png >/dev/null; then
    fail "$arch: the preview is not textured"
  fi
  validate tools/crate.glb tools/crate.gltf

  echo "== $arch: what the build lacks is refused up front, and --help says so"
  if $wine "$build/3ds2bmf.exe" -q --optimize -o refused.bmf "$crate" 2>/dev/null || [ -e refused.bmf ]; then
    fail "$arch 3ds2bmf.exe --optimize is not refused before any work"
  fi
  $wine "$build/3ds2bmf.exe" --help | tr -d '\r' >help.txt
  grep -q '^  --optimize    no meshoptimizer$' help.txt || fail "$arch 3ds2bmf.exe --help names --optimize as refused"
  if grep -qE '^  --(preview|gltf)  ' help.txt; then fail "$arch 3ds2bmf.exe --help refuses --preview or --gltf"; fi

  echo "== $arch: Windows devices are written in place"
  local device
  for device in NUL nul.bmf; do
    $wine "$build/3ds2bmf.exe" -q -o "$device" "$work/in/sample.3ds" || fail "$arch 3ds2bmf.exe -o $device"
  done

  echo "== $arch: version resources carry the project version"
  local version binary resource
  version="$(sed -n 's/^project(torvik32c VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
  for binary in "$dll" "$build/3ds2bmf.exe" "$build/bmftool.exe"; do
    resource="$($wine "$bin/version_host.exe" "$($wine winepath -w "$binary" 2>/dev/null)" | tr -d '\r')"
    if grep -qx "fixed=$version" <<<"$resource" && grep -qx "FileVersion=$version" <<<"$resource" &&
       grep -qx "ProductVersion=$version" <<<"$resource" && grep -qx "ProductName=torvik32c" <<<"$resource" &&
       grep -qx "OriginalFilename=$(basename "$binary")" <<<"$resource"; then
      echo "$(basename "$binary"): $version"
    else
      fail "the version resource of $binary:"
      echo "$resource"
    fi
  done

  survey_math "$arch" "$wine" "$bin/math_survey.exe"
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

if has_part win32 || has_part win64; then
  mkdir -p tools-native
  "$native/3ds2bmf" -q --preview --gltf -d tools-native "$root/samples/crate.3ds" ||
    fail "native 3ds2bmf --preview --gltf"
fi
if has_part win32-binaries; then check_binaries win32 mingw i686-w64-mingw32; fi
if has_part win32; then test_arch win32 mingw run_wine32 "${inputs[@]}"; fi
if has_part win64; then
  check_binaries win64 mingw64 x86_64-w64-mingw32
  test_arch win64 mingw64 run_wine64 "${subset[@]}"
fi
if has_part i686; then
  echo "== i686: 3ds2bmf built for i686 Linux, under qemu-i386-static, against the native 3ds2bmf"
  i686="$root/build/i686-linux"
  header="$(readelf -hl "$i686/3ds2bmf")"
  if ! grep -q 'Class: *ELF32' <<<"$header" || ! grep -q 'Machine: *Intel 80386' <<<"$header" ||
     grep -q 'INTERP' <<<"$header"; then
    fail "build/i686-linux/3ds2bmf is not a static 32-bit x86 program"
  fi
  runner=(qemu-i386-static "$i686/3ds2bmf")
  convert_variants i686 "${inputs[@]}"
  survey_math i686 qemu-i386-static "$i686/math_survey"
fi

echo "== ${parts[*]}: $((SECONDS - start)) s"
[ $failed -eq 0 ] && echo "windows-tests: passed" || echo "windows-tests: FAILED"
exit $failed
