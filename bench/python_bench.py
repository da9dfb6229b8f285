"""python_bench.py -- ns per card number through the Python package, beside the C API, in one run.

Checks the same million generated card numbers (bench/corpus.h: a realistic
mix of brands, about half passing the checksum) with check_card one number
at a time in a Python loop, the same loop through the ctypes module over
the shared library, check_card on the whole column as a list, a pandas
Series and NumPy arrays, and from C: the CheckCard export over
NUL-terminated texts, and tessera_large_strings_check_card over the column
in the Arrow layout, which the package's columns call. Each way is timed
by the CPU time of its process, so that other processes on the machine
count for none of them, and the ways take turns, round after round, each
keeping its best round, so that what load remains falls on all of them.

usage: python3 bench/python_bench.py [--library libtessera.so.1] [--count N] [--rounds N]
Run it with an interpreter that has the package installed (and NumPy and
pandas); without --library it builds libtessera.so.1 from the sources.
"""

import argparse
import os
import re
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TARGET_NS = 12
C_EXPORT = "C: CheckCard export over NUL-terminated texts"
C_COLUMN = "C: tessera_large_strings_check_card over the column"


def run(*command, **options):
    return subprocess.run(command, check=True, cwd=ROOT, **options)


def build(work, library):
    """The corpus maker, the C loop over an export, and the shared library unless given."""
    run("g++", "-std=c++20", "-O2", "-I.", "bench/make_corpus.cpp", "-o", os.path.join(work, "make_corpus"))
    run("cc", "-std=c11", "-D_POSIX_C_SOURCE=200809L", "-O2", "bench/export_loop.c", "-o",
        os.path.join(work, "export_loop"), "-ldl")
    if library:
        return os.path.abspath(library)
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as cmake:
        names = re.search(r"set\(TESSERA_CHECK_SOURCES\s([^)]*)\)", cmake.read()).group(1).split()
    library = os.path.join(work, "libtessera.so.1")
    run("g++", "-std=c++20", "-O2", "-shared", "-fPIC", "-fvisibility=hidden", "-DTESSERA_BUILDING", "-I.",
        "-Iinclude", *[n for n in names if n.endswith(".cpp")], "frame/exports.cpp", "-Wl,-soname,libtessera.so.1",
        "-o", library)
    return library


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--library", help="a built libtessera.so.1 (default: build one from the sources)")
    parser.add_argument("--count", type=int, default=1_000_000, help="card numbers (default 1000000)")
    parser.add_argument("--rounds", type=int, default=5, help="rounds of turns (default 5)")
    options = parser.parse_args()

    import numpy as np
    import pandas as pd

    import tessera

    with tempfile.TemporaryDirectory() as work:
        library = build(work, options.library)
        corpus = os.path.join(work, "cards.txt")
        with open(corpus, "wb") as out:
            run(os.path.join(work, "make_corpus"), str(options.count), stdout=out)
        with open(corpus, encoding="ascii") as lines:
            numbers = lines.read().splitlines()
        os.environ["TESSERA_LIBRARY"] = library
        from tessera import _ctypes

        series = pd.Series(numbers)
        str_array = np.array(numbers)
        bytes_array = np.array(numbers, dtype=bytes)
        check_card = tessera.check_card
        old_check_card = _ctypes.check_card

        def timed(way):
            def seconds():
                start = time.process_time()
                way()
                return time.process_time() - start
            return seconds

        def c_loop(function):
            # The C loop times itself: its best of three rounds, for all the numbers.
            def seconds():
                out = run(os.path.join(work, "export_loop"), library, corpus, function, "3",
                          capture_output=True, text=True).stdout
                return float(out.split()[0]) * 1e-9 * len(numbers)
            return seconds

        ways = {
            "check_card(number) in a Python loop": timed(lambda: [check_card(n) for n in numbers]),
            "ctypes module, check_card(number) in a loop": timed(lambda: [old_check_card(n) for n in numbers]),
            "check_card(list)": timed(lambda: check_card(numbers)),
            "check_card(pandas Series)": timed(lambda: check_card(series)),
            "check_card(NumPy str array)": timed(lambda: check_card(str_array)),
            "check_card(NumPy bytes array)": timed(lambda: check_card(bytes_array)),
            C_EXPORT: c_loop("CheckCard"),
            C_COLUMN: c_loop("tessera_large_strings_check_card"),
        }
        expected = int(check_card(numbers).sum())
        assert sum(check_card(n) for n in numbers) == expected == sum(old_check_card(n) for n in numbers)
        best = {name: float("inf") for name in ways}
        for _ in range(options.rounds):
            for name, seconds in ways.items():
                best[name] = min(best[name], seconds())

    ns = {name: seconds / len(numbers) * 1e9 for name, seconds in best.items()}
    c_ns = ns[C_COLUMN]
    print(f"{len(numbers)} card numbers ({expected} valid), best of {options.rounds} interleaved rounds, "
          f"Python {sys.version.split()[0]}")
    print()
    print("| way | ns/number | vs the C column |")
    print("|---|---:|---:|")
    for name, value in ns.items():
        print(f"| {name} | {value:.1f} | {value / c_ns:.2f} |")
    print()
    for name in ("check_card(list)", "check_card(pandas Series)"):
        verdict = f"met, {TARGET_NS / ns[name]:.1f}x under" if ns[name] <= TARGET_NS else "MISSED"
        print(f"target <= {TARGET_NS} ns per number, {name}: {ns[name]:.1f} ns ({verdict})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
