#!/usr/bin/env bash
# docs_test.sh -- the guides link to files that exist, link their binding,
# show their example program as it is (the binding's test builds and runs
# that file), and call only functions their binding declares.
# usage: docs_test.sh SOURCE_DIR
set -euo pipefail
source=$1
# shellcheck source=tests/testing.sh
source "$(dirname "${BASH_SOURCE[0]}")/testing.sh"

links_exist() {  # links_exist GUIDE: every relative link leads to a file
  local guide=$1 target status=0
  while read -r target; do
    target=${target%%#*}
    [[ -z $target || -e $(dirname "$source/$guide")/$target ]] || { echo "$guide: $target does not exist"; status=1; }
  done < <(grep -oE '\]\([^)]+\)' "$source/$guide" | sed -E 's/^\]\((.*)\)$/\1/' | grep -vE '^[a-z]+:')
  return $status
}

links_to() {  # links_to GUIDE FILE
  grep -qF "](../$2)" "$source/$1"
}

shows() {  # shows GUIDE FILE: the file's whole text appears in the guide
  python3 - "$source/$1" "$source/$2" <<'PY'
import sys
guide, shown = (open(p, encoding="utf-8").read() for p in sys.argv[1:])
sys.exit(0 if shown in guide else 1)
PY
}

calls_declared() {  # calls_declared GUIDE DECLARATIONS LANGUAGE [NAMES]: the checks its code calls are declared
  local guide=$1 declarations=$2 language=$3 names=${4:-'(Is(Amex|DC|Disc|JCB|MC|Visa)|Check[A-Za-z]*)'} name status=0
  while read -r name; do
    # shellcheck disable=SC2086 # DECLARATIONS may name several files
    (cd "$source" && grep -qE "\b$name\b" $declarations) || { echo "$guide calls $name, which $declarations lacks"; status=1; }
  done < <(sed -n "/^\`\`\`$language\$/,/^\`\`\`\$/p" "$source/$guide" |
           grep -oE "\\b$names\\(" | tr -d '(' | sort -u)
  return $status
}

for guide in "$source"/docs/*.md; do
  check "${guide#"$source/"}: its links lead to files" links_exist "${guide#"$source/"}"
done

# guide          binding                          example shown as it is ("-": none)
while read -r guide binding example; do
  [[ $binding == - ]] || check "$guide links to $binding" links_to "$guide" "$binding"
  [[ $example == - ]] || check "$guide shows $example as it is" shows "$guide" "$example"
done <<'GUIDES'
docs/c.md        include/tessera.h                tests/consumers/c/hello.c
docs/c.md        include/tessera_text.h           tests/consumers/c/column.c
docs/c.md        include/tessera_scan.h           tests/consumers/c/redact.c
docs/pascal.md   bindings/pascal/tessera.pas      bindings/pascal/example.pas
docs/csharp.md   bindings/csharp/Tessera.cs       bindings/csharp/Example.cs
docs/vba.md      bindings/vba/Tessera.bas         -
docs/python.md   bindings/python/tessera/__init__.py -
GUIDES

# The VBA example cannot run here; its calls are at least declared, and
# tests/windows/vba_names.sh finds every declaration in the module.
check "docs/vba.md calls only declared checks" calls_declared docs/vba.md bindings/vba/Tessera.bas vb
check "docs/c.md calls only declared checks" calls_declared docs/c.md include/tessera.h c
check "docs/c.md calls only declared tessera_ functions" calls_declared docs/c.md "include/tessera_text.h include/tessera_scan.h" c 'tessera_[a-z0-9_]+'

summary
