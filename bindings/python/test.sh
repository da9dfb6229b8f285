#!/usr/bin/env bash
# test.sh -- installs the tessera package as its users do, from the source tree
# and from a wheel, each into a fresh virtual environment of Debian's Python
# (which has NumPy, pandas and Dask), builds it with the other python3 on PATH
# too if there is one, and runs the tests against the installed wheel. Offline:
# nothing is downloaded. The ctypes path is tested against LIBDIR's
# libtessera.so.1, or against one built here from the same sources.
# usage: test.sh [LIBDIR]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
libdir=
if [[ -n ${1:-} ]]; then
  libdir=$(cd "$1" && pwd) || { echo "FAILED: no folder $1"; echo "0 passed, 1 failed"; exit 1; }
fi
# shellcheck source=tests/testing.sh
source "$here/../../tests/testing.sh"
python=/usr/bin/python3
[[ -x $python ]] || missing "Debian's Python ($python)"
"$python" -c 'import ensurepip, setuptools' 2> /dev/null || missing "python3-venv and python3-setuptools"
"$python" -c 'import numpy, pandas, dask.dataframe, distributed, pytest' 2> /dev/null ||
  missing "python3-numpy, python3-pandas, python3-dask, python3-distributed and python3-pytest"
command -v g++ > /dev/null || missing "a C++ compiler (g++)"

# The guide's one-liner, with nothing set that could help it find the library.
prints_true() {  # prints_true VENV
  (cd "$work" && env -u TESSERA_LIBRARY -u LD_LIBRARY_PATH -u PYTHONPATH \
    "$1/bin/python" -c "import tessera; print(tessera.check_card('4111111111111111'))") > "$work/printed" || return
  [[ $(cat "$work/printed") == True ]] || { echo "printed: $(cat "$work/printed")"; return 1; }
}

pip_offline() {  # pip_offline VENV ARGS...
  local venv=$1
  shift
  PIP_CONFIG_FILE=/dev/null "$venv/bin/pip" --disable-pip-version-check --no-cache-dir "$@" --no-index
}

check "a venv of $python" "$python" -m venv --system-site-packages "$work/source"
check "pip install of the repository's root" pip_offline "$work/source" install --no-build-isolation "$root"
check "import tessera after installing the source tree" prints_true "$work/source"

check "pip wheel of the repository's root" pip_offline "$work/source" wheel --no-build-isolation --no-deps \
  -w "$work/wheels" "$root"
check "another venv of $python" "$python" -m venv --system-site-packages "$work/wheel"
check "pip install of the wheel" pip_offline "$work/wheel" install "$(ls "$work"/wheels/tessera-*.whl | head -1)"
check "import tessera after installing the wheel" prints_true "$work/wheel"

# A python3 first on PATH that is not Debian's (a pyenv build, say) sees none
# of Debian's packages, often not even the wheel package: it builds there too.
other=$(python3 -c 'import sys; print(sys.executable)' 2> /dev/null)
if [[ -n $other && $(readlink -f "$other") != $(readlink -f "$python") ]]; then
  check "a venv of $other" "$other" -m venv "$work/other"
  check "pip install with $other" pip_offline "$work/other" install --no-build-isolation "$root"
  check "import tessera with $other" prints_true "$work/other"
else
  echo "SKIPPED: no python3 on PATH besides $python"
fi

build_library() {
  local sources
  cd "$root" || return
  sources=$(sed -n '/^set(TESSERA_CHECK_SOURCES/,/)/p' CMakeLists.txt | tr ' ()' '\n\n\n' | grep '\.cpp$') &&
    g++ -std=c++20 -O2 -shared -fPIC -fvisibility=hidden -DTESSERA_BUILDING -I. -Iinclude $sources \
      frame/exports.cpp -Wl,-soname,libtessera.so.1 -o "$work/libtessera.so.1"
}
if [[ -n $libdir ]]; then
  export TESSERA_LIBRARY=$libdir/libtessera.so.1
else
  check "libtessera.so.1 for the ctypes path" build_library
  export TESSERA_LIBRARY=$work/libtessera.so.1
fi

# The tests, against the installed wheel, run from elsewhere so that the
# source tree's package folder is not imported instead.
(cd "$work" && PYTHONDONTWRITEBYTECODE=1 "$work/wheel/bin/python" -m pytest -q -p no:cacheprovider \
  --junitxml="$work/junit.xml" "$here/tests")
counts=$("$python" -c '
import sys, xml.etree.ElementTree as tree
suites = list(tree.parse(sys.argv[1]).getroot().iter("testsuite"))
total = {key: sum(int(s.get(key, 0)) for s in suites) for key in ("tests", "failures", "errors", "skipped")}
print(total["tests"] - total["failures"] - total["errors"] - total["skipped"], total["failures"] + total["errors"],
      total["skipped"])' "$work/junit.xml" 2> /dev/null) || counts="0 1 0"
read -r tests_passed tests_failed tests_skipped <<< "$counts"
[[ $tests_skipped -eq 0 ]] || echo "SKIPPED: $tests_skipped tests"
passed=$((passed + tests_passed))
failed=$((failed + tests_failed))
summary
