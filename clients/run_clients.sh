#!/usr/bin/env bash
# run_clients.sh -- builds and runs a host program of another language
# against the built shared library.
# usage: run_clients.sh LIBDIR SOURCE_DIR [python|pascal|csharp]...
set -euo pipefail
libdir=$1 source=$2
shift 2
languages=${*:-python pascal csharp}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LD_LIBRARY_PATH=$libdir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
status=0

wanted() { [[ " $languages " == *" $1 "* ]]; }
# Where every language is required (CI), a missing compiler fails the test.
missing() {
  if [[ ${TESSERA_REQUIRE_CLIENTS:-0} == 1 ]]; then echo "FAILED: $1"; status=1; else echo "SKIPPED: $1"; fi
}

if wanted python; then
echo "== Python (ctypes)"
TESSERA_LIBRARY=$libdir/libtessera.so.1 python3 "$source/clients/python_test.py" "$source/python" || status=1
fi

if wanted pascal; then
echo "== Free Pascal"
if command -v fpc > /dev/null; then
  fpc -v0 -FE"$work" -Fu"$source/clients/pascal" -Fl"$libdir" "$source/clients/pascal/client.pas" > "$work/fpc.log" ||
    { cat "$work/fpc.log"; status=1; }
  [[ -x $work/client ]] && { "$work/client" || status=1; }
else
  missing "Free Pascal (fpc) is not installed"
fi
fi

if wanted csharp; then
echo "== C# (Mono)"
if command -v mcs > /dev/null && command -v mono > /dev/null; then
  mcs -nologo -out:"$work/client.exe" "$source/clients/csharp/Tessera.cs" "$source/clients/csharp/Client.cs" || status=1
  # Mono maps the Windows module name to the shared library of this system.
  printf '<configuration><dllmap dll="Tessera.DLL" target="%s"/></configuration>\n' "$libdir/libtessera.so.1" \
    > "$work/client.exe.config"
  mono "$work/client.exe" || status=1
else
  missing "C# (mcs and mono are not installed)"
fi
fi
exit $status
