#!/usr/bin/env bash
# The Debian package as a school uses it: made by scripts/package from this
# build, checked by lintian, appstreamcli and desktop-file-validate, installed
# with apt-get (which resolves its dependencies), then used by an ordinary
# user: tavrin-cli records a short demo lesson and reads it back, and tavrin
# from /usr/bin starts on a private X server, shows the storage notice of a
# home on the system disk, and signs in at the platform simulator named in
# /etc/tavrin/vo.ini; the user then has a vo.ini of their own. apt-get purge
# leaves nothing of the package under /opt, /usr or /etc, and the user's
# recordings stay. A machine that already has a tavrin package is refused:
# the test installs and purges only its own. Screenshots land in OUT.
set -euo pipefail
SRC=$1
BUILD=$2
OUT=$3
if [ "$(id -u)" != 0 ] || ! command -v unshare >/dev/null || ! command -v apt-get >/dev/null; then
    echo "needs root and apt-get to install a package" >&2
    exit 77
fi
if dpkg-query -W -f='${Status}' tavrin 2>/dev/null | grep -q ' installed$'; then
    echo "FAIL: a tavrin package is installed on this machine; this test does not touch it" >&2
    exit 1
fi
for d in /opt/tavrin /etc/tavrin; do
    [ ! -e "$d" ] || { echo "FAIL: $d exists without the package; not touching it" >&2; exit 1; }
done
source "$SRC/scripts/lib/lesson-peers.sh"
enter_private_netns "$0" "$@"

# The user's home lies on a real disk, where the storage rules look.
WORK=$(mktemp -d -p /var/tmp tavrin-package.XXXXXX)
chmod 755 "$WORK"
INSTALLED=0
cleanup() {
    stop_peers
    if [ $INSTALLED = 1 ] && dpkg-query -W tavrin >/dev/null 2>&1; then
        rm -f /etc/tavrin/platform-ca.pem
        DEBIAN_FRONTEND=noninteractive apt-get purge -y -q tavrin >/dev/null 2>&1 || true
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    [ -f "$WORK/tavrin.err" ] && tail -20 "$WORK/tavrin.err" >&2
    exit 1
}
mkdir -p "$OUT"
NOBODY=$(id -u nobody)
NOGROUP=$(id -g nobody)
HOMEDIR=$WORK/home
mkdir -m 700 "$HOMEDIR" "$WORK/run" "$WORK/shots"
chown "$NOBODY:$NOGROUP" "$HOMEDIR" "$WORK/run" "$WORK/shots"
# An ordinary user with a clean environment and a home of their own;
# user_exec replaces the calling (sub)shell, so a background start's $! is
# the program itself.
user_exec() {
    exec setpriv --reuid="$NOBODY" --regid="$NOGROUP" --clear-groups \
        env -i HOME="$HOMEDIR" PATH=/usr/bin:/bin LANG=C.UTF-8 XDG_RUNTIME_DIR="$WORK/run" \
        ${DISPLAY:+DISPLAY=$DISPLAY} SDL_AUDIODRIVER=dummy "$@"
}
as_user() { (user_exec "$@"); }

echo "[${SECONDS}s] == package"
DEB=$(bash "$SRC/scripts/package" --build "$BUILD" --out "$WORK") || fail "scripts/package"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
[ "$(basename "$DEB")" = "tavrin_${version}_$(dpkg --print-architecture).deb" ] || fail "named $DEB"
dpkg-deb -f "$DEB" Depends >"$WORK/depends"
for need in libqt6widgets6 libavcodec59 libsdl2 qt6-translations-l10n; do
    grep -q "$need" "$WORK/depends" || fail "Depends lacks $need: $(cat "$WORK/depends")"
done
! grep -q nginx "$WORK/depends" || fail "nginx is not a dependency"

echo "[${SECONDS}s] == lintian, appstreamcli, desktop-file-validate"
lintian --fail-on error "$DEB" >"$WORK/lintian.out" 2>&1 ||
    fail "lintian: $(cat "$WORK/lintian.out")"
! grep -q '^E:' "$WORK/lintian.out" || fail "lintian errors: $(cat "$WORK/lintian.out")"
grep -v 'running with root privileges' "$WORK/lintian.out" | sed 's/^/  lintian: /' || true
mkdir "$WORK/deb"
dpkg-deb -x "$DEB" "$WORK/deb"
appstreamcli validate --no-net "$WORK/deb/usr/share/metainfo/org.tavrin.tavrin.metainfo.xml" \
    >"$WORK/appstream.out" 2>&1 || fail "appstreamcli: $(cat "$WORK/appstream.out")"
