#!/usr/bin/env bash
# setup.sh -- makes a Debian 12 machine ready for scripts/test.sh, and says
# what it found: installs the packages the tests and the front ends need
# (as root, with apt, only those missing: a second run installs nothing and
# does not update apt's lists), makes 32-bit x86 programs run (natively,
# else under qemu-i386-static through binfmt_misc), checks that Wine really
# starts a 32-bit and a 64-bit Windows program, and writes build/machine.env,
# which scripts/wine.sh reads. One line per capability, then "N passed,
# N failed, N skipped".
#
# usage: setup.sh [--check]
#   --check             install and register nothing; only find out and report
#   TESSERA_FORCE_QEMU=1  run 32-bit programs under qemu even where the kernel
#                       runs them itself (in a user namespace of their own,
#                       so the rest of the machine keeps running them natively)
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

check_only=0
case ${1:-} in
  --check) check_only=1 ;;
  "") ;;
  *) echo "usage: setup.sh [--check]" >&2; exit 2 ;;
esac

packages=(
  # compilers, build, tests, benchmarks, sanitizers and libFuzzer
  g++ clang clang-14 libclang-rt-14-dev cmake pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  # release archives and their checks; a clock moved for the tool's midnight test
  dpkg-dev file unzip faketime
  # the Windows module, and Windows, C# and Pascal hosts
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64 wine wine64 wine32:i386
  mono-mcs mono-runtime fp-compiler qemu-user-static
  # the front ends: CSV and text scanning, Python, PostgreSQL, SQLite
  zlib1g-dev libz-mingw-w64-dev time ripgrep hyperfine postgresql-15 postgresql-server-dev-15 sqlite3 libsqlite3-dev
  python3 python3-dev python3-venv python3-setuptools python3-wheel python3-pip python3-pytest
  python3-numpy python3-pandas python3-dask python3-distributed
  # the input layer's decoders (archives, compressors, XML), and the tools its tests and benchmarks compare with
  libarchive-dev libbz2-dev liblzma-dev libzstd-dev libexpat1-dev bzip2 xz-utils zstd zip
  # tessera redact --hash: HMAC-SHA-256
  libssl-dev
)

passed=0 failed=0 skipped=0
report() {  # report ok|failed|skipped WHAT WHY
  case $1 in
    ok) passed=$((passed + 1)) ;;
    failed) failed=$((failed + 1)) ;;
    skipped) skipped=$((skipped + 1)) ;;
  esac
  printf '%-8s %-28s %s\n' "$1" "$2" "$3"
}

installed() { [[ $(dpkg-query -W -f='${db:Status-Abbrev}' "$1" 2> /dev/null) == ii* ]]; }

# --- packages -----------------------------------------------------------------
missing=()
for package in "${packages[@]}"; do
  installed "$package" || missing+=("$package")
