#!/usr/bin/env python3
"""test.py -- the SQLite extension through the sqlite3 shell and Python's sqlite3 module

usage: test.py MODULE    (MODULE: the built tessera_sqlite.so)

The library's case tables (tests/cases, NUL bytes included) run through both,
as TEXT and as BLOB; then what the extension adds: NULL, the day argument,
INTEGER values, the constraints and indexes. A missing shell, module
or Python able to load extensions skips that part visibly, and fails it
under CI=true or TESSERA_REQUIRE_ALL=1.
"""

import datetime
import os
import shutil
import sqlite3
import subprocess
import sys
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(SOURCE / "tests" / "cases"))
import tables  # noqa: E402

REQUIRED = os.environ.get("CI") == "true" or "1" in (os.environ.get("TESSERA_REQUIRE_ALL"),
                                                      os.environ.get("TESSERA_REQUIRE_CLIENTS"))
SYSTEM_PYTHON = "/usr/bin/python3"  # Debian's, built with extension loading


def can_load_extensions():
    return hasattr(sqlite3.connect(":memory:"), "enable_load_extension")


def skipped(tally, reason):
    if REQUIRED:
        tally.check(False, f"{reason} (required under CI=true or TESSERA_REQUIRE_ALL=1)")
    else:
        print(f"SKIPPED: {reason}")


def expected_value(probe, as_blob=False):
    """The answer as the module gives it: 1/0 for yes/no, bytes for a masked BLOB."""
    if isinstance(probe.expected, bool):
        return int(probe.expected)
    if as_blob and probe.function == "mask_card":
        return probe.expected.encode("latin-1")
    return probe.expected


# -- the sqlite3 shell --------------------------------------------------------

def sql_text(text):
    if "\0" in text:
        return f"CAST(X'{text.encode('latin-1').hex()}' AS TEXT)"
    return "'" + text.replace("'", "''") + "'"


def sql_call(probe):
    arguments = sql_text(probe.text)
    if probe.day is not None:
        arguments += f", '{probe.day.isoformat()}'"
    return f"tessera_{probe.function}({arguments})"


def quoted(value):
    """The value as the shell's .mode quote prints it."""
    if value is None:
        return "NULL"
    if isinstance(value, int):
        return str(value)
    return "'" + value.replace("'", "''") + "'"


def shell(module, sql, environment=None):
    done = subprocess.run(["sqlite3", "-batch", "-bail", ":memory:"],
                          input=f".load {module}\n.mode quote\n{sql}\n", text=True, capture_output=True,
                          env={**os.environ, **(environment or {})})
    return done.returncode == 0, done.stdout, done.stderr


def shown_in_shell(probe):
    """The call and the answer it must print; the shell prints a text only up to a NUL, so those are shown in hex."""
    expected = expected_value(probe)
    if isinstance(expected, str) and "\0" in expected:
        return f"hex({sql_call(probe)})", quoted(expected.encode("latin-1").hex().upper())
    return sql_call(probe), quoted(expected)


def check_shell(module, tally, probes):
    script = "\n".join(f"SELECT {i}, {shown_in_shell(probe)[0]};" for i, probe in enumerate(probes))
    ok, out, err = shell(module, script)
    if not tally.check(ok, "the case tables through the sqlite3 shell", err):
        return
    answers = dict(line.split(",", 1) for line in out.splitlines())
    for i, probe in enumerate(probes):
        call, expected = shown_in_shell(probe)
        tally.equal(answers.get(str(i)), expected, f"shell: {call}: {probe.why}")

    # The date functions follow the local time zone, as date('now', 'localtime')
    # does: a number that expires on the western zone's today has expired in
    # the eastern zone, where it is already the next day or the one after.
    west, east = {"TZ": "Etc/GMT+12"}, {"TZ": "Etc/GMT-14"}
    for _ in range(2):  # once more if the west's date changed in between
        ok, out, err = shell(module, "SELECT date('now', 'localtime');", west)
        today = out.strip().strip("'")
        number = sql_text(tables.make_gpa("123456789", "750615", datetime.date.fromisoformat(today).strftime("%y%m%d")))
        ok, out, err = shell(module, f"SELECT date('now', 'localtime') = '{today}', "
                                     f"tessera_check_gpa_no_expired({number});", west)
        if ok and out.startswith("1,"):
            break
    tally.equal(out.strip(), "1,1", "shell: expires today in the local time zone: still valid")
    ok, out, err = shell(module, f"SELECT tessera_check_gpa_no_expired({number});", east)
    tally.equal(out.strip(), "0", "shell: a day later in another time zone: expired")

    ok, out, err = shell(module, "SELECT tessera_gpa_age('12345678970-7506154-0909309-0', '2026-02-30');")
    tally.check(not ok and "tessera_gpa_age: the day must be a date 'YYYY-MM-DD'" in err,
                "shell: a day that does not exist is an error", out + err)


