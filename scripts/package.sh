#!/usr/bin/env bash
# Builds the packages and checks them:
#   - the .deb (build/release): unpacked into a scratch root, whose 3ds2bmf
#     prints the project version and converts the sample, and whose files
#     include the library with its soname, headers, man pages, CMake package
#     and pkg-config file;
#   - the Windows .zip (build/mingw), when MinGW-w64 is installed
#     (scripts/setup-windows.sh): its list of files.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
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

if command -v i686-w64-mingw32-g++-posix >/dev/null; then
  cmake --preset mingw >/dev/null
  cmake --build --preset mingw -j "$(nproc)" >/dev/null
  (cd build/mingw && cpack -G ZIP >/dev/null)
  zip="build/mingw/torvik32c-$version-win32.zip"
  echo "== $zip"
  listing="$(unzip -Z1 "$zip")"
  for file in bin/torvik32c.dll bin/3ds2bmf.exe bin/bmftool.exe lib/libtorvik32c.dll.a \
              lib/torvik32c.def include/torvik32c/torvik32c.h README.md LICENSE \
              CALLING-THE-DLL.txt; do
    check "$file in the zip" grep -q "/$file\$" <<<"$listing"
  done
else
  echo "(the Windows .zip is skipped: MinGW-w64 is not installed; scripts/setup-windows.sh)"
fi
exit $failed
