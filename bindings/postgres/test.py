#!/usr/bin/env python3
"""test.py -- the PostgreSQL extension against a real server in a throwaway cluster

usage: test.py                     build with PGXS (make) and test that build
       test.py --cmake-build DIR   test what `cmake --install DIR --component postgresql` installs

The extension goes into a throwaway cluster (cluster.py: a private copy of
the server, a private Unix socket, nothing changed outside a temporary
folder). The library's case tables (tests/cases) then run through SQL; then
what the extension adds: NULL, the domains, constraints, a parallel plan,
the date argument and long stored values. Missing server packages
skip the test visibly, and fail it under CI=true or TESSERA_REQUIRE_ALL=1.
"""

import argparse
import datetime
import os
import shutil
import signal
import subprocess
import sys
import tempfile
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(SOURCE / "tests" / "cases"))
sys.path.insert(0, str(SOURCE / "bindings" / "postgres"))
import cluster as cluster_py  # noqa: E402
import tables  # noqa: E402
from cluster import Cluster, install_with_cmake, install_with_pgxs  # noqa: E402

REQUIRED = os.environ.get("CI") == "true" or "1" in (os.environ.get("TESSERA_REQUIRE_ALL"),
                                                      os.environ.get("TESSERA_REQUIRE_CLIENTS"))


def skip(reason):
    if REQUIRED:
        print(f"FAILED: {reason} (required under CI=true or TESSERA_REQUIRE_ALL=1)")
        print("0 passed, 1 failed")
        sys.exit(1)
    print(f"SKIPPED: {reason}")
    print("0 passed, 0 failed")
    sys.exit(0)


# -- the SQL ------------------------------------------------------------------

def literal(text):
    if "\0" in text or "\\" in text:
        raise ValueError(f"no plain SQL literal for {text!r}")
    return "'" + text.replace("'", "''") + "'"


def call(probe):
    arguments = literal(probe.text)
    if probe.day is not None:
        arguments += f", date '{probe.day.isoformat()}'"
    return f"tessera.{probe.function}({arguments})"


def shown(value):
    """The expected value as text, as PostgreSQL casts it."""
    if value is None:
        return None
    if isinstance(value, bool):
        return "true" if value else "false"
    return str(value)


def parse_quoted(field):
    if field == "NULL":
        return None
    assert field.startswith("'") and field.endswith("'"), field
    return field[1:-1].replace("''", "'")


def check_probes(cluster, tally, probes):
    rows = ",\n".join(f"({i}, ({call(probe)})::text)" for i, probe in enumerate(probes))
    ok, out, err = cluster.psql(f"SELECT id || ' ' || coalesce(quote_literal(got), 'NULL') "
                                f"FROM (VALUES {rows}) AS v(id, got) ORDER BY id;")
    if not tally.check(ok, "the case tables through SQL", err):
        return
    answers = dict(line.split(" ", 1) for line in out.splitlines())
    for i, probe in enumerate(probes):
        got = parse_quoted(answers[str(i)])
        tally.equal(got, shown(probe.expected), f"{call(probe)}: {probe.why}")


def expect(tally, cluster, what, sql, output=None, error=None, **where):
    """Runs `sql`; checks its output, or that it fails with `error` in the message."""
    ok, out, err = cluster.psql(sql, **where)
    if error is not None:
        return tally.check(not ok and error in err, what, f"expected an error with {error!r}, got {out!r} {err!r}")
    if not tally.check(ok, what, err):
        return False
    return output is None or tally.equal(out.strip(), output, what)


def check_nulls(cluster, tally):
    for function in [op.name for op in tables.SQL_OPERATIONS]:
        expect(tally, cluster, f"{function}(NULL) is NULL", f"SELECT tessera.{function}(NULL) IS NULL;", "t")
    worked = literal(tables.worked_gpa())
    for function in [op.name for op in tables.SQL_OPERATIONS if op.dated]:
        expect(tally, cluster, f"{function} on a NULL day is NULL",
               f"SELECT tessera.{function}({worked}, NULL) IS NULL;", "t")


