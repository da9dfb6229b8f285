#!/usr/bin/env bash
# tool_test.sh -- tessera.exe under the 64-bit Wine loader: files, standard input, CSV, CRLF, exit statuses;
# and its imports: system DLLs only.
# usage: tool_test.sh TESSERA_EXE OBJDUMP RUNNER...   (RUNNER: scripts/wine.sh 64)
set -uo pipefail
exe=$1 objdump=$2
shift 2
runner=("$@")
# shellcheck source=tests/testing.sh
source "$(dirname "${BASH_SOURCE[0]}")/../testing.sh"

# The runner says when this machine cannot run 64-bit programs (status 77).
# A Wine server still ending from an earlier run can refuse the first start,
# so the probe is tried once more before it counts.
"${runner[@]}" "$exe" --version > "$work/probe" 2>&1 || { sleep 1; "${runner[@]}" "$exe" --version > "$work/probe" 2>&1; }
case $? in
  0) ;;
  77) cat "$work/probe"; exit 77 ;;
  *) echo "FAILED: tessera.exe --version does not run:"; cat "$work/probe"; exit 1 ;;
esac

# runs WHY STATUS EXPECTED_OUTPUT INPUT_FILE ARGS...: standard output and status of one run.
runs() {
  local why=$1 status=$2 want=$3 input=$4
  shift 4
  local got code
  got=$("${runner[@]}" "$exe" "$@" < "$input" 2> "$work/err")
  code=$?
  if [[ $code == "$status" && $got == "$want" ]]; then
    pass
  else
    fail "$why"
    printf '  status %s (want %s)\n  output %q\n  wanted %q\n  errors %s\n' "$code" "$status" "$got" "$want" "$(cat "$work/err")"
  fi
}

printf '4111111111111111\r\n378282246310005\r\n' > "$work/crlf.txt"
printf '\xef\xbb\xbfid;name;card\r\n1;"Smith; J";4111111111111111\r\n2;"two\r\nlines";4111111111111112\r\n' > "$work/pay.csv"
printf '' > "$work/none"
printf '5555555555554444\n\n' > "$work/stdin.txt"
visa='4111111111111111: valid (Visa, checksum ok)'
amex='378282246310005: valid (American Express, checksum ok)'

runs "a file with CRLF endings" 0 "$visa"$'\n'"$amex" "$work/none" card -f "$work/crlf.txt"
runs "a Windows path" 0 "$visa"$'\n'"$amex" "$work/none" card -f "$(sed 's|/|\\|g' <<<"Z:$work/crlf.txt")"
runs "standard input, with a blank line" 0 $'5555555555554444\tvalid\tMasterCard\tpass\tnone\n\tempty\tn/a\tn/a\tn/a' "$work/stdin.txt" card --format tsv
runs "--file -" 0 '5555555555554444: valid (MasterCard, checksum ok)' "$work/stdin.txt" card --valid -f -
runs "CSV: byte-order mark, ';', quotes, a line break inside quotes" 1 \
  "$work/pay.csv:2: 4111111111111111: valid (Visa, checksum ok)"$'\n'"$work/pay.csv:3: 4111111111111112: invalid (Visa, checksum fails)" \
  "$work/none" card -n -d ';' --column card -f "$work/pay.csv"
runs "an invalid number: status 1" 1 '4111111111111112: invalid (Visa, checksum fails)' "$work/none" card 4111111111111112
runs "-q" 1 '' "$work/none" card -q 4111111111111112
runs "a missing file: status 2" 2 '' "$work/none" card -f "$work/missing"
runs "a usage error: status 2" 2 '' "$work/none" card --bogus
runs "id as of a day" 0 '12345678970-7506154-0909309-0: valid (check digits ok, not expired, age 34)' "$work/none" \
  id --today 2009-09-30 12345678970-7506154-0909309-0
runs "json" 0 '{"path":"(argument)","line":1,"record":1,"number":"4111111111111111","valid":true,"brand":"Visa","checksum":true,"hint":null}' \
  "$work/none" card --format json 4111111111111111

# scan: a directory walked in name order on two threads, a gzip file, a
# Windows path, standard input, and the exit statuses.
mkdir -p "$work/logs/b"
printf 'x\ncard=4111 1121 0111 1111;\n' > "$work/logs/a.log"
printf '378282345310005\n' | gzip -c > "$work/logs/b/c.gz"
printf 'nothing\n' > "$work/logs/d.txt"
runs "scan: a directory on two threads, gzip read" 1 \
  "$work/logs/a.log:2:6: Visa 4111 11** **** 1111"$'\n'"$work/logs/b/c.gz:1:1: American Express 378282*****0005" \
  "$work/none" scan -j2 "$work/logs"
# A path as Windows writes it; the output shows each backslash escaped.
winpath="Z:${work//\//\\}\\logs\\a.log"
runs "scan: a Windows path, counted" 1 "${winpath//\\/\\\\}:1" "$work/none" scan -c "$winpath"
printf '5555556595554444\n' > "$work/scan_stdin.txt"
runs "scan: standard input, JSON" 1 \
  '{"type":"card","path":"(standard input)","line":1,"column":1,"offset":0,"length":16,"brand":"Mastercard","number":"555555******4444","reason":"plain","key":null,"track":null,"test":false,"kept":null,"sha256":"97f80f189edaa980e07ed84f0e97f426ef21c362dbfaa0c63cbf192ae5b5a780"}' \
  "$work/scan_stdin.txt" scan --format json
runs "scan: nothing found" 0 '' "$work/none" scan "$work/logs/d.txt"
runs "scan: a missing file" 2 '' "$work/none" scan "$work/missing"

"${runner[@]}" "$exe" card -f "$work/missing" < "$work/none" > /dev/null 2> "$work/err"
check "a missing file is named on standard error" grep -q "^tessera: cannot open " "$work/err"
"${runner[@]}" "$exe" --help < "$work/none" > "$work/help"
check "--help" grep -q "^usage: tessera card" "$work/help"

# Statically linked: no C++ runtime, libgcc or winpthread DLL to ship.
imports=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p')
if [[ -n $imports ]] && ! grep -viqE '^(kernel32|msvcrt|ucrtbase|shell32|advapi32|user32|ntdll|api-ms-win-.*)\.dll$' <<<"$imports"; then
  pass
else
  fail "tessera.exe imports more than system DLLs:" $imports
fi

summary