desktop-file-validate "$WORK/deb/usr/share/applications/tavrin.desktop" ||
    fail "desktop-file-validate"

echo "[${SECONDS}s] == install"
export DEBIAN_FRONTEND=noninteractive
# Everything it needs is on the machine already (scripts/install-deps):
# apt installs this one package and downloads nothing.
apt-get install -s --no-download "$DEB" >"$WORK/plan" 2>&1 || fail "apt-get cannot install: $(cat "$WORK/plan")"
[ "$(grep '^Inst ' "$WORK/plan" | cut -d' ' -f2)" = tavrin ] ||
    fail "apt-get would install more than tavrin (run scripts/install-deps): $(grep '^Inst ' "$WORK/plan")"
INSTALLED=1
apt-get install -y -q "$DEB" >"$WORK/apt.out" 2>&1 || fail "apt-get install: $(cat "$WORK/apt.out")"
dpkg-query -L tavrin >"$WORK/files"
for f in /usr/bin/tavrin /usr/bin/tavrin-cli /opt/tavrin/bin/sy.otf /opt/tavrin/bin/version.txt \
    /usr/share/man/man1/tavrin-cli.1.gz /usr/share/bash-completion/completions/tavrin-cli; do
    [ -e "$f" ] || fail "$f not installed"
done
[ ! -e /opt/tavrin/bin/vo.ini ] || fail "a vo.ini in the program folder"
zcat /usr/share/man/man1/tavrin-cli.1.gz | grep -q '^\.TH TAVRIN-CLI' || fail "tavrin-cli manual page"
zcat /usr/share/man/man1/tavrin-cli.1.gz | grep -q 'record' || fail "the manual page lacks the commands"

