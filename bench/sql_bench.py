#!/usr/bin/env python3
"""sql_bench.py -- counting valid card numbers in a table, PostgreSQL and SQLite

usage: sql_bench.py --sqlite-module PATH [--rows N] [--runs N]   (bench/sql_bench.sh builds and runs it)

One table of card numbers per engine; on one connection each query counts
rows, the runs interleaved, and the median time is set beside the cheapest
built-in function over the same column, length(number) = 16. PostgreSQL also
runs a Luhn function in PL/pgSQL and one in SQL of the kind people write.
Both engines scan on one core (no parallel workers, no JIT) so the ratios
show the cost per row of the calls themselves.
"""

import argparse
import os
import random
import sqlite3
import statistics
import subprocess
import sys
import tempfile
import shutil
import time
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[1]
SYSTEM_PYTHON = "/usr/bin/python3"  # Debian's, built with extension loading

if not hasattr(sqlite3.connect(":memory:"), "enable_load_extension") and Path(SYSTEM_PYTHON).exists() \
        and sys.executable != SYSTEM_PYTHON:
    os.execv(SYSTEM_PYTHON, [SYSTEM_PYTHON, __file__, *sys.argv[1:]])

sys.path.insert(0, str(SOURCE / "bindings" / "postgres"))
import cluster as cluster_py  # noqa: E402

PLPGSQL_LUHN = """
CREATE FUNCTION luhn_plpgsql(number text) RETURNS boolean LANGUAGE plpgsql IMMUTABLE STRICT AS $$
DECLARE
  total integer := 0;
  digit integer;
  doubled boolean := false;
BEGIN
  FOR i IN REVERSE length(number)..1 LOOP
    digit := substr(number, i, 1)::integer;
    IF doubled THEN
      digit := digit * 2;
      IF digit > 9 THEN digit := digit - 9; END IF;
    END IF;
    total := total + digit;
    doubled := NOT doubled;
  END LOOP;
  RETURN total % 10 = 0;
END $$;
"""

SQL_LUHN = """
CREATE FUNCTION luhn_sql(number text) RETURNS boolean LANGUAGE sql IMMUTABLE STRICT AS $$
  SELECT sum(CASE WHEN (length(number) - i) % 2 = 1
                  THEN (2 * substr(number, i, 1)::integer) / 10 + (2 * substr(number, i, 1)::integer) % 10
                  ELSE substr(number, i, 1)::integer END) % 10 = 0
  FROM generate_series(1, length(number)) AS i
$$;
"""


def card_numbers(count):
    """Numbers of the four common brands; about half have the right check digit."""
    generator = random.Random(7)
    prefixes = [("4", 16), ("51", 16), ("6011", 16), ("37", 15)]
    numbers = []
    for i in range(count):
        prefix, length = prefixes[i % len(prefixes)]
        body = prefix + "".join(generator.choice("0123456789") for _ in range(length - len(prefix) - 1))
        total = 0
        for position, c in enumerate(reversed(body)):  # the check digit will follow: double from the last
            d = int(c) * (2 if position % 2 == 0 else 1)
            total += d - 9 if d > 9 else d
        check = (10 - total % 10) % 10
        numbers.append(body + str(check if i % 2 == 0 else (check + 1) % 10))
    return numbers


def median_ms(times):
    return statistics.median(times) * 1000


