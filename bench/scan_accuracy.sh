#!/usr/bin/env bash
# scan_accuracy.sh -- recall of tessera scan per form and per card family,
# and false findings per MiB of a decoy-heavy log, under the rule before
# today's (--brands seed) and today's, on corpora of its own
# (bench/scan_accuracy.cpp). The corpora are also written to
# build/bench/scan-accuracy for other scanners to be run on.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench > /dev/null
cmake --build --preset bench -j2 --target tessera_scan_accuracy > /dev/null
mkdir -p build/bench/scan-accuracy
build/bench/bench/tessera_scan_accuracy --write build/bench/scan-accuracy