echo "[${SECONDS}s] == tavrin-cli as an ordinary user"
[ "$(as_user tavrin-cli --version)" = "tavrin-cli $version" ] || fail "tavrin-cli --version"
# Completion offers the commands of the program's own help.
completion=$(as_user bash -c 'source /usr/share/bash-completion/completions/tavrin-cli
    COMP_WORDS=(tavrin-cli rec); COMP_CWORD=1; _tavrin_cli; echo "${COMPREPLY[*]}"
    COMP_WORDS=(tavrin-cli record --sec); COMP_CWORD=2; _tavrin_cli; echo "${COMPREPLY[*]}"')
[ "$completion" = $'record\n--seconds' ] || fail "bash completion gave: $completion"
ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=1024x768 -frames:v 1 "$WORK/still.jpg"
ffmpeg -nostdin -v error -y -f lavfi -i sine=f=660:r=44100 -t 5 -c:a libmp3lame "$WORK/music.mp3"
chmod 644 "$WORK/still.jpg" "$WORK/music.mp3"
as_user tavrin-cli record --user 1001 --lesson 101 --seconds 5 \
    --channel 1="image:$WORK/still.jpg|$WORK/music.mp3" --combine 1 --audio 1 \
    >"$WORK/record.out" 2>&1 || fail "record: $(tail "$WORK/record.out")"
as_user tavrin-cli info --user 1001 --lesson 101 >"$WORK/info.out" 2>&1 ||
    fail "info: $(cat "$WORK/info.out") after recording: $(tail "$WORK/record.out")"
grep -Eq '^lesson +101$' "$WORK/info.out" && grep -Eq '^blocks +[1-9]' "$WORK/info.out" ||
    fail "info shows no recorded lesson: $(cat "$WORK/info.out")"
[ -s "$HOMEDIR/voData/1001/101/index.dat" ] || fail "the lesson is not in the home's voData"
# The recordings as they are (av.dat is large: its size and time stand for it).
recordings() { (cd "$HOMEDIR" && find voData -printf '%P %s %T@\n' | sort && sha256sum voData/1001/101/index.dat); }
recordings >"$WORK/recordings.sum"
USER_INI=$HOMEDIR/.config/tavrin/vo.ini
[ ! -e "$USER_INI" ] || fail "the command line made a vo.ini before the console ran"

echo "[${SECONDS}s] == tavrin from the menu's command, as an ordinary user"
# The school sets the platform once for every user, with its certificate
# beside the file.
SIM=$BUILD/platform-sim
start_platform_sim "$SIM" "$WORK"
cp "$SIM/platform-cert.pem" /etc/tavrin/platform-ca.pem
sed -i -e "s/^Host=.*/Host=127.0.0.1/" -e "s/^Port=.*/Port=$PLATFORM_PORT/" \
    -e "s/^CAFile=.*/CAFile=platform-ca.pem/" /etc/tavrin/vo.ini

exec 5< <(user_exec Xvfb -displayfd 1 -screen 0 1280x960x24 -nolisten tcp 2>/dev/null)
PEER_PIDS+=($!)
read -r -t 10 DNUM <&5 || fail "Xvfb did not start"
export DISPLAY=:$DNUM
shot() { as_user import -window root "$WORK/shots/$1.png" && cp "$WORK/shots/$1.png" "$OUT/"; }
wait_windows() { # count -> the newest of that many visible "Tavrin" windows
    local _ ids
    for _ in $(seq 150); do
        ids=$(as_user xdotool search --onlyvisible --name '^Tavrin$' 2>/dev/null || true)
        if [ "$(grep -c . <<<"$ids")" -ge "$1" ]; then
            tail -1 <<<"$ids"
            return 0
        fi
        sleep 0.1
    done
    return 1
}
user_exec env TAVRIN_TRACE=1 /usr/bin/tavrin >"$WORK/tavrin.out" 2>"$WORK/tavrin.err" &
PEER_PIDS+=($!)
# The default storage root lies on the system disk: the console says so first.
NOTICE=$(wait_windows 1) || fail "no window"
shot 01-storage-notice
eval "$(as_user xdotool getwindowgeometry --shell "$NOTICE")"
[ "$WIDTH" -lt 700 ] && [ "$HEIGHT" -lt 300 ] || fail "expected the storage notice, saw ${WIDTH}x$HEIGHT"
as_user xdotool windowfocus --sync "$NOTICE" key Return
for _ in $(seq 50); do as_user xdotool getwindowname "$NOTICE" >/dev/null 2>&1 || break; sleep 0.1; done
LOGIN=$(wait_windows 1) || fail "no sign-in window"
[ "$LOGIN" != "$NOTICE" ] || fail "the notice stayed"
shot 02-sign-in
grep -q "^RootPath=$HOMEDIR/voData$" "$USER_INI" || fail "the user's vo.ini lacks the home's storage root"
! grep -q '^Host=' "$USER_INI" || fail "the platform's address was copied into the user's vo.ini"
# Sign in: the account, then the password; the platform answers with the greeting.
as_user xdotool windowfocus --sync "$LOGIN" key shift+Tab type 1001
as_user xdotool key Tab type demo1001
as_user xdotool key Return
GREETING=$(wait_windows 2) || fail "no answer from the platform named in /etc/tavrin/vo.ini"
shot 03-greeting
as_user xdotool windowfocus --sync "$GREETING" key Return
for _ in $(seq 100); do grep -q '^UserName=1001$' "$USER_INI" && break; sleep 0.1; done
grep -q '^UserName=1001$' "$USER_INI" || fail "no sign-in at the platform named in /etc/tavrin/vo.ini"
stop_peers

# Even root keeps its settings in its own config folder, and nothing was
# written into the program folder by anyone.
out=$(HOME="$WORK/roothome" XDG_CONFIG_HOME= /usr/bin/tavrin-cli settings)
grep -q "^settings file  *$WORK/roothome/.config/tavrin/vo.ini$" <<<"$out" || fail "root's settings: $out"
find /opt/tavrin | sort >"$WORK/opt.now"
grep '^/opt/tavrin' "$WORK/files" | sort | diff - "$WORK/opt.now" >&2 || fail "files appeared under /opt/tavrin"

echo "[${SECONDS}s] == purge"
rm /etc/tavrin/platform-ca.pem # the school's own file, not the package's
apt-get purge -y -q tavrin >"$WORK/apt.out" 2>&1 || fail "apt-get purge: $(cat "$WORK/apt.out")"
INSTALLED=0
! dpkg-query -W tavrin >/dev/null 2>&1 || fail "still known to dpkg"
for d in /opt/tavrin /etc/tavrin /usr/share/doc/tavrin; do [ ! -e "$d" ] || fail "$d left behind"; done
while read -r f; do
    [ -d "$f" ] && continue
    [ ! -e "$f" ] && [ ! -L "$f" ] || fail "$f left behind"
done <"$WORK/files"
[ "$(recordings)" = "$(cat "$WORK/recordings.sum")" ] ||
    fail "the user's recordings changed"
[ -s "$USER_INI" ] || fail "the user's settings went with the package"
echo "package: ok"
