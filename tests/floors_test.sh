#!/usr/bin/env bash
# floors_test.sh -- each floor of the library includes only its own floor and
# those below it: base/ (text primitives, today, the vector helpers), then the
# rules (cards/, iddoc/), then the API (frame/ and include/), then the front
# ends (tool/, bindings/).
# usage: floors_test.sh SOURCE_DIR
set -euo pipefail
source=$1
# shellcheck source=tests/testing.sh
source "$(dirname "${BASH_SOURCE[0]}")/testing.sh"

floor_of() {  # floor_of PATH: the floor of a path inside the source tree, 0 for none
  case $1 in
    base/*) echo 1 ;;
    cards/* | iddoc/*) echo 2 ;;
    frame/* | include/*) echo 3 ;;
    tool/* | bindings/*) echo 4 ;;
    *) echo 0 ;;
  esac
}

# The file a quoted include names: from the top of the tree, beside the
# including file, or in include/.
resolve() {  # resolve INCLUDING_FILE NAME
  local name=$2
  for candidate in "$name" "$(dirname "$1")/$name" "include/$name"; do
    [[ -f $source/$candidate ]] && { echo "$candidate"; return; }
  done
  echo "$name"
}

downward() {  # downward FLOOR_DIR: no file of the floor includes one of a higher floor
  local file name target status=0 seen=0
  while IFS= read -r file; do
    file=${file#"$source/"}
    while IFS= read -r name; do
      seen=$((seen + 1))
      target=$(resolve "$file" "$name")
      if (($(floor_of "$target") > $(floor_of "$file"))); then
        echo "$file includes $target, a higher floor"
        status=1
      fi
    done < <(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]+"([^"]+)".*/\1/p' "$source/$file")
  done < <(find "$source/$1" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.c' \))
  ((seen > 0)) || { echo "$1: no includes found, so nothing was checked"; return 1; }
  return $status
}

for dir in base cards iddoc frame include tool bindings; do
  check "$dir/ includes nothing of a higher floor" downward "$dir"
done

summary
