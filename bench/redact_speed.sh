#!/usr/bin/env bash
# redact_speed.sh -- tessera redact against tessera scan -c on the generated
# web-application log of scan_speed.sh, side by side in one run: medians of
# interleaved runs of whole processes, output thrown away.
#
# usage: bench/redact_speed.sh [MEBIBYTES] [RUNS]   (default 512 MiB, 5 runs)
#        TESSERA=path/to/tessera uses a tool already built instead of the bench preset's.
set -euo pipefail
cd "$(dirname "$0")/.."
mib=${1:-512} runs=${2:-5}
corpus=build/bench/scan-corpus
if [[ -z ${TESSERA:-} ]]; then
  cmake --preset bench > /dev/null
  cmake --build --preset bench -j2 --target tessera_tool tessera_logs > /dev/null
  TESSERA=build/bench/tool/tessera
fi
mkdir -p "$corpus"
file=$corpus/logs-$mib.txt
if [[ ! -f $file ]]; then
  logs=build/bench/bench/tessera_logs
  [[ -x $logs ]] || { mkdir -p build/bench/bench; c++ -O2 -std=c++20 -I. bench/make_logs.cpp -o "$logs"; }
  "$logs" "$mib" > "$file"
fi
bytes=$(stat -c %s "$file")
cat "$file" > /dev/null

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
  samples[scan]+="$(time_us "$TESSERA" scan -c -j1 "$file") "
  samples[redact]+="$(time_us "$TESSERA" redact "$file") "
  samples[replace]+="$(time_us "$TESSERA" redact --replace '[card]' "$file") "
done
for k in scan redact replace; do us[$k]=$(median "${samples[$k]}"); done
gbs() { awk -v b="$bytes" -v u="$1" 'BEGIN { printf "%.2f", b / u / 1000 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "log: $((bytes >> 20)) MiB, median of $runs runs"
echo "tessera scan -c -j1:              $(gbs "${us[scan]}") GB/s"
echo "tessera redact (mask):            $(gbs "${us[redact]}") GB/s  ($(ratio "${us[redact]}" "${us[scan]}")x the time of scan -c)"
echo "tessera redact --replace [card]:  $(gbs "${us[replace]}") GB/s  ($(ratio "${us[replace]}" "${us[scan]}")x)"
