#!/usr/bin/env bash
# package.sh -- makes the Debian package of the PostgreSQL extension,
# postgresql-MAJOR-tessera, for the server whose pg_config is on PATH (or in
# PG_CONFIG), lists it and checks what it holds.
# usage: package.sh OUT_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$(mkdir -p "$1" && cd "$1" && pwd)
pg_config=${PG_CONFIG:-pg_config}
if ! command -v "$pg_config" > /dev/null || ! command -v dpkg-deb > /dev/null ||
  [[ ! -e $("$pg_config" --includedir-server)/postgres.h ]]; then
  echo "SKIPPED: the PostgreSQL extension package (needs postgresql-server-dev-15 and dpkg-deb)"
  exit 0
fi

major=$("$pg_config" --version | sed -E 's/^PostgreSQL ([0-9]+).*/\1/')
version=$(sed -nE "s/^default_version = '([^']+)'/\1/p" "$here/tessera.control")
package=postgresql-$major-tessera
arch=$(dpkg --print-architecture)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir "$work/build"
make -s -C "$work/build" -f "$here/Makefile" -j"$(nproc)" PG_CONFIG="$pg_config" > /dev/null
make -s -C "$work/build" -f "$here/Makefile" PG_CONFIG="$pg_config" install DESTDIR="$work/root" > /dev/null
strip --strip-unneeded "$work/root$("$pg_config" --pkglibdir)/tessera.so"
docdir=$work/root/usr/share/doc/$package
mkdir -p "$docdir"
cp "$here/../../docs/sql.md" "$here/../../LICENSE" "$docdir/"
cmake -DLICENSE_FILE="$here/../../LICENSE" -DCOPYRIGHT_FILE="$docdir/copyright" -P "$here/../../cmake/DebianCopyright.cmake"

# The libraries the module links, as dpkg-shlibdeps names them.
mkdir -p "$work/shlibs/debian"
printf 'Source: tessera\n\nPackage: %s\nArchitecture: any\n' "$package" > "$work/shlibs/debian/control"
libraries=$(cd "$work/shlibs" && dpkg-shlibdeps -O -e "$work/root$("$pg_config" --pkglibdir)/tessera.so" 2> /dev/null |
  sed -n 's/^shlibs:Depends=//p')

mkdir "$work/root/DEBIAN"
cat > "$work/root/DEBIAN/control" <<CONTROL
Package: $package
Version: $version
Architecture: $arch
Maintainer: The Tessera developers <tessera-developers@users.noreply.invalid>
Section: database
Priority: optional
Depends: postgresql-$major${libraries:+, $libraries}
Installed-Size: $(du -sk "$work/root" | cut -f1)
Description: payment card and GPA identity-number checks for PostgreSQL $major
 CREATE EXTENSION tessera adds the schema tessera with the card checks
 (brand, Luhn checksum, both), the GPA number checks (check digits,
 expiry, age), card masking and the domains card_number and gpa_number.
CONTROL
deb=$out/${package}_${version}_$arch.deb
dpkg-deb --root-owner-group --build "$work/root" "$deb" > /dev/null

echo "== $(basename "$deb")"
listing=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
echo "$listing"
failed=0
for file in "$("$pg_config" --pkglibdir)/tessera.so" "$("$pg_config" --sharedir)/extension/tessera.control" \
  "$("$pg_config" --sharedir)/extension/tessera--$version.sql" "/usr/share/doc/$package/copyright" \
  "/usr/share/doc/$package/LICENSE"; do
  grep -qx ".$file" <<<"$listing" || { echo "FAILED: $(basename "$deb") holds no $file"; failed=1; }
done
[[ $(dpkg-deb -f "$deb" Package) == "$package" ]] || { echo "FAILED: package name"; failed=1; }
exit $failed
