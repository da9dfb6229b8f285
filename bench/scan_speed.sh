#!/usr/bin/env bash
# scan_speed.sh -- tessera scan against ripgrep on a generated web-application
# log, side by side in one run: medians of interleaved runs of whole processes;
# then the input layer: the log in UTF-16 against the same log in UTF-8, the
# log compressed against its decompressor alone, and a zip of 1,000 docx files.
#
# usage: bench/scan_speed.sh [MEBIBYTES] [RUNS] [DECODED_MEBIBYTES]
#        (default 512 MiB, 5 runs; 256 MiB for the input layer's log)
#
# ripgrep only finds candidates with a regular expression and checks
# nothing; tessera scan finds the same shapes and runs the card check on
# each. Today's rule (the default) is timed beside the rule before it
# (--brands seed), whose throughput it is to keep at least 0.8 of. The
# corpus is made once into build/bench/scan-corpus, as one file and as a
# directory of eight files for the -j2 against -j1 comparison.
set -euo pipefail
cd "$(dirname "$0")/.."
mib=${1:-512} runs=${2:-5} decoded_mib=${3:-256}
command -v rg > /dev/null || { echo "ripgrep is needed (Debian: ripgrep)"; exit 1; }
cmake --preset bench > /dev/null
cmake --build --preset bench -j2 --target tessera_tool tessera_logs > /dev/null
tessera=build/bench/tool/tessera
corpus=build/bench/scan-corpus
regex='\b(?:\d[ -]?){12,15}\d\b'

