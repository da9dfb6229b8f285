#!/usr/bin/env bash
# sql_bench.sh -- builds the SQLite extension (Release) and runs sql_bench.py:
# a million card numbers counted with tessera's check against length() in
# PostgreSQL and SQLite. Options go to sql_bench.py (--rows, --runs).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench > /dev/null
cmake --build --preset bench -j"$(nproc)" --target tessera_sqlite > /dev/null
exec python3 bench/sql_bench.py --sqlite-module build/bench/bindings/sqlite/tessera_sqlite.so "$@"
