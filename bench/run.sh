#!/usr/bin/env bash
# Builds the program as its packages build it and the plain C yardstick, both
# stripped as installed, then measures both in one run: a 100,000-action
# session timed as whole processes (bench_session), their code and file
# sizes, and on a 10,000-action session the deterministic counts: user-space
# instructions (callgrind) and system calls (strace -c); then keys read with
# the console functions (bench_keys).
#   bench/run.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
program=$work/marking-system
plain=$work/plain_marking
strip -o "$program" build-bench/src/marking-system
strip -o "$plain" build-bench/bench/plain_marking
bench=$PWD/build-bench/bench/bench_session
keys=$PWD/build-bench/bench

"$bench" 100000 "$program" "$plain" "${1:-11}"

"$bench" 10000 >"$work/session.in"
printf 'Alice\n95 90 88\nBob\n72 75 70\nCarol\n50 49 49\nDan\n40 41 42\nEve\n20 30 10\n' \
  >"$work/scores.txt"
cd "$work"
instructions() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$1" <session.in 2>&1 >/dev/null |
    sed -n 's/.*Collected : //p'
}
system_calls() {
  strace -c -o strace.txt "$1" <session.in >/dev/null
  awk '$NF == "total" { print $4 }' strace.txt
}
row() { awk -v name="$1" -v a="$2" -v b="$3" 'BEGIN { printf "%-26s %12d %12d %8.3f\n", name, a, b, a / b }'; }
text() { size "$1" | awk 'NR == 2 { print $1 }'; }
printf '\n%-26s %12s %12s %8s\n' "" program "plain C" ratio
row "code size (size: text)" "$(text "$program")" "$(text "$plain")"
row "instructions, 10,000 acts" "$(instructions "$program")" "$(instructions "$plain")"
row "system calls, 10,000 acts" "$(system_calls "$program")" "$(system_calls "$plain")"

# Keys read with the console functions, by a program built on the library.
echo
"$keys/bench_keys" "$keys/key_reader" 3000
