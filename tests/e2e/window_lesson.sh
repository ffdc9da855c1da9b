#!/usr/bin/env bash
# A whole lesson through the console window, driven only through the X server
# with xdotool on tavrin as a separate process, inside a private network
# namespace, against the platform simulator, three simulated phones, the
# virtual camera, an MP4 file, nginx RTMP and the media-server simulator.
# Then the results are checked from outside: the store with tavrin-cli, the
# live recording, the MP4 and what the media server received.
#
# usage: window_lesson.sh BUILD_DIR [WORK_DIR]
#   WORK_DIR  where the run keeps its files (default BUILD_DIR/e2e-window-lesson);
#             runs side by side each need their own
set -euo pipefail
BUILD=$(cd "$1" && pwd)
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
source "$ROOT/scripts/lib/lesson-peers.sh"
enter_private_netns "$0" "$@"

BIN=$BUILD/bin
CLI=$BIN/tavrin-cli
WORK=${2:-$BUILD/e2e-window-lesson}
SHOTS=$WORK/screens
LESSON=30102
USER_ID=1001
RECORD_SECONDS=20 # then the error mark and the phone's outage, about 30 s in all
rm -rf "$WORK"
mkdir -p "$WORK" "$SHOTS"
trap stop_peers EXIT
fail() { echo "FAIL: $*" >&2; report_x_server; exit 1; }

start_platform_sim "$BUILD/platform-sim" "$WORK"
start_mediaserver_sim "$BUILD/mediaserver-sim/mediaserver-sim.py" "$WORK/mediaserver" 8202
# Phone 1 is connected by its address through the channel window; the others
# answer discovery.
start_phone_sim "$BUILD/phone-sim/phone-sim.py" "$WORK" 1
echo "$PHONE_PID" >"$WORK/phone-1.pid"
for i in 2 3; do start_phone_sim "$BUILD/phone-sim/phone-sim.py" "$WORK" "$i" --discovery; done
start_rtmp_server "$WORK/nginx" "$WORK/rtmp"
PEER_PIDS+=("$RTMP_PID")
ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=s=1280x720:r=25" -f lavfi -i "sine=f=330:r=48000" \
    -t 12 -c:v libx264 -preset superfast -g 25 -c:a aac -ac 2 "$WORK/class.mp4"
for i in 1 2 3; do wait_for_line "$WORK/phone-$i.out" listening; done

# The phone on channel 1 goes away for 5 s and comes back at the same address.
cat >"$WORK/outage.sh" <<OUTAGE
kill \$(cat "$WORK/phone-1.pid") 2>/dev/null
sleep 5
/usr/bin/python3 "$BUILD/phone-sim/phone-sim.py" --bind 127.0.0.2 --id 平板-1 --seconds 4 \
    --log "$WORK/phone-1-again.log" >"$WORK/phone-1-again.out" 2>&1 &
echo \$! >"$WORK/phone-1.pid"
OUTAGE
stop_restarted_phone() { kill "$(cat "$WORK/phone-1.pid")" 2>/dev/null || true; stop_peers; }
trap stop_restarted_phone EXIT

make_program_dir "$BIN" "$WORK/program"
write_demo_ini "$WORK/program/vo.ini" "$WORK/store" "$PLATFORM_PORT" "$BUILD/platform-sim/platform-cert.pem"
start_xvfb "$WORK" || fail "no private X server"
private_runtime_dir "$WORK/runtime"
export SDL_AUDIODRIVER=dummy TAVRIN_VIRTUAL_DEVICES=1
start_console "$WORK/program/tavrin" "$WORK/tavrin.log" || fail "the console did not start"
TAVRIN_PID=$CONSOLE_PID

STEPS=signin,choose-record,connect-phone,connect-camera,connect-mp4,push-address,combine-two
# The error mark comes before the outage: a block keeps one mark, the last.
STEPS+=,combine-three,record,error-mark,phone-outage,stop-record,choose-replay,mark-deleted,save
STEPS+=,make-mp4
/usr/bin/python3 "$ROOT/scripts/lib/lesson-driver.py" --buttons "$WORK/program/buttons" \
    --out "$SHOTS" --store "$WORK/store" --mp4 "$WORK/class.mp4" --steps "$STEPS" \
    --rtmp "rtmp://127.0.0.1:$RTMP_PORT/live/lesson" --phone 127.0.0.2 --phone-log "$WORK/phone-1.log" \
    --seconds "$RECORD_SECONDS" --deletions 3 --outage "$WORK/outage.sh" --upload ||
    { tail -20 "$WORK/tavrin.log"; fail "the lesson through the window (screens in $SHOTS)"; }
