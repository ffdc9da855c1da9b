#!/usr/bin/env bash
# A lesson recorded on a busy machine: two simulated phones and an MP4 for
# 60 s while two processes keep every core busy. Every block of the store
# must still be one second (25 pictures from a key picture, 46-47 audio
# frames) and there must be as many blocks as seconds (one busy process per
# core, at least two). RUNS=N repeats the
# recording N times (the suite runs it once).
set -euo pipefail
BIN=$1
HERE=$(cd "$(dirname "$0")" && pwd)
CLI=$BIN/tavrin-cli
SIM=$BIN/../phone-sim/phone-sim.py
RECORD=${RECORD_SECONDS:-60}
RUNS=${RUNS:-1}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-e2e-load.XXXXXX")
PIDS=()
HOGS=()
cleanup() {
    for p in "${HOGS[@]}" "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

for i in 1 2; do
    /usr/bin/python3 "$SIM" --bind "127.0.0.$((i + 1))" --id "pad-$i" --seconds 4 \
        >"$WORK/sim$i.out" 2>&1 &
    PIDS+=($!)
done
ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=1280x720:r=25 -f lavfi -i sine=f=440:r=48000 \
    -t 5 -c:v libx264 -g 25 -pix_fmt yuv420p -c:a aac -ac 2 -ar 48000 "$WORK/movie.mp4"
for i in 1 2; do
    for _ in $(seq 600); do grep -q listening "$WORK/sim$i.out" && break; sleep 0.1; done
    grep -q listening "$WORK/sim$i.out" || { cat "$WORK/sim$i.out"; fail "phone-sim $i"; }
done

# One busy process per core, at least two.
hogs=$(nproc)
[ "$hogs" -ge 2 ] || hogs=2
for run in $(seq "$RUNS"); do
    echo "== run $run of $RUNS, $hogs busy processes"
    HOGS=()
    for _ in $(seq "$hogs"); do
        /bin/sh -c 'while :; do :; done' &
        HOGS+=($!)
    done
    lesson=$((500 + run))
    "$CLI" record --root "$WORK/root" --user 9 --lesson "$lesson" --seconds "$RECORD" \
        --channel 1=phone:127.0.0.2 --channel 2=phone:127.0.0.3 --channel 3=file:"$WORK/movie.mp4" \
        --audio 1 >"$WORK/out$lesson" 2>"$WORK/log$lesson" \
        || { tail -20 "$WORK/log$lesson"; fail "record $lesson"; }
    for p in "${HOGS[@]}"; do kill "$p"; done
    wait "${HOGS[@]}" 2>/dev/null || true
    HOGS=()
    tail -1 "$WORK/out$lesson"
    /usr/bin/python3 "$HERE/check_record_sync.py" "$CLI" "$WORK/root" 9 "$lesson" "$RECORD" \
        || fail "run $run"
done
echo "cli_record_load: passed"
