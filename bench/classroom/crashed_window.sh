#!/usr/bin/env bash
# A crashed window: the console records a lesson through its window (driven
# through the X server), is killed with SIGKILL mid-recording, started again,
# signed in and given the same lesson. It must offer to connect the channels
# it had, record on into the same store, and every block closed before the
# crash must still read back, replay and go into the MP4.
#
# usage: crashed_window.sh BUILD_DIR [SECONDS]   (seconds recorded before and
# after the crash; prints one result line)
set -euo pipefail
BUILD=$(cd "$1" && pwd)
SECONDS_EACH=${2:-12}
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
source "$ROOT/scripts/lib/lesson-peers.sh"
enter_private_netns "$0" "$@"

BIN=$BUILD/bin
CLI=$BIN/tavrin-cli
WORK=$BUILD/classroom-crashed-window
SHOTS=$WORK/screens
LESSON=30102
USER_ID=1001
rm -rf "$WORK"
mkdir -p "$WORK" "$SHOTS"
trap stop_peers EXIT
fail() { echo "crashed_window: FAIL: $*"; exit 1; }

start_platform_sim "$BUILD/platform-sim" "$WORK"
start_phone_sim "$BUILD/phone-sim/phone-sim.py" "$WORK" 1
ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=s=1280x720:r=25" -f lavfi -i "sine=f=330:r=48000" \
    -t 6 -c:v libx264 -preset superfast -g 25 -c:a aac -ac 2 "$WORK/class.mp4"
wait_for_line "$WORK/phone-1.out" listening
make_program_dir "$BIN" "$WORK/program"
write_demo_ini "$WORK/program/vo.ini" "$WORK/store" "$PLATFORM_PORT" "$BUILD/platform-sim/platform-cert.pem"
start_xvfb "$WORK"
private_runtime_dir "$WORK/runtime"
export SDL_AUDIODRIVER=dummy TAVRIN_VIRTUAL_DEVICES=1

drive() { # SHOT_DIR STEPS
    /usr/bin/python3 "$ROOT/scripts/lib/lesson-driver.py" --buttons "$WORK/program/buttons" \
        --out "$1" --store "$WORK/store" --mp4 "$WORK/class.mp4" --phone 127.0.0.2 \
        --phone-log "$WORK/phone-1.log" --seconds "$SECONDS_EACH" --steps "$2"
}
info() { # OUT_JSON
    "$CLI" info --root "$WORK/store" --user "$USER_ID" --lesson "$LESSON" --json >"$1"
}

# First run: a phone, the camera and a looping MP4 on the programme, recording.
"$WORK/program/tavrin" >"$WORK/tavrin-1.log" 2>&1 &
TAVRIN_PID=$!
PEER_PIDS+=("$TAVRIN_PID")
drive "$SHOTS/1" signin,choose-record,connect-phone,connect-camera,connect-mp4,loop-mp4,combine-three,record ||
    { tail -20 "$WORK/tavrin-1.log"; fail "the first run through the window (screens in $SHOTS/1)"; }
kill -9 "$TAVRIN_PID"
wait "$TAVRIN_PID" 2>/dev/null || true
info "$WORK/info-crash.json" || fail "the store cannot be read after the crash"
# The open block: the frames on disk past the last closed block when the
# process died (the store is preallocated, so they end at the first zeros).
open_pictures=$(/usr/bin/python3 -c '
import json, struct, sys
a = json.load(open(sys.argv[1]))["blocks"]
end = a[-1]["pos"] + a[-1]["length"] if a else 0
with open(sys.argv[2], "rb") as f:
    f.seek(end)
    raw = f.read(64 << 20)
off = pictures = 0
while off + 13 <= len(raw):
    ftype, size, _ = struct.unpack_from("<BIq", raw, off)
    if ftype not in (8, 9, 10) or off + 13 + size > len(raw):
        break
    pictures += ftype in (9, 10)
    off += 13 + size
print(pictures)
' "$WORK/info-crash.json" "$WORK/store/$USER_ID/$LESSON/av.dat")

# Second run: the same lesson; the console offers the channels back, and the
# driver checks that all three panes show pictures again.
"$WORK/program/tavrin" >"$WORK/tavrin-2.log" 2>&1 &
TAVRIN_PID=$!
PEER_PIDS+=("$TAVRIN_PID")
drive "$SHOTS/2" signin,choose-record-again,record,stop-record,choose-replay,ruler-count \
    >"$WORK/driver-2.out" || { cat "$WORK/driver-2.out"; tail -20 "$WORK/tavrin-2.log"
    fail "the run after the crash (screens in $SHOTS/2)"; }
ruler=$(sed -n 's/^  ruler: \([0-9]*\) blocks$/\1/p' "$WORK/driver-2.out")
kill "$TAVRIN_PID"
wait "$TAVRIN_PID" 2>/dev/null || true
info "$WORK/info-after.json" || fail "the store cannot be read after the second run"

# What the crash cost, measured from outside.
read -r before after kept_exact contiguous pictures < <(/usr/bin/python3 -c '
import json, sys
a = json.load(open(sys.argv[1]))["blocks"]
b = json.load(open(sys.argv[2]))["blocks"]
key = lambda x: (x["pos"], x["length"], x["video"], x["audio"])
exact = int(len(b) >= len(a) and all(key(x) == key(y) for x, y in zip(a, b)))
contiguous = int(all(b[k + 1]["pos"] == b[k]["pos"] + b[k]["length"] for k in range(len(b) - 1)))
print(len(a), len(b), exact, contiguous, sum(x["video"] for x in b if not x["deleted"]))
' "$WORK/info-crash.json" "$WORK/info-after.json")

"$CLI" mp4 --root "$WORK/store" --user "$USER_ID" --lesson "$LESSON" --cards none \
    --out "$WORK/lesson.mp4" >"$WORK/mp4.out" 2>&1 || fail "no MP4: $(tail -3 "$WORK/mp4.out")"
mp4_pictures=$(ffprobe -v error -select_streams v -count_packets -show_entries stream=nb_read_packets \
    -of csv=p=0 "$WORK/lesson.mp4")

echo "crashed_window: blocks closed before the crash $before, kept exactly $([ "$kept_exact" = 1 ] && echo yes || echo no)," \
    "open block: $open_pictures pictures on disk past the closed ones, blocks after $after (ruler $ruler), store contiguous" \
    "$([ "$contiguous" = 1 ] && echo yes || echo no), MP4 pictures $mp4_pictures of $pictures," \
    "channels back on restart: yes"

[ "$before" -ge 2 ] || fail "only $before blocks before the crash"
[ "$open_pictures" -le 25 ] || fail "$open_pictures pictures past the last closed block: more than the open block"
[ "$kept_exact" = 1 ] || fail "blocks closed before the crash changed after the restart"
[ "$contiguous" = 1 ] || fail "the store does not continue where the closed blocks end"
[ "$after" -gt "$before" ] || fail "the second run recorded nothing ($after blocks)"
[ "$mp4_pictures" -eq "$pictures" ] || fail "the MP4 has $mp4_pictures pictures, the blocks $pictures"
[ "${ruler:-0}" -ge "$before" ] || fail "replay shows ${ruler:-no} blocks on its ruler, $before were closed before the crash"
