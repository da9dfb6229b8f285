#!/usr/bin/env bash
# tool_speed.sh -- times `tessera card --format tsv` against `wc -l` and `cat`
# on the same generated file, as whole processes: medians of interleaved runs.
# usage: tool_speed.sh TESSERA CORPUS_MAKER [LINES] [RUNS]
set -euo pipefail
tessera=$1 maker=$2 lines=${3:-1000000} runs=${4:-7}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$maker" "$lines" > "$work/cards.txt"

# Milliseconds of one run of the command, its output thrown away.
time_ms() {
  local start end
  start=$(date +%s%N)
  "$@" < "$work/cards.txt" > /dev/null || true
  end=$(date +%s%N)
  echo $(((end - start) / 1000))
}

declare -A samples
for ((run = 0; run < runs; run++)); do
  samples[wc]+="$(time_ms wc -l) "
  samples[cat]+="$(time_ms cat) "
  samples[tessera]+="$(time_ms "$tessera" card --format tsv) "
done
median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
wc_us=$(median "${samples[wc]}")

peak=$( { /usr/bin/time -f '%M' "$tessera" card --format tsv < "$work/cards.txt" > /dev/null; } 2>&1 | tail -1 || true)
size=$(stat -c %s "$work/cards.txt")
printf '\n| command, %s lines (%s MB) | median ms | vs wc -l |\n|---|---:|---:|\n' "$lines" $((size / 1000000))
for name in wc cat tessera; do
  us=$(median "${samples[$name]}")
  label=$name
  [[ $name == wc ]] && label="wc -l"
  [[ $name == tessera ]] && label="tessera card --format tsv"
  awk -v l="$label" -v us="$us" -v base="$wc_us" 'BEGIN { printf "| %s | %.1f | %.1fx |\n", l, us / 1000, us / base }'
done
echo "peak resident size of tessera: ${peak} KiB"
