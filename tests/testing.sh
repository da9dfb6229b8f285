# shellcheck shell=bash
# testing.sh -- sourced by the test scripts: counts checks in $passed and
# $failed, gives each script a scratch folder $work removed on exit, and ends
# with the "N passed, N failed" line scripts/lib.sh reads. A missing tool is
# reported as skipped, or as failed where every one is required
# (TESSERA_REQUIRE_CLIENTS=1, or CI=true).
passed=0 failed=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

pass() {
  passed=$((passed + 1))
}

fail() {  # fail WHAT...
  failed=$((failed + 1))
  echo "FAILED: $*"
}

check() {  # check WHAT COMMAND...: what the command printed is shown only if it fails
  local what=$1
  shift
  if "$@" > "$work/out" 2>&1; then
    pass
  else
    fail "$what"
    cat "$work/out"
  fi
}

expect() {  # expect WHAT EXPECTED ACTUAL
  if [[ "$2" == "$3" ]]; then
    pass
  else
    fail "$1"
    printf -- '--- expected\n%s\n--- found\n%s\n' "$2" "$3"
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

summary() {  # the count line; fails if a check failed
  echo "$passed passed, $failed failed"
  [[ $failed -eq 0 ]]
}
