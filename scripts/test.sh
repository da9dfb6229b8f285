#!/usr/bin/env bash
# test.sh -- builds Tessera and runs every test: the Linux library and tool
# (g++), the same suite under AddressSanitizer with UndefinedBehaviorSanitizer
# and a bounded libFuzzer run (clang), under ThreadSanitizer, and then both
# Windows modules under Wine.
#
# Missing cross compilers, Wine and Mono are installed when running as root.
# Where they cannot be, those tests are reported as skipped; with CI=true (or
# TESSERA_REQUIRE_ALL=1) a skip is a failure.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
require_all=${TESSERA_REQUIRE_ALL:-$([[ ${CI:-} == true ]] && echo 1 || echo 0)}
export TESSERA_REQUIRE_CLIENTS=$require_all
skipped=()

step() { printf '\n== %s\n' "$*"; }

run_preset() {  # run_preset NAME [CTEST JOBS] [CMAKE OPTIONS...]
  local name=$1 test_jobs=${2:-$jobs}
  shift $(($# > 1 ? 2 : 1))
  cmake --preset "$name" "$@"
  cmake --build --preset "$name" -j"$jobs"
  ctest --preset "$name" -j"$test_jobs"
}

have_tools() {
  command -v i686-w64-mingw32-g++ && command -v x86_64-w64-mingw32-g++ && command -v wine &&
    [[ -e /usr/lib/wine/wine && -e /usr/lib/wine/wine64 ]] && command -v mcs && command -v mono
} >/dev/null

install_tools() {
  [[ $(id -u) -eq 0 ]] && command -v apt-get >/dev/null || return 1
  step "installing mingw-w64, Wine and Mono"
  dpkg --add-architecture i386
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64 wine wine64 wine32:i386 mono-mcs mono-runtime
}

have_tools || install_tools || echo "could not install mingw-w64, Wine and Mono: their tests will be skipped"

step "Linux library, tool and tests (g++)"
run_preset default

step "AddressSanitizer and UndefinedBehaviorSanitizer, with ${TESSERA_FUZZ_SECONDS:-60} s of fuzzing (clang)"
run_preset asan "$jobs" -DTESSERA_FUZZ_SECONDS="${TESSERA_FUZZ_SECONDS:-60}"

step "ThreadSanitizer (clang)"
run_preset tsan

if command -v i686-w64-mingw32-g++ x86_64-w64-mingw32-g++ wine > /dev/null; then
  for preset in win32 win64; do
    step "Tessera.DLL ($preset) under Wine"
    run_preset "$preset" 1  # one Wine at a time: the first start creates the prefix
  done
else
  skipped+=("Windows modules under Wine: mingw-w64 or Wine missing and not installable here")
fi

step "release archives"
scripts/package.sh | tail -1

if ((${#skipped[@]})); then
  step "SKIPPED"
  printf 'SKIPPED: %s\n' "${skipped[@]}"
  if [[ $require_all == 1 ]]; then
    echo "these tests are required here" >&2
    exit 1
  fi
fi
step "all tests passed"
