"""test_dask -- the checks over a Dask DataFrame of two million rows on two worker processes."""

import pathlib
import sys

import pytest

dd = pytest.importorskip("dask.dataframe")
distributed = pytest.importorskip("distributed")

import pandas as pd  # noqa: E402

import tessera  # noqa: E402

# The example is what the test runs; the workers find it on the path they inherit.
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "examples"))
import dask_checks  # noqa: E402

# Debian's distributed starts its event loop in a way tornado now warns about.
pytestmark = pytest.mark.filterwarnings("ignore:make_current is deprecated:DeprecationWarning")

ROWS = 250_000
PARTITIONS = 8


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster, \
            distributed.Client(cluster) as connected:
        yield connected


def test_every_answer_of_the_cluster_is_the_one_process_answer(client):
    assert len(client.scheduler_info()["workers"]) == 2
    on_cluster = dask_checks.check_on_cluster(client, ROWS, PARTITIONS)
    in_one_process = dask_checks.check_in_one_process(ROWS, PARTITIONS)
    assert len(on_cluster) == ROWS * PARTITIONS >= 2_000_000
    pd.testing.assert_frame_equal(on_cluster, in_one_process)
    # Not a run of empty or uniform answers.
    assert on_cluster.card_valid.any() and not on_cluster.card_valid.all()
    assert on_cluster.gpa_valid.any() and not on_cluster.gpa_valid.all()
    assert set(on_cluster.brand.dropna()) == set(tessera.BRANDS)


def test_a_dask_column_is_checked_by_partition():
    frame = dd.from_pandas(pd.DataFrame({"number": ["4111111111111111", "4111111111111"]}), npartitions=1)
    with pytest.raises(TypeError, match="map_partitions"):
        tessera.check_card(frame["number"])
