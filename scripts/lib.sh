# lib.sh -- shared by the scripts (sourced, not run): steps that run to the
# end whatever the step before did, their pass/fail/skip counts and the
# summary table; and how this machine runs 32-bit x86 programs and Wine, as
# scripts/setup.sh found it.
#
#   run_step NAME COMMAND...   runs COMMAND as one step of the summary
#   ctest_preset PRESET [OPT]  configures, builds and tests a CMake preset
#   print_summary              prints the table and the total line; fails if a step failed
#
# A step's counts are, in order of preference: what the command wrote to
# $TESSERA_STEP_COUNTS ("PASSED FAILED SKIPPED"), the last line of its
# output that counts "N passed" (also "N failed", "N skipped"; pytest's
# summary line reads the same), or one check passed or failed by its exit
# status. Exit status 77 marks a step skipped as a whole, and so does a
# "SKIPPED: why" line from a step that counted nothing; a step that fails
# without counting a failure counts one.

TESSERA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
TESSERA_JOBS=${TESSERA_JOBS:-$(nproc)}

tessera_steps=() tessera_passed=() tessera_failed=() tessera_skipped=() tessera_seconds=() tessera_notes=()

# count_line LOG: "PASSED FAILED SKIPPED" from the last counting line of LOG, or nothing.
count_line() {
  local line
  line=$(grep -E '(^|[^0-9A-Za-z_])[0-9]+ passed' "$1" | tail -1) || return 0
  [[ -n $line ]] || return 0
  local n kind passed=0 failed=0 skipped=0
  while read -r n kind; do
    case $kind in
      passed) passed=$n ;;
      failed | error | errors) failed=$((failed + n)) ;;
      skipped) skipped=$n ;;
    esac
  done < <(grep -oE '[0-9]+ (passed|failed|skipped|errors?)' <<<"$line")
  echo "$passed $failed $skipped"
}

run_step() {  # run_step NAME COMMAND...
  local name=$1
  shift
  local log counts status start=$SECONDS
  log=$(mktemp) counts=$(mktemp)
  printf '\n== %s\n' "$name"
  {
    TESSERA_STEP_COUNTS=$counts "$@" 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
  } || true
  local result
  result=$(cat "$counts")
  [[ -n $result ]] || result=$(count_line "$log")
  local passed failed skipped
  if [[ -n $result ]]; then
    read -r passed failed skipped <<<"$result"
  elif ((status == 77)); then
    passed=0 failed=0 skipped=1
  elif ((status == 0)); then
    passed=1 failed=0 skipped=0
  else
    passed=0 failed=1 skipped=0
  fi
  if ((status != 0 && status != 77 && failed == 0)); then
    failed=1
  fi
  # A step that counted nothing but said it skipped something skipped it.
  if ((passed + failed + skipped == 0)) && grep -q 'SKIPPED: ' "$log"; then
    skipped=1
  fi
  local note=""
  if ((status == 77 || skipped > 0)); then
    note=$(grep -m1 -oE 'SKIPPED: .*' "$log" | cut -c10-)
  fi
  ((status != 0 && status != 77)) && note="exit status $status"
  tessera_steps+=("$name") tessera_passed+=("$passed") tessera_failed+=("$failed")
  tessera_skipped+=("$skipped") tessera_seconds+=($((SECONDS - start))) tessera_notes+=("$note")
  rm -f "$log" "$counts"
  return 0
}

# junit_counts FILE: "PASSED FAILED SKIPPED" from CTest's JUnit report.
junit_counts() {
  local suite
  suite=$(tr '\n\t' '  ' < "$1" | grep -m1 -oE '<testsuite [^>]*>') || return 1
  attribute() { grep -oE " $1=\"[0-9]+\"" <<<"$suite" | grep -oE '[0-9]+' || echo 0; }
  local tests failures skipped disabled
  tests=$(attribute tests) failures=$(attribute failures) skipped=$(attribute skipped) disabled=$(attribute disabled)
  echo "$((tests - failures - skipped - disabled)) $failures $((skipped + disabled))"
}

ctest_preset() {  # ctest_preset PRESET [CMAKE OPTION...]
  local preset=$1
  shift
  cmake --preset "$preset" "$@" || return
  cmake --build --preset "$preset" -j"$TESSERA_JOBS" || return
  local junit status=0
  junit=$(mktemp)
  ctest --preset "$preset" -j"$TESSERA_JOBS" --output-junit "$junit" || status=$?
  if [[ -n ${TESSERA_STEP_COUNTS:-} ]]; then
    junit_counts "$junit" > "$TESSERA_STEP_COUNTS" || true
  fi
  rm -f "$junit"
  return $status
}

