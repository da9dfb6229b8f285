"""dask_checks -- card and GPA numbers checked over a Dask DataFrame, on a cluster of worker processes.

Each partition is made on a worker (here from a seed; in real work read from
files with dd.read_csv or dd.read_parquet), checked there by tessera's column
functions, and only the answers travel. check_partition is plain pandas, so
the same function checks a partition in one process too: that is how the
cluster's answers are compared here, every one of them.

    python3 dask_checks.py [ROWS] [PARTITIONS] [WORKERS]

The workers need the tessera package installed, as the client has it.
"""

import datetime
import sys

import numpy as np
import pandas as pd

import tessera

# Expiry and age are judged as of one fixed day, so that every process gives the same answers.
TODAY = datetime.date(2026, 12, 8)

_PREFIXES = np.array([b"4", b"51", b"55", b"34", b"37", b"36", b"38", b"300", b"6011", b"3528", b"1800", b"2131",
                      b"9", b"0"], dtype="S4")


def _digits_text(codes):
    """Rows of byte codes as an object column of str; NUL bytes at the end are dropped."""
    return codes.view(f"S{codes.shape[1]}").ravel().astype(str).astype(object)


def _check_digit(block):
    weights = np.resize(np.array([7, 3, 1], dtype=np.int64), block.shape[1])
    return (block * weights).sum(axis=1) % 10


def make_partition(seed, rows):
    """A DataFrame of `rows` card numbers and GPA numbers of all kinds, the same for the same seed."""
    rng = np.random.default_rng(seed)
    # Card numbers: every brand's prefixes and some of none, 13 to 16 digits, 1 in 100 missing.
    cards = rng.integers(ord("0"), ord("9") + 1, size=(rows, 16), dtype=np.uint8)
    head = _PREFIXES[rng.integers(0, len(_PREFIXES), rows)].view(np.uint8).reshape(rows, 4)
    front = cards[:, :4]
    front[head != 0] = head[head != 0]
    lengths = rng.choice(np.array([13, 14, 15, 16, 16, 16]), rows)
    cards[np.arange(16) >= lengths[:, None]] = 0
    card_column = _digits_text(cards)
    card_column[rng.random(rows) < 0.01] = None
    # GPA numbers with right check digits, a third of them then with one digit changed.
    document = rng.integers(0, 10, size=(rows, 9))
    dates = [np.column_stack([rng.integers(0, 100, rows) // 10, rng.integers(0, 100, rows) % 10,
                              *divmod(rng.integers(1, 13, rows), 10), *divmod(rng.integers(1, 29, rows), 10)])
             for _ in range(2)]
    blocks = [np.column_stack([block, _check_digit(block)]) for block in (document, *dates)]
    overall = _check_digit(np.hstack(blocks))
    dash = np.full((rows, 1), ord("-") - ord("0"))
    layout = np.hstack([blocks[0], rng.integers(0, 10, (rows, 1)), dash, blocks[1], dash, blocks[2], dash,
                        overall[:, None]])
    changed = rng.random(rows) < 1 / 3
    position = rng.choice(np.array([0, 5, 9, 12, 18, 20, 26, 28]), rows)
    layout[changed, position[changed]] = (layout[changed, position[changed]] + 1) % 10
    gpa_column = _digits_text((layout + ord("0")).astype(np.uint8))
    index = pd.RangeIndex(seed * rows, (seed + 1) * rows)
    return pd.DataFrame({"card": card_column, "gpa": gpa_column}, index=index)


def check_partition(part, today=TODAY):
    """What a worker runs on one partition: the answers, row by row."""
    cards = tessera.card_verdict(part["card"])
    ids = tessera.id_verdict(part["gpa"], today=today)
    return pd.DataFrame({
        "card_valid": cards["valid"], "brand": cards["brand"], "checksum": cards["checksum"],
        "gpa_valid": ids["valid"], "check_digits": ids["check_digits"], "age": ids["age"],
    }, index=part.index)


def check_on_cluster(client, rows, partitions):
    """The answers for `partitions` partitions of `rows` rows, computed by the cluster's workers."""
    import dask.dataframe as dd
    frame = dd.from_map(make_partition, range(partitions), rows=rows, divisions=[i * rows for i in range(partitions)]
                        + [partitions * rows - 1])
    answers = frame.map_partitions(check_partition, meta=check_partition(make_partition(0, 0)))
    return client.compute(answers).result()


def check_in_one_process(rows, partitions):
    return pd.concat([check_partition(make_partition(seed, rows)) for seed in range(partitions)])


def main(argv):
    from dask.distributed import Client, LocalCluster
    total = int(argv[1]) if len(argv) > 1 else 2_000_000
    partitions = int(argv[2]) if len(argv) > 2 else 8
    workers = int(argv[3]) if len(argv) > 3 else 2
    rows = total // partitions
    with LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, dashboard_address=None) as cluster, \
            Client(cluster) as client:
        answers = check_on_cluster(client, rows, partitions)
    print(answers.groupby("brand").agg(numbers=("card_valid", "size"), valid=("card_valid", "sum")).to_string())
    print(f"GPA numbers with right check digits: {answers.check_digits.sum()}, valid on {TODAY}: "
          f"{answers.gpa_valid.sum()}")
    same = answers.equals(check_in_one_process(rows, partitions))
    print(f"{len(answers)} rows in {partitions} partitions on {workers} workers: "
          f"{'the same answers' if same else 'DIFFERENT answers'} as in one process")
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