done
if ((${#missing[@]} == 0)); then
  report ok packages "all ${#packages[@]} installed"
elif ((check_only)) || [[ $(id -u) -ne 0 ]] || ! command -v apt-get > /dev/null; then
  report failed packages "missing, and not installed $( ((check_only)) && echo "(--check)" || echo "(needs root and apt-get)"): ${missing[*]}"
else
  echo "installing: ${missing[*]}"
  dpkg --add-architecture i386  # wine32 is an i386 package
  export DEBIAN_FRONTEND=noninteractive
  # Installing starts no services (PostgreSQL's would): tests start their own.
  policy=/usr/sbin/policy-rc.d
  [[ -e $policy ]] || { printf '#!/bin/sh\nexit 101\n' > "$policy" && chmod 755 "$policy" && made_policy=1; }
  if apt-get update -q && apt-get install -y -q "${missing[@]}"; then
    report ok packages "installed ${#missing[@]} missing: ${missing[*]}"
  else
    report failed packages "apt-get could not install: ${missing[*]}"
  fi
  [[ -z ${made_policy:-} ]] || rm -f "$policy"
fi

# --- 32-bit x86 programs --------------------------------------------------------
work=$TESSERA_ROOT/build/setup
mkdir -p "$work"
probe=$work/exit32
if [[ ! -x $probe ]]; then
  # exit(0) by system call: no C library, no loader, nothing but the processor mode.
  printf '.globl _start\n_start:\n\tmovl $1, %%eax\n\txorl %%ebx, %%ebx\n\tint $0x80\n' > "$work/exit32.s"
  as --32 -o "$work/exit32.o" "$work/exit32.s" && ld -m elf_i386 -o "$probe" "$work/exit32.o"
fi

probe_runs() { [[ -x $probe ]] && run_x86_32 "$probe" 2> "$work/probe.err"; }

binfmt=/proc/sys/fs/binfmt_misc
qemu_entry() {  # an enabled binfmt_misc entry that hands i386 programs to qemu
  grep -ls "^interpreter .*qemu-i386" "$binfmt"/* 2> /dev/null | while read -r entry; do
    head -1 "$entry" | grep -qx enabled && echo "$entry"
  done | head -1
}

register_machine_wide() {
  ((check_only == 0)) && [[ $(id -u) -eq 0 && -x $QEMU_I386 ]] || return 1
  if [[ ! -e $binfmt/register ]]; then
    mount -t binfmt_misc binfmt_misc "$binfmt" || return 1
  fi
  if [[ -e $binfmt/qemu-i386 ]]; then
    echo 1 > "$binfmt/qemu-i386"
  else
    i386_binfmt_entry > "$binfmt/register"
  fi
}

x86_32_why=""
if [[ ! -x $probe ]]; then
  TESSERA_X86_32=none x86_32_why="could not build the probe program (as --32, ld -m elf_i386)"
elif [[ ${TESSERA_FORCE_QEMU:-0} == 1 ]]; then
  TESSERA_X86_32=qemu-ns
  if probe_runs; then
    x86_32_why="TESSERA_FORCE_QEMU=1: qemu-i386-static through a binfmt_misc entry in a user namespace per program"
  else
    TESSERA_X86_32=none x86_32_why="TESSERA_FORCE_QEMU=1, but a private binfmt_misc entry did not work: $(cat "$work/probe.err")"
  fi
else
  TESSERA_X86_32=native
  if probe_runs; then
    entry=$(qemu_entry)
    if [[ -n $entry ]]; then
      TESSERA_X86_32=qemu x86_32_why="binfmt_misc hands them to qemu ($entry)"
    else
      x86_32_why="the kernel runs a static i386 program itself"
    fi
  else
    refused=$(tr -d '\n' < "$work/probe.err")
    TESSERA_X86_32=qemu
    if register_machine_wide && probe_runs; then
      x86_32_why="the kernel refused them (${refused:-no reason given}): registered qemu-i386-static with binfmt_misc"
    else
      TESSERA_X86_32=qemu-ns
      if probe_runs; then
        x86_32_why="the kernel refused them (${refused:-no reason given}), binfmt_misc could not be changed here: qemu through a binfmt_misc entry in a user namespace per program"
      else
        TESSERA_X86_32=none
        x86_32_why="the kernel refused them (${refused:-no reason given}) and qemu-i386-static could not be registered ($( ((check_only)) && echo "--check" || echo "needs root, qemu-user-static and binfmt_misc"))"
      fi
    fi
  fi
fi
case $TESSERA_X86_32 in
  native) report ok "32-bit x86: native" "$x86_32_why" ;;
  qemu | qemu-ns) report ok "32-bit x86: emulated" "$x86_32_why; Wine's 32-bit loader runs with QEMU_RESERVED_VA=$TESSERA_QEMU_RESERVED_VA" ;;
  none) report skipped "32-bit x86: none" "$x86_32_why" ;;
esac

# --- Wine -----------------------------------------------------------------------
write_env() {
  {
    echo "# What scripts/setup.sh found on $(uname -n); read by scripts/wine.sh."
    printf 'TESSERA_X86_32=%q\n' "$TESSERA_X86_32"
    printf 'TESSERA_X86_32_WHY=%q\n' "$x86_32_why"
    [[ $TESSERA_X86_32 == qemu* ]] && printf 'QEMU_RESERVED_VA=%q\n' "$TESSERA_QEMU_RESERVED_VA"
    printf 'TESSERA_WINE32=%q\n' "$1"
    printf 'TESSERA_WINE64=%q\n' "$2"
  } > "$TESSERA_MACHINE_ENV"
}
write_env unchecked unchecked

check_wine() {  # check_wine 32|64 MINGW_ARCH: sets wine_state to ok or to what went wrong
  local bits=$1 arch=$2 program=$work/hello$1.exe started output
  wine_state=""
  if [[ ! -x $program ]]; then
    if ! command -v "$arch-w64-mingw32-gcc" > /dev/null; then
      wine_state="no $arch-w64-mingw32-gcc to build a test program"
      return 1
    fi
    printf '#include <stdio.h>\nint main(void) { printf("%%d-bit Windows\\n", (int)(8 * sizeof(void*))); return 0; }\n' \
      > "$work/hello.c"
    "$arch-w64-mingw32-gcc" -O2 -o "$program" "$work/hello.c" || { wine_state="could not build $program"; return 1; }
  fi
  started=$SECONDS
  output=$(scripts/wine.sh "$bits" "$program" 2>&1)
  wine_seconds=$((SECONDS - started))
  if [[ $output == "$bits-bit Windows"* ]]; then
    wine_state=ok
  else
    wine_state="a $bits-bit program did not run: $(tr '\n' ' ' <<<"$output" | cut -c1-300)"
  fi
}

wine_environment
if [[ -e $WINEPREFIX/.tessera-ready ]]; then
  prefix_note="the prefix $WINEPREFIX was there"
else
  started=$SECONDS
  ensure_wineprefix
  prefix_note="made the prefix $WINEPREFIX in $((SECONDS - started)) s"
fi
check_wine 64 x86_64
wine64=$wine_state
if [[ $wine64 == ok ]]; then
  report ok "wine64" "a 64-bit Windows program ran under $WINE64_LOADER in ${wine_seconds} s; $prefix_note"
else
  report failed "wine64" "$wine64"
fi
if [[ $TESSERA_X86_32 == none ]]; then
  wine32="this machine runs no 32-bit x86 program"
  report skipped "wine32" "$wine32"
else
  check_wine 32 i686
  wine32=$wine_state
  if [[ $wine32 == ok ]]; then
    report ok "wine32" "a 32-bit Windows program ran under $WINE32_LOADER ($TESSERA_X86_32) in ${wine_seconds} s"
  else
    report failed "wine32" "$wine32"
  fi
fi
write_env "$wine32" "$wine64"

# --- what the front ends build on ---------------------------------------------------
have() {  # have WHAT WHY COMMAND...: one capability, by trying it
  local what=$1 why=$2
  shift 2
  if "$@" > /dev/null 2>&1; then report ok "$what" "$why"; else report failed "$what" "not found: $why"; fi
}
have "zlib" "zlib.h and -lz link" bash -c 'printf "#include <zlib.h>\nint main(void){return zlibVersion()[0]==0;}\n" |
  cc -x c -o /dev/null - -lz'
have "ripgrep" "$(rg --version 2> /dev/null | head -1)" rg --version
have "hyperfine" "$(hyperfine --version 2> /dev/null)" hyperfine --version
have "faketime" "$(command -v faketime)" faketime -f +0 true
have "PostgreSQL 15 server" "$(/usr/lib/postgresql/15/bin/postgres --version 2> /dev/null), server headers" \
  test -x /usr/lib/postgresql/15/bin/postgres -a -f /usr/include/postgresql/15/server/postgres.h
have "SQLite" "sqlite3 $(sqlite3 --version 2> /dev/null | cut -d' ' -f1), sqlite3.h" \
  bash -c 'sqlite3 --version && test -f /usr/include/sqlite3.h'
have "Python" "/usr/bin/python3 $(/usr/bin/python3 -c 'import sys; print(sys.version.split()[0])' 2> /dev/null) with headers, venv, pip, pytest, numpy, pandas, dask" \
  /usr/bin/python3 -c 'import setuptools, sysconfig, os, venv, pip, wheel, pytest, numpy, pandas, dask, distributed
assert os.path.exists(os.path.join(sysconfig.get_paths()["include"], "Python.h"))'

echo "$passed passed, $failed failed, $skipped skipped"
((failed == 0))
