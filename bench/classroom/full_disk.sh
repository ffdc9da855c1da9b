#!/usr/bin/env bash
# A full disk, on small file systems this script mounts in a private mount
# namespace (size-limited tmpfs; they vanish with the namespace): a lesson
# that does not fit, MP4 production whose temporary stream files or whose
# MP4 run out of space, and an upload read from a full disk. Each must give
# the console's message, leave no MP4 that looks made, and keep every block
# already recorded. Without "short", a disk that fills while a lesson is
# being recorded too (needs about 2.1 GB of memory for a while).
# Prints one result line; exit 0 when every case behaves, 77 without root.
# Usage: full_disk.sh BIN_DIR [short]
set -euo pipefail
if [ "${1:-}" != --inner ]; then
    BIN=$(cd "$1" && pwd)
    [ "$(id -u)" = 0 ] || { echo "full disk: skipped (mounting needs root)"; exit 77; }
    WORK=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-full-disk.XXXXXX")
    trap 'rm -rf "$WORK"' EXIT
    status=0
    timeout 600 unshare -m --propagation private bash "$0" --inner "$BIN" "$WORK" "${2:-}" || status=$?
    exit $status
fi

BIN=$2
WORK=$3
SHORT=$4
CLI=$BIN/tavrin-cli
MOUNTS=()
MEDIA_PID=
cleanup() {
    [ -n "$MEDIA_PID" ] && kill "$MEDIA_PID" 2>/dev/null || true
    local m
    for m in "${MOUNTS[@]}"; do umount "$m" 2>/dev/null || true; done
}
trap cleanup EXIT
small_fs() { # DIR SIZE
    mkdir -p "$1"
    mount -t tmpfs -o "size=$2" tmpfs "$1"
    MOUNTS+=("$1")
}
fill_fs() { # DIR: take every byte left
    dd if=/dev/zero of="$1/filler" bs=64k status=none 2>/dev/null || true
}
fail() { echo "full disk: FAIL: $*"; exit 1; }
blocks() { # ROOT LESSON
    "$CLI" info --root "$1" --user 5 --lesson "$2" --json |
        /usr/bin/python3 -c 'import json,sys; print(json.load(sys.stdin)["counters"]["IBlockCount"])'
}
expect_message() { # FILE TEXT
    grep -qF "Tavrin [error]: $2" "$1" || fail "expected \"$2\", got: $(tail -3 "$1")"
}
no_mp4_left() { # DIR
    if compgen -G "$1/*.mp4" >/dev/null || compgen -G "$1/*.part" >/dev/null; then
        fail "an MP4 was left in $1: $(ls "$1")"
    fi
}

ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=1280x720:r=25 -f lavfi -i sine=f=440:r=48000 \
    -t 4 -c:v libx264 -preset superfast -g 25 -pix_fmt yuv420p -c:a aac -ac 2 -ar 48000 \
    "$WORK/movie.mp4"
RESULTS=()

# 1. A lesson that does not fit: refused with the console's text, nothing
# left behind, refused again on a retry.
small_fs "$WORK/small" 64M
DATA_TEXT="录像数据文件打不开,请考虑退出本软件,或重启电脑,或者等几秒再试"
for attempt in 1 2; do
    if "$CLI" prepare --root "$WORK/small/root" --user 5 --lesson 7 2>"$WORK/err"; then
        fail "a 2 GB store was prepared on 64 MB"
    fi
    expect_message "$WORK/err" "$DATA_TEXT"
done
if "$CLI" record --root "$WORK/small/root" --user 5 --lesson 7 --seconds 2 \
    --channel 1=file:"$WORK/movie.mp4" >/dev/null 2>"$WORK/err"; then
    fail "recording started on 64 MB"
fi
expect_message "$WORK/err" "$DATA_TEXT"
left=$(find "$WORK/small/root" -name '*.dat' | wc -l)
[ "$left" -eq 0 ] || fail "$left store files left on the small disk"
RESULTS+=("lesson that does not fit: refused with its message, no files left")

# A lesson on the big disk for the MP4 cases.
ROOT=$WORK/root
"$CLI" record --root "$ROOT" --user 5 --lesson 101 --seconds 6 \
    --channel 1=file:"$WORK/movie.mp4" >/dev/null 2>"$WORK/record.log" ||
    { tail "$WORK/record.log"; fail "recording the lesson"; }
