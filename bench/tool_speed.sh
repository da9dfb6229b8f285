#!/usr/bin/env bash
# tool_speed.sh -- the tool against `wc -l` and `cat` on the same generated files, as whole processes,
# interleaved in one run: medians of wall time and of CPU time (user + system), and the tool's peak
# resident size on a 1 GiB single line and on /dev/zero.
# usage: tool_speed.sh TESSERA CORPUS_MAKER [LINES] [RUNS]
set -euo pipefail
tessera=$1 maker=$2 lines=${3:-1000000} runs=${4:-11}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$maker" "$lines" cards > "$work/cards.txt"
"$maker" "$lines" valid > "$work/valid.txt"
"$maker" "$lines" csv > "$work/pay.csv"

python3 - "$tessera" "$work" "$runs" "$lines" <<'PY'
import os, random, resource, statistics, subprocess, sys, time
tessera, work, runs, lines = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
cards, valid, csv = (os.path.join(work, f) for f in ("cards.txt", "valid.txt", "pay.csv"))

# One group per target: the baselines and the tool on the same file.
groups = [
    ("card --format tsv", cards, 2.0, [tessera, "card", "--format", "tsv"]),
    ("card --csv --column 3 --format tsv", csv, 3.0, [tessera, "card", "--csv", "--column", "3", "--format", "tsv"]),
    ("card --invalid -q, every number valid (reads all)", valid, 1.5, [tessera, "card", "--invalid", "-q"]),
    ("card --invalid -q, half invalid (stops at the first)", cards, 1.5, [tessera, "card", "--invalid", "-q"]),
]

def once(argv, path):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    with open(path, "rb") as f:
        subprocess.run(argv, stdin=f, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)

samples = {}
for _ in range(runs):
    jobs = []
    for name, path, _, argv in groups:
        jobs += [((path, "wc -l"), ["wc", "-l"], path), ((path, "cat"), ["cat"], path), ((path, name), argv, path)]
    random.shuffle(jobs)  # no command always runs right after another
    for key, argv, path in jobs:
        samples.setdefault(key, []).append(once(argv, path))

def median(key, i):
    return statistics.median(s[i] for s in samples[key])

print(f"\n{lines:,} records; medians of {runs} interleaved runs; ratios against `wc -l` of the same file\n")
print("| command | file | wall ms | wall vs wc -l | cpu ms | cpu vs wc -l | target | met |")
print("|---|---|---:|---:|---:|---:|---:|---|")
for name, path, target, _ in groups:
    base_wall, base_cpu = median((path, "wc -l"), 0), median((path, "wc -l"), 1)
    label = os.path.basename(path) + f" ({os.path.getsize(path) / 1e6:.0f} MB)"
    for command in ("wc -l", "cat", name):
        wall, cpu = median((path, command), 0), median((path, command), 1)
        met = ""
        if command == name:
            met = "yes" if wall / base_wall <= target else "no"
        shown = "tessera " + command if command == name else command
        print(f"| {shown} | {label} | {wall * 1e3:.1f} | {wall / base_wall:.2f}x | {cpu * 1e3:.1f} | "
              f"{cpu / base_cpu:.2f}x | {'<= %.1fx' % target if command == name else ''} | {met} |")

# Peak resident size. A child of this script would report at least the
# script's own size (Linux keeps the high-water mark across fork and exec),
# so /usr/bin/time, a small program, starts the tool; /dev/zero never ends,
# so its high-water mark is read while it runs.
TIME = "/usr/bin/time"

def peak_of(argv, feed=None, path=None):
    if not os.access(TIME, os.X_OK):
        return "n/a (no /usr/bin/time)"
    stdin = open(path, "rb") if path else subprocess.PIPE
    proc = subprocess.Popen([TIME, "-f", "%M"] + argv, stdin=stdin, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if feed:
        feed(proc.stdin)
        proc.stdin.close()
    err = proc.stderr.read().decode()
    proc.wait()
    if path:
        stdin.close()
    return err.strip().splitlines()[-1]

def gib_line(pipe):
    block = b"9" * (1 << 20)
    for _ in range(1024):
        pipe.write(block)
    pipe.write(b"\n")

def peak_of_dev_zero():
    proc = subprocess.Popen([tessera, "card", "--file", "/dev/zero"], stdout=subprocess.DEVNULL)
    time.sleep(2)
    with open(f"/proc/{proc.pid}/status") as f:
        peak = next(int(line.split()[1]) for line in f if line.startswith("VmHWM:"))
    proc.kill()
    proc.wait()
    return peak

print("\n| peak resident size of tessera | KiB |\n|---|---:|")
print(f"| card --format tsv, {lines:,} card numbers | {peak_of([tessera, 'card', '--format', 'tsv'], path=cards)} |")
print(f"| card --csv --column 3, the payments CSV | {peak_of([tessera, 'card', '--csv', '--column', '3'], path=csv)} |")
print(f"| card, one line of 1 GiB | {peak_of([tessera, 'card', '--format', 'tsv'], feed=gib_line)} |")
print(f"| card --file /dev/zero, after 2 s | {peak_of_dev_zero()} |")
PY
