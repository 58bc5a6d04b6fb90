#!/usr/bin/env bash
# Builds the packages and checks them, saying what it does as it goes (each
# step with the time it took, each build with its progress):
#   scripts/package.sh           all of them (below)
#   scripts/package.sh deb       the .deb of the library and tools, with the
#                                python3-torvik32c .deb when the module is built
#   scripts/package.sh python    the python3-torvik32c .deb alone: only the
#                                library and the module are built (build/python-deb)
#   scripts/package.sh windows   the Windows zips alone
# The packages:
#   - the .deb (build/release): unpacked into a scratch root, whose 3ds2bmf
#     prints the project version and converts the sample, and whose files
#     include the library with its soname, headers, man pages, CMake package
#     and pkg-config file;
#   - the python3-torvik32c .deb, when the Python module is built
#     (scripts/setup-python.sh): unpacked there too, its module imported by
#     Debian's Python from the unpacked dist-packages and converting the
#     sample to 3ds2bmf's bytes;
#   - the Windows zips (build/mingw, build/mingw64: win32 and win64), when
#     MinGW-w64 is installed (scripts/setup-windows.sh): their lists of files,
#     the architecture of their binaries, their .def and calling notes.
set -euo pipefail
cd "$(dirname "$0")/.."
what="${1:-all}"
case "$what" in
  all|deb|python|windows) ;;
  *) echo "usage: scripts/package.sh [all|deb|python|windows]" >&2; exit 2 ;;
esac
version="$(sed -n 's/^project(torvik32c VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
failed=0
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}" >/dev/null 2>&1; then echo "ok: $1"; else echo "FAILED: $1"; failed=1; fi
}
started=$SECONDS
step() {  # step DESCRIPTION: says what comes, and how long the run has taken
  printf '\n== %s (%dm%02ds in)\n' "$1" $(((SECONDS - started) / 60)) $(((SECONDS - started) % 60))
}
# A build shows its progress as it goes: a line per file built.
build() {  # build --preset PRESET | build DIR
  cmake --build "$@" -j "$(nproc)"
}
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT

step "installing what the packages need (scripts/setup.sh, scripts/setup-python.sh)"
scripts/setup.sh
scripts/setup-python.sh

# The Python module's package, unpacked into the scratch root: Debian's
# Python imports it from the dist-packages folder it searches.  With a
# 3ds2bmf to compare with, its conversion of the sample must be that one's.
check_python_deb() {  # check_python_deb BUILD_DIR [REFERENCE_BMF]
  local python_deb reference="${2:-}"
  python_deb="$(ls "$1"/python3-torvik32c_"$version"_*.deb 2>/dev/null || true)"
  if [ -z "$python_deb" ]; then
    echo "(the Python package is skipped: the Python module is not built; scripts/setup-python.sh)"
    return
  fi
  echo "== $python_deb"
  dpkg-deb --info "$python_deb" | sed -n 's/^ \(Version\|Depends\):/  \1:/p'
  dpkg-deb -x "$python_deb" "$root"
  packages="$root/usr/lib/python3/dist-packages"
  check "the module in dist-packages, with its stubs" \
    test -e "$packages/torvik32c/__init__.pyi" -a -e "$packages/torvik32c/py.typed"
  check "dist-packages is where Debian's Python looks" \
    /usr/bin/python3 -c "import sys; assert '/usr/lib/python3/dist-packages' in sys.path"
  check "Depends names python3 and python3-numpy" \
    sh -c "dpkg-deb --field '$python_deb' Depends | grep -q 'python3 (<<.*python3-numpy'"
  check "the copyright file of python3-torvik32c" \
    test -e "$root/usr/share/doc/python3-torvik32c/copyright"
  check "python3 -c 'import torvik32c' says $version" \
    env PYTHONPATH="$packages" /usr/bin/python3 -c "import torvik32c; assert torvik32c.__version__ == '$version'"
  check "the installed module converts the sample to a valid BMF" \
    env PYTHONPATH="$packages" /usr/bin/python3 -c "import torvik32c, sys; r = torvik32c.convert('samples/sample.3ds', sys.argv[1]); m = torvik32c.read_bmf(sys.argv[1]); assert r.triangles > 0 and m.violations == []" "$root/python.bmf"
  if [ -n "$reference" ]; then
    check "the installed module converts the sample to 3ds2bmf's bytes" \
      cmp "$root/python.bmf" "$reference"
  fi
}

if [ "$what" = python ]; then
  step "building the library and the Python module (build/python-deb)"
  cmake -S . -B build/python-deb -DCMAKE_BUILD_TYPE=Release -DTORVIK_BUILD_TOOLS=OFF \
    -DTORVIK_BUILD_TESTS=OFF -DTORVIK_BUILD_PYTHON=ON >/dev/null
  build build/python-deb
  step "packing python3-torvik32c"
  (cd build/python-deb && cpack -G DEB -D CPACK_COMPONENTS_ALL=python >/dev/null)
  step "checking it"
  check_python_deb build/python-deb
  exit $failed
