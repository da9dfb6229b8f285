#!/usr/bin/env bash
# scan_jobs.sh -- tessera scan -j N against -j1 on a directory of many one-byte files,
# medians of interleaved runs of whole processes, side by side in one run.
#
# usage: bench/scan_jobs.sh [FILES] [RUNS]     (default 20000 files, 5 runs)
#
# Small files are where handing inputs between threads costs the most:
# -j N should never be slower than -j1 beyond noise. TESSERA=PATH times that
# program instead of building one; BASELINE=PATH times a second program (an
# older build) in the same runs, for a before and after.
set -euo pipefail
cd "$(dirname "$0")/.."
files=${1:-20000} runs=${2:-5}
if [[ -z ${TESSERA:-} ]]; then
  cmake --preset bench > /dev/null
  cmake --build --preset bench -j2 --target tessera_tool > /dev/null
  TESSERA=build/bench/tool/tessera
fi
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
# A hundred folders of one-byte files, none holding a card.
for ((i = 0; i < files; i++)); do
  ((i % 200 == 0)) && mkdir -p "$corpus/$((i / 200))"
  printf 'x' > "$corpus/$((i / 200))/$i"
done

time_us() {
  local start end
  start=$(date +%s%N)
  "$@" > /dev/null || true
  end=$(date +%s%N)
  echo $(((end - start) / 1000))
}
median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

programs=(now)
declare -A path=([now]=$TESSERA)
if [[ -n ${BASELINE:-} ]]; then programs=(before now); path[before]=$BASELINE; fi
jobs=(1 2 16 64)
declare -A samples
for ((run = 0; run < runs; run++)); do
  for program in "${programs[@]}"; do
    for j in "${jobs[@]}"; do samples[$program.$j]+="$(time_us "${path[$program]}" scan -c -j"$j" "$corpus") "; done
  done
done

printf '\n%s one-byte files in %s folders, %s processors; median of %s runs\n\n' "$files" $(((files + 199) / 200)) \
  "$(nproc)" "$runs"
printf '| program | -j | s | time of -j1 |\n|---|---:|---:|---:|\n'
for program in "${programs[@]}"; do
  one=$(median "${samples[$program.1]}")
  for j in "${jobs[@]}"; do
    us=$(median "${samples[$program.$j]}")
    awk -v p="$program" -v j="$j" -v us="$us" -v one="$one" \
      'BEGIN { printf "| %s | %s | %.3f | %.2fx |\n", p, j, us / 1e6, us / one }'
  done
done
