#!/usr/bin/env bash
# scripts/bench runs every benchmark once with its defaults: each bench_*
# program either on its own or through the bench/NAME.sh script that drives
# it, and never a program that needs arguments (it would stop at its usage
# line) on its own. Runs nothing.
set -euo pipefail
BIN=$1
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }

list=$(BENCH_BIN=$BIN "$ROOT/scripts/bench" --list)
echo "$list"
n=0
for b in "$BIN"/bench_*; do
    [ -x "$b" ] || continue
    n=$((n + 1))
    name=${b##*/bench_}
    direct=$(grep -c "^$b " <<<"$list" || true)
    scripted=$(grep -c "/bench/$name.sh " <<<"$list" || true)
    [ $((direct + scripted)) -eq 1 ] || fail "bench_$name is run $direct + $scripted times"
    # A program with a usage line needs its arguments: a script must drive it.
    src=$(grep -l "usage: bench_$name " "$ROOT"/bench/*.cpp || true)
    if [ -n "$src" ] && [ "$direct" -ne 0 ]; then fail "bench_$name needs arguments but runs alone"; fi
done
[ "$n" -gt 0 ] || fail "no benchmark programs in $BIN"
for s in "$ROOT"/bench/*.sh; do
    grep -q "^bash $s " <<<"$list" || fail "$s is not run"
done
echo "bench_list: passed"
