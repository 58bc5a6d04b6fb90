#!/usr/bin/env bash
# Builds the packages and checks them:
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
scripts/setup.sh
scripts/setup-python.sh
version="$(sed -n 's/^project(torvik32c VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
failed=0
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}" >/dev/null 2>&1; then echo "ok: $1"; else echo "FAILED: $1"; failed=1; fi
}

cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" >/dev/null
(cd build/release && cpack -G DEB >/dev/null)
deb="$(ls build/release/torvik32c_"$version"_*.deb)"
echo "== $deb"
dpkg-deb --info "$deb" | sed -n 's/^ \(Version\|Depends\):/  \1:/p'
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
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
check "Depends names libjpeg (texture decoding)" sh -c "dpkg-deb --field '$deb' Depends | grep -q libjpeg"
check "Depends names libmeshoptimizer" sh -c "dpkg-deb --field '$deb' Depends | grep -q libmeshoptimizer"
check "the copyright file names the MIT (Expat) licence" \
  grep -qx 'License: Expat' "$root/usr/share/doc/torvik32c/copyright"
check "3ds2bmf --version says $version" sh -c "'$root/usr/bin/3ds2bmf' --version | grep -qx '3ds2bmf $version'"
check "the installed 3ds2bmf converts the sample" \
  "$root/usr/bin/3ds2bmf" -q samples/sample.3ds -o "$root/sample.bmf"
check "the installed bmftool validates it" "$root/usr/bin/bmftool" validate "$root/sample.bmf"
check "the installed 3ds2bmf --optimize converts it too" \
  "$root/usr/bin/3ds2bmf" -q --optimize samples/sample.3ds -o "$root/optimized.bmf"

# The Python module's package, unpacked beside the other: Debian's Python
# imports it from the dist-packages folder it searches.
python_deb="$(ls build/release/python3-torvik32c_"$version"_*.deb 2>/dev/null || true)"
if [ -n "$python_deb" ]; then
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
  check "the installed module converts the sample to 3ds2bmf's bytes" \
    env PYTHONPATH="$packages" /usr/bin/python3 -c "import torvik32c, sys; torvik32c.convert('samples/sample.3ds', sys.argv[1]); assert open(sys.argv[1], 'rb').read() == open(sys.argv[2], 'rb').read()" "$root/python.bmf" "$root/sample.bmf"
else
  echo "(the Python package is skipped: the Python module is not built; scripts/setup-python.sh)"
fi

# The Windows zips, one per architecture: each names it, and holds its own
# DLL (checked by its PE format), .def and calling notes.
windows_zip() {  # windows_zip PRESET ARCH TRIPLET PE_FORMAT
  local preset=$1 arch=$2 triplet=$3 format=$4
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)" >/dev/null
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
if command -v i686-w64-mingw32-g++-posix >/dev/null && command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  windows_zip mingw win32 i686-w64-mingw32 pei-i386
  windows_zip mingw64 win64 x86_64-w64-mingw32 pei-x86-64
else
  echo "(the Windows zips are skipped: MinGW-w64 is not installed; scripts/setup-windows.sh)"
fi
exit $failed
