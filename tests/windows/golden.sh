#!/usr/bin/env bash
# golden.sh -- reads the built Tessera.DLL back from the file and compares its
# export table, entry point, machine, imports and version record with what
# hosts rely on.  usage: golden.sh MODULE OBJDUMP WINDRES (i386|x86-64)
set -euo pipefail
module=$1 objdump=$2 windres=$3 machine=$4
# shellcheck source=tests/testing.sh
source "$(dirname "${BASH_SOURCE[0]}")/../testing.sh"

dump=$("$objdump" -p "$module")
header=$("$objdump" -f "$module")

# Ordinal and name of every export, from the name pointer table.
names=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" |
  sed -nE 's/^\s*\[ *([0-9]+)\] (.*)$/\1 \2/p' | awk '{ print $1 + 1, $2 }')
expect "exported names at their ordinals" "1 CheckCard
2 CheckGPANo
3 CheckGPANoAge
4 CheckGPANoExpired
5 CheckNumber
6 CheckOrganization
7 DLLEntryPoint
8 IsAmex
9 IsDC
10 IsDisc
11 IsJCB
12 IsMC
13 IsVisa" "$names"

addresses=$(sed -n '/^Export Address Table -- Ordinal Base 1/,/^$/p' <<<"$dump" | grep -c 'Export RVA' || true)
expect "thirteen entries in the export address table" 13 "$addresses"

entry=$(sed -nE 's/^AddressOfEntryPoint\s+0*([0-9a-fA-F]+)$/\1/p' <<<"$dump")
entry_export=$(sed -nE 's/^\s*\[ *6\] \+base\[ *7\] +0*([0-9a-fA-F]+) Export RVA$/\1/p' <<<"$dump" | head -1)
expect "the entry point is the exported DLLEntryPoint" "$entry_export" "$entry"

format=$(sed -nE 's/.*file format (pei-[a-z0-9-]+).*/\1/p' <<<"$header")
expect "machine type" "pei-$machine" "$format"

imports=$(sed -nE 's/^\s*DLL Name: (.*)$/\1/p' <<<"$dump")
expect "imports from KERNEL32.dll only" "KERNEL32.dll" "$imports"
members=$(sed -n '/DLL Name: KERNEL32.dll/,/^$/p' <<<"$dump" | awk 'NR > 2 && NF >= 3 { print $3 }')
expect "the one import is GetLocalTime" "GetLocalTime" "$members"

record=$("$windres" -i "$module" -O rc)
for line in \
  ' FILEVERSION 1, 1, 0, 0' \
  ' PRODUCTVERSION 1, 1, 0, 0' \
  '    BLOCK "000004E4"' \
  '      VALUE "FileVersion", "1.1"' \
  '      VALUE "ProductVersion", "1.1"' \
  '      VALUE "FileDescription", "validate creditcard numbers"' \
  '      VALUE "InternalName", "Tessera"' \
  '      VALUE "OriginalFilename", "Tessera.DLL"' \
  '      VALUE "ProductName", "Tessera.DLL"' \
  '    VALUE "Translation", 0x0, 1252'; do
  found=$(grep -Fx -- "$line" <<<"$record" || true)
  expect "version record line:$line" "$line" "$found"
done

summary
