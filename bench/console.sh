#!/usr/bin/env bash
# The console as a teacher runs it: tavrin in its window on a private X
# server, five simulated 1080p phones found by discovery, all six panes
# showing, a programme of four, recording and pushing to nginx-rtmp on
# 127.0.0.1, for SECONDS. Against it the ffmpeg command line doing the same
# visible work in the same run: five 1080p decodes, each scaled to its
# pane's size, four composed with the caption, encoded and pushed.
# Prints CPU seconds per programme second of the whole console process and
# of ffmpeg, their ratio, the tick lateness p99 and the missed ticks of the
# recording (from the console's trace), and, where perf is present, the
# console's top five cost centres.
#
# usage: console.sh BIN_DIR [SECONDS]   (default 60, or BENCH_SECONDS)
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
source "$ROOT/scripts/lib/lesson-peers.sh"
enter_private_netns "$0" "$@"

BIN=$(cd "$1" && pwd)
BUILD=$(cd "$BIN/.." && pwd)
SECONDS_RUN=${2:-${BENCH_SECONDS:-60}}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-console.XXXXXX")
chmod 755 "$WORK"
SHOTS=$WORK/screens
mkdir -p "$SHOTS"
cleanup() {
    stop_peers
    if [ -n "${KEEP:-}" ]; then echo "console: files kept in $WORK" >&2; else rm -rf "$WORK"; fi
}
trap cleanup EXIT
fail() { echo "console: FAIL: $*" >&2; exit 1; }

start_five_phone_classroom "$BUILD" "$WORK"

start_console "$WORK/program/tavrin" "$WORK/tavrin.log" || fail "the console did not start"
TAVRIN_PID=$CONSOLE_PID
drive "$SHOTS/start" signin,choose-record,channels-showing,push-address,combine-four,record ||
    { tail -20 "$WORK/tavrin.log" >&2; fail "starting the lesson through the window (KEEP=1 keeps $SHOTS)"; }

cpu_ticks() { awk '{print $14 + $15}' "/proc/$TAVRIN_PID/stat"; }
cpu0=$(cpu_ticks)
t0=$(date +%s.%N)
PERF=0
if command -v perf >/dev/null 2>&1 &&
    perf record -q -p "$TAVRIN_PID" -o "$WORK/perf.data" -- sleep "$SECONDS_RUN" \
        >"$WORK/perf.out" 2>&1; then
    PERF=1
else
    # No perf, or not allowed here: the rest of the run without it.
    now=$(date +%s.%N)
    rest=$(awk -v a="$t0" -v b="$now" -v s="$SECONDS_RUN" 'BEGIN { r = s - (b - a); print r > 0 ? r : 0 }')
    sleep "$rest"
fi
cpu1=$(cpu_ticks)
t1=$(date +%s.%N)
kill -0 "$TAVRIN_PID" 2>/dev/null || fail "the console ended during the run"
# Where the panes are, for the reference's scales.
geometry=
for w in $(xdotool search --onlyvisible --pid "$TAVRIN_PID" 2>/dev/null); do
    g=$(xdotool getwindowgeometry --shell "$w") || continue
    area=$(eval "$g"; echo $((WIDTH * HEIGHT)))
    if [ -z "$geometry" ] || [ "$area" -gt "$largest" ]; then geometry=$g largest=$area; fi
done
[ -n "$geometry" ] || fail "the console's window cannot be found"
drive "$SHOTS/end" stop-record || fail "stopping the recording through the window (KEEP=1 keeps $SHOTS)"
sleep 1
kill "$TAVRIN_PID"
wait "$TAVRIN_PID" 2>/dev/null || true

ours_cpu=$(awk -v a="$cpu0" -v b="$cpu1" -v hz="$(getconf CLK_TCK)" -v t0="$t0" -v t1="$t1" \
    'BEGIN { printf "%.3f", (b - a) / hz / (t1 - t0) }')
read -r late missed < <(/usr/bin/python3 - "$WORK/tavrin.log" <<'PY'
import re, sys
on = off = None
for m in re.finditer(r"recording (on|off): programme ticks (\d+), missed (\d+)(?:, lateness p99 (\d+) ms)?",
                     open(sys.argv[1], errors="replace").read()):
    if m.group(1) == "on":
        on = m
    elif on is not None:
        off = m
if on is None or off is None:
    print("- -")
else:
    print(off.group(4) or "-", int(off.group(3)) - int(on.group(3)))
PY
)

