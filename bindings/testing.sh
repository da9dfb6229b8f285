# shellcheck shell=bash
# testing.sh -- sourced by the bindings' test scripts: counts checks, and
# reports a missing compiler as skipped, or as failed where every binding is
# required (TESSERA_REQUIRE_CLIENTS=1, or CI=true).
passed=0 failed=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

check() {  # check WHAT COMMAND...
  local what=$1
  shift
  if "$@" > "$work/out" 2>&1; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $what"
    cat "$work/out"
  fi
}

prints() {  # prints EXPECTED COMMAND...: the command succeeds and writes exactly EXPECTED
  local expected=$1 actual
  shift
  actual=$("$@") || return
  [[ $actual == "$expected" ]] || { printf 'printed:\n%s\nexpected:\n%s\n' "$actual" "$expected"; return 1; }
}

missing() {  # missing WHAT: ends the script
  if [[ ${TESSERA_REQUIRE_CLIENTS:-0} == 1 || ${CI:-} == true ]]; then
    echo "FAILED: $1 is not installed"
    echo "0 passed, 1 failed"
    exit 1
  fi
  echo "SKIPPED: $1 is not installed"
  echo "0 passed, 0 failed"
  exit 0
}

summary() {
  echo "$passed passed, $failed failed"
  [[ $failed -eq 0 ]]
}
