#!/usr/bin/env bash
# run.sh -- builds the benchmarks and prints the tables of the README's
# performance section: ns per call of every export through the dlopen'ed
# shared library beside strlen of the same texts, then the tool against
# wc -l and cat on a generated file of a million card numbers.
#
# BASELINE=REV bench/run.sh also builds the library of git revision REV and
# measures its exports in the same run, beside today's.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench > /dev/null
cmake --build --preset bench -j"$(nproc)" > /dev/null
results=$(mktemp)
baseline_tree=""
trap 'rm -f "$results"; [[ -z $baseline_tree ]] || git worktree remove --force "$baseline_tree"' EXIT
if [[ -n ${BASELINE:-} ]]; then
  baseline_tree=$(mktemp -d -u)
  git worktree add -q --detach "$baseline_tree" "$BASELINE"
  cmake -S "$baseline_tree" -B "$baseline_tree/build" -DCMAKE_BUILD_TYPE=Release -DTESSERA_BUILD_TESTS=OFF \
    -DTESSERA_BUILD_TOOL=OFF > /dev/null
  cmake --build "$baseline_tree/build" -j"$(nproc)" --target tessera > /dev/null
  export TESSERA_BASELINE_LIBRARY=$baseline_tree/build/libtessera.so
fi
build/bench/bench/tessera_bench --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true \
  --benchmark_min_time=0.2 --benchmark_format=json "$@" > "$results"
python3 - "$results" <<'PY'
import json, sys
from collections import defaultdict
runs = json.load(open(sys.argv[1]))["benchmarks"]
# The counter is seconds per number.
ns = {r["run_name"]: r["ns/number"] * 1e9 for r in runs if r.get("aggregate_name") == "median"}
groups = defaultdict(dict)
for name, value in ns.items():
    group, check = name.split("/", 1)
    groups[group][check] = value
print("| texts | check | ns/call (median of 5) | strlen floor | ratio to strlen |")
print("|---|---|---:|---:|---:|")
for group, checks in groups.items():
    floor = checks.get("strlen")
    for check, value in checks.items():
        if check == "strlen":
            continue
        unit, scale = ("us", 1e-3) if value > 10000 else ("ns", 1)
        print(f"| {group} | {check} | {value * scale:.1f} {unit} | {floor * scale:.1f} {unit} | {value / floor:.2f} |")
# Each export beside the baseline's, measured in the same run.
earlier = {name[: -len(" (baseline)")]: value for name, value in ns.items() if name.endswith(" (baseline)")}
if earlier:
    print()
    print("| texts | export | ns/call | baseline ns/call | ratio to baseline |")
    print("|---|---|---:|---:|---:|")
    for name, before in earlier.items():
        group, check = name.split("/", 1)
        print(f"| {group} | {check} | {ns[name]:.2f} | {before:.2f} | {ns[name] / before:.2f} |")
PY
bench/tool_speed.sh build/bench/tool/tessera build/bench/bench/tessera_corpus
