#!/usr/bin/env bash
# test.sh -- builds the C# test program and the guide's example with Mono
# against the built library, and runs them.
# usage: test.sh LIBDIR
set -euo pipefail
libdir=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/testing.sh
source "$here/../../tests/testing.sh"
{ command -v mcs && command -v mono; } > /dev/null || missing "C# (mcs and mono)"

build() {  # build PROGRAM: Mono maps the Windows module's name to this system's library
  mcs -nologo -warnaserror -out:"$work/$1.exe" "$here/Tessera.cs" "$here/$1.cs" &&
    printf '<configuration><dllmap dll="Tessera.DLL" target="%s"/></configuration>\n' "$libdir/libtessera.so.1" \
      > "$work/$1.exe.config"
}
check "TesseraTest.cs builds" build TesseraTest
check "TesseraTest.cs passes" mono "$work/TesseraTest.exe"
check "Example.cs builds" build Example
check "Example.cs answers" prints $'4111111111111111: valid\n4111111111111: invalid' \
  mono "$work/Example.exe" 4111111111111111 4111111111111
summary