def check_domains_and_constraints(cluster, tally):
    expect(tally, cluster, "the domain takes a card number",
           "CREATE TABLE accepted (number tessera.card_number); INSERT INTO accepted VALUES ('4111111111111111'), "
           "(NULL); SELECT count(*) FROM accepted;", "2")
    expect(tally, cluster, "the domain refuses a number that fails the checksum",
           "INSERT INTO accepted VALUES ('4111111111111112');",
           error='value for domain tessera.card_number violates check constraint "card_number_check"')
    expect(tally, cluster, "the domain refuses a number without a brand",
           "INSERT INTO accepted VALUES ('34000000000000');", error="violates check constraint")
    expect(tally, cluster, "a cast to the domain refuses a bad number",
           "SELECT '4111 1111 1111 1111'::tessera.card_number;", error="violates check constraint")
    expect(tally, cluster, "the GPA domain takes the worked example",
           f"SELECT {literal(tables.worked_gpa())}::tessera.gpa_number;", tables.worked_gpa())
    expect(tally, cluster, "the GPA domain refuses a changed check digit",
           "SELECT '12345678970-7506154-0909309-5'::tessera.gpa_number;",
           error='value for domain tessera.gpa_number violates check constraint "gpa_number_check"')
    expect(tally, cluster, "a CHECK constraint takes a card number",
           "CREATE TABLE checked (number text CONSTRAINT number_is_a_card CHECK (tessera.check_card(number))); "
           "INSERT INTO checked VALUES ('378282246310005'); SELECT count(*) FROM checked;", "1")
    expect(tally, cluster, "a CHECK constraint refuses a bad number",
           "INSERT INTO checked VALUES ('378282246310006');",
           error='violates check constraint "number_is_a_card"')
    expect(tally, cluster, "an index on an expression (the functions are IMMUTABLE)",
           "CREATE INDEX ON checked (tessera.card_brand(number)); SET enable_seqscan = off; "
           "SELECT number FROM checked WHERE tessera.card_brand(number) = 'American Express';", "378282246310005")
    expect(tally, cluster, "no index on the date-dependent checks (STABLE)",
           "CREATE INDEX ON checked (tessera.gpa_age(number));", error="must be marked IMMUTABLE")


def check_cleaning(cluster, tally):
    expect(tally, cluster, "cleaning a table: UPDATE ... SET valid = tessera.check_card(number)",
           "CREATE TABLE stored (number text, valid boolean, brand text, shown text); "
           "INSERT INTO stored (number) VALUES ('4111111111111111'), ('4111111111111112'), ('5555555555554444'), "
           "('hello'), (NULL); "
           "UPDATE stored SET valid = tessera.check_card(number), brand = tessera.card_brand(number), "
           "shown = tessera.mask_card(number); "
           "SELECT concat_ws('/', number, valid, brand, shown) FROM stored ORDER BY number;",
           "4111111111111111/t/Visa/411111******1111\n4111111111111112/f/Visa/411111******1112\n"
           "5555555555554444/t/MasterCard/555555******4444\nhello/f/hello")


def check_parallel(cluster, tally):
    # Odd rows hold the worked example (sum 30), even rows the same with a
    # last digit 2 (sum 31): half of them pass.
    setup = ("CREATE TABLE many AS SELECT CASE WHEN i % 2 = 1 THEN '4111111111111111' ELSE '4111111111111112' END "
             "AS number FROM generate_series(1, 20000) AS i; ANALYZE many; "
             "SET parallel_setup_cost = 0; SET parallel_tuple_cost = 0; SET min_parallel_table_scan_size = 0; "
             "SET max_parallel_workers_per_gather = 2; ")
    query = "SELECT count(*) FROM many WHERE tessera.check_card(number)"
    ok, out, err = cluster.psql(setup + f"EXPLAIN (ANALYZE, COSTS OFF, TIMING OFF, SUMMARY OFF) {query}; {query};")
    if not tally.check(ok, "a parallel query", err):
        return
    tally.check("Gather" in out, "the plan gathers from parallel workers", out)
    tally.check("Parallel Seq Scan" in out, "the scan that calls check_card is parallel", out)
    launched = [line for line in out.splitlines() if "Workers Launched:" in line]
    tally.check(launched and int(launched[0].split(":")[1]) > 0, "workers ran check_card", out)
    tally.equal(out.strip().splitlines()[-1], "10000", "the parallel count")