kill -0 "$TAVRIN_PID" 2>/dev/null || fail "the console ended during the lesson"

# The store: about a block a second, three deleted, the operator's error mark
# (key 3) on one block, and the phone's outage marked on the blocks it spans.
"$CLI" info --root "$WORK/store" --user "$USER_ID" --lesson "$LESSON" --json >"$WORK/info.json" ||
    fail "the store cannot be read"
read -r blocks deleted marked dropped kept < <(/usr/bin/python3 -c '
import json, sys
b = json.load(open(sys.argv[1]))["blocks"]
print(len(b), sum(1 for x in b if x["deleted"]), sum(1 for x in b if x["error"] == 3),
      sum(1 for x in b if x["error"] == 10), sum(x["video"] for x in b if not x["deleted"]))
' "$WORK/info.json")
echo "store: $blocks blocks, $deleted deleted, $marked marked by the operator, $dropped with a dropped source"
[ "$blocks" -ge 20 ] && [ "$blocks" -le 60 ] || fail "$blocks blocks for about 30 s"
[ "$deleted" -eq 3 ] || fail "$deleted blocks deleted, 3 marked on the ruler"
[ "$marked" -eq 1 ] || fail "$marked blocks with the error mark of key 3"
[ "$dropped" -ge 1 ] || fail "the phone's outage left no mark in the store"

# Phone 1 was connected by its address, and came back on its own after the
# outage.
grep -q '^connect ' "$WORK/phone-1.log" || fail "phone 1 was never connected"
wait_for_line "$WORK/phone-1-again.out" listening
grep -q "^connect " "$WORK/phone-1-again.log" || fail "the console did not reconnect the phone"

# The live recording decodes.
flv=$WORK/rtmp/lesson.flv
[ -s "$flv" ] || fail "nothing was pushed live"
ffmpeg -nostdin -v error -xerror -i "$flv" -f null - 2>"$WORK/flv.err" || fail "live recording: $(head -3 "$WORK/flv.err")"
live=$(ffprobe -v error -select_streams v -count_packets -show_entries stream=nb_read_packets -of csv=p=0 "$flv")
[ "$live" -ge $((RECORD_SECONDS * 20)) ] || fail "only $live pictures pushed live"

# The MP4: the kept blocks' pictures unchanged plus the pictures of the two
# 5 s standard cards (a card picture each time the video falls behind the
# card's silent audio, 43 AAC frames a second), decoding cleanly.
mp4=$(find "$WORK/store" -name '*.mp4' | head -1)
[ -n "$mp4" ] || fail "no MP4"
ffmpeg -nostdin -v error -xerror -i "$mp4" -f null - 2>"$WORK/mp4.err" || fail "MP4: $(head -3 "$WORK/mp4.err")"
# Only the decoder's complaints count; the null output's timestamp notes do not.
if grep -v 'non monotonically increasing dts' "$WORK/mp4.err" | grep -q .; then
    fail "MP4 decoding: $(head -3 "$WORK/mp4.err")"
fi
card=$(/usr/bin/python3 -c '
v = 0
for a in range(1, 43 * 5 + 1):
    if v * 40000 < a * 21333:
        v += 1
print(v)')
pictures=$(ffprobe -v error -select_streams v -count_packets -show_entries stream=nb_read_packets \
    -of csv=p=0 "$mp4")
echo "MP4: $pictures pictures = $kept kept + 2 x $card of cards?"
[ "$pictures" -eq $((kept + 2 * card)) ] || fail "MP4 has $pictures pictures, not $kept + 2 x $card"

# Every frame of the uploaded MP4 reached the media server, and the live ended.
packets=$(($(ffprobe -v error -count_packets -show_entries stream=nb_read_packets -of csv=p=0 \
    "$mp4" | paste -sd+)))
received=$(grep -c '^frame ' "$WORK/mediaserver/events.txt" || true)
echo "upload: $received of $packets frames received"
[ "$received" -eq "$packets" ] || fail "the media server received $received of $packets frames"
grep -q '^end' "$WORK/mediaserver/events.txt" || fail "the upload did not end the live"
echo "window_lesson: passed (screens in $SHOTS)"
