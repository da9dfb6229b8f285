#!/usr/bin/env bash
# package_test.sh -- lists each release archive and checks that it holds what
# users need.  usage: package_test.sh PACKAGE_DIR
set -euo pipefail
out=$1
# shellcheck source=tests/testing.sh
source "$(dirname "${BASH_SOURCE[0]}")/testing.sh"

expect_entries() {  # expect_entries ARCHIVE LISTING PATTERN...
  local archive=$1 listing=$2
  shift 2
  for pattern in "$@"; do
    if grep -qE "$pattern" <<<"$listing"; then
      pass
    else
      fail "$(basename "$archive") holds nothing like $pattern"
    fi
  done
}

# expect_stripped ARCHIVE ROOT: the programs and libraries unpacked under ROOT carry no debug information.
expect_stripped() {
  local archive=$1 root=$2 name file
  for name in tessera libtessera.so.1.1.0 libtessera.a; do
    file=$(find "$root" -type f -name "$name" | head -1)
    if [[ -n $file ]] && ! objdump -h "$file" | grep -q '\.debug_'; then
      pass
    else
      fail "$(basename "$archive") holds $name with debug information, or not at all"
    fi
  done
}

linux_files=('include/tessera\.h$' 'include/tessera_text\.h$' 'lib[^ ]*/libtessera\.so\.1\.1\.0$' 'lib[^ ]*/libtessera\.so\.1 ' 'lib[^ ]*/libtessera\.a$'
  'lib[^ ]*/cmake/Tessera/TesseraConfig\.cmake$' 'lib[^ ]*/cmake/Tessera/TesseraConfigVersion\.cmake$'
  'lib[^ ]*/pkgconfig/tessera\.pc$' 'bin/tessera$' 'share/doc/tessera/LICENSE$')

for tgz in "$out"/tessera-*-linux-*.tar.gz; do
  echo "== $(basename "$tgz")"
  listing=$(tar tvzf "$tgz" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; print substr($0, 6) }')
  echo "$listing"
  expect_entries "$tgz" "$listing" "${linux_files[@]}" 'share/man/man1/tessera\.1$'
  mkdir "$work/tgz" && tar xzf "$tgz" -C "$work/tgz"
  expect_stripped "$tgz" "$(echo "$work"/tgz/tessera-*)"
done
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
for deb in "$out"/tessera_*.deb; do
  echo "== $(basename "$deb")"
  listing=$(dpkg-deb -c "$deb" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; print substr($0, 6) }')
  echo "$listing"
  # Debian's layout: the man page compressed, the licence as usr/share/doc/PACKAGE/copyright,
  # and every library and its files in the multiarch folder, where the loader looks by name.
  expect_entries "$deb" "$listing" "${linux_files[@]}" '^\./usr/share/man/man1/tessera\.1\.gz$' \
    '^\./usr/share/doc/tessera/copyright$'
  expect_entries "$deb" "$listing" "^\./usr/lib/$multiarch/libtessera\.so\.1\.1\.0$" \
    "^\./usr/lib/$multiarch/libtessera\.a$" "^\./usr/lib/$multiarch/pkgconfig/tessera\.pc$" \
    "^\./usr/lib/$multiarch/cmake/Tessera/TesseraConfig\.cmake$" "^\./usr/lib/$multiarch/tessera_sqlite\.so$"
  if grep -E '^\./usr/lib/[^/]+\.(so|a)' <<<"$listing"; then
    fail "$(basename "$deb") holds libraries outside /usr/lib/$multiarch"
  else
    pass
  fi
  expect_entries "$deb" "$(dpkg-deb -f "$deb" Package Version)" '^Package: tessera$' '^Version: 1\.1\.0$'
  dpkg-deb -x "$deb" "$work/deb"
  expect_stripped "$deb" "$work/deb/usr"
  expect_entries "$deb" "$(gzip -cd "$work/deb/usr/share/man/man1/tessera.1.gz" 2>&1)" '^\.TH TESSERA 1'
  expect_entries "$deb" "$(cat "$work/deb/usr/share/doc/tessera/copyright" 2>&1)" '^Copyright: 2026 The Tessera developers$' \
    '^License: Expat$' '^ Permission is hereby granted'
  # The name alone finds it once it lies in a folder the loader searches.
  if command -v sqlite3 > /dev/null; then
    expect_entries "$deb" "$(printf '.load tessera_sqlite\nSELECT tessera_check_card(%s);\n' "'4111111111111111'" |
      LD_LIBRARY_PATH=$work/deb/usr/lib/$multiarch sqlite3 -batch :memory: 2>&1)" '^1$'
  fi
done
for wheel in "$out"/tessera-*.whl; do
  [[ -e $wheel ]] || { fail "no Python wheel"; continue; }
  echo "== $(basename "$wheel")"
  listing=$(unzip -Z1 "$wheel")
  echo "$listing"
  expect_entries "$wheel" "$listing" '^tessera/__init__\.py$' '^tessera/_tessera\..*\.so$' '^tessera/py\.typed$' \
    '^tessera/_ctypes\.py$' '^tessera-[0-9.]+\.dist-info/METADATA$'
done
for zip in "$out"/tessera-*-windows.zip; do
  [[ -e $zip ]] || { echo "SKIPPED: no Windows archive"; continue; }
  echo "== $(basename "$zip")"
  listing=$(unzip -Z1 "$zip")
  echo "$listing"
  expect_entries "$zip" "$listing" '/win32/Tessera\.DLL$' '/win64/Tessera\.DLL$' '/win32/Tessera\.dll\.a$' \
    '/win64/Tessera\.dll\.a$' '/win64/tessera\.exe$' '/LICENSE$' '/tessera\.def$' '/tessera\.h$' '/docs/vba\.md$' \
    '/docs/csharp\.md$' '/docs/tool\.md$'
  expect_entries "$zip" "$listing" '/bindings/pascal/tessera\.pas$' '/bindings/csharp/Tessera\.cs$' \
    '/bindings/vba/Tessera\.bas$' '/bindings/python/tessera/_ctypes\.py$' '/bindings/python/tessera/_version\.py$'
  mkdir "$work/zip" && unzip -q "$zip" -d "$work/zip"
  # The VBA editor's Import wants CRLF line ends.
  bas=$(find "$work/zip" -name Tessera.bas | head -1)
  if [[ -s $bas ]] && ! grep -q $'[^\r]$' "$bas"; then
    pass
  else
    fail "$(basename "$zip"): bindings/vba/Tessera.bas has lines without CRLF"
  fi
  # Every relative link of every guide leads to a file in the archive.
  while read -r guide; do
    while read -r target; do
      target=${target%%#*}
      if [[ -z $target || -e $(dirname "$guide")/$target ]]; then
        pass
      else
        fail "$(basename "$zip"): ${guide#"$work/zip/"} links to $target, which it does not hold"
      fi
    done < <(grep -oE '\]\([^)]+\)' "$guide" | sed -E 's/^\]\((.*)\)$/\1/' | grep -vE '^[a-z]+:')
  done < <(find "$work/zip" -name '*.md')
done
summary && [[ $passed -gt 0 ]]