# -- Python's sqlite3 module --------------------------------------------------

def connect(module):
    connection = sqlite3.connect(":memory:")
    connection.enable_load_extension(True)
    connection.load_extension(module)
    connection.enable_load_extension(False)
    return connection


def call_bound(connection, probe, as_blob=False):
    value = probe.text.encode("latin-1") if as_blob else probe.text
    if probe.day is None:
        return connection.execute(f"SELECT tessera_{probe.function}(?)", (value,)).fetchone()[0]
    return connection.execute(f"SELECT tessera_{probe.function}(?, ?)", (value, probe.day.isoformat())).fetchone()[0]


def check_module(module, tally, probes):
    connection = connect(module)
    for probe in probes:
        for as_blob in (False, True):
            kind = "BLOB" if as_blob else "TEXT"
            tally.equal(call_bound(connection, probe, as_blob), expected_value(probe, as_blob),
                        f"python, {kind}: tessera_{probe.function}({probe.text!r}): {probe.why}")

    def one(sql, *parameters):
        return connection.execute(sql, parameters).fetchone()[0]

    def fails(what, sql, message, *parameters):
        try:
            connection.execute(sql, parameters).fetchall()
            tally.check(False, what, "no error")
        except sqlite3.Error as error:
            tally.check(message in str(error), what, str(error))

    worked = tables.worked_gpa()
    for function in [op.name for op in tables.SQL_OPERATIONS]:
        tally.equal(one(f"SELECT tessera_{function}(NULL)"), None, f"python: tessera_{function}(NULL) is NULL")
    for function in [op.name for op in tables.SQL_OPERATIONS if op.dated]:
        tally.equal(one(f"SELECT tessera_{function}(NULL, '2026-12-08')"), None, f"python: {function}, NULL number")
        tally.equal(one(f"SELECT tessera_{function}(?, NULL)", worked), None, f"python: {function}, NULL day")

    tally.equal(one("SELECT tessera_check_card(4111111111111111)"), 1, "python: an INTEGER is checked as its digits")
    tally.equal(one("SELECT tessera_card_brand(378282246310005)"), "American Express", "python: INTEGER brand")

    tally.equal(one("SELECT tessera_gpa_age(?) = tessera_gpa_age(?, date('now', 'localtime'))", worked, worked), 1,
                "python: the day defaults to the local date")
    tally.equal(one("SELECT tessera_gpa_age(?, '2024-02-29')", worked), 49, "python: 29 February of a leap year")
    tally.equal(one("SELECT tessera_check_gpa_no_expired(?, '0001-01-01')", worked), 1, "python: the first day")
    tally.equal(one("SELECT tessera_check_gpa_no_expired(?, '9999-12-31')", worked), 0, "python: the last day")
    for day in ("2023-02-29", "2026-13-01", "2026-00-10", "2026-12-32", "0000-01-01", "10000-01-01", "20261208",
                "2026-12-08 10:00:00", "2026-1-8", ""):
        fails(f"python: the day {day!r} is refused", "SELECT tessera_check_gpa_no_expired(?, ?)",
              "tessera_check_gpa_no_expired: the day must be a date 'YYYY-MM-DD' of the years 0001 to 9999",
              worked, day)

    connection.executescript("""
        CREATE TABLE checked (number TEXT CONSTRAINT number_is_a_card CHECK (tessera_check_card(number)));
        INSERT INTO checked VALUES ('378282246310005'), (NULL);
        CREATE INDEX checked_brand ON checked (tessera_card_brand(number));
        CREATE INDEX checked_age ON checked (tessera_gpa_age(number, '2026-01-01'));
        CREATE VIEW checked_view AS SELECT tessera_card_brand(number) AS brand FROM checked;
    """)
    tally.equal(one("SELECT count(*) FROM checked"), 2, "python: a CHECK constraint takes a card number and NULL")
    fails("python: a CHECK constraint refuses a bad number", "INSERT INTO checked VALUES ('378282246310006')",
          "CHECK constraint failed: number_is_a_card")
    tally.equal(one("SELECT number FROM checked INDEXED BY checked_brand WHERE tessera_card_brand(number) = ?",
                    "American Express"), "378282246310005", "python: an index on tessera_card_brand")
    fails("python: no index on the local date", "CREATE INDEX dated ON checked (tessera_gpa_age(number))",
          "non-deterministic functions prohibited in index expressions")
    connection.execute("PRAGMA trusted_schema = OFF")
    tally.equal(one("SELECT brand FROM checked_view WHERE brand IS NOT NULL"), "American Express",
                "python: usable from views with trusted_schema off (innocuous)")

    connection.executescript("""
        CREATE TABLE stored (number TEXT, valid INTEGER);
        INSERT INTO stored (number) VALUES ('4111111111111111'), ('4111111111111112'), ('hello'), (NULL);
        UPDATE stored SET valid = tessera_check_card(number);
    """)
    tally.equal(connection.execute("SELECT number, valid FROM stored ORDER BY rowid").fetchall(),
                [("4111111111111111", 1), ("4111111111111112", 0), ("hello", 0), (None, None)],
                "python: cleaning a table: UPDATE ... SET valid = tessera_check_card(number)")
    connection.close()