fi

if [ "$what" = all ] || [ "$what" = deb ]; then
step "building everything (build/release)"
cmake --preset release >/dev/null
build --preset release
step "packing the .deb files"
(cd build/release && cpack -G DEB >/dev/null)
step "checking them"
deb="$(ls build/release/torvik32c_"$version"_*.deb)"
echo "== $deb"
dpkg-deb --info "$deb" | sed -n 's/^ \(Version\|Depends\):/  \1:/p'
dpkg-deb -x "$deb" "$root"
for file in usr/bin/3ds2bmf usr/bin/bmftool usr/include/torvik32c/torvik32c.h \
            usr/share/man/man1/3ds2bmf.1 usr/share/man/man1/bmftool.1 \
            usr/share/doc/torvik32c/copyright; do
  check "$file" test -e "$root/$file"
done
check "the library with its soname" sh -c "ls '$root'/usr/lib*/libtorvik32c.so.1 '$root'/usr/lib*/**/libtorvik32c.so.1 2>/dev/null | grep -q ."
check "the CMake package" sh -c "ls -d '$root'/usr/lib*/cmake/torvik32c '$root'/usr/lib/*/cmake/torvik32c 2>/dev/null | grep -q ."
check "the pkg-config file" sh -c "find '$root' -name torvik32c.pc | grep -q ."
check "Depends names libpng" sh -c "dpkg-deb --field '$deb' Depends | grep -q libpng"
check "Depends names libmeshoptimizer" sh -c "dpkg-deb --field '$deb' Depends | grep -q libmeshoptimizer"
check "the copyright file names the MIT (Expat) licence" \
  grep -qx 'License: Expat' "$root/usr/share/doc/torvik32c/copyright"
check "3ds2bmf --version says $version" sh -c "'$root/usr/bin/3ds2bmf' --version | grep -qx '3ds2bmf $version'"
check "the installed 3ds2bmf converts the sample" \
  "$root/usr/bin/3ds2bmf" -q samples/sample.3ds -o "$root/sample.bmf"
check "the installed bmftool validates it" "$root/usr/bin/bmftool" validate "$root/sample.bmf"
check "the installed 3ds2bmf --optimize converts it too" \
  "$root/usr/bin/3ds2bmf" -q --optimize samples/sample.3ds -o "$root/optimized.bmf"

check_python_deb build/release "$root/sample.bmf"
fi

# The Windows zips, one per architecture: each names it, and holds its own
# DLL (checked by its PE format), .def and calling notes.
windows_zip() {  # windows_zip PRESET ARCH TRIPLET PE_FORMAT
  local preset=$1 arch=$2 triplet=$3 format=$4
  step "building the $arch zip (build/$preset)"
  cmake --preset "$preset" >/dev/null
  build --preset "$preset"
  (cd "build/$preset" && cpack -G ZIP >/dev/null)
  local zip="build/$preset/torvik32c-$version-$arch.zip" unpacked
  echo "== $zip"
  listing="$(unzip -Z1 "$zip")"
  for file in bin/torvik32c.dll bin/3ds2bmf.exe bin/bmftool.exe lib/libtorvik32c.dll.a \
              lib/torvik32c.def include/torvik32c/torvik32c.h README.md CHANGELOG.md LICENSE \
              CALLING-THE-DLL.txt; do
    check "$file in the zip" grep -q "^torvik32c-$version-$arch/$file\$" <<<"$listing"
  done
  unpacked="$root/$arch"
  mkdir -p "$unpacked"
  unzip -q "$zip" -d "$unpacked"
  unpacked="$unpacked/torvik32c-$version-$arch"
  for binary in bin/torvik32c.dll bin/3ds2bmf.exe bin/bmftool.exe; do
    check "$binary is $format" sh -c "$triplet-objdump -f '$unpacked/$binary' | grep -q 'file format $format'"
  done
  check "the .def is the one of the $arch DLL" \
    grep -q "do3dsparse$([ "$arch" = win32 ] && echo @12) @1" "$unpacked/lib/torvik32c.def"
  check "the calling notes are those of $arch" grep -q "package for .* ($arch)" "$unpacked/CALLING-THE-DLL.txt"
}
if [ "$what" = all ] || [ "$what" = windows ]; then
  if command -v i686-w64-mingw32-g++-posix >/dev/null && command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
    windows_zip mingw win32 i686-w64-mingw32 pei-i386
    windows_zip mingw64 win64 x86_64-w64-mingw32 pei-x86-64
  else
    echo "(the Windows zips are skipped: MinGW-w64 is not installed; scripts/setup-windows.sh)"
  fi
fi
step "done"
exit $failed
