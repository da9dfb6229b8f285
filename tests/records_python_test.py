"""The record reader against Python's csv module, on random CSV over the
bytes that matter to it: a , " CR LF and a few others.

One known difference: an empty line is one record of one empty field to the
reader, and no fields to Python."""
import csv
import io
import os
import random
import subprocess
import sys
import tempfile

dump = sys.argv[1]
rng = random.Random(int(os.environ.get("RECORDS_SEED", "20")))
alphabet = ['a', ',', '"', '\r', '\n', '4', '1']
failures = 0

for trial in range(300):
    text = ''.join(rng.choice(alphabet) for _ in range(rng.randrange(0, 60)))
    rows = []
    reader = csv.reader(io.StringIO(text, newline=''))
    while True:
        start = reader.line_num + 1
        try:
            row = next(reader)
        except StopIteration:
            break
        rows.append((start, row or ['']))
    columns = max((len(r) for _, r in rows), default=0) + 1
    expected = []
    for column in range(columns):
        for line, row in rows:
            if column < len(row):
                expected.append(f"{column} {line} w {row[column].encode().hex()}")
            elif len(row) == 1 and row[0].strip(' \t') == '':
                expected.append(f"{column} {line} w ")
            else:
                expected.append(f"{column} {line} m ")
    with tempfile.NamedTemporaryFile(delete=False) as f:
        f.write(text.encode())
    try:
        got = subprocess.run([dump, f.name, str(columns)], check=True, capture_output=True).stdout.decode().splitlines()
    finally:
        os.unlink(f.name)
    if got != expected:
        failures += 1
        print(f"differs on {text!r}:\n  python: {expected}\n  reader: {got}")
        if failures > 5:
            break

sys.exit(1 if failures else 0)
