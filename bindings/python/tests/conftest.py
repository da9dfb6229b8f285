"""conftest -- the two ways to the checks: the extension module, and ctypes over a built library.

The rules' cases come from the library's case tables, read by tests/cases/tables.py.
"""

import os
import pathlib
import sys

import pytest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[3] / "tests" / "cases"))


def pytest_report_header(config):
    import tessera
    library = os.environ.get("TESSERA_LIBRARY")
    return [f"tessera from {os.path.dirname(tessera.__file__)}",
            f"ctypes path: {library}" if library else "ctypes path: skipped (TESSERA_LIBRARY is not set)"]


@pytest.fixture
def exports():
    """The package's functions over the exports of the library TESSERA_LIBRARY names, through ctypes."""
    if not os.environ.get("TESSERA_LIBRARY"):
        pytest.skip("TESSERA_LIBRARY names no built library")
    from tessera import _ctypes
    return _ctypes


@pytest.fixture(params=["extension", "ctypes"])
def api(request):
    """The package's functions, from the extension module or over the library's exports."""
    if request.param == "extension":
        import tessera
        return tessera
    return request.getfixturevalue("exports")
