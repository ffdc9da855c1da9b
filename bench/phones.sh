#!/usr/bin/env bash
# Five simulated 1080p phones at 25 fps into a 1080p programme showing four
# of them, recorded and pushed to nginx-rtmp on 127.0.0.1 (bench_phones),
# against the ffmpeg command line doing the same work: decoding five 1080p
# H.264 streams of the same kind, scaling each for a 1280x720 preview,
# composing four of them with the caption, encoding and pushing to the same
# server in real time. Prints CPU seconds per programme second
# of both and their ratio, tick lateness, missed ticks, and the latency from
# a phone sending a marked picture to the tick that composed it.
# Usage: phones.sh BIN_DIR [SECONDS]
set -euo pipefail
source "$(cd "$(dirname "$0")" && pwd)/../scripts/lib/rtmp-server.sh"
BIN=$1
SECONDS_RUN=${2:-${BENCH_SECONDS:-60}}
SIM=$BIN/../phone-sim/phone-sim.py
WORK=$(mktemp -d)
PIDS=()
cleanup() {
    for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT
mkdir -p "$WORK/store"
start_rtmp_server "$WORK"
PORT=$RTMP_PORT
PIDS+=("$RTMP_PID")

for i in 1 2 3 4 5; do
    ip=127.0.0.$((i + 1))
    /usr/bin/python3 "$SIM" --bind "$ip" --width 1920 --height 1080 --bitrate 4096 \
        --mark-period 50 --id "bench-$i" --log "$WORK/sim$i.log" >"$WORK/sim$i.out" 2>&1 &
    PIDS+=($!)
done
for i in 1 2 3 4 5; do
    for _ in $(seq 900); do grep -q listening "$WORK/sim$i.out" && break; sleep 0.1; done
    grep -q listening "$WORK/sim$i.out" || { cat "$WORK/sim$i.out"; exit 1; }
done

ours=$("$BIN/bench_phones" "rtmp://127.0.0.1:$PORT/live/ours" "$SECONDS_RUN" "$WORK/store" \
    "$WORK/sim1.log" "$WORK/sim2.log" "$WORK/sim3.log" "$WORK/sim4.log" "$WORK/sim5.log" 2>/dev/null)
ours_cpu=$(sed -n 's/.*cpu_per_programme_second=\([0-9.]*\).*/\1/p' <<<"$ours")

# The reference decodes the same kind of streams: five looping 1080p H.264
# files made like the simulator's (testsrc2, x264 veryfast zerolatency, 4 Mbit/s).
for i in 1 2 3 4 5; do
    ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=s=1920x1080:r=25" -t 10 -c:v libx264 \
        -preset veryfast -tune zerolatency -bf 0 -g 25 -b:v 4096k -pix_fmt yuv420p \
        "$WORK/in$i.mkv"
done
inputs=()
# (In a container: a raw H.264 stream cannot be looped.)
for i in 1 2 3 4 5; do inputs+=(-re -stream_loop -1 -t "$SECONDS_RUN" -i "$WORK/in$i.mkv"); done
# Like the console, every channel is also scaled for its 1280x720 preview.
graph=""
for i in 0 1 2 3; do
    graph+="[$i:v]split[p$i][v$i];[p$i]scale=1280:720,nullsink;[v$i]scale=960:540[s$i];"
done
graph+="[4:v]scale=1280:720,nullsink;"
graph+="[s0][s1][s2][s3]xstack=inputs=4:layout=0_0|w0_0|0_h0|w0_h0,drawtext=fontfile=$BIN/sy.otf:fontcolor=gray:fontsize=39:text='第3课：认识分数':x=15:y=1026[v]"
# CPU and wall seconds of the reference; a reference that fails ends the run.
/usr/bin/time -f '%U %S %e' -o "$WORK/ref.time" ffmpeg -nostdin -v error "${inputs[@]}" \
    -re -f lavfi -i "sine=f=440:r=48000" -filter_complex "$graph" \
    -map "[v]" -map 5:a -t "$SECONDS_RUN" -c:v libx264 -preset superfast -tune zerolatency -g 25 \
    -b:v 8192k -c:a aac -b:a 128k -ac 2 -f flv "rtmp://127.0.0.1:$PORT/live/ref" \
    || { echo "phones: the ffmpeg reference failed" >&2; exit 1; }
ref=$(tail -1 "$WORK/ref.time")
awk -v t="$ref" -v s="$SECONDS_RUN" 'BEGIN { split(t, a, " "); exit !(a[3] > s - 2) }' \
    || { echo "phones: the ffmpeg reference ended early: $ref" >&2; exit 1; }
ref_cpu=$(awk -v t="$ref" -v s="$SECONDS_RUN" 'BEGIN { split(t, a, " "); printf "%.3f", (a[1] + a[2]) / s }')
echo "$ours"
echo "phones 5x1080p -> 1080p x4 (${SECONDS_RUN}s): ours ${ours_cpu} cpu-s per programme second, ffmpeg ${ref_cpu}, ratio $(awk -v a="$ours_cpu" -v b="$ref_cpu" 'BEGIN { printf "%.2f", a / b }')"