KEPT=$(blocks "$ROOT" 101)
[ "$KEPT" -ge 3 ] || fail "only $KEPT blocks recorded in 6 s"
mp4_fails() { # WHAT: builds, expects the failure message; nothing made, store kept
    local what=$1
    if "$CLI" mp4 --root "$ROOT" --user 5 --lesson 101 --cards standard >"$WORK/mp4.out" \
        2>"$WORK/err"; then
        fail "$what: the MP4 was reported made on a full disk"
    fi
    grep -qF "Tavrin [error]: MP4文件生成失败，错误码：" "$WORK/err" ||
        fail "$what: no failure message: $(tail -2 "$WORK/err")"
    CODE=$(grep -oF -m1 "错误码：" "$WORK/err" >/dev/null && sed -n 's/.*错误码：\(-[0-9]*\).*/\1/p' "$WORK/err" | head -1)
    no_mp4_left "$ROOT/5/output"
    [ -z "$(ls -A "$ROOT/5/temp" 2>/dev/null)" ] || fail "$what: temporary files left: $(ls "$ROOT/5/temp")"
    [ "$(blocks "$ROOT" 101)" = "$KEPT" ] || fail "$what: the store changed"
}

# 2. MP4 production: its temporary stream files run out of space.
small_fs "$ROOT/5/temp" 300k
mp4_fails "temporary files"
RESULTS+=("MP4 temporary files full: message (code $CODE), no MP4, $KEPT/$KEPT blocks kept")
umount "$ROOT/5/temp"

# 3. MP4 production: the MP4 itself runs out of space.
small_fs "$ROOT/5/output" 400k
mp4_fails "MP4 file"
RESULTS+=("MP4 file full: message (code $CODE), no MP4, $KEPT/$KEPT blocks kept")
umount "$ROOT/5/output"

# 4. With room the same lesson makes its MP4; the upload reads it from a full disk.
"$CLI" mp4 --root "$ROOT" --user 5 --lesson 101 --cards none --out "$WORK/made.mp4" \
    >/dev/null 2>"$WORK/err" || fail "the MP4 with room: $(tail -2 "$WORK/err")"
ffprobe -v error -count_packets -show_entries stream=nb_read_packets -of csv=p=0 \
    "$WORK/made.mp4" >/dev/null || fail "the MP4 made with room does not read"
small_fs "$WORK/upload" "$(($(stat -c %s "$WORK/made.mp4") + 65536))"
cp "$WORK/made.mp4" "$WORK/upload/lesson.mp4"
fill_fs "$WORK/upload"
[ "$(df --output=avail -B1 "$WORK/upload" | tail -1)" -lt 8192 ] || fail "the upload disk is not full"
mkdir -p "$WORK/media"
/usr/bin/python3 "$BIN/../mediaserver-sim/mediaserver-sim.py" --port 0 --log "$WORK/media" \
    >"$WORK/media/out" 2>&1 &
MEDIA_PID=$!
for _ in $(seq 100); do grep -q listening "$WORK/media/out" 2>/dev/null && break; sleep 0.1; done
PORT=$(sed -n 's/.*listening on 127.0.0.1:\([0-9]*\).*/\1/p' "$WORK/media/out")
[ -n "$PORT" ] || fail "mediaserver-sim did not start"
echo token >"$WORK/token"
"$CLI" upload --mp4 "$WORK/upload/lesson.mp4" --server "127.0.0.1:$PORT" --live-id 101 --user 5 \
    --token-file "$WORK/token" --timeout 60 >/dev/null 2>"$WORK/err" ||
    fail "upload from a full disk: $(tail -2 "$WORK/err")"
grep -qF "成功！课程已上传至平台" "$WORK/err" || fail "upload: no success message"
SENT=$(grep -c '^frame ' "$WORK/media/events.txt")
PACKETS=$(ffprobe -v error -count_packets -show_entries stream=nb_read_packets -of csv=p=0 \
    "$WORK/upload/lesson.mp4" | awk "{s+=\$1} END {print s}")
[ "$SENT" -eq "$PACKETS" ] || fail "upload: $SENT of $PACKETS frames sent"
RESULTS+=("upload from a full disk: $SENT/$PACKETS frames sent, success message")

# 5. The disk fills while a lesson is being recorded: the store was
# allocated up front, so recording goes on and every second is kept.
if [ "$SHORT" != short ]; then
    small_fs "$WORK/tight" 2070M
    ( sleep 3; fill_fs "$WORK/tight" ) &
    filler=$!
    "$CLI" record --root "$WORK/tight/root" --user 5 --lesson 201 --seconds 8 \
        --channel 1=file:"$WORK/movie.mp4" >/dev/null 2>"$WORK/record2.log" ||
        fail "recording while the disk fills: $(tail -2 "$WORK/record2.log")"
    wait "$filler"
    [ "$(df --output=avail -B1 "$WORK/tight" | tail -1)" -lt 8192 ] || fail "the disk did not fill"
    got=$(blocks "$WORK/tight/root" 201)
    [ "$got" -ge 6 ] || fail "disk filled while recording: $got blocks in 8 s"
    RESULTS+=("disk filled while recording: $got blocks in 8 s")
fi

line=$(printf '%s; ' "${RESULTS[@]}")
echo "full disk: ${#RESULTS[@]} cases passed: ${line%; }"
