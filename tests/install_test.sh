#!/usr/bin/env bash
# install_test.sh -- installs the build into a fresh prefix, checks what is
# there, and builds and runs the C guide's program (pkg-config) and a C++
# consumer (find_package, shared and static) against it.
# usage: install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2
# shellcheck source=tests/testing.sh
source "$(dirname "${BASH_SOURCE[0]}")/testing.sh"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" > /dev/null

libdir=$(dirname "$(find "$prefix" -name 'libtessera.so.1.1.0' | head -1)")
for file in include/tessera.h include/tessera_text.h include/tessera_scan.h bin/tessera share/man/man1/tessera.1; do
  check "installed $file" test -f "$prefix/$file"
done
check "libtessera.so.1 links to the full version" test "$(readlink "$libdir/libtessera.so.1")" = libtessera.so.1.1.0
check "libtessera.so links to the SONAME" test "$(readlink "$libdir/libtessera.so")" = libtessera.so.1
check "SONAME is libtessera.so.1" bash -c "objdump -p '$libdir/libtessera.so.1.1.0' | grep -q 'SONAME *libtessera.so.1\$'"
check "static library" test -f "$libdir/libtessera.a"
# The names with their versions; the versions themselves are listed as A.
exported=$(nm -D --defined-only "$libdir/libtessera.so.1.1.0" | awk '$2 != "A" { print $3 }' | sort)
expected=$({
  printf '%s@@TESSERA_1.0\n' CheckCard CheckGPANo CheckGPANoAge CheckGPANoExpired CheckNumber CheckOrganization \
    IsAmex IsDC IsDisc IsJCB IsMC IsVisa
  grep -E '^TESSERA_API' "$source/include/tessera_text.h" | grep -oE '\btessera_[a-z0-9_]+\(' | tr -d '(' |
    sed 's/$/@@TESSERA_1.1/'
  grep -E '^TESSERA_API' "$source/include/tessera_scan.h" | grep -oE '\btessera_[a-z0-9_]+\(' | tr -d '(' |
    sed 's/$/@@TESSERA_1.2/'
} | sort)
check "the shared library exports the twelve checks at TESSERA_1.0, those of tessera_text.h at TESSERA_1.1, of tessera_scan.h at TESSERA_1.2, and nothing else" \
  test "$exported" = "$expected"
check "CMake package" test -f "$libdir/cmake/Tessera/TesseraConfigVersion.cmake"
check "installed tool runs" bash -c "'$prefix/bin/tessera' card 4111111111111111 | grep -q ': valid'"

export PKG_CONFIG_PATH=$libdir/pkgconfig
check "pkg-config knows the version" test "$(pkg-config --modversion tessera)" = 1.1.0

# The C guide's program, built and run by the guide's own command lines with
# nothing else set, so that it has to find the library the way the guide says.
guide_line() {  # guide_line PATTERN: the one command line of docs/c.md that matches
  local lines
  lines=$(grep -E "^ +$1" "$source/docs/c.md" | sed -E 's/^ +//')
  [[ -n $lines && $(wc -l <<<"$lines") -eq 1 ]] || { echo "docs/c.md: no single command line matches $1" >&2; return 1; }
  echo "$lines"
}
with_rpath=$(guide_line 'cc -o hello hello\.c .*-Wl,-rpath')
plain=$(guide_line 'cc -o hello hello\.c \$\(pkg-config --cflags --libs tessera\)$')
run=$(guide_line '\./hello ')
with_path=$(guide_line 'LD_LIBRARY_PATH=.* \./hello ')
mkdir "$work/hello"
cp "$source/tests/consumers/c/hello.c" "$work/hello/"
in_hello() { (cd "$work/hello" && env -u LD_LIBRARY_PATH bash -c "$1"); }
hello_answers() {  # hello_answers COMMANDS: they print the guide's answers
  local printed
  printed=$(in_hello "$1") || return
  [[ $printed == $'4111111111111111: valid\n4111111111111: invalid' ]] || { echo "printed: $printed"; return 1; }
}
hello_not_found() {  # hello_not_found COMMANDS: they fail for want of the library
  ! in_hello "$1" 2> "$work/hello/err" && grep -q 'libtessera\.so\.1: cannot open' "$work/hello/err"
}
check "hello.c builds without warnings" in_hello "cc -Wall -Wextra -Wpedantic -Werror -c hello.c \$(pkg-config --cflags tessera)"
check "the guide's hello, built with -rpath, finds the library" hello_answers "$with_rpath && $run"
check "the guide's hello, built without -rpath, runs with LD_LIBRARY_PATH" hello_answers "$plain && $with_path"
check "the guide's hello, built without -rpath, does not find the library by itself" hello_not_found "$plain && $run"

