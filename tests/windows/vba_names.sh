#!/usr/bin/env bash
# vba_names.sh -- every function the VBA declarations name is exported by the
# module under that very name.  usage: vba_names.sh MODULE OBJDUMP DECLARATIONS
set -euo pipefail
module=$1 objdump=$2 declarations=$3
exports=$("$objdump" -p "$module" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -nE 's/^\s*\[ *[0-9]+\] (.*)$/\1/p')
# shellcheck source=tests/testing.sh
source "$(dirname "${BASH_SOURCE[0]}")/../testing.sh"
while read -r name; do
  if grep -qx "$name" <<<"$exports"; then pass; else fail "$name is not exported"; fi
done < <(sed -nE 's/^Declare Function ([A-Za-z]+) Lib "Tessera\.DLL".*/\1/p' "$declarations")
summary && [[ $passed -eq 12 ]]
