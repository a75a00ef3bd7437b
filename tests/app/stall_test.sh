#!/bin/bash
# The client never freezes on a desktop or system service that is slow or
# hung: against a tray watcher (session bus) and a logind (system bus) that
# answer every call only after 5 s, or never, and against bus daemons that
# take the connection and never answer, the real client on a real X
# server (Xvfb) still shows its login window at once, logs in by itself to
# the local test service, and ends within 2 s of SIGTERM with code 0 while
# both stand-ins still owe it an answer. The stand-ins tell what they were
# asked, so the test cannot pass with a client that never asked them. The
# login counts once the service was asked for the account's tunnel
# configuration; the tunnel itself does not come up here.
# The bounds (4 s, 4 s, 2 s) catch a freeze of the stand-ins' 5 s, or of a
# 5 s timeout, with room to spare; they measure nothing.
#
# Usage: stall_test.sh <app folder> <folder of the stand-ins' programs>
# As root: the client runs as root, and once logged in it runs OpenVPN and
# guards its tunnel itself. So the whole test runs in network and mount
# namespaces of its own, which end with its last process: the client's
# firewall tables and routes, its state folder in /run and the resolver
# file it may change are the namespaces', never this machine's.
set -u
[ "$(id -u)" -eq 0 ] || { echo "SKIP: needs root for namespaces of its own"; exit 77; }
if [ -z "${QUILLNET_STALL_TEST_NS:-}" ]; then
    command -v unshare >/dev/null || { echo "SKIP: unshare missing"; exit 77; }
    exec env QUILLNET_STALL_TEST_NS=1 unshare --net --mount --propagation private "$0" "$@"
fi
if [ -z "${QUILLNET_STALL_TEST_XVFB:-}" ]; then
    command -v xvfb-run >/dev/null || { echo "SKIP: xvfb-run missing"; exit 77; }
    ip link set lo up || exit 1
    resolv=$(mktemp)
    cat /etc/resolv.conf >"$resolv" 2>/dev/null
    mount -t tmpfs -o mode=755 quillnet-stall-test /run || exit 1
    # A link into /run now leads nowhere, which is as private.
    [ -L /etc/resolv.conf ] || mount --bind "$resolv" /etc/resolv.conf || exit 1
    rm -f "$resolv"
    # A screen of its own, also when the caller has one: the caller's is
    # outside this network namespace.
    exec env QUILLNET_STALL_TEST_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp -noreset" \
        "$0" "$@"
fi
command -v xdotool >/dev/null || { echo "SKIP: xdotool missing"; exit 77; }
command -v curl >/dev/null || { echo "SKIP: curl missing"; exit 77; }
APP_DIR=$(cd "$1" && pwd)
PEERS_DIR=$(cd "$2" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)

work=$(mktemp -d)
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
# shellcheck source=tests/app/client_on_screen.sh
. "$source_dir/tests/app/client_on_screen.sh"
cleanup() {
    end_started
    rm -rf "$work"
}
trap cleanup EXIT

seconds_since() { # seconds_since <ms>
    local ms=$(($(now_ms) - $1))
    printf '%d.%02d' $((ms / 1000)) $((ms % 1000 / 10))
}

# Waits for the first line of a starting peer's output that matches; prints it.
await_line() { # await_line <file> <pid> <pattern>
    local i line
    for ((i = 0; i < 200; i++)); do
        line=$(grep -m 1 "$3" "$1" 2>/dev/null) && { echo "$line"; return 0; }
        kill -0 "$2" 2>/dev/null || return 1
        sleep 0.05
    done
    return 1
}

start_peer() { # start_peer <output file> <pattern of its ready line> <command...>; sets $peer_line
    local out=$1 pattern=$2
    shift 2
    : >"$out"
    "$@" >"$out" 2>"$out.err" &
    pids+=("$!")
    peer_line=$(await_line "$out" "$!" "$pattern") || { cat "$out.err"; return 1; }
}

service_saw_login() { # service_saw_login <http port>
    curl -fsS --noproxy '*' --max-time 2 "http://127.0.0.1:$1/_control/requests" 2>/dev/null |
        python3 -c '
import json, sys
sys.exit(0 if any(r["route"] == "/server/config.php" and r["args"].get("login") == "demo"
                  for r in json.load(sys.stdin)) else 1)'
}