def check_dates(cluster, tally):
    worked = literal(tables.worked_gpa())
    expect(tally, cluster, "the day argument has a name",
           f"SELECT tessera.gpa_age({worked}, day => date '2004-06-01');", "29")
    expect(tally, cluster, "the day defaults to current_date",
           f"SELECT tessera.gpa_age({worked}) = tessera.gpa_age({worked}, current_date) AND "
           f"tessera.check_gpa_no_expired({worked}) = tessera.check_gpa_no_expired({worked}, current_date);", "t")
    for day in ("infinity", "-infinity", "4713-01-01 BC", "300000-01-01"):
        expect(tally, cluster, f"the day {day} is refused",
               f"SELECT tessera.check_gpa_no_expired({worked}, date '{day}');",
               error="date out of range for tessera.check_gpa_no_expired")
    expect(tally, cluster, "the last day that can be compared",
           f"SELECT tessera.check_gpa_no_expired({worked}, date '214748-12-31');", "f")

    # Just after midnight in one zone the other is still on the day before:
    # a number that expires on the western zone's today is valid there and
    # has expired in the eastern zone.
    west, east = "Etc/GMT+12", "Etc/GMT-14"
    for _ in range(2):  # once more if the west's date changed in between
        ok, out, err = cluster.psql(f"SET TimeZone = '{west}'; SELECT current_date;")
        if not tally.check(ok, "the western zone's date", err):
            return
        today = datetime.date.fromisoformat(out.strip())
        number = literal(tables.make_gpa("123456789", "750615", today.strftime("%y%m%d")))
        ok, out, err = cluster.psql(
            f"BEGIN; SET LOCAL TimeZone = '{west}'; SELECT current_date = date '{today}'; "
            f"SELECT tessera.check_gpa_no_expired({number}); SET LOCAL TimeZone = '{east}'; "
            f"SELECT tessera.check_gpa_no_expired({number}); COMMIT;")
        if ok and out.split()[0] == "t":
            break
    tally.equal(out.split()[1:], ["t", "f"], "current_date follows the connection's TimeZone")


def check_long_values(cluster, tally):
    # Compressed or out-of-line values: the short-text checks answer from the size.
    expect(tally, cluster, "long stored values",
           "CREATE TABLE long_values (kind text, value text); "
           "ALTER TABLE long_values ALTER value SET STORAGE EXTERNAL; "
           "INSERT INTO long_values VALUES ('zeros', repeat('0', 100000)), "
           "('zeros then 1', repeat('0', 99999) || '1'), ('visa', '4' || repeat('0', 99999)); "
           "SELECT concat_ws('/', kind, tessera.check_number(value), tessera.is_visa(value), "
           "tessera.check_card(value), tessera.check_gpa_no(value), tessera.card_brand(value) IS NULL, "
           "length(tessera.mask_card(value))) FROM long_values ORDER BY kind;",
           "visa/f/f/f/f/t/100000\nzeros/t/f/f/f/t/100000\nzeros then 1/f/f/f/f/t/100000")
    expect(tally, cluster, "long compressed values",
           "CREATE TABLE packed (value text); INSERT INTO packed VALUES (repeat('4111111111111111', 1000)); "
           "SELECT pg_column_size(value) < 16000, tessera.is_visa(value), tessera.check_card(value) FROM packed;",
           "t|f|f")


def check_lifecycle(cluster, tally):
    expect(tally, cluster, "the functions live in the schema tessera",
           "SELECT count(*) FROM pg_proc WHERE pronamespace = 'tessera'::regnamespace;",
           str(len(tables.SQL_OPERATIONS)))
    expect(tally, cluster, "the extension's version",
           "SELECT extversion FROM pg_extension WHERE extname = 'tessera';", "1.1.0")
    expect(tally, cluster, "a database owner who is no superuser may install it (trusted)",
           "CREATE ROLE owner LOGIN; CREATE DATABASE owned OWNER owner;")
    expect(tally, cluster, "CREATE EXTENSION by the database owner",
           "CREATE EXTENSION tessera; SELECT tessera.check_card('4111111111111111');", "t",
           database="owned", user="owner")
    expect(tally, cluster, "DROP EXTENSION removes it",
           "DROP EXTENSION tessera; SELECT count(*) FROM pg_proc WHERE proname = 'check_card';", "0",
           database="owned", user="owner")


