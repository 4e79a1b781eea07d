# Shared by scripts/run, scripts/screenshots and scripts/soak: tarnwick-demo on a free
# loopback port, and a fresh throwaway profile of Tarnwick's that is set up for it; for
# scripts/run --nzbget also a private NZBGet that downloads from it.
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

# start_nzbget, after start_demo: Debian's NZBGet with its configuration and every directory in
# $demo_profile/nzbget, its control port on loopback (no password: only this machine reaches it),
# the demo server its one news server. Tarnwick's settings hand "Downloaden" to it. NZBGet
# stops when this shell ends in any way, as the demo server does: a watcher that reads its
# standard input from here stops it at the end of that input.
start_nzbget() {
    local dir=$demo_profile/nzbget port option ours
    mkdir -p "$dir"
    port=$(free_port)
    local options=(
        "MainDir=$dir" "DestDir=\${MainDir}/dst" "InterDir=\${MainDir}/inter" "NzbDir=\${MainDir}/nzb"
        "QueueDir=\${MainDir}/queue" "TempDir=\${MainDir}/tmp" "ScriptDir=\${MainDir}/scripts"
        "LockFile=\${MainDir}/nzbget.lock" "LogFile=\${MainDir}/nzbget.log"
        "ControlIP=127.0.0.1" "ControlPort=$port" "ControlUsername=" "ControlPassword="
        "RestrictedUsername=" "RestrictedPassword=" "AddUsername=" "AddPassword=" "SecureControl=no"
        "UpdateCheck=none" "NzbDirInterval=0" "OutputMode=loggable" "DiskSpace=0"
        "Server1.Active=yes" "Server1.Name=demo" "Server1.Host=127.0.0.1"
        "Server1.Port=$(cat "$demo_profile/port")" "Server1.Username=" "Server1.Password="
        "Server1.Encryption=no" "Server1.Connections=4"
        # The demo's releases are random bytes under archive names: nothing to repair or unpack.
        "ParCheck=manual" "Unpack=no"
    )
    local template=/usr/share/nzbget/webui/nzbget.conf
    [ -f "$template" ] || template=/etc/nzbget.conf
    # The template's plain options (not its example server's), with ours in place of its own.
    {
        grep -E '^[A-Za-z0-9]+=' "$template" | while IFS= read -r option; do
            for ours in "${options[@]}"; do
                [ "${option%%=*}" = "${ours%%=*}" ] && continue 2
            done
            echo "$option"
        done
        printf '%s\n' "${options[@]}"
    } >"$dir/nzbget.conf"
    exec {nzbget_lifeline}> >(
        nzbget -c "$dir/nzbget.conf" -s </dev/null >"$dir/output.log" 2>&1 &
        daemon=$!
        cat >/dev/null
        kill "$daemon" 2>/dev/null
        wait "$daemon"
    )
    nzbget_PID=$!
    trap stop_all EXIT
    for _ in $(seq 100); do
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
        sleep 0.1
    done
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { cat "$dir/output.log" >&2; return 1; }
    echo "NZBGet: http://127.0.0.1:$port (its files in $dir/dst)"
    cat >>"$demo_profile/config/Tarnwick/Tarnwick.conf" <<CONF
nzbdestination=nzbget
nzbgeturl=http://127.0.0.1:$port
nzbgetuser=
CONF
}

# NZBGet ends when its watcher reads the end of its lifeline; then the demo server.
stop_all() {
    exec {nzbget_lifeline}>&-
    wait "$nzbget_PID" 2>/dev/null || true
    stop_demo
}

# A loopback port that nothing listens on now.
free_port() {
    local port
    while :; do
        port=$((20000 + RANDOM % 40000))
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return; }
    done
}
