#!/usr/bin/env bash
# scripts/run as a user starts it: the demo server and the program come up and download, and
# when the program ends (killed) or the user presses Ctrl-C, nothing of them is left running.
# Usage: scriptrun.sh <build directory> <source directory>
set -euo pipefail
build=$1
top=$2
export TARNWICK_BUILD=$build
profile=$build/demo-profile
log=$(mktemp)
trap 'rm -f "$log"' EXIT

fail() { echo "FAIL: $*"; cat "$log"; exit 1; }

running() {
    pgrep -f "^($build/(app/tarnwick|demo/tarnwick-demo)|nzbget -c $profile/nzbget/nzbget.conf)( |$)" || true
}

# Starts the script in a process group of its own, as a terminal would (with SIGINT heeded:
# a shell starts background jobs with it ignored), and waits until the program has finished
# its first download from the demo server. Arguments go to scripts/run.
start() {
    rm -rf "$profile"
    python3 -c 'import os, signal, sys; signal.signal(signal.SIGINT, signal.SIG_DFL); os.setsid(); os.execv(sys.argv[1], sys.argv[1:])' \
        "$top/scripts/run" "$@" >"$log" 2>&1 &
    script=$!
    for _ in $(seq 600); do
        grep -qs '^lastcommentsheader=' "$profile/config/Tarnwick/Tarnwick.conf" && break
        kill -0 "$script" 2>/dev/null || fail "scripts/run ended early"
        sleep 0.2
    done
    grep -qs '^lastcommentsheader=' "$profile/config/Tarnwick/Tarnwick.conf" || fail "no download"
    [ -s "$profile/data/Tarnwick/Tarnwick/spots.db" ] || fail "no spots database in the demo profile"
    program=$(pgrep -f "^$build/app/tarnwick$")
    [ -n "$program" ] || fail "the program is not running"
}

ends() {
    for _ in $(seq 100); do
        kill -0 "$script" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$script" 2>/dev/null; then
        pkill -KILL -g "$script" || true
        fail "scripts/run still runs"
    fi
    sleep 0.5
    local left
    left=$(running)
    [ -z "$left" ] || { kill -KILL $left; fail "left running: $left"; }
}

[ -z "$(running)" ] || fail "already running: $(running)"

start
kill -KILL "$program"
ends
echo "PASS: the program killed, the server stopped"

start
kill -INT -- "-$script"
ends
echo "PASS: Ctrl-C stopped both"

# With NZBGet: it answers on the address the profile hands spots to, and stops with the rest.
if command -v nzbget >/dev/null; then
    start --nzbget
    url=$(sed -n 's/^nzbgeturl=//p' "$profile/config/Tarnwick/Tarnwick.conf")
    [ -n "$url" ] || fail "no NZBGet in the profile's settings"
    python3 -c 'import sys, urllib.request; urllib.request.urlopen(sys.argv[1] + "/jsonrpc/version", timeout=10)' \
        "$url" || fail "NZBGet does not answer at $url"
    kill -KILL "$program"
    ends
    echo "PASS: with NZBGet, the program killed, NZBGet and the server stopped"
fi
