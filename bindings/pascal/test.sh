#!/usr/bin/env bash
# test.sh -- builds the Pascal test program and the guide's example against
# the built library, as docs/pascal.md says, and runs them.
# usage: test.sh LIBDIR
set -euo pipefail
libdir=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/testing.sh
source "$here/../../tests/testing.sh"
command -v fpc > /dev/null || missing "Free Pascal (fpc)"

build() {  # build PROGRAM: the library's folder is recorded in the program
  fpc -v0 -FE"$work" -FU"$work" -Fu"$here" -Fl"$libdir" -k-rpath="$libdir" "$here/$1.pas"
}
check "tessera_test.pas builds" build tessera_test
check "tessera_test.pas passes" "$work/tessera_test"
check "example.pas builds" build example
check "example.pas answers" prints $'4111111111111111: valid\n4111111111111: invalid' \
  "$work/example" 4111111111111111 4111111111111
check "the program loads libtessera.so.1" bash -c "readelf -d '$work/example' | grep -q 'NEEDED.*\[libtessera\.so\.1\]'"
summary
