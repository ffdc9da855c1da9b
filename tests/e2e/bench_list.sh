#!/usr/bin/env bash
# scripts/bench runs every benchmark once with its defaults: each bench_*
# program either on its own or through the bench/NAME.sh script that drives
# it, and never a program that needs arguments (it would stop at its usage
# line) on its own. --against REV lists each benchmark twice, once for this
# build and once for REV's, and --only picks benchmarks by name. Runs and
# builds nothing.
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
# The console as a teacher runs it is one of them, by its name.
grep -qx "bash $ROOT/bench/console.sh $BIN" <<<"$(BENCH_BIN=$BIN "$ROOT/scripts/bench" --list --only console)" ||
    fail "--only console does not run bench/console.sh"

# Against a revision: every benchmark once on each side, REV's side with REV's
# programs from its own folder under build/bench-rev.
sha=$(git -C "$ROOT" rev-parse HEAD)
exported=0
[ -e "$ROOT/build/bench-rev/$sha" ] && exported=1
against=$(BENCH_BIN=$BIN "$ROOT/scripts/bench" --list --against HEAD)
echo "$against"
[ "$(grep -c '^now ' <<<"$against")" -eq "$(wc -l <<<"$list")" ] || fail "--against: not every benchmark on this side"
[ "$(grep -c '^rev ' <<<"$against")" -eq "$(wc -l <<<"$list")" ] || fail "--against: not every benchmark on REV's side"
while read -r cmd; do
    grep -qxF "now $cmd" <<<"$against" || fail "--against drops: $cmd"
done <<<"$list"
grep '^rev ' <<<"$against" | grep -v -q "build/bench-rev/$sha/build/release/bin" && fail "--against: a REV command runs another build"
grep -q "$BIN" <<<"$(grep '^rev ' <<<"$against")" && fail "--against: a REV command runs this build"
# REV's own script drives REV's program where REV has the script.
grep -qx "rev bash $ROOT/build/bench-rev/$sha/bench/phones.sh $ROOT/build/bench-rev/$sha/build/release/bin" <<<"$against" \
    || fail "--against: phones is not run by REV's own script"

# A subset, in both forms; a name that is no benchmark is refused.
only=$(BENCH_BIN=$BIN "$ROOT/scripts/bench" --list --only phones,record)
[ "$(wc -l <<<"$only")" -eq 2 ] || fail "--only phones,record lists: $only"
grep -q "/bench/phones.sh " <<<"$only" && grep -q "/bench_record " <<<"$only" || fail "--only: wrong ones: $only"
only=$(BENCH_BIN=$BIN "$ROOT/scripts/bench" --list --only record --against HEAD --seconds 5)
[ "$(wc -l <<<"$only")" -eq 2 ] && grep -q '^rev .*/bench_record ' <<<"$only" || fail "--only with --against: $only"
BENCH_BIN=$BIN "$ROOT/scripts/bench" --list --only no_such_bench >/dev/null 2>&1 && fail "--only accepts an unknown name"
BENCH_BIN=$BIN "$ROOT/scripts/bench" --list --against no-such-rev >/dev/null 2>&1 && fail "--against accepts an unknown revision"
BENCH_BIN=$BIN "$ROOT/scripts/bench" --list --seconds 0 >/dev/null 2>&1 && fail "--seconds accepts 0"
[ $exported -eq 1 ] || [ ! -e "$ROOT/build/bench-rev/$sha" ] || fail "--list exported REV's tree"
echo "bench_list: passed"
