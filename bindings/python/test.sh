#!/usr/bin/env bash
# test.sh -- installs the tessera package as its users do, from the source tree and from a wheel,
# each into a fresh virtual environment of Debian's Python (which has NumPy, pandas and Dask),
# builds it with the other python3 on PATH too if there is one, and runs the tests against the
# installed wheel. Offline: nothing is downloaded.
# usage: bindings/python/test.sh      Last line: "N passed, N failed"; exit status 0 or 1.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
python=/usr/bin/python3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

step() {  # step WHAT COMMAND...: one line per step; the output only when it fails
  local what=$1
  shift
  if "$@" > "$work/log" 2>&1; then
    passed=$((passed + 1))
    echo "ok: $what"
  else
    failed=$((failed + 1))
    echo "FAILED: $what"
    tail -n 40 "$work/log"
  fi
}

# The one-liner of the guide, with nothing set that could help it find the library.
prints_true() {  # prints_true VENV
  local out
  out=$(cd "$work" && env -u TESSERA_LIBRARY -u LD_LIBRARY_PATH -u PYTHONPATH "$1/bin/python" -c \
    "import tessera; print(tessera.check_card('4111111111111111'))") || return 1
  echo "$out"
  [[ $out == True ]]
}

pip_offline() {  # pip_offline VENV ARGS...
  local venv=$1
  shift
  PIP_CONFIG_FILE=/dev/null "$venv/bin/pip" --disable-pip-version-check --no-cache-dir "$@" --no-index
}

step "venv of $python" "$python" -m venv --system-site-packages "$work/source"
step "pip install of the repository root" pip_offline "$work/source" install --no-build-isolation "$root"
step "import tessera from the source install" prints_true "$work/source"

mkdir -p "$work/wheels"
step "pip wheel of the repository root" pip_offline "$work/source" wheel --no-build-isolation --no-deps \
  -w "$work/wheels" "$root"
step "venv for the wheel" "$python" -m venv --system-site-packages "$work/wheel"
step "pip install of the wheel" pip_offline "$work/wheel" install "$(ls "$work"/wheels/tessera-*.whl | head -1)"
step "import tessera from the wheel" prints_true "$work/wheel"

# A python3 first on PATH that is not Debian's (a pyenv build, say) sees none of Debian's
# packages, often not even the wheel package: the package must build there too.
other=$(command -v python3 || true)
if [[ -n $other && $(readlink -f "$other") != $(readlink -f "$python") ]] &&
  "$other" -c 'import sys; sys.exit(sys.prefix == "/usr")' 2> /dev/null; then
  other=$("$other" -c 'import sys; print(sys.executable)')
  step "venv of $other" "$other" -m venv "$work/other"
  step "pip install with $other" pip_offline "$work/other" install --no-build-isolation "$root"
  step "import tessera with $other" prints_true "$work/other"
else
  echo "SKIPPED: no python3 on PATH besides $python"
fi

# The ctypes path (Windows hosts with only Tessera.DLL) is tested against a shared library
# built from the same sources, unless TESSERA_LIBRARY names one already.
build_library() {
  local sources
  cd "$root" || return 1
  sources=$(sed -n '/^set(TESSERA_CHECK_SOURCES/,/)/p' CMakeLists.txt | tr ' ()' '\n\n\n' | grep '\.cpp$') &&
    g++ -std=c++20 -O2 -shared -fPIC -fvisibility=hidden -DTESSERA_BUILDING -I. -Iinclude $sources frame/exports.cpp \
      -Wl,-soname,libtessera.so.1 -o "$work/libtessera.so.1"
}
if [[ -z ${TESSERA_LIBRARY:-} ]]; then
  step "libtessera.so.1 for the ctypes path" build_library
  cd "$work" || exit 1
  export TESSERA_LIBRARY=$work/libtessera.so.1
fi

# The tests, against the installed wheel (run from elsewhere so that the source tree is not imported).
(cd "$work" && PYTHONDONTWRITEBYTECODE=1 "$work/wheel/bin/python" -m pytest -q -p no:cacheprovider \
  --junitxml="$work/junit.xml" "$root/bindings/python/tests")
counts=$("$python" -c '
import sys, xml.etree.ElementTree as tree
suites = list(tree.parse(sys.argv[1]).getroot().iter("testsuite"))
tests, failures, errors, skipped = (sum(int(s.get(key, 0)) for s in suites) for key in ("tests", "failures", "errors", "skipped"))
print(tests, failures + errors, skipped)' "$work/junit.xml" 2> /dev/null) || counts="0 1 0"
read -r tests failures skipped <<< "$counts"
[[ $skipped -gt 0 ]] && echo "SKIPPED: $skipped tests"
passed=$((passed + tests - failures - skipped))
failed=$((failed + failures))
echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
