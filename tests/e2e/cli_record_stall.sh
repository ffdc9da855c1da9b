#!/usr/bin/env bash
# A phone that stalls while a lesson is recorded from three simulated
# phones: first the phone that carries the sound, then another one, each
# stopped (SIGSTOP) for 4 s. The recording must go on with every picture:
# one-second blocks of 25 pictures and 46-47 audio frames, as many blocks as
# seconds, and in the MP4 each click of the sound phone within one picture of
# the white picture it sent with it.
set -euo pipefail
BIN=$1
HERE=$(cd "$(dirname "$0")" && pwd)
CLI=$BIN/tavrin-cli
SIM=$BIN/../phone-sim/phone-sim.py
RECORD=${RECORD_SECONDS:-24}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-e2e-stall.XXXXXX")
PIDS=()
cleanup() {
    for p in "${PIDS[@]}"; do kill -CONT "$p" 2>/dev/null || true; kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Phone 1 carries the sound: a white picture and a click in its tone once a second.
/usr/bin/python3 "$SIM" --bind 127.0.0.2 --id pad-1 --seconds 8 --mark-period 25 --click \
    --width 640 --height 360 --bitrate 800 >"$WORK/sim1.out" 2>&1 &
PIDS+=($!)
for i in 2 3; do
    /usr/bin/python3 "$SIM" --bind "127.0.0.$((i + 1))" --id "pad-$i" --seconds 4 \
        --width 640 --height 360 --bitrate 800 >"$WORK/sim$i.out" 2>&1 &
    PIDS+=($!)
done
for i in 1 2 3; do
    for _ in $(seq 600); do grep -q listening "$WORK/sim$i.out" && break; sleep 0.1; done
    grep -q listening "$WORK/sim$i.out" || { cat "$WORK/sim$i.out"; fail "phone-sim $i"; }
done

record() { # lesson, index of the phone to stall in PIDS
    local lesson=$1 stalled=${PIDS[$2]}
    (
        sleep 8
        kill -STOP "$stalled"
        sleep 4
        kill -CONT "$stalled"
    ) &
    local stopper=$!
    "$CLI" record --root "$WORK/root" --user 9 --lesson "$lesson" --seconds "$RECORD" \
        --resolution 720 --channel 1=phone:127.0.0.2 --channel 2=phone:127.0.0.3 \
        --channel 3=phone:127.0.0.4 --audio 1 2>"$WORK/log$lesson" | tee "$WORK/out$lesson" \
        || { tail -20 "$WORK/log$lesson"; fail "record $lesson"; }
    wait "$stopper"
    # Each second's line counts what reached the store: never nothing,
    # also while a phone stalls (the first second may wait for the sound).
    if tail -n +3 "$WORK/out$lesson" | grep -q 'recorded video 0 '; then
        fail "lesson $lesson: a second without recorded pictures"
    fi
    local pictures
    pictures=$(sed -n 's/.*, \([0-9]*\) pictures and [0-9]* audio frames recorded$/\1/p' \
        "$WORK/out$lesson")
    [ -n "$pictures" ] || fail "lesson $lesson: no recorded count in the last line"
    "$CLI" mp4 --root "$WORK/root" --user 9 --lesson "$lesson" --cards none \
        --size 1280x720 --out "$WORK/$lesson.mp4" >/dev/null 2>"$WORK/mp4log$lesson" \
        || { cat "$WORK/mp4log$lesson"; fail "mp4 of lesson $lesson"; }
    /usr/bin/python3 "$HERE/check_record_sync.py" "$CLI" "$WORK/root" 9 "$lesson" "$RECORD" \
        "$WORK/$lesson.mp4" || fail "lesson $lesson"
    local stored
    stored=$("$CLI" info --root "$WORK/root" --user 9 --lesson "$lesson" --json |
        /usr/bin/python3 -c 'import json,sys; print(sum(b["video"] for b in json.load(sys.stdin)["blocks"]))')
    [ "$pictures" -eq "$stored" ] || fail "lesson $lesson: $pictures pictures reported, $stored stored"
}

echo "== the sound phone stalls"
record 401 0
echo "== another phone stalls"
record 402 1
echo "cli_record_stall: passed"