# The guide's second program, over the length-aware checks.
cp "$source/tests/consumers/c/column.c" "$work/hello/"
column_answers() {
  local printed
  printed=$(in_hello "$(guide_line 'cc -o column column\.c ') && $(guide_line '\./column$')") || return
  [[ $printed == $'411111******1111: Visa, valid\n411111******1112: Visa, invalid\n378282*****0005: American Express, valid\n12345678970-7506154-0909309-0: check digits right, expired, holder aged 51' ]] ||
    { echo "printed: $printed"; return 1; }
}
check "column.c builds without warnings" in_hello "cc -Wall -Wextra -Wpedantic -Werror -c column.c \$(pkg-config --cflags tessera)"
check "the guide's column program judges its column" column_answers

# The third, over the finder and redactor.
cp "$source/tests/consumers/c/redact.c" "$work/hello/"
redact_answers() {
  local printed
  printed=$(in_hello "$(guide_line 'cc -o redact redact\.c ') && $(guide_line '\./redact$')") || return
  [[ $printed == $'card at byte 4, 19 bytes, brand Visa\ncard at byte 31, 15 bytes, brand American Express\npay [card] ok\nref [card]\npay **** **** **** 1111 ok\nref ***********0005' ]] ||
    { echo "printed: $printed"; return 1; }
}
check "redact.c builds without warnings" in_hello "cc -Wall -Wextra -Wpedantic -Werror -c redact.c \$(pkg-config --cflags tessera)"
check "the guide's redact program finds and redacts" redact_answers

for static in OFF ON; do
  check "C++ consumer through find_package (static $static)" bash -c "
    cmake -S '$source/tests/consumers/cmake' -B '$work/cpp-$static' -DCMAKE_PREFIX_PATH='$prefix' \
      -DCONSUMER_STATIC=$static > /dev/null &&
    cmake --build '$work/cpp-$static' > /dev/null && '$work/cpp-$static/consumer'"
done

# SameMajorVersion: any 1.x request up to 1.1 is met, 1.2 and 2.0 are not.
cat > "$work/probe.cmake" <<'PROBE'
set(PACKAGE_FIND_VERSION ${WANT})
string(REPLACE "." ";" numbers ${WANT})
list(GET numbers 0 PACKAGE_FIND_VERSION_MAJOR)
list(GET numbers 1 PACKAGE_FIND_VERSION_MINOR)
include(${VERSION_FILE})
if(NOT "${PACKAGE_VERSION_COMPATIBLE}" STREQUAL "${EXPECT}")
  message(FATAL_ERROR "Tessera ${WANT}: compatible '${PACKAGE_VERSION_COMPATIBLE}', expected '${EXPECT}'")
endif()
PROBE
for case in "1.0 TRUE" "1.1 TRUE" "1.2 FALSE" "2.0 FALSE"; do
  read -r want expect <<<"$case"
  check "a request for Tessera $want is met: $expect" cmake -DWANT="$want" -DEXPECT="$expect" \
    -DVERSION_FILE="$libdir/cmake/Tessera/TesseraConfigVersion.cmake" -P "$work/probe.cmake"
done

summary
