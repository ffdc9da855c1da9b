# The demo lesson without the console window (sourced by scripts/demo, whose
# peers are running): tavrin-cli shows the settings, renders a caption and
# the MP4 cards, signs in to the platform simulator, lists the virtual
# devices and records a scripted lesson from a looping MP4, the virtual camera
# and two simulated phones while pushing it live, then makes the MP4.
echo "Tavrin demo (the console window is not built here; showing tavrin-cli)"
echo
"$BIN/tavrin-cli" settings </dev/null
echo
lesson=(--name '第3课:认识分数' --subject '数学 上册' --grade '三年级' --version '人教版'
        --school '实验小学' --teacher '王老师')
"$BIN/tavrin-cli" paths --lesson 812 --user 130021 "${lesson[@]}"
echo
render() { # name size filter-args...
    local name=$1 size=$2; shift 2
    local filter
    filter=$("$BIN/tavrin-cli" filter "$@")
    (cd "$BIN" && ffmpeg -nostdin -v error -y -f lavfi -i "color=c=0x303338:s=$size" \
        -frames:v 1 -vf "$filter" "$OUT/$name.png")
    echo "rendered $OUT/$name.png"
}
render caption-1080 1920x1080 caption --resolution 1 "${lesson[@]}"
render title-1080 1920x1080 title --resolution 1 "${lesson[@]}"
render tail-720 1280x720 tail --resolution 0 --maker '实验小学电教室' --date "$(date +%Y年%-m月%-d日)"
echo
printf 'demo1001\n' >"$OUT/demo-password"
"$BIN/tavrin-cli" login --host 127.0.0.1 --port "$PLATFORM_PORT" \
    --ca "$BUILD/platform-sim/platform-cert.pem" --cache "$OUT/lesson.dat" --user 1001 \
    --password-file "$OUT/demo-password"
echo
TAVRIN_VIRTUAL_DEVICES=1 "$BIN/tavrin-cli" devices
echo
mkdir -p "$OUT/plan"
ffmpeg -nostdin -v error -y -f lavfi -i color=c=0x203050:s=1920x1080 -frames:v 1 "$OUT/plan/bg.jpg"
cat >"$OUT/plan/demo.kvx" <<'PLAN'
{"userid":1001,"createtime":"2026-12-09 08:00:00 ","lastrefreshtime":"2026-12-09 08:00:00","name":"\u5206\u6570","rtmp":"","image":[{"id":1,"name":"bg","filename":"bg.jpg"}],"rectangle":[{"id":1,"name":"a","x":40,"y":200,"w":900,"h":506},{"id":2,"name":"b","x":980,"y":200,"w":900,"h":506},{"id":3,"name":"c","x":660,"y":740,"w":600,"h":320}],"fontstyle":[{"id":1,"name":"t","font":"","color":16777215,"size":64,"x":0,"y":0}],"sence":[{"id":1,"name":"\u4e09\u8def","image":1,"rectangle":[{"id":1},{"id":2},{"id":3}],"text":[{"id":1,"fontstyle":1,"name":"\u7b2c3\u8bfe\uff1a\u8ba4\u8bc6\u5206\u6570","x":60,"y":60}]}]}
PLAN
RECORD_SECONDS=12
[ "$SHORT" = 1 ] && RECORD_SECONDS=6
printf '0 combine 1,3\n2 combine 1,2,3,4\n4 scene 1\n5 swap 3 4\n' >"$OUT/demo.script"
rm -rf "$OUT/store"
TAVRIN_VIRTUAL_DEVICES=1 "$BIN/tavrin-cli" record --root "$OUT/store" --user 1001 --lesson 812 \
    --seconds "$RECORD_SECONDS" --channel 1=file:"$OUT/class.mp4" \
    --channel 2=device:'Virtual Camera|Virtual Microphone' --channel 3=phone:127.0.0.2 \
    --channel 4=phone:127.0.0.3 --plan "$OUT/plan/demo.kvx" --script "$OUT/demo.script" \
    --audio 1 --rtmp "$PUSH_URL" --name '第3课:认识分数' 2>/dev/null
"$BIN/tavrin-cli" info --root "$OUT/store" --user 1001 --lesson 812 | head -12
"$BIN/tavrin-cli" mp4 --root "$OUT/store" --user 1001 --lesson 812 --cards standard \
    --head-seconds 3 --tail-seconds 3 "${lesson[@]}" --maker '实验小学电教室' \
    --out "$OUT/lesson-812.mp4" 2>/dev/null
echo "lesson MP4: $OUT/lesson-812.mp4"
echo "live recording received by the RTMP server: $OUT/rtmp/demo.flv"
