#!/usr/bin/env bash
# run_clients.sh -- runs a host program of another language against the
# built shared library.
# usage: run_clients.sh LIBDIR SOURCE_DIR [python]...
set -euo pipefail
libdir=$1 source=$2
shift 2
languages=${*:-python}
export LD_LIBRARY_PATH=$libdir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}
status=0

wanted() { [[ " $languages " == *" $1 "* ]]; }

if wanted python; then
echo "== Python (ctypes)"
TESSERA_LIBRARY=$libdir/libtessera.so.1 python3 "$source/clients/python_test.py" "$source/python" || status=1
fi

exit $status
