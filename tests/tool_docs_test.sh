#!/usr/bin/env bash
# tool_docs_test.sh -- docs/tessera.1 and the reference in docs/tool.md are what the table of flags makes
# usage: tool_docs_test.sh TESSERA_DOCS SOURCE_DIR [--write]
set -euo pipefail
docs=$1 source=$2 write=${3:-}
marker='<!-- The reference below is made from tool/flags.cpp: build the tessera_tool_docs target after changing it. -->'
# shellcheck source=tests/testing.sh
source "$(dirname "${BASH_SOURCE[0]}")/testing.sh"
man=$work/tessera.1 md=$work/tool.md
"$docs" man > "$man"
{ sed "/^$(printf '%s' "$marker" | sed 's/[][\.*^$/]/\\&/g')\$/q" "$source/docs/tool.md"; echo; "$docs" markdown; } > "$md"
if [[ $write == --write ]]; then
  cp "$man" "$source/docs/tessera.1"
  cp "$md" "$source/docs/tool.md"
  exit 0
fi
same() {  # same MADE FILE
  cmp -s "$1" "$2" || { diff "$2" "$1" | head -20; return 1; }
}
check "docs/tool.md lacks the marker line" grep -qxF "$marker" "$source/docs/tool.md"
check "docs/tessera.1 is not what tool/flags.cpp makes (build tessera_tool_docs)" same "$man" "$source/docs/tessera.1"
check "the reference in docs/tool.md is not what tool/flags.cpp makes (build tessera_tool_docs)" same "$md" "$source/docs/tool.md"
summary
