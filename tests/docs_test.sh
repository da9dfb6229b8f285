#!/usr/bin/env bash
# docs_test.sh -- the guides show the declarations the client tests use,
# letter for letter.  usage: docs_test.sh SOURCE_DIR
set -euo pipefail
source=$1
passed=0 failed=0
while read -r guide file; do
  if python3 - "$source/$guide" "$source/$file" <<'PY'
import sys
guide, declarations = (open(p, encoding="utf-8").read() for p in sys.argv[1:])
sys.exit(0 if declarations in guide else 1)
PY
  then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $guide does not show $file as it is"; fi
done <<'PAIRS'
docs/python.md python/tessera.py
docs/pascal.md clients/pascal/tessera.pas
docs/csharp.md clients/csharp/Tessera.cs
docs/vba.md docs/vba.bas
PAIRS
echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
