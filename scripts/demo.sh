# Shared by scripts/run, scripts/screenshots and scripts/soak: tarnwick-demo on a free
# loopback port, and a fresh throwaway profile of Tarnwick's that is set up for it.
# Needs common.sh and a build in $TARNWICK_BUILD.

# start_demo <profile directory> [tarnwick-demo options...]
# Leaves XDG_* exported to the profile, the server running as $demo_PID (it stops when this
# shell ends in any way: it reads its standard input from here) and its log in $1/demo.log.
start_demo() {
    demo_profile=$1
    shift
    rm -rf "$demo_profile"
    mkdir -p "$demo_profile/config/Tarnwick" "$demo_profile/data" "$demo_profile/cache" "$demo_profile/runtime"
    chmod 700 "$demo_profile/runtime"
    export XDG_CONFIG_HOME=$demo_profile/config XDG_DATA_HOME=$demo_profile/data \
        XDG_CACHE_HOME=$demo_profile/cache XDG_RUNTIME_DIR=$demo_profile/runtime

    coproc demo { exec "$TARNWICK_BUILD/demo/tarnwick-demo" --stop-on-eof \
        --port-file "$demo_profile/port" "$@" >"$demo_profile/demo.log" 2>&1; }
    trap stop_demo EXIT
    for _ in $(seq 100); do
        [ -s "$demo_profile/port" ] && break
        kill -0 "$demo_PID" 2>/dev/null || { cat "$demo_profile/demo.log" >&2; return 1; }
        sleep 0.1
    done
    [ -s "$demo_profile/port" ] || { echo "tarnwick-demo did not start" >&2; return 1; }
    head -n 1 "$demo_profile/demo.log"

    # Settings as the dialog writes them, so that no first-run dialog appears.
    cat >"$demo_profile/config/Tarnwick/Tarnwick.conf" <<CONF
[General]
server=127.0.0.1
port=$(cat "$demo_profile/port")
ssl=false
xzver=true
maxdays=0
maxspots=1000000
nick=Demo
images=true
ero=false
CONF
}

stop_demo() {
    [ -n "${demo_PID:-}" ] || return 0
    kill "$demo_PID" 2>/dev/null || true
    wait "$demo_PID" 2>/dev/null || true
}