wait_login() { # wait_login <http port> <client pid> <seconds>
    local end=$(($(now_ms) + $3 * 1000))
    while [ "$(now_ms)" -lt "$end" ]; do
        service_saw_login "$1" && return 0
        kill -0 "$2" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

# Calls a stand-in was asked and has not answered yet, from its output.
owed() { # owed <stand-in output>
    echo $(($(grep -c '^call ' "$1") - $(grep -c '^answered ' "$1")))
}

# The service and the shipped files the client finds in its working folder
# serve every case.
start_peer "$work/service.out" '^READY ' python3 "$source_dir/tests/peers/service.py" \
    --https-port 0 --http-port 0 || { echo "FAIL: the test service did not start"; exit 1; }
https_port=$(sed -n 's/.*https=\([0-9]*\).*/\1/p' <<<"$peer_line")
http_port=$(sed -n 's/.* http=\([0-9]*\).*/\1/p' <<<"$peer_line")
cat >"$work/deployment.ini" <<EOF
service_host = 127.0.0.1
service_https_port = $https_port
service_http_port = $http_port
api_scheme = https
web_base = http://127.0.0.1:$http_port/
server_cert = $source_dir/resources/data/server.crt
EOF
mkdir -p "$work/app/privoxy" "$work/app/adapter"
for shipped in graphics.rcc privoxy/config.txt privoxy/quillnet-base.action \
    privoxy/Quillnet_webfilter adapter/tapinstall; do
    [ -e "$APP_DIR/$shipped" ] && ln -s "$APP_DIR/$shipped" "$work/app/$shipped"
done

# <case> <the stand-ins' option, or "silent": both bus daemons hung>
cases=(
    "tray watcher and logind answering after 5 s|--delay 5000"
    "tray watcher and logind never answering|--never"
    "bus daemons never answering|silent"
)
for entry in "${cases[@]}"; do
    name=${entry%%|*}
    option=${entry#*|}
    dir=$work/$(tr ' ' '-' <<<"$name")
    mkdir -p "$dir/config/Korvex" "$dir/home"
    chmod 700 "$dir/home"
    echo "== $name"
    failures_before=$failures
    curl -fsS --noproxy '*' --max-time 2 "http://127.0.0.1:$http_port/_control/reset" >/dev/null

    if [ "$option" = silent ]; then
        start_peer "$dir/tray.out" '^unix:' python3 "$source_dir/tests/peers/silent_bus.py" \
            "$dir/session-bus" ||
            { echo "FAIL: the silent session bus did not start"; failures=$((failures + 1)); continue; }
        session_bus=$peer_line
        tray_pid=${pids[-1]}
        start_peer "$dir/logind.out" '^unix:' python3 "$source_dir/tests/peers/silent_bus.py" \
            "$dir/system-bus" ||
            { echo "FAIL: the silent system bus did not start"; failures=$((failures + 1)); continue; }
        system_bus=$peer_line
        logind_pid=${pids[-1]}
    else
        # shellcheck disable=SC2086 # the option is one or two words
        start_peer "$dir/tray.out" '^unix:' "$PEERS_DIR/quillnet_tray_watcher_peer" $option ||
            { echo "FAIL: the tray watcher did not start"; failures=$((failures + 1)); continue; }
        session_bus=$peer_line
        tray_pid=${pids[-1]}
        # shellcheck disable=SC2086
        start_peer "$dir/logind.out" '^unix:' "$PEERS_DIR/quillnet_logind_peer" $option ||
            { echo "FAIL: logind did not start"; failures=$((failures + 1)); continue; }
        system_bus=$peer_line
        logind_pid=${pids[-1]}
    fi

    # Logs in by itself, to the test service's demo account. Its tunnel
    # never comes up (the configuration the service hands out names no
    # server here), and the block outside the tunnel would only cut the
    # client off from the service: it stays off.
    cat >"$dir/config/Korvex/Quillnet.conf" <<EOF
[General]
remember_user=true
auto_login=true
username=demo
password=demo123
block_outside_tunnel=false
EOF
    started=$(now_ms)
    (cd "$work/app" && exec env DBUS_SESSION_BUS_ADDRESS="$session_bus" \
        DBUS_SYSTEM_BUS_ADDRESS="$system_bus" QUILLNET_DEPLOYMENT="$work/deployment.ini" \
        XDG_CONFIG_HOME="$dir/config" HOME="$dir/home" XDG_RUNTIME_DIR="$dir/home" \
        QUILLNET_INSTANCE_LOCK="$dir/instance.lock" "$APP_DIR/quillnet") \
        >"$dir/client.log" 2>&1 </dev/null &
    client=$!
    pids+=("$client")

    check "$name: the login window is shown within 4 s" wait_window "$client" "Quillnet 2.0" 4
    echo "   login window after $(seconds_since "$started") s"
    shown=$(now_ms)
    # By itself, in well under a second; a call that blocks until the
    # stand-ins' 5 s are over, or until a 5 s timeout, shows here too.
    check "$name: the client logs in to the test service within 4 s more" \
        wait_login "$http_port" "$client" 4
    echo "   login seen by the service $(seconds_since "$shown") s after the window"
    if [ "$option" = silent ]; then
        for bus in session system; do
            check "$name: the client went without the $bus bus" \
                grep -q "the $bus bus does not answer" "$dir/client.log"
        done
    else
        check "$name: the client asked the tray watcher" grep -q '^call ' "$dir/tray.out"
        check "$name: the client asked logind for its sleep lock" \
            grep -qx 'call org.freedesktop.login1.Manager.Inhibit' "$dir/logind.out"
        tray_owed=$(owed "$dir/tray.out")
        logind_owed=$(owed "$dir/logind.out")
    fi
    curl -fsS --noproxy '*' --max-time 2 "http://127.0.0.1:$http_port/_control/requests" \
        >"$dir/requests.out" 2>&1

    stopping=$(now_ms)
    kill -TERM "$client"
    wait_exit "$client" 2
    echo "   ended $(seconds_since "$stopping") s after SIGTERM (exit code $exit_code)"
    check "$name: SIGTERM ends the client within 2 s with code 0" test "$exit_code" = 0
    if [ "$option" != silent ]; then
        check "$name: the tray watcher still owed the client an answer then" \
            test "$tray_owed" -gt 0
        check "$name: logind still owed the client an answer then" test "$logind_owed" -gt 0
    fi
    [ "$exit_code" = timeout ] && kill -KILL "$client" 2>/dev/null

    for p in $tray_pid $logind_pid; do kill -TERM "$p" 2>/dev/null; done
    wait "$tray_pid" "$logind_pid" 2>/dev/null
    if [ $failures -ne "$failures_before" ]; then
        for f in "$dir"/*.log "$dir"/*.out "$dir"/*.err; do echo "== $f"; tail -n 30 "$f"; done
    fi
done

echo "$passes passed, $failures failed"
[ $failures -eq 0 ]