# The programme's size and bit rate (the console's settings) and the panes'
# size (the window lays five channels out around the programme pane; each
# is scaled to its pane).
"$BIN/tavrin-cli" settings --ini "$WORK/program/vo.ini" --screen-width 1280 --screen-height 960 \
    >"$WORK/settings.txt"
read -r PW PH < <(awk '/^programme/ {print $2, $4}' "$WORK/settings.txt")
RATE=$(awk '/^video bit rate/ {print $4}' "$WORK/settings.txt")
eval "$geometry"
read -r paneW paneH < <(/usr/bin/python3 - "$ROOT/scripts/lib/lesson-driver.py" "$WIDTH" "$HEIGHT" <<'PY'
import runpy, sys
driver = runpy.run_path(sys.argv[1], run_name="driver")
pane = driver["grid_panes"](int(sys.argv[2]), int(sys.argv[3]), 5)[1]
print(pane[2] // 2 * 2, pane[3] // 2 * 2)
PY
)

# The reference decodes streams of the same kind: five looping 1080p H.264
# files made like the simulator's (testsrc2, x264 veryfast zerolatency, 4 Mbit/s).
for i in 1 2 3 4 5; do
    ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=s=1920x1080:r=25" -t 10 -c:v libx264 \
        -preset veryfast -tune zerolatency -bf 0 -g 25 -b:v 4096k -pix_fmt yuv420p \
        "$WORK/in$i.mkv"
done
inputs=()
for i in 1 2 3 4 5; do inputs+=(-re -stream_loop -1 -t "$SECONDS_RUN" -i "$WORK/in$i.mkv"); done
if [ "$PW" -ge 1920 ]; then size=39 y=1026 x=15; else size=26 y=684 x=10; fi
graph=""
for i in 0 1 2 3; do
    graph+="[$i:v]split[p$i][v$i];[p$i]scale=$paneW:$paneH,nullsink;[v$i]scale=$((PW / 2)):$((PH / 2))[s$i];"
done
graph+="[4:v]scale=$paneW:$paneH,nullsink;"
graph+="[s0][s1][s2][s3]xstack=inputs=4:layout=0_0|w0_0|0_h0|w0_h0,drawtext=fontfile=$BIN/sy.otf:fontcolor=gray:fontsize=$size:text='第3课：认识分数':x=$x:y=$y[v]"
/usr/bin/time -f '%U %S %e' -o "$WORK/ref.time" ffmpeg -nostdin -v error "${inputs[@]}" \
    -re -f lavfi -i "sine=f=440:r=48000" -filter_complex "$graph" \
    -map "[v]" -map 5:a -t "$SECONDS_RUN" -c:v libx264 -preset superfast -tune zerolatency -g 25 \
    -b:v "${RATE}k" -c:a aac -b:a 128k -ac 2 -f flv "rtmp://127.0.0.1:$RTMP_PORT/live/ref" ||
    fail "the ffmpeg reference failed"
ref=$(tail -1 "$WORK/ref.time")
awk -v t="$ref" -v s="$SECONDS_RUN" 'BEGIN { split(t, a, " "); exit !(a[3] > s - 2) }' ||
    fail "the ffmpeg reference ended early: $ref"
ref_cpu=$(awk -v t="$ref" -v s="$SECONDS_RUN" 'BEGIN { split(t, a, " "); printf "%.3f", (a[1] + a[2]) / s }')

echo "console 5x1080p phones, six panes, programme ${PW}x${PH} of four (${SECONDS_RUN}s):" \
    "ours ${ours_cpu} cpu-s per programme second, ffmpeg ${ref_cpu}," \
    "ratio $(awk -v a="$ours_cpu" -v b="$ref_cpu" 'BEGIN { printf "%.2f", a / b }');" \
    "tick lateness p99 ${late} ms, missed ticks ${missed}"
if [ $PERF -eq 1 ]; then
    echo "top cost centres of the console:"
    # (The sampling costs the console a little CPU of its own: noise.)
    perf report -i "$WORK/perf.data" --no-children --sort dso,symbol --stdio -q 2>/dev/null |
        awk '$1 ~ /%$/ { $1 = $1; sub(/( -)+$/, ""); print "  " $0 }' | head -5 || true
fi
