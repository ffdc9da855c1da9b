# Shell helpers shared by the demo and the whole-lesson test (sourced, not
# run): a private network namespace, the outside peers of a lesson on
# 127.0.0.0/8 (platform, phones, RTMP and media server), a program folder of
# its own with a vo.ini that points at them, and a private X server.
#
# Every process started here is appended to PEER_PIDS; stop_peers ends them
# one by one, by id.

source "$(dirname "${BASH_SOURCE[0]}")/rtmp-server.sh"
LESSON_PEERS_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

PEER_PIDS=()

stop_peers() {
    local p
    for p in "${PEER_PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
    for p in "${PEER_PIDS[@]}"; do wait "$p" 2>/dev/null || true; done
    PEER_PIDS=()
}

# enter_private_netns SCRIPT ARGS...: runs the script again inside a private
# network namespace (discovery's multicast must stay inside it) and exits with
# its status. Returns when that is impossible, with TAVRIN_NO_DISCOVERY=1 set
# so the console does not probe the real network. Inside, loopback is up and
# routes multicast, and the X servers' socket folder is private too.
enter_private_netns() {
    if [ "${TAVRIN_IN_NETNS:-}" = 1 ]; then
        ip link set lo up
        ip link set lo multicast on
        ip route add 239.0.0.0/8 dev lo 2>/dev/null || true
        private_x_sockets || exit 1
        return 0
    fi
    local ns=""
    if unshare -nm true 2>/dev/null; then
        ns="unshare -nm"
    elif unshare -rnm true 2>/dev/null; then
        ns="unshare -rnm"
    fi
    if [ -n "$ns" ]; then
        TAVRIN_IN_NETNS=1 exec $ns bash "$@"
    fi
    echo "note: no private network namespace here; device discovery is off" >&2
    export TAVRIN_NO_DISCOVERY=1
}

# private_x_sockets: inside a private mount namespace, an empty folder of X
# sockets of its own. Xvfb started with -displayfd keeps no lock file, and the
# socket files in /tmp/.X11-unix are shared by every namespace (binding one
# unlinks whatever file was there): two runs side by side both took display 0
# and one of the consoles could not reach its server. An X server started
# after this cannot meet another's socket. On a machine where no X server ever
# ran the folder does not exist yet, and a mount needs it.
private_x_sockets() {
    mkdir -p /tmp/.X11-unix 2>/dev/null && chmod 1777 /tmp/.X11-unix 2>/dev/null
    if ! mount -t tmpfs -o mode=1777 tavrin-x11 /tmp/.X11-unix; then
        echo "the private X socket folder cannot be made; an X server here could meet another run's" >&2
        return 1
    fi
}

# wait_for_line FILE TEXT: waits up to 30 s for TEXT in FILE.
wait_for_line() {
    local _
    for _ in $(seq 300); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
    echo "timed out waiting for '$2' in $1:" >&2
    cat "$1" >&2 2>/dev/null || true
    return 1
}

# start_platform_sim SIM_DIR OUT: the platform with the demo accounts and
# their lessons around today. Sets PLATFORM_PORT.
start_platform_sim() {
    local sim=$1 out=$2
    /usr/bin/python3 "$sim/platform-sim.py" --port 0 --quiet --cert "$sim/platform-cert.pem" \
        --key "$sim/platform-key.pem" --accounts "$sim/demo-accounts.json" >"$out/platform-sim.out" 2>&1 &
    PEER_PIDS+=($!)
    wait_for_line "$out/platform-sim.out" listening
    PLATFORM_PORT=$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\)$/\1/p' "$out/platform-sim.out")
}

# start_phone_sim PHONE_SIM_PY OUT N [ARGS...]: phone N on 127.0.0.(N+1),
# its commands logged to OUT/phone-N.log (--discovery: it answers the probe).
# Sets PHONE_PID.
start_phone_sim() {
    local py=$1 out=$2 n=$3
    shift 3
    : >"$out/phone-$n.out"
    /usr/bin/python3 "$py" --bind "127.0.0.$((n + 1))" --id "平板-$n" --seconds 4 \
        --log "$out/phone-$n.log" "$@" >>"$out/phone-$n.out" 2>&1 &
    PHONE_PID=$!
    PEER_PIDS+=("$PHONE_PID")
}