print_summary() {
  local i total_passed=0 total_failed=0 total_skipped=0 total_seconds=0 failed_steps=0
  printf '\n%-40s %7s %7s %8s %7s\n' step passed failed skipped time
  for i in "${!tessera_steps[@]}"; do
    printf '%-40s %7d %7d %8d %5d s  %s\n' "${tessera_steps[i]}" "${tessera_passed[i]}" "${tessera_failed[i]}" \
      "${tessera_skipped[i]}" "${tessera_seconds[i]}" "${tessera_notes[i]}"
    total_passed=$((total_passed + tessera_passed[i]))
    total_failed=$((total_failed + tessera_failed[i]))
    total_skipped=$((total_skipped + tessera_skipped[i]))
    total_seconds=$((total_seconds + tessera_seconds[i]))
    ((tessera_failed[i] == 0)) || failed_steps=$((failed_steps + 1))
  done
  printf '%-40s %7d %7d %8d %5d s\n\n' total "$total_passed" "$total_failed" "$total_skipped" "$total_seconds"
  echo "$total_passed passed, $total_failed failed"
  ((failed_steps == 0))
}

# --- 32-bit x86 programs and Wine -------------------------------------------

WINE32_LOADER=/usr/lib/wine/wine
WINE64_LOADER=/usr/lib/wine/wine64
QEMU_I386=/usr/bin/qemu-i386-static
TESSERA_MACHINE_ENV=${TESSERA_MACHINE_ENV:-$TESSERA_ROOT/build/machine.env}
# Wine's 32-bit loader reserves every free 64 KiB of its 4 GiB one at a time
# when it cannot reserve them at once, and under qemu-user 7.2 everything
# above 2 GiB fails that way: about 65,000 mappings, a minute per start. A
# guest space ending right above Wine's shared user data page (0x7ffe0000,
# which must fit) ends that search: a start takes about two seconds. Wine
# keeps its 32-bit programs below 2 GiB anyway.
TESSERA_QEMU_RESERVED_VA=0x7fff0000

# qemu's own binfmt_misc entry for i386 ELF programs (static or PIE), with the
# F flag so the interpreter is opened now and works inside any mount namespace.
i386_binfmt_entry() {
  printf ':qemu-i386:M::%s:%s:%s:F' \
    '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00' \
    '\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff' "$QEMU_I386"
}

load_machine_env() {
  # shellcheck source=/dev/null
  [[ -r $TESSERA_MACHINE_ENV ]] && source "$TESSERA_MACHINE_ENV"
  return 0
}

# run_x86_32 PROGRAM [ARGUMENT...]: runs a 32-bit x86 Linux program the way
# TESSERA_X86_32 says this machine can: native; qemu (binfmt_misc hands it to
# qemu machine-wide); qemu-ns (the same, registered in a user namespace of
# this program's own, so nothing else on the machine changes).
run_x86_32() {
  case ${TESSERA_X86_32:-native} in
    qemu)
      QEMU_RESERVED_VA=${QEMU_RESERVED_VA:-$TESSERA_QEMU_RESERVED_VA} "$@"
      ;;
    qemu-ns)
      QEMU_RESERVED_VA=${QEMU_RESERVED_VA:-$TESSERA_QEMU_RESERVED_VA} \
        unshare --user --map-root-user --mount -- bash -c '
          mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc &&
            printf "%s" "$1" > /proc/sys/fs/binfmt_misc/register || exit 126
          shift
          exec "$@"' run_x86_32 "$(i386_binfmt_entry)" "$@"
      ;;
    *) "$@" ;;
  esac
}

# ensure_wineprefix: makes $WINEPREFIX once, with the 64-bit loader where
# there is one (natively: seconds, where the 32-bit one under qemu takes
# minutes). It serves 32-bit and 64-bit programs alike.
ensure_wineprefix() {
  [[ -e $WINEPREFIX/.tessera-ready ]] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    [[ -e $WINEPREFIX/.tessera-ready ]] && exit 0
    if [[ -x $WINE64_LOADER ]]; then
      "$WINE64_LOADER" wineboot -i > /dev/null 2>&1
    else
      run_x86_32 "$WINE32_LOADER" wineboot -i > /dev/null 2>&1
    fi && touch "$WINEPREFIX/.tessera-ready"
  ) 9> "$WINEPREFIX.lock"
}

wine_environment() {
  export WINEPREFIX=${WINEPREFIX:-$TESSERA_ROOT/build/wineprefix}
  export WINEDEBUG=${WINEDEBUG:--all}
  # No prompts to install Mono or Gecko while the prefix is made.
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
}
