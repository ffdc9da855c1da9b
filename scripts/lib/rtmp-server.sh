# Shell helpers shared by the end-to-end tests, the benchmarks and the demo
# (sourced, not run): a free TCP port and a local nginx RTMP server, both on
# 127.0.0.1.

# Prints a TCP port on 127.0.0.1 that nobody listens on right now.
free_port() {
    /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# start_rtmp_server DIR [RECORD_DIR]: nginx with its RTMP module serving the
# application "live" on 127.0.0.1, its files in DIR; every published stream
# is recorded as RECORD_DIR/NAME.flv when RECORD_DIR is given. Sets RTMP_PORT
# and RTMP_PID and returns once the server listens (fails after 10 s).
start_rtmp_server() {
    local dir=$1 rec=${2:-} record=""
    RTMP_PORT=$(free_port)
    mkdir -p "$dir/logs"
    if [ -n "$rec" ]; then
        mkdir -p "$rec"
        record="record all; record_unique off; record_path $rec;"
    fi
    cat >"$dir/nginx.conf" <<CONF
load_module /usr/lib/nginx/modules/ngx_rtmp_module.so;
daemon off;
master_process off;
pid $dir/nginx.pid;
error_log $dir/error.log info;
events { worker_connections 64; }
rtmp { server { listen 127.0.0.1:$RTMP_PORT;
  application live { live on; $record } } }
CONF
    nginx -p "$dir" -c "$dir/nginx.conf" &
    RTMP_PID=$!
    for _ in $(seq 100); do
        (exec 3<>"/dev/tcp/127.0.0.1/$RTMP_PORT") 2>/dev/null && return 0
        sleep 0.1
    done
    echo "the nginx RTMP server did not start (see $dir/error.log)" >&2
    return 1
}