def check_regression_suite(cluster, tally, build):
    """`make installcheck` (pg_regress: sql/ against expected/) from a build out of the source tree, made
    the way PostgreSQL's own VPATH builds are: the Makefile linked into an empty folder, VPATH the sources."""
    build.mkdir()
    (build / "Makefile").symlink_to(SOURCE / "bindings" / "postgres" / "Makefile")
    make = ["make", "-s", f"VPATH={SOURCE / 'bindings' / 'postgres'}", f"-j{min(os.cpu_count() or 1, 2)}",
            f"PG_CONFIG={os.environ.get('PG_CONFIG', 'pg_config')}"]
    built = subprocess.run(make, cwd=build, text=True, capture_output=True)
    if not tally.check(built.returncode == 0 and (build / "tessera.so").exists(), "a VPATH build with PGXS",
                       built.stdout + built.stderr):
        return
    checked = subprocess.run(make + ["installcheck"], cwd=build, text=True, capture_output=True,
                             env={**os.environ, "PGHOST": str(cluster.socket), "PGUSER": cluster_py.SUPERUSER})
    diffs = build / "regression.diffs"
    tally.check(checked.returncode == 0 and "All 1 tests passed" in checked.stdout,
                "make installcheck: the regression suite", checked.stdout + checked.stderr +
                (diffs.read_text() if diffs.exists() else ""))


# What the server log keeps of a number that a table refuses, or that an
# INSERT stores: (table, how the number is sent, session settings, whether
# the number is in the log, why).
QUIET = ["SET log_error_verbosity = terse", "SET log_min_error_statement = panic"]
LOGGED_NUMBERS = [
    ("with_check", "literal", [], True, "a CHECK constraint: the failing row in DETAIL, and the statement"),
    ("with_check", "parameter", [], True, "a CHECK constraint: the failing row, even for a bound parameter"),
    ("with_domain", "literal", [], True, "the domain: the statement with its literal"),
    ("with_domain", "parameter", [], False, "the domain and a bound parameter: no row, the parameter shown as '...'"),
    ("with_check", "literal", QUIET, False, "terse errors, and no statement with them"),
    ("with_domain", "copy", [], True, "COPY: its CONTEXT line quotes the field"),
    ("with_domain", "copy", QUIET, False, "COPY with terse errors"),
    ("with_text", "parameter", ["SET log_statement = 'mod'"], True,
     "log_statement = 'mod': every INSERT, parameters too"),
    ("with_text", "parameter", ["SET log_statement = 'mod'", "SET log_parameter_max_length = 0"], False,
     "log_statement = 'mod' with log_parameter_max_length = 0"),
]


def check_logged_numbers(cluster, tally):
    if not expect(tally, cluster, "tables for the logging cases",
                  "CREATE TABLE with_check (id int, number text CHECK (tessera.check_card(number))); "
                  "CREATE TABLE with_domain (id int, number tessera.card_number); "
                  "CREATE TABLE with_text (id int, number text);"):
        return
    log = cluster.work / "server.log"
    for i, (table, sent, settings, logged, why) in enumerate(LOGGED_NUMBERS):
        number = f"4111 1111 1111 {1000 + i}"  # 19 characters: never a card number
        before = log.stat().st_size
        if sent == "parameter":
            error = cluster.bound(f"INSERT INTO {table} VALUES (1, $1)", [number], settings)
        else:
            script = "".join(f"{setting};\n" for setting in settings) + (
                f"INSERT INTO {table} VALUES (1, '{number}');" if sent == "literal"
                else f"COPY {table} FROM stdin;\n1\t{number}\n\\.\n")
            ok, _, error = cluster.psql(script)
            error = None if ok else error
        tally.equal(error is not None, table != "with_text", f"refused or stored: {why}")
        with open(log, encoding="utf-8", errors="replace") as text:
            text.seek(before)
            tally.equal(number in text.read(), logged, f"the number in the server log: {why}")