# start_mediaserver_sim SIM_PY DIR PORT: the media server the platform names
# for uploads and live transfer. Sets MEDIA_PORT.
start_mediaserver_sim() {
    local py=$1 dir=$2 port=$3
    mkdir -p "$dir"
    /usr/bin/python3 "$py" --port "$port" --log "$dir" >"$dir/mediaserver-sim.out" 2>&1 &
    PEER_PIDS+=($!)
    wait_for_line "$dir/mediaserver-sim.out" "$port"
    MEDIA_PORT=$port
}

# make_program_dir BIN DEST: a program folder of its own (hard links, or
# copies across file systems), so its vo.ini and lesson list are not the
# build's. The program finds its folder through /proc/self/exe, which is why
# the executable is linked, not symlinked.
make_program_dir() {
    local bin=$1 dest=$2
    rm -rf "$dest"
    mkdir -p "$dest"
    local f
    for f in "$bin"/*; do
        case $(basename "$f") in
            vo.ini | lesson.dat | *_tests | bench_* | make_*) continue ;;
        esac
        cp -al "$f" "$dest/" 2>/dev/null || cp -a "$f" "$dest/"
    done
}

# write_demo_ini FILE ROOT PLATFORM_PORT CA_FILE: the settings a demo
# classroom PC would have: the platform simulator, the storage root, account
# 1001 filled in, three channels, a window that fits the screen.
write_demo_ini() {
    local file=$1 root=$2 port=$3 ca=$4
    mkdir -p "$root"
    cat >"$file" <<INI
[StorePath]
RootPath=$root
[User]
UserName=1001
[ClientCount]
Count=3
[WindowSize]
width=1150
height=815
[Platform]
Host=127.0.0.1
Port=$port
CAFile=$ca
INI
}

# start_xvfb OUT [WxH]: a private X server (1280x960 unless WxH is given) on
# the display number it picks itself, reachable only through its socket on
# this machine (no TCP). It never resets: by default an X server resets when
# its last client leaves, which the check below is, and a console connecting
# during that reset was refused ("could not connect to display"). Returns once that very server answers on the display
# it named: it must hold the display's listening socket itself and xdotool
# must reach it there. Sets DISPLAY, XVFB_PID and XVFB_LOG (the server's own
# log); fails with that log when the server cannot be had.
start_xvfb() {
    local out=$1 size=${2:-1280x960} _ number=""
    XVFB_LOG=$out/xvfb.log
    rm -f "$out/xvfb.display"
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$out/xvfb.display" \
        >"$XVFB_LOG" 2>&1 &
    XVFB_PID=$!
    PEER_PIDS+=("$XVFB_PID")
    # The number arrives as one line once the server listens; a busy machine
    # may take a while to get there.
    for _ in $(seq 300); do
        number=$(sed -n '1s/^\([0-9][0-9]*\)$/\1/p' "$out/xvfb.display" 2>/dev/null)
        [ -n "$number" ] && break
        x_server_alive || break
        sleep 0.1
    done
    if [ -z "$number" ]; then
        echo "the private X server named no display" >&2
        report_x_server
        return 1
    fi
    export DISPLAY=:$number
    if ! x_socket_is_ours "$number"; then
        echo "display $DISPLAY is not served by the private X server (pid $XVFB_PID):" >&2
        ss -xlp 2>/dev/null | grep -F ".X11-unix/X$number " >&2 || true
        report_x_server
        return 1
    fi
    for _ in $(seq 100); do
        xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
        x_server_alive || break
        sleep 0.1
    done
    echo "the private X server does not answer on $DISPLAY" >&2
    report_x_server
    return 1
}

# x_server_alive: true while the X server of start_xvfb runs.
x_server_alive() {
    [ -n "${XVFB_PID:-}" ] && kill -0 "$XVFB_PID" 2>/dev/null &&
        ! grep -q '^State:.*zombie' "/proc/$XVFB_PID/status" 2>/dev/null
}

# x_socket_is_ours N: true when the X server of start_xvfb itself listens on
# display N's socket (its file, or its abstract twin).
x_socket_is_ours() {
    ss -xlp 2>/dev/null | grep -F ".X11-unix/X$1 " | grep -q "pid=$XVFB_PID,"
}

# report_x_server: when the X server of start_xvfb is gone, says so with its
# own log. For a run that fails, so the cause is not guessed at.
report_x_server() {
    [ -n "${XVFB_PID:-}" ] || return 0
    if x_server_alive; then
        echo "the private X server (pid $XVFB_PID, $DISPLAY) still runs" >&2
    else
        echo "the private X server (pid $XVFB_PID, ${DISPLAY:-no display}) is gone; its log:" >&2
        if [ -s "$XVFB_LOG" ]; then
            sed 's/^/  Xvfb: /' "$XVFB_LOG" >&2
        else
            echo "  Xvfb: (it wrote nothing)" >&2
        fi
    fi
}

# start_console PROGRAM LOG: the console on the private X server, with the
# very display start_xvfb checked. Returns once the console has a window on
# that server (so it met this server, not another), or fails with the
# console's last lines and the X server's state. Sets CONSOLE_PID.
start_console() {
    local program=$1 log=$2 _
    DISPLAY=$DISPLAY "$program" >"$log" 2>&1 &
    CONSOLE_PID=$!
    PEER_PIDS+=("$CONSOLE_PID")
    for _ in $(seq 300); do
        [ -n "$(xdotool search --onlyvisible --pid "$CONSOLE_PID" 2>/dev/null)" ] && return 0
        kill -0 "$CONSOLE_PID" 2>/dev/null || break
        x_server_alive || break
        sleep 0.1
    done
    echo "the console shows no window on $DISPLAY; its last lines:" >&2
    tail -20 "$log" >&2 || true
    report_x_server
    return 1
}

# private_runtime_dir DIR: the console's run-time folder (its single-instance
# lock lives there), so a console already running elsewhere is not met.
private_runtime_dir() {
    mkdir -p "$1"
    chmod 700 "$1"
    export XDG_RUNTIME_DIR=$1
}

# display_reachable: true when $DISPLAY is set and its server answers.
display_reachable() {
    [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1
}

# start_five_phone_classroom BUILD WORK: the platform with the demo accounts,
# five simulated 1080p phones found by discovery, the RTMP server, the
# console's program folder in WORK/program set for five channels, and a
# private X server. Defines drive SHOT_DIR STEPS: the lesson driver on that
# console, pushing to the RTMP server. Sets PLATFORM_PORT and RTMP_PORT.
start_five_phone_classroom() {
    local build=$1 i
    CLASSROOM_DIR=$2
    start_platform_sim "$build/platform-sim" "$CLASSROOM_DIR"
    for i in 1 2 3 4 5; do
        start_phone_sim "$build/phone-sim/phone-sim.py" "$CLASSROOM_DIR" "$i" --discovery \
            --width 1920 --height 1080 --bitrate 4096
    done
    start_rtmp_server "$CLASSROOM_DIR/nginx"
    PEER_PIDS+=("$RTMP_PID")
    for i in 1 2 3 4 5; do wait_for_line "$CLASSROOM_DIR/phone-$i.out" listening; done
    make_program_dir "$build/bin" "$CLASSROOM_DIR/program"
    write_demo_ini "$CLASSROOM_DIR/program/vo.ini" "$CLASSROOM_DIR/store" "$PLATFORM_PORT" \
        "$build/platform-sim/platform-cert.pem"
    sed -i 's/^Count=3$/Count=5/' "$CLASSROOM_DIR/program/vo.ini"
    start_xvfb "$CLASSROOM_DIR"
    private_runtime_dir "$CLASSROOM_DIR/runtime"
    export SDL_AUDIODRIVER=dummy TAVRIN_TRACE=1
    drive() { # SHOT_DIR STEPS
        /usr/bin/python3 "$LESSON_PEERS_ROOT/scripts/lib/lesson-driver.py" \
            --buttons "$CLASSROOM_DIR/program/buttons" --out "$1" --store "$CLASSROOM_DIR/store" \
            --channels 5 --seconds 0 --rtmp "rtmp://127.0.0.1:$RTMP_PORT/live/lesson" --steps "$2"
    }
}
