#!/usr/bin/env bash
# wine.sh -- runs a Windows program under Wine's loader of its own width: the
# 64-bit loader directly (Debian's `wine` starts the 32-bit one whenever it is
# installed), the 32-bit one natively or under qemu-i386-static, as
# scripts/setup.sh found this machine (build/machine.env). Both share one
# prefix, build/wineprefix, made on first use. The Windows presets' tests run
# through this script.
#
# Where the machine cannot run the program at all, it says why and exits 77,
# which CTest reports as a skipped test; with CI=true only a machine that
# runs no 32-bit program at all may skip.
# usage: wine.sh 32|64 PROGRAM [ARGUMENT...]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
bits=${1:-}
shift || true
if [[ $bits != 32 && $bits != 64 ]] || (($# == 0)); then
  echo "usage: wine.sh 32|64 PROGRAM [ARGUMENT...]" >&2
  exit 2
fi
load_machine_env
wine_environment

unable() {  # unable REASON
  if [[ ${CI:-} == true ]]; then
    echo "FAILED: the ${bits}-bit Wine loader cannot run here: $1" >&2
    exit 1
  fi
  echo "SKIPPED: the ${bits}-bit Wine loader cannot run here: $1"
  exit 77
}

if [[ $bits == 64 ]]; then
  [[ -x $WINE64_LOADER ]] || unable "$WINE64_LOADER is not installed (wine64)"
  [[ ${TESSERA_WINE64:-unchecked} =~ ^(ok|unchecked)$ ]] || unable "$TESSERA_WINE64"
  ensure_wineprefix
  exec "$WINE64_LOADER" "$@"
fi

if [[ ${TESSERA_X86_32:-} == none ]]; then
  echo "SKIPPED: this machine runs no 32-bit x86 program, natively or under qemu: ${TESSERA_X86_32_WHY:-}"
  exit 77
fi
[[ -x $WINE32_LOADER ]] || unable "$WINE32_LOADER is not installed (wine32:i386)"
[[ ${TESSERA_WINE32:-unchecked} =~ ^(ok|unchecked)$ ]] || unable "$TESSERA_WINE32"
ensure_wineprefix
run_x86_32 "$WINE32_LOADER" "$@"