# A schema tessera made before CREATE EXTENSION: (made by the installing
# database owner, then by another role with CREATE on the database, the
# refusal's words or None, why).
SQUATTED_SCHEMAS = [
    ("", "", None, "no schema: CREATE EXTENSION makes it"),
    ("CREATE SCHEMA tessera;", "", None, "an empty schema of the installing role's own"),
    ("", "CREATE SCHEMA tessera;", "is owned by role squatter, not by installer", "another role's empty schema"),
    ("", "CREATE SCHEMA tessera; CREATE FUNCTION tessera.check_card(varchar) RETURNS boolean LANGUAGE sql "
         "AS 'SELECT true';", "is owned by role squatter", "another role's schema with a check_card(varchar)"),
    ("CREATE SCHEMA tessera; GRANT CREATE ON SCHEMA tessera TO squatter;",
     "CREATE FUNCTION tessera.check_card(varchar) RETURNS boolean LANGUAGE sql AS 'SELECT true';",
     "already holds objects that are not the extension's (1 in all)",
     "the installer's schema, another role's function in it"),
    ("CREATE SCHEMA tessera; CREATE TABLE tessera.cards (number text);", "", "already holds",
     "the installer's schema with a table in it"),
]


def check_squatted_schemas(cluster, tally):
    if not expect(tally, cluster, "roles for the squatting cases",
                  "CREATE ROLE installer LOGIN; CREATE ROLE squatter LOGIN;"):
        return
    for i, (installer_sql, squatter_sql, refusal, why) in enumerate(SQUATTED_SCHEMAS):
        database = f"squatted_{i}"
        ok, _, err = cluster.psql(f"CREATE DATABASE {database} OWNER installer; "
                                  f"GRANT CREATE ON DATABASE {database} TO squatter;")
        for sql, user in ((installer_sql, "installer"), (squatter_sql, "squatter")):
            if ok and sql:
                ok, _, err = cluster.psql(sql, database=database, user=user)
        if not tally.check(ok, f"setting up: {why}", err):
            continue
        if refusal is None:
            expect(tally, cluster, f"CREATE EXTENSION: {why}",
                   "CREATE EXTENSION tessera; SELECT tessera.check_card('4111111111111111'::varchar);", "t",
                   database=database, user="installer")
        else:
            expect(tally, cluster, f"CREATE EXTENSION refused: {why}", "CREATE EXTENSION tessera;",
                   error=refusal, database=database, user="installer")
            expect(tally, cluster, f"nothing installed: {why}",
                   "SELECT count(*) FROM pg_extension WHERE extname = 'tessera';", "0", database=database)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--cmake-build", help="a CMake build folder whose postgresql component is tested")
    options = parser.parse_args()

    reason = cluster_py.missing()
    if reason:
        skip(reason)

    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    tally = tables.Tally()
    work = Path(tempfile.mkdtemp(prefix="tessera-pg-"))
    cluster = Cluster(work)
    try:
        cluster.copy_server()
        if options.cmake_build:
            install_with_cmake(cluster, options.cmake_build)
        else:
            install_with_pgxs(cluster, work / "build")
        cluster.start()
        if expect(tally, cluster, "CREATE EXTENSION tessera", "CREATE EXTENSION tessera;"):
            check_probes(cluster, tally, tables.all_probes())
            check_nulls(cluster, tally)
            check_domains_and_constraints(cluster, tally)
            check_cleaning(cluster, tally)
            check_parallel(cluster, tally)
            check_dates(cluster, tally)
            check_long_values(cluster, tally)
            check_lifecycle(cluster, tally)
            check_squatted_schemas(cluster, tally)
            check_logged_numbers(cluster, tally)
            check_regression_suite(cluster, tally, work / "regress")
    except subprocess.CalledProcessError as error:
        tally.check(False, " ".join(map(str, error.cmd)), (error.stdout or "") + (error.stderr or ""))
    finally:
        cluster.stop()
        if tally.failed and (work / "server.log").exists():
            print("-- server log --\n" + (work / "server.log").read_text()[-4000:])
        shutil.rmtree(work, ignore_errors=True)
    return tally.finish()


if __name__ == "__main__":
    sys.exit(main())