mkdir -p "$corpus/parts"
if [[ ! -f $corpus/logs-$mib.txt ]]; then
  rm -f "$corpus"/logs-*.txt "$corpus"/parts/*
  build/bench/bench/tessera_logs "$mib" > "$corpus/logs-$mib.txt"
  for part in 1 2 3 4 5 6 7 8; do build/bench/bench/tessera_logs $((mib / 8)) "$part" > "$corpus/parts/$part.log"; done
fi
file=$corpus/logs-$mib.txt
bytes=$(stat -c %s "$file")
dir_bytes=$(cat "$corpus"/parts/*.log | wc -c)
# Both tools read from the page cache, not the disk.
cat "$file" "$corpus"/parts/*.log > /dev/null

# Microseconds of one run, output thrown away.
time_us() {
  local start end
  start=$(date +%s%N)
  "$@" > /dev/null || true
  end=$(date +%s%N)
  echo $(((end - start) / 1000))
}
median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

declare -A samples us
for ((run = 0; run < runs; run++)); do
  samples[cat]+="$(time_us cat "$file") "
  samples[scan]+="$(time_us "$tessera" scan -c -j1 "$file") "
  samples[seed]+="$(time_us "$tessera" scan --brands seed -c -j1 "$file") "
  samples[rg]+="$(time_us rg -c -j1 "$regex" "$file") "
  samples[j1]+="$(time_us "$tessera" scan -c -j1 "$corpus/parts") "
  samples[j2]+="$(time_us "$tessera" scan -c -j2 "$corpus/parts") "
done
for name in cat scan seed rg j1 j2; do us[$name]=$(median "${samples[$name]}"); done

# tessera and rg end with status 1 when they find something.
found=$( ("$tessera" scan -c "$file" || true) | sed 's/.*://')
lines=$(rg -c -j1 "$regex" "$file" || true)
peak=$( { /usr/bin/time -f '%M' "$tessera" scan -c -j1 "$file" > /dev/null || true; } 2>&1 | tail -1)
peak2=$( { /usr/bin/time -f '%M' "$tessera" scan -c -j2 "$corpus/parts" > /dev/null || true; } 2>&1 | tail -1)

row() {  # row LABEL MICROSECONDS BYTES NOTE
  # The label through the environment: awk -v would read "\b" as a backspace.
  LABEL=$1 NOTE=$4 awk -v us="$2" -v b="$3" \
    'BEGIN { printf "| %s | %.3f | %.2f | %s |\n", ENVIRON["LABEL"], us / 1e6, b / us / 1e3, ENVIRON["NOTE"] }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
printf '\nlog corpus: %s MiB, %s lines; tessera finds %s cards, ripgrep %s candidate lines\n\n' \
  "$mib" "$(wc -l < "$file")" "$found" "$lines"
printf '| command (median of %s) | s | GB/s | note |\n|---|---:|---:|---|\n' "$runs"
row "cat FILE > /dev/null (reading alone)" "${us[cat]}" "$bytes" ""
row "tessera scan -c -j1 FILE" "${us[scan]}" "$bytes" "$(ratio "${us[scan]}" "${us[rg]}") of ripgrep's time (goal: at most 0.5)"
row "tessera scan --brands seed -c -j1 FILE" "${us[seed]}" "$bytes" \
  "the rule before today's; today's runs at $(ratio "${us[seed]}" "${us[scan]}")x its throughput (goal: at least 0.8)"
row "rg -c -j1 '$regex' FILE" "${us[rg]}" "$bytes" ""
row "tessera scan -c -j1 DIR (8 files)" "${us[j1]}" "$dir_bytes" ""
row "tessera scan -c -j2 DIR (8 files)" "${us[j2]}" "$dir_bytes" "$(ratio "${us[j1]}" "${us[j2]}")x the speed of -j1 (goal: at least 1.8)"
echo
echo "peak resident size of tessera scan: ${peak} KiB (-j1), ${peak2} KiB (-j2)"

# ---- the input layer ----------------------------------------------------------
# The compressors at their default levels, xz in one thread so that xzcat
# decodes one stream as the scan does.
inputs=$corpus/inputs-$decoded_mib
if [[ ! -f $inputs/docx.zip ]]; then
  rm -rf "$corpus"/inputs-*
  mkdir -p "$inputs"
  build/bench/bench/tessera_logs "$decoded_mib" 7 > "$inputs/log.txt"
  python3 bench/make_inputs.py "$inputs/log.txt" "$inputs"
  gzip -k "$inputs/log.txt"
  bzip2 -k "$inputs/log.txt"
  xz -k -T1 "$inputs/log.txt"
  zstd -q -k "$inputs/log.txt"
fi
cat "$inputs"/* > /dev/null
unset samples us
declare -A samples us
tools=(gz:zcat bz2:bzcat xz:xzcat zst:zstdcat)
for ((run = 0; run < runs; run++)); do
  samples[utf8]+="$(time_us "$tessera" scan -c -j1 "$inputs/log.txt") "
  samples[utf16]+="$(time_us "$tessera" scan -c -j1 "$inputs/log16.txt") "
  for pair in "${tools[@]}"; do
    kind=${pair%%:*} tool=${pair#*:}
    samples[$tool]+="$(time_us "$tool" "$inputs/log.txt.$kind") "
    samples[$kind]+="$(time_us "$tessera" scan -c -j1 "$inputs/log.txt.$kind") "
  done
  samples[docx]+="$(time_us "$tessera" scan -c -j1 "$inputs/docx.zip") "
done
for name in "${!samples[@]}"; do us[$name]=$(median "${samples[$name]}"); done
log_bytes=$(stat -c %s "$inputs/log.txt")
same=$( ("$tessera" scan -c "$inputs/log.txt" || true) | sed 's/.*://'):$( ("$tessera" scan -c "$inputs/log16.txt" || true) | sed 's/.*://')
docx_found=$( ("$tessera" scan -l "$inputs/docx.zip" || true) | wc -l)

printf '\ninput layer: a %s MiB log (%s findings in UTF-8:UTF-16), times of the decoded bytes\n\n' "$decoded_mib" "$same"
printf '| command (median of %s) | s | GB/s decoded | note |\n|---|---:|---:|---|\n' "$runs"
row "tessera scan -c -j1 log.txt (UTF-8)" "${us[utf8]}" "$log_bytes" ""
row "tessera scan -c -j1 log16.txt (UTF-16LE)" "${us[utf16]}" "$log_bytes" \
  "$(ratio "${us[utf8]}" "${us[utf16]}")x the speed of UTF-8 (goal: at least 0.5)"
for pair in "${tools[@]}"; do
  kind=${pair%%:*} tool=${pair#*:}
  row "$tool log.txt.$kind > /dev/null" "${us[$tool]}" "$log_bytes" ""
  row "tessera scan -c -j1 log.txt.$kind" "${us[$kind]}" "$log_bytes" \
    "$(ratio "${us[$kind]}" "${us[$tool]}")x the time of $tool (goal: at most 1.2)"
done
awk -v us="${us[docx]}" -v found="$docx_found" 'BEGIN {
  printf "| tessera scan -c -j1 docx.zip (1,000 docx) | %.3f | | %.0f files/s; %d with a finding (of 100) |\n", us / 1e6, 1000 / (us / 1e6), found }'
echo
for kind in gz bz2 xz zst; do
  peak=$( { /usr/bin/time -f '%M' "$tessera" scan -c -j1 "$inputs/log.txt.$kind" > /dev/null || true; } 2>&1 | tail -1)
  printf 'peak resident size of tessera scan log.txt.%s: %s KiB\n' "$kind" "$peak"
done