def main():
    tally = tables.Tally()
    module = Path(sys.argv[1]) if len(sys.argv) > 1 else None
    if module is None or not module.exists():
        skipped(tally, f"no SQLite extension {module or ''} (install libsqlite3-dev and build)")
        tally.finish()
        return 1 if tally.failed else 0
    probes = tables.all_probes() + tables.nul_probes()

    if shutil.which("sqlite3"):
        check_shell(module.resolve(), tally, probes)
    else:
        skipped(tally, "no sqlite3 shell (install sqlite3)")

    if can_load_extensions():
        check_module(str(module.resolve()), tally, probes)
    elif os.path.exists(SYSTEM_PYTHON) and sys.executable != SYSTEM_PYTHON:
        # This Python's sqlite3 cannot load extensions; Debian's can.
        done = subprocess.run([SYSTEM_PYTHON, __file__, "--module-only", str(module.resolve())],
                              capture_output=True, text=True)
        print(done.stdout, end="")
        counts = done.stdout.strip().splitlines()[-1].split() if done.stdout.strip() else []
        if len(counts) == 4 and counts[1] == "passed,":
            tally.passed += int(counts[0])
            tally.failed += int(counts[2])
        else:
            tally.check(False, f"{SYSTEM_PYTHON} ran the module tests", done.stderr)
    else:
        skipped(tally, f"{sys.executable} cannot load SQLite extensions (install python3)")
    return tally.finish()


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--module-only":
        outer = tables.Tally()
        if can_load_extensions():
            check_module(sys.argv[2], outer, tables.all_probes() + tables.nul_probes())
        else:
            skipped(outer, f"{sys.executable} cannot load SQLite extensions")
        sys.exit(outer.finish())
    sys.exit(main())
