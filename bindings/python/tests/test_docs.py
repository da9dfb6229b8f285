"""test_docs -- the guide's and the package's examples give what they show."""

import doctest
import re

import tessera
from tables import ROOT

GUIDE = ROOT / "docs" / "python.md"
FLAGS = doctest.NORMALIZE_WHITESPACE


def test_the_guide_examples():
    failures, tried = doctest.testfile(str(GUIDE), module_relative=False, optionflags=FLAGS)
    assert tried >= 12 and failures == 0


def test_the_package_docstring_examples():
    failures, tried = doctest.testmod(tessera, optionflags=FLAGS)
    assert tried >= 3 and failures == 0


def test_the_guide_names_every_public_function():
    guide = GUIDE.read_text(encoding="utf-8")
    assert [name for name in tessera.__all__ if not re.search(rf"\b{name}\b", guide)] == []


def test_the_guide_runs_the_python_of_its_environment():
    # Shell commands are the indented blocks; a bare python3 or pip would be
    # whichever comes first on PATH, which may not see the package.
    text = re.sub(r"^```.*?^```$", "", GUIDE.read_text(encoding="utf-8"), flags=re.M | re.S)
    commands = [line.strip() for line in text.splitlines() if line.startswith("    ")]
    bare = [line for line in commands if re.match(r"(sudo\s+)?(python3?|pip3?)(\s|$)", line)]
    assert bare == []
    assert [line for line in commands if re.match(r"~/venvs/tessera/bin/(python|pip)\s", line)] != []
