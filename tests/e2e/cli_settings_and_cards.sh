#!/usr/bin/env bash
# tavrin-cli end to end: a fresh vo.ini gets its defaults, and every caption
# and card filter it prints is accepted by FFmpeg's drawtext with sy.otf and
# actually draws text.
set -euo pipefail
BIN=$1
CLI=$BIN/tavrin-cli
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# sy.otf is the Simplified Chinese face, not the collection's first (Japanese) one.
family=$(fc-scan --format '%{family[0]}' "$BIN/sy.otf")
[ "$family" = "Noto Serif CJK SC" ] || fail "sy.otf is '$family'"

mkdir -p "$WORK/home"
out=$(HOME="$WORK/home" "$CLI" settings --ini "$WORK/vo.ini" --screen-width 1024 --screen-height 768)
echo "$out"
grep -q '^channels  *5$' <<<"$out" || fail "channel count"
grep -q '^window  *1024 x 768$' <<<"$out" || fail "window clamp"
grep -q '^Count=5$' "$WORK/vo.ini" || fail "default not written"
grep -q '^width=1150$' "$WORK/vo.ini" || fail "clamp written to file"

# Bad input is refused with a clear error and a non-zero status.
if "$CLI" paths --lesson abc 2>"$WORK/err"; then fail "bad lesson accepted"; fi
grep -q 'needs a number' "$WORK/err" || fail "unclear error: $(cat "$WORK/err")"

paths=$("$CLI" paths --root /srv/vo --user 9 --lesson 812 --teacher '数学 教研组' --name '第1课:认识/分数')
grep -q '^MP4  *\/srv\/vo\/9\/output\/数学 教研组-第1课：认识／分数-812.mp4$' <<<"$paths" || fail "mp4 name: $paths"

lesson=(--name "第1课:It's 100%" --subject '数学 上册' --grade '三年级' --school '实验小学'
        --teacher '王老师[1]')
render() { # size filter... -> mean brightness of the rendered picture (0..1)
    local size=$1; shift
    local filter
    filter=$("$CLI" filter "$@")
    (cd "$BIN" && ffmpeg -nostdin -v error -y -f lavfi -i "color=c=black:s=$size" -frames:v 1 \
        -vf "$filter" "$WORK/card.png") || fail "ffmpeg refused: $filter"
    convert "$WORK/card.png" -colorspace Gray -format '%[fx:mean]' info:
}
for res in 0 1; do
    size=1280x720; [ $res = 1 ] && size=1920x1080
    for kind in caption title tail; do
        case $kind in
            tail) args=(--maker '实验小学:电教室' --date '2026年12月9日') ;;
            title) args=("${lesson[@]}" --version '人教版') ;;
            *) args=("${lesson[@]}") ;;
        esac
        mean=$(render $size $kind --resolution $res "${args[@]}")
        echo "$kind $size mean=$mean"
        awk -v m="$mean" 'BEGIN { exit !(m > 0.0001) }' || fail "$kind $size drew nothing"
    done
done
echo "cli settings and cards: ok"