def bench_postgres(numbers, runs):
    reason = cluster_py.missing()
    if reason:
        print(f"SKIPPED: PostgreSQL ({reason})")
        return None
    work = Path(tempfile.mkdtemp(prefix="tessera-pg-bench-"))
    cluster = cluster_py.Cluster(work)
    try:
        cluster.copy_server()
        cluster_py.install_with_pgxs(cluster, work / "build")
        cluster.start(["shared_buffers=256MB"])
        ok, _, err = cluster.psql("CREATE EXTENSION tessera; CREATE TABLE cards (number text);"
                                  + PLPGSQL_LUHN + SQL_LUHN)
        if not ok:
            raise RuntimeError(err)
        load = subprocess.run([cluster.binary("psql"), "-X", "-q", "-h", str(cluster.socket),
                               "-U", cluster_py.SUPERUSER, "-d", "postgres", "-c", "COPY cards FROM STDIN"],
                              input="\n".join(numbers) + "\n", text=True, capture_output=True)
        if load.returncode != 0:
            raise RuntimeError(load.stderr)
        cluster.psql("VACUUM ANALYZE cards;")

        fast = ["length(number) = 16", "tessera.check_card(number)", "tessera.check_number(number)"]
        slow = ["luhn_plpgsql(number)", "luhn_sql(number)"]
        script = ["SET max_parallel_workers_per_gather = 0;", "SET jit = off;"]
        # A first pass reads the table into shared buffers.
        script += [f"SELECT count(*) FROM cards WHERE {where};" for where in fast]
        script.append("\\timing on")
        order = [where for _ in range(runs) for where in fast] + slow
        script += [f"SELECT count(*) FROM cards WHERE {where};" for where in order]
        ok, out, err = cluster.psql("\n".join(script) + "\n")
        if not ok:
            raise RuntimeError(err)
        times = [float(line.split()[1]) / 1000 for line in out.splitlines() if line.startswith("Time: ")]
        counts = [line for line in out.splitlines() if line.isdigit()][len(fast):]
        results = {}
        for where, seconds, count in zip(order, times, counts):
            results.setdefault(where, ([], count))[0].append(seconds)
        return results
    finally:
        cluster.stop()
        shutil.rmtree(work, ignore_errors=True)


def bench_sqlite(numbers, runs, module):
    if module is None or not Path(module).exists():
        print(f"SKIPPED: SQLite (no extension {module or ''})")
        return None
    if not hasattr(sqlite3.connect(":memory:"), "enable_load_extension"):
        print(f"SKIPPED: SQLite ({sys.executable} cannot load extensions)")
        return None
    connection = sqlite3.connect(":memory:")
    connection.enable_load_extension(True)
    connection.load_extension(str(Path(module).resolve()))
    connection.execute("CREATE TABLE cards (number TEXT)")
    with connection:
        connection.executemany("INSERT INTO cards VALUES (?)", ((number,) for number in numbers))
    queries = ["length(number) = 16", "tessera_check_card(number)", "tessera_check_number(number)"]
    results = {}
    for where in queries:  # warm up
        connection.execute(f"SELECT count(*) FROM cards WHERE {where}").fetchone()
    for _ in range(runs):
        for where in queries:
            started = time.perf_counter()
            count = connection.execute(f"SELECT count(*) FROM cards WHERE {where}").fetchone()[0]
            results.setdefault(where, ([], str(count)))[0].append(time.perf_counter() - started)
    return results


def report(engine, results, baseline):
    base = median_ms(results[baseline][0])
    for where, (times, count) in results.items():
        ms = median_ms(times)
        print(f"| {engine} | `WHERE {where}` | {count} | {ms:,.1f} ms | {len(times)} | {ms / base:.2f} |")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--rows", type=int, default=1_000_000)
    parser.add_argument("--runs", type=int, default=5, help="runs of each fast query (the plain Luhn functions run once)")
    parser.add_argument("--sqlite-module", help="the built tessera_sqlite.so")
    options = parser.parse_args()

    numbers = card_numbers(options.rows)
    postgres = bench_postgres(numbers, options.runs)
    sqlite = bench_sqlite(numbers, options.runs, options.sqlite_module)

    print(f"\n{options.rows:,} card numbers; median of the runs; ratio to `length(number) = 16` on the same connection")
    print("| engine | query | rows counted | time | runs | ratio |")
    print("|---|---|---:|---:|---:|---:|")
    if postgres:
        report("PostgreSQL", postgres, "length(number) = 16")
    if sqlite:
        report("SQLite", sqlite, "length(number) = 16")
    print()
    for engine, results, check in (("PostgreSQL", postgres, "tessera.check_card(number)"),
                                   ("SQLite", sqlite, "tessera_check_card(number)")):
        if not results:
            continue
        ratio = median_ms(results[check][0]) / median_ms(results["length(number) = 16"][0])
        print(f"{engine}: {check} takes {ratio:.2f}x the time of length(number) = 16 "
              f"(target at most 1.5x: {'met' if ratio <= 1.5 else 'NOT met'})")
        for plain in ("luhn_plpgsql(number)", "luhn_sql(number)"):
            if plain in results:
                print(f"{engine}: {plain} takes {median_ms(results[plain][0]) / median_ms(results[check][0]):.0f}x "
                      f"the time of {check}")
    return 0 if postgres or sqlite else 1


if __name__ == "__main__":
    sys.exit(main())
