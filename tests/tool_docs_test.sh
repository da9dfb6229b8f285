#!/usr/bin/env bash
# tool_docs_test.sh -- docs/tessera.1 and the reference in docs/tool.md are what the table of flags makes
# usage: tool_docs_test.sh TESSERA_DOCS SOURCE_DIR [--write]
set -euo pipefail
docs=$1 source=$2 write=${3:-}
marker='<!-- The reference below is made from tool/flags.cpp: build the tessera_tool_docs target after changing it. -->'
man=$(mktemp) md=$(mktemp)
trap 'rm -f "$man" "$md"' EXIT
"$docs" man > "$man"
{ sed "/^$(printf '%s' "$marker" | sed 's/[][\.*^$/]/\\&/g')\$/q" "$source/docs/tool.md"; echo; "$docs" markdown; } > "$md"
if [[ $write == --write ]]; then
  cp "$man" "$source/docs/tessera.1"
  cp "$md" "$source/docs/tool.md"
  exit 0
fi
passed=0 failed=0
check() {
  if cmp -s "$1" "$2"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $3"; diff "$2" "$1" | head -20; fi
}
grep -qxF "$marker" "$source/docs/tool.md" || { echo "FAILED: docs/tool.md lacks the marker line"; failed=$((failed + 1)); }
check "$man" "$source/docs/tessera.1" "docs/tessera.1 is not what tool/flags.cpp makes (build tessera_tool_docs)"
check "$md" "$source/docs/tool.md" "the reference in docs/tool.md is not what tool/flags.cpp makes (build tessera_tool_docs)"
echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
