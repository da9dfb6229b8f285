#!/usr/bin/env bash
# package.sh -- makes the release archives in build/packages: the Linux .tar.gz
# (from build/default) and .deb (from build/deb, built for /usr), the Python
# wheel, and, where mingw-w64 is installed, the Windows .zip with the 32-bit
# and 64-bit modules (two builds, joined by cmake/WindowsZip.cmake). Then
# lists and checks what each holds.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$PWD/build/packages
jobs=$(nproc)
rm -rf "$out"
mkdir -p "$out"

cmake --preset default > /dev/null
cmake --build --preset default -j"$jobs" > /dev/null
(cd build/default && cpack -G TGZ -B "$out" > /dev/null)
# The .deb from a build for the prefix /usr, for which CMake puts libraries in
# Debian's multiarch folder (/usr/lib/x86_64-linux-gnu), as Debian does.
cmake --preset default -B build/deb -DCMAKE_INSTALL_PREFIX=/usr -DTESSERA_BUILD_TESTS=OFF -DTESSERA_BUILD_FUZZ=OFF \
  > /dev/null
cmake --build build/deb -j"$jobs" > /dev/null
(cd build/deb && cpack -G DEB -B "$out" > /dev/null)
# The Python package's wheel, built offline by Debian's Python and setuptools.
/usr/bin/python3 -m pip wheel --quiet --disable-pip-version-check --no-build-isolation --no-index --no-deps -w "$out" .

if command -v i686-w64-mingw32-g++ > /dev/null && command -v x86_64-w64-mingw32-g++ > /dev/null; then
  for preset in win32 win64; do
    cmake --preset "$preset" > /dev/null
    cmake --build --preset "$preset" -j"$jobs" > /dev/null
  done
  cmake -DWIN32_BUILD=build/win32 -DWIN64_BUILD=build/win64 -DOUTPUT_DIR="$out" -P cmake/WindowsZip.cmake > /dev/null
else
  echo "SKIPPED: the Windows archive (mingw-w64 is not installed)"
fi
rm -rf "$out/_CPack_Packages"
bindings/postgres/package.sh "$out"
bash tests/package_test.sh "$out"
