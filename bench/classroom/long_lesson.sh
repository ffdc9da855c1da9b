#!/usr/bin/env bash
# A whole lesson's length: the console records and pushes for MINUTES through
# its window under a private X server, with five simulated 1080p phones found
# by discovery and four of them on the programme. Every 30 s it samples the
# process's resident memory, threads, open files and CPU time, and prints
# the growth from the end of the warm-up (minute 5, or a third of a shorter
# run) to the end, the programme ticks missed while recording, the blocks
# against the recorded seconds and whether tavrin-cli reads the store.
#
# usage: long_lesson.sh BUILD_DIR [MINUTES]   (default 60; prints one result
# line; exits 1 when the memory, threads, files or blocks miss their goal)
set -euo pipefail
BUILD=$(cd "$1" && pwd)
MINUTES=${2:-60}
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
source "$ROOT/scripts/lib/lesson-peers.sh"
enter_private_netns "$0" "$@"

BIN=$BUILD/bin
CLI=$BIN/tavrin-cli
WORK=$BUILD/classroom-long-lesson
SHOTS=$WORK/screens
LESSON=30102
USER_ID=1001
PERIOD=30
WARMUP=$((MINUTES >= 15 ? 300 : MINUTES * 20))
rm -rf "$WORK"
mkdir -p "$WORK" "$SHOTS"
trap stop_peers EXIT
fail() { echo "long_lesson: FAIL: $*"; exit 1; }

start_five_phone_classroom "$BUILD" "$WORK"
# A teacher's bit rate ("3" M in the settings): at the default 22 Mbit/s these
# pictures come to about 8.6 Mbit/s, and the lesson's 1850 MiB would stop the
# recording after about 30 minutes, as the console means it to. The demo
# settings carry no bit rate, so the section is added rather than edited.
printf '[VideoBitRate]\nBitRate=3000\n' >>"$WORK/program/vo.ini"

# TAVRIN_WRAP runs the console under a tool (for example a heap profiler
# when a growth is to be found); the figures then measure the tool too.
${TAVRIN_WRAP:-} "$WORK/program/tavrin" >"$WORK/tavrin.log" 2>&1 &
TAVRIN_PID=$!
PEER_PIDS+=("$TAVRIN_PID")
drive "$SHOTS/start" signin,choose-record,channels-showing,push-address,combine-four,record ||
    { tail -20 "$WORK/tavrin.log"; fail "starting the lesson through the window (screens in $SHOTS)"; }

# seconds rss_kib threads files cpu_ticks, one line every PERIOD seconds.
sample() {
    local t=$1 rss threads files cpu
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$TAVRIN_PID/status")
    threads=$(awk '/^Threads:/ {print $2}' "/proc/$TAVRIN_PID/status")
    files=$(find "/proc/$TAVRIN_PID/fd" -mindepth 1 -maxdepth 1 | wc -l)
    # utime + stime; the command name holds no blanks here.
    cpu=$(awk '{print $14 + $15}' "/proc/$TAVRIN_PID/stat")
    echo "$t $rss $threads $files $cpu" >>"$WORK/samples.txt"
    # Where the memory is, for whoever looks into a growth.
    echo "$t $(grep -E '^(RssAnon|RssFile|RssShmem|VmData):' "/proc/$TAVRIN_PID/status" | tr -s ' \t' ' ' | paste -sd' ')" \
        >>"$WORK/memory.txt"
}
: >"$WORK/samples.txt"
: >"$WORK/memory.txt"
start=$(date +%s)
end=$((start + MINUTES * 60))
sample 0
next=$((start + PERIOD))
while [ "$(date +%s)" -lt "$end" ]; do
    kill -0 "$TAVRIN_PID" 2>/dev/null || fail "the console ended during the lesson"
    now=$(date +%s)
    if [ "$now" -ge "$next" ]; then
        sample $((now - start))
        next=$((next + PERIOD))
    fi
    sleep 1
done
sample $(($(date +%s) - start))
# A lesson of an hour meets the console's own limit at its end: its warning
# and its stop are answered as a teacher would.
drive "$SHOTS/end" end-record || fail "stopping the recording through the window (screens in $SHOTS)"
sleep 2
kill -0 "$TAVRIN_PID" 2>/dev/null || fail "the console ended while stopping"
# The store opens for reading once no console holds it.
kill "$TAVRIN_PID"
wait "$TAVRIN_PID" 2>/dev/null || true

"$CLI" info --root "$WORK/store" --user "$USER_ID" --lesson "$LESSON" --json >"$WORK/info.json" ||
    fail "tavrin-cli cannot read the store"
result=$(/usr/bin/python3 - "$WORK/samples.txt" "$WORK/tavrin.log" "$WORK/info.json" "$WARMUP" \
    "$(getconf CLK_TCK)" <<'PY'
import json, re, sys
samples, log, info, warmup, hz = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5])
rows = [list(map(int, l.split())) for l in open(samples) if l.strip()]
base = next(r for r in rows if r[0] >= warmup)
last = rows[-1]
rss = 100.0 * (last[1] - base[1]) / base[1]
cpu = 100.0 * (last[4] - base[4]) / hz / max(1, last[0] - base[0])
ticks = {}
for m in re.finditer(r"recording (on|off): programme ticks (\d+), missed (\d+)", open(log).read()):
    ticks[m.group(1)] = (int(m.group(2)), int(m.group(3)))
if "on" in ticks and "off" in ticks:
    missed = ticks["off"][1] - ticks["on"][1]
    seconds = (ticks["off"][0] - ticks["on"][0] + missed) / 25.0
else:
    missed, seconds = -1, 0.0
b = json.load(open(info))["blocks"]
pictures = sum(x["video"] for x in b)
print(f"{base[0] // 60}:{base[0] % 60:02d} {rss:+.1f} {base[1] // 1024} {last[1] // 1024} "
      f"{base[2]} {last[2]} {base[3]} {last[3]} {cpu:.0f} {missed} {len(b)} {seconds:.0f} "
      f"{pictures} {len(rows)}")
PY
) || fail "the figures could not be read (see $WORK)"
read -r from rss rss0 rss1 th0 th1 fd0 fd1 cpu missed blocks seconds pictures n <<<"$result"
echo "long_lesson: $MINUTES min, $n samples, from $from to the end: RSS ${rss}% ($rss0 -> $rss1 MiB)," \
    "threads $th0 -> $th1, open files $fd0 -> $fd1, CPU ${cpu}%; missed ticks $missed;" \
    "blocks $blocks for $seconds s recorded ($pictures pictures); store read by tavrin-cli: yes"

/usr/bin/python3 -c "import sys; sys.exit(0 if float('$rss') <= 5.0 else 1)" ||
    fail "resident memory grew by ${rss}%"
[ "$th1" -eq "$th0" ] || fail "threads went from $th0 to $th1"
[ "$fd1" -eq "$fd0" ] || fail "open files went from $fd0 to $fd1"
[ "$missed" -ge 0 ] || fail "the recording's tick counts are not in the trace"
[ $((blocks - seconds)) -le 2 ] && [ $((seconds - blocks)) -le 2 ] ||
    fail "$blocks blocks for $seconds s recorded"
