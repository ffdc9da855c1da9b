# Two network namespaces joined by the user-space impaired link
# (tools/netlink-sim), sourced by the classroom scenarios. Nothing here
# touches the machine's own interfaces: every address is a 127.x address
# inside the two namespaces, which go away with the link.
#
#   link_up NEAR_ADDRS FAR_ADDRS SEED DIR
#     NEAR_ADDRS: 127.x addresses local to the near namespace ($LINK_NEAR),
#     FAR_ADDRS: those local to the far one ($LINK_FAR); each side reaches
#     the other's addresses through the link. 127.0.0.1 stays local to both.
#     The link's settings are written with link_set; its counters land in
#     DIR/link.stats when it ends.
#   link_set DIRECTION key=value...   (to_far, to_near or both; see netlink-sim)
#   link_down                         ends the link, removes the namespaces
#   in_near CMD... / in_far CMD...    run a command inside a namespace
#   scenario_begin NAME               a work folder $WORK and a list $PIDS of
#                                     processes, stopped with the link however
#                                     the scenario ends (KEEP=1 keeps $WORK)

LINK_TOOL=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../tools/netlink-sim" && pwd)/netlink-sim.py
LINK_NEAR=tvnear$$
LINK_FAR=tvfar$$
LINK_PID=
LINK_CONTROL=

in_near() { ip netns exec "$LINK_NEAR" "$@"; }
in_far() { ip netns exec "$LINK_FAR" "$@"; }

# Loopback only: the /8 local route goes, so that addresses of the other
# side leave through the TUN device instead of looping back here.
link_side() { # ns dev local-addrs remote-addrs src
    local ns=$1 dev=$2 locals=$3 remotes=$4 src=$5 a
    ip -n "$ns" link set "$dev" up
    ip netns exec "$ns" sysctl -qw net.ipv4.conf.all.route_localnet=1 \
        "net.ipv4.conf.$dev.route_localnet=1" net.ipv4.conf.all.rp_filter=0 \
        "net.ipv4.conf.$dev.rp_filter=0"
    ip -n "$ns" route del local 127.0.0.0/8 dev lo table local 2>/dev/null || true
    for a in $locals; do
        [ "$a" = 127.0.0.1 ] || ip -n "$ns" addr add "$a/32" dev lo
    done
    for a in $remotes; do ip -n "$ns" route add "$a/32" dev "$dev" src "$src"; done
}

link_up() {
    local near_addrs=$1 far_addrs=$2 seed=$3 dir=$4
    LINK_CONTROL=$dir/link.control
    : >"$LINK_CONTROL"
    ip netns add "$LINK_NEAR"
    ip netns add "$LINK_FAR"
    ip -n "$LINK_NEAR" link set lo up
    ip -n "$LINK_FAR" link set lo up
    /usr/bin/python3 "$LINK_TOOL" --near "$LINK_NEAR" --far "$LINK_FAR" --seed "$seed" \
        --control "$LINK_CONTROL" --stats "$dir/link.stats" --seconds 7200 >"$dir/link.out" 2>&1 &
    LINK_PID=$!
    for _ in $(seq 100); do grep -q ready "$dir/link.out" && break; sleep 0.05; done
    grep -q ready "$dir/link.out" || { cat "$dir/link.out" >&2; return 1; }
    link_side "$LINK_NEAR" tn0 "127.0.0.1 $near_addrs" "$far_addrs" "${near_addrs%% *}"
    link_side "$LINK_FAR" tf0 "127.0.0.1 $far_addrs" "$near_addrs" "${far_addrs%% *}"
}

link_set() {
    echo "$*" >>"$LINK_CONTROL"
}

link_down() {
    if [ -n "$LINK_PID" ]; then
        kill "$LINK_PID" 2>/dev/null || true
        wait "$LINK_PID" 2>/dev/null || true
        LINK_PID=
    fi
    ip netns del "$LINK_NEAR" 2>/dev/null || true
    ip netns del "$LINK_FAR" 2>/dev/null || true
}

scenario_begin() {
    SCENARIO=$1
    WORK=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-$SCENARIO.XXXXXX")
    chmod 755 "$WORK"
    PIDS=()
    trap scenario_end EXIT
}

scenario_end() {
    for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
    wait "${PIDS[@]}" 2>/dev/null || true
    link_down
    if [ -n "${KEEP:-}" ]; then echo "$SCENARIO: files kept in $WORK" >&2; else rm -rf "$WORK"; fi
}

fail() {
    echo "$SCENARIO: $*" >&2
    exit 1
}
