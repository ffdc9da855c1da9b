#!/usr/bin/env bash
# The programme pipeline (bench_pipeline: 1080p, four channels, caption,
# recording, pushing to nginx-rtmp on 127.0.0.1) against the ffmpeg command
# line producing the same programme from four generated inputs (scale +
# overlay + drawtext, libx264 superfast zerolatency) and pushing it to the
# same server in real time. Prints CPU seconds per programme second of both
# and their ratio. Usage: pipeline.sh BIN_DIR [SECONDS]
set -euo pipefail
source "$(cd "$(dirname "$0")" && pwd)/../scripts/lib/rtmp-server.sh"
BIN=$1
SECONDS_RUN=${2:-${BENCH_SECONDS:-60}}
WORK=$(mktemp -d)
NGINX_PID=
trap '[ -n "$NGINX_PID" ] && kill $NGINX_PID 2>/dev/null; rm -rf "$WORK"' EXIT
mkdir -p "$WORK/rec" "$WORK/store"
start_rtmp_server "$WORK"
PORT=$RTMP_PORT
NGINX_PID=$RTMP_PID

ours=$("$BIN/bench_pipeline" "rtmp://127.0.0.1:$PORT/live/ours" "$SECONDS_RUN" "$WORK/store" 2>/dev/null)
ours_cpu=$(sed -n 's/.*cpu_per_programme_second=\([0-9.]*\).*/\1/p' <<<"$ours")

TIMEFORMAT='%U %S'
ref=$( { time ffmpeg -nostdin -v error \
    -re -f lavfi -i "testsrc2=s=960x540:r=25" -re -f lavfi -i "testsrc2=s=960x540:r=25" \
    -re -f lavfi -i "testsrc2=s=960x540:r=25" -re -f lavfi -i "testsrc2=s=960x540:r=25" \
    -re -f lavfi -i "sine=f=440:r=48000" \
    -filter_complex "color=c=0x202020:s=1920x1080:r=25[bg];[bg][0:v]overlay=0:0[a];[a][1:v]overlay=960:0[b];[b][2:v]overlay=0:540[c];[c][3:v]overlay=960:540,drawtext=fontfile=$BIN/sy.otf:fontcolor=gray:fontsize=39:text='第3课：认识分数':x=15:y=1026[v]" \
    -map "[v]" -map 4:a -t "$SECONDS_RUN" -c:v libx264 -preset superfast -tune zerolatency -g 25 \
    -b:v 8192k -c:a aac -b:a 128k -ac 2 -f flv "rtmp://127.0.0.1:$PORT/live/ref" ; } 2>&1 >/dev/null | tail -1)
ref_cpu=$(awk -v t="$ref" -v s="$SECONDS_RUN" 'BEGIN { split(t, a, " "); printf "%.3f", (a[1] + a[2]) / s }')
echo "$ours"
echo "pipeline 1080p x4 (${SECONDS_RUN}s): ours ${ours_cpu} cpu-s per programme second, ffmpeg ${ref_cpu}, ratio $(awk -v a="$ours_cpu" -v b="$ref_cpu" 'BEGIN { printf "%.2f", a / b }')"
