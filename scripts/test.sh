#!/usr/bin/env bash
# test.sh -- builds Tessera and runs every test, step by step: the machine's
# setup (scripts/setup.sh), the Linux library and tool (g++), the same suite
# under AddressSanitizer with UndefinedBehaviorSanitizer and a bounded
# libFuzzer run (clang), under ThreadSanitizer, both Windows modules under
# Wine, the Python package in fresh virtual environments, and the release
# archives. A failing step does not stop the ones after it; the run ends with
# a table of the steps and the line "N passed, N failed", and fails if any
# step failed.
#
#   TESSERA_SKIP_SETUP=1    install and register nothing (setup.sh --check only)
#   TESSERA_FORCE_QEMU=1    run 32-bit programs under qemu even where not needed
#   TESSERA_FUZZ_SECONDS=N  how long the fuzzer runs (60)
#   CI=true                 a step that cannot run here fails instead of skipping
#                           (a machine that runs no 32-bit program at all may
#                           still skip the 32-bit Windows tests)
#
# A new step is one line: run_step "NAME" COMMAND... (see scripts/lib.sh).
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

require_all=${TESSERA_REQUIRE_ALL:-$([[ ${CI:-} == true ]] && echo 1 || echo 0)}
export TESSERA_REQUIRE_CLIENTS=$require_all
fuzz_seconds=${TESSERA_FUZZ_SECONDS:-60}

needs() {  # needs COMMAND... -- COMMAND...: runs the second command if every tool of the first exists
  local tools=()
  while [[ $1 != -- ]]; do tools+=("$1"); shift; done
  shift
  local tool
  for tool in "${tools[@]}"; do
    if ! command -v "$tool" > /dev/null; then
      if [[ $require_all == 1 ]]; then
        echo "FAILED: $tool is not installed"
        return 1
      fi
      echo "SKIPPED: $tool is not installed"
      return 77
    fi
  done
  "$@"
}

windows_preset() {  # windows_preset PRESET: one Windows module, its tests under Wine
  local status=0
  ctest_preset "$1" || status=$?
  load_machine_env
  if [[ $1 == win32 && ${TESSERA_X86_32:-} == none ]]; then
    echo "SKIPPED: the 32-bit programs, since this machine runs none: $TESSERA_X86_32_WHY"
  fi
  # Wine's server lingers a few seconds after its last program; end it now.
  wine_environment
  if [[ -x /usr/lib/wine/wineserver ]]; then
    /usr/lib/wine/wineserver -k > /dev/null 2>&1
    timeout 30 /usr/lib/wine/wineserver -w > /dev/null 2>&1 || true
  fi
  return $status
}

if [[ ${TESSERA_SKIP_SETUP:-0} == 1 ]]; then
  run_step "setup (check only)" scripts/setup.sh --check
else
  run_step "setup" scripts/setup.sh
fi
run_step "default (g++)" ctest_preset default
run_step "asan+ubsan, ${fuzz_seconds} s fuzzing (clang)" \
  needs clang++ -- ctest_preset asan -DTESSERA_FUZZ_SECONDS="$fuzz_seconds"
run_step "tsan (clang)" needs clang++ -- ctest_preset tsan
run_step "win32 (Wine, 32-bit loader)" needs i686-w64-mingw32-g++ i686-w64-mingw32-windres -- windows_preset win32
run_step "win64 (Wine, 64-bit loader)" needs x86_64-w64-mingw32-g++ x86_64-w64-mingw32-windres -- windows_preset win64
run_step "python package" bindings/python/test.sh build/default
run_step "release archives" scripts/package.sh

print_summary
