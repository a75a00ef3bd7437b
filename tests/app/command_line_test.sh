#!/bin/bash
# The command line against the real client, as a user meets it in a
# terminal: with the client running (started with Qt's "-platform" option,
# whose value must not be taken for a command), a second copy started with
# a command hands it to the first over the session bus instead of saying
# "already running": status of a client that is not logged in prints its
# lines and exits 1, connect without a remembered account exits 1, there is
# nothing to disconnect, and quit ends the client with code 0, after which
# a command finds no client (exit 2). The commands of a connected client
# and each command without one are tst_remotecontrol's.
#
# Usage: command_line_test.sh <app folder>
# A client run by root runs its tunnel itself, and at its end it lifts any
# block of ours in its network namespace: as root the test runs in network
# and mount namespaces of its own, so that no block or state of this machine
# is touched.
set -u
if [ "$(id -u)" -eq 0 ] && [ -z "${QUILLNET_COMMAND_LINE_TEST_NS:-}" ]; then
    command -v unshare >/dev/null || { echo "SKIP: unshare missing"; exit 77; }
    exec env QUILLNET_COMMAND_LINE_TEST_NS=1 unshare --net --mount --propagation private \
        sh -c 'ip link set lo up 2>/dev/null
               mount -t tmpfs -o mode=755 quillnet-command-line-test /run && exec "$@"' sh \
        "$0" "$@"
fi
command -v dbus-daemon >/dev/null || { echo "SKIP: dbus-daemon missing"; exit 77; }
APP_DIR=$(cd "$1" && pwd)

work=$(mktemp -d)
# shellcheck source=tests/app/client_on_screen.sh
. "$(dirname "$0")/client_on_screen.sh"
cleanup() {
    end_started
    rm -rf "$work"
}
trap cleanup EXIT

# A session bus of the test's own, without the machine's services.
cat >"$work/bus.conf" <<EOF
<busconfig>
  <type>session</type>
  <listen>unix:path=$work/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
dbus-daemon --config-file="$work/bus.conf" --nofork --print-address >"$work/bus.address" \
    2>"$work/bus.log" &
pids+=("$!")
for _ in $(seq 100); do [ -s "$work/bus.address" ] && break; sleep 0.05; done
[ -s "$work/bus.address" ] || { echo "FAIL: the session bus did not start"; exit 1; }

# The update check meets a closed port at once; no system bus: the client
# decides to run OpenVPN itself, which never happens here.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$work/deployment.ini" <<EOF
service_host = 127.0.0.1
service_https_port = $port
service_http_port = $port
EOF
mkdir -p "$work/app" "$work/config"
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/bus
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/no-system-bus
export QUILLNET_DEPLOYMENT=$work/deployment.ini
export QUILLNET_INSTANCE_LOCK=$work/instance.lock
export XDG_CONFIG_HOME=$work/config
unset QT_QPA_PLATFORM DISPLAY WAYLAND_DISPLAY

command_says() { # command_says <command> <exit code> <expected output>
    (cd "$work" && exec "$APP_DIR/quillnet" "$1") >"$work/$1.out" 2>"$work/$1.err" </dev/null
    local code=$?
    [ "$code" = "$2" ] && [ "$(cat "$work/$1.out")" = "$3" ] &&
        ! grep -q "allready running" "$work/$1.err"
}

(cd "$work/app" && exec "$APP_DIR/quillnet" -platform offscreen) >"$work/client.log" 2>&1 </dev/null &
client=$!
pids+=("$client")

# The client takes commands once its login window is up.
status_lines=$'state: disconnected\nserver: none\nprotection: none'
for _ in $(seq 200); do
    command_says status 1 "$status_lines" && break
    kill -0 "$client" 2>/dev/null || break
    sleep 0.1
done
check "status of the running client: not connected, exit 1" command_says status 1 "$status_lines"
check "connect without a remembered account: the login window, exit 1" command_says connect 1 \
    "No account is remembered: the login window is open for one."
check "disconnect: nothing to disconnect, exit 0" command_says disconnect 0 "Not connected."
check "the client runs on after the commands" kill -0 "$client"
check "quit: the client is asked, exit 0" command_says quit 0 "Quitting."
wait_exit "$client" 10
check "quit ends the client with code 0" test "$exit_code" = 0
check "a command after the client's end finds none: exit 2" command_says status 2 ""
check "and says so" grep -q "Quillnet is not running" "$work/status.err"

if [ $failures -ne 0 ]; then
    for f in "$work"/*.log "$work"/*.out "$work"/*.err; do echo "== $f"; cat "$f"; done
fi
echo "$passes passed, $failures failed"
[ $failures -eq 0 ]
