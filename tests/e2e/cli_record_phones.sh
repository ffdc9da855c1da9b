#!/usr/bin/env bash
# A whole lesson without the window: three simulated phones on 127.0.0.2-4
# and a looping MP4, driven by a lesson script for 60 s through one, two,
# three and four channels and two scenes of an activity plan, recorded and
# pushed to nginx-rtmp on 127.0.0.1. The store must read back with about one
# block a second and the live recording must decode without errors.
set -euo pipefail
BIN=$1
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/../../scripts/lib/rtmp-server.sh"
CLI=$BIN/tavrin-cli
SIM=$BIN/../phone-sim/phone-sim.py
SECONDS_TO_RECORD=${SECONDS_TO_RECORD:-60}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-e2e-phones.XXXXXX")
PIDS=()
cleanup() {
    for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$WORK/plan"
start_rtmp_server "$WORK" "$WORK/rec"
PIDS+=("$RTMP_PID")
PORT=$RTMP_PORT

for i in 1 2 3; do
    /usr/bin/python3 "$SIM" --bind "127.0.0.$((i + 1))" --id "pad-$i" --seconds 4 \
        --log "$WORK/sim$i.log" >"$WORK/sim$i.out" 2>&1 &
    PIDS+=($!)
done
ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=1280x720:r=25 -f lavfi -i sine=f=440:r=48000 \
    -t 5 -c:v libx264 -g 25 -pix_fmt yuv420p -c:a aac -ac 2 -ar 48000 "$WORK/movie.mp4"

# An activity plan with a background and two scenes: two channels side by
# side with a title, and three channels with a caption that holds the
# characters a filter description would trip over.
ffmpeg -nostdin -v error -y -f lavfi -i color=c=0x203050:s=1920x1080 -frames:v 1 "$WORK/plan/bg.jpg"
/usr/bin/python3 - "$WORK/plan/lesson.kvx" <<'PY'
import json, sys
plan = {
    "userid": 1, "createtime": "2026-12-09 08:00:00 ", "lastrefreshtime": "2026-12-09 08:00:00",
    "name": "分数", "rtmp": "",
    "image": [{"id": 1, "name": "底图", "filename": "bg.jpg"}],
    "rectangle": [{"id": 1, "name": "左", "x": 40, "y": 200, "w": 900, "h": 506},
                  {"id": 2, "name": "右", "x": 980, "y": 200, "w": 900, "h": 506},
                  {"id": 3, "name": "下", "x": 660, "y": 740, "w": 600, "h": 320}],
    "fontstyle": [{"id": 1, "name": "标题", "font": "思源宋体 CN SemiBold", "color": 16777215,
                   "size": 64, "x": 0, "y": 0}],
    "sence": [
        {"id": 7, "name": "两路", "image": 1, "rectangle": [{"id": 1}, {"id": 2}],
         "text": [{"id": 1, "fontstyle": 1, "name": "第3课：认识分数", "x": 60, "y": 60}]},
        {"id": 9, "name": "三路", "image": 1, "rectangle": [{"id": 1}, {"id": 2}, {"id": 3}],
         "text": [{"id": 1, "fontstyle": 1, "name": "1/2, 50% 'half': a\\b", "x": 60, "y": 60}]},
    ],
}
open(sys.argv[1], "w").write(json.dumps(plan, ensure_ascii=True, separators=(",", ":")))
PY

cat >"$WORK/lesson.script" <<'SCRIPT'
# one, two, three and four channels, two scenes, and the director's tools
0 combine 1
6 combine 1,2
12 combine 1,2,3
18 combine 1,2,3,4
22 swap 1 3
24 audio 2
26 cut 2 0 0 500 500
30 esc
32 scene 1
40 scene 2
48 fullscreen 4
50 combine 3,1
52 esc
56 combine 2
SCRIPT

for i in 1 2 3; do
    for _ in $(seq 300); do grep -q listening "$WORK/sim$i.out" && break; sleep 0.1; done
    grep -q listening "$WORK/sim$i.out" || { cat "$WORK/sim$i.out"; fail "phone-sim $i"; }
done

# Phone 3 drops out during the lesson and comes back: the lesson goes on and
# the console reconnects it on its own.
(
    sleep $((SECONDS_TO_RECORD * 2 / 3))
    kill "${PIDS[3]}"
    sleep 2
    exec /usr/bin/python3 "$SIM" --bind 127.0.0.4 --id pad-3 --seconds 4 \
        --log "$WORK/sim3-again.log" >"$WORK/sim3-again.out" 2>&1
) &
PIDS+=($!)

"$CLI" record --root "$WORK/root" --user 3 --lesson 301 --seconds "$SECONDS_TO_RECORD" \
    --channel 1=phone:127.0.0.2 --channel 2=phone:127.0.0.3 --channel 3=phone:127.0.0.4 \
    --channel 4=file:"$WORK/movie.mp4" --plan "$WORK/plan/lesson.kvx" --script "$WORK/lesson.script" \
    --rtmp "rtmp://127.0.0.1:$PORT/live/lesson" 2>"$WORK/log" | tee "$WORK/out" \
    || { tail -20 "$WORK/log"; fail "record from phones"; }

grep -q 'ch1 .*connected pad-1' "$WORK/out" || fail "phone 1 never connected"
grep -q 'script 32s: scene 1 -> 2' "$WORK/out" || fail "scene 1 not used"
grep -q 'script 40s: scene 2 -> 3' "$WORK/out" || fail "scene 2 not used"
grep -q 'script 18s: combine 1,2,3,4 -> 4' "$WORK/out" || fail "four channels not combined"
if grep -q 'script .*failed' "$WORK/out"; then fail "a script action failed"; fi
# (After "swap 1 3" phone 3 carries channel 1.)
grep -q '^ch1 connection lost' "$WORK/out" || fail "phone 3 not seen leaving"
grep -q '^ch1 reconnecting' "$WORK/out" || fail "phone 3 not reconnected"
[ "$(grep -c '^ch[13] connected pad-3' "$WORK/out")" -eq 2 ] || fail "phone 3 did not come back"
# Every phone was asked for its stream exactly once per connection.
for i in 1 2 3; do
    [ "$(grep -c '^recv 0x10000701' "$WORK/sim$i.log")" -eq 1 ] || fail "phone $i requests"
done

mkdir "$WORK/store"
/usr/bin/python3 "$HERE/check_store.py" "$CLI" "$WORK/root" 3 301 "$SECONDS_TO_RECORD" "$WORK/store"

sleep 1 # nginx closes the recording when the publisher leaves
flv=$WORK/rec/lesson.flv
[ -s "$flv" ] || fail "nothing reached the RTMP server"
duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$flv")
awk -v d="$duration" -v s="$SECONDS_TO_RECORD" 'BEGIN { exit !(d > s - 5 && d < s + 2) }' \
    || fail "live recording lasts $duration s"
# Below the two pictures of scene 1 lies its background; scene 2 puts its
# third picture there.
patch() { # seconds -> mean R G B of an 8 x 8 patch at (636, 596)
    ffmpeg -nostdin -v error -ss "$1" -i "$flv" -frames:v 1 -vf crop=8:8:636:596 \
        -f rawvideo -pix_fmt rgb24 - | /usr/bin/python3 -c '
import sys; d = sys.stdin.buffer.read(); n = len(d) // 3
print(*(sum(d[i::3]) // n for i in range(3)))'
}
is_background() { awk -v c="$1" 'BEGIN { split(c, v, " "); exit !(v[1] > 20 && v[1] < 45 && v[2] > 36 && v[2] < 60 && v[3] > 68 && v[3] < 92) }'; }
scene1=$(patch 36)
scene2=$(patch 44)
echo "below the scene pictures: $scene1 at 36 s, $scene2 at 44 s"
is_background "$scene1" || fail "scene 1 does not show its background below its pictures: $scene1"
if is_background "$scene2"; then fail "scene 2 shows no third picture: $scene2"; fi

errors=$(ffmpeg -nostdin -v error -i "$flv" -map 0:v -f rawvideo -y /dev/null -map 0:a -f s16le -y /dev/null 2>&1)
[ -z "$errors" ] || fail "decode errors: $errors"
echo "cli_record_phones: passed"
