#!/bin/bash
# The client as a user meets it on a desktop (a real X server, Xvfb): one
# copy runs; a second copy shows its warning, exits 0 when the user closes
# it and never opens a window of its own; a crashed copy does not block the
# next start; SIGTERM and SIGINT end the client through its normal shut-down.
#
# Usage: instance_test.sh <app folder>   (runs itself under xvfb-run)
set -u
APP_DIR=$(cd "$1" && pwd)
if [ -z "${DISPLAY:-}" ]; then
    command -v xvfb-run >/dev/null || { echo "SKIP: xvfb-run missing"; exit 77; }
    exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp -noreset" "$0" "$@"
fi
command -v xdotool >/dev/null || { echo "SKIP: xdotool missing"; exit 77; }

work=$(mktemp -d)
export XDG_CONFIG_HOME=$work/config
export QUILLNET_INSTANCE_LOCK=$work/instance.lock
unset QT_QPA_PLATFORM
# shellcheck source=tests/app/client_on_screen.sh
. "$(dirname "$0")/client_on_screen.sh"
cleanup() {
    end_started
    rm -rf "$work"
}
trap cleanup EXIT

start_client() { # start_client <log>; sets $client
    (cd "$APP_DIR" && exec ./quillnet) >"$1" 2>&1 &
    client=$!
    pids+=("$client")
}

# 1. First copy shows its login window.
start_client "$work/first.log"
first=$client
check "first copy opens the login window" wait_window "$first" "Quillnet 2.0" 20

# 2. Second copy: the warning only, exit code 0 after the user closes it.
start_client "$work/second.log"
second=$client
# The box belongs to a child of the second copy: found by its title alone.
box=$(wait_window "" "Quillnet" 20)
check "second copy shows a box titled Quillnet" test -n "$box"
check "second copy opens no login window" test -z "$(windows_of "$second" "Quillnet 2.0")"
check "second copy says why" grep -q "Quillnet is allready running." "$work/second.log"
if [ -n "$box" ]; then
    xdotool windowfocus --sync "$box" key Return
fi
wait_exit "$second" 10
check "second copy exits 0 once the box is closed" test "$exit_code" = 0
check "first copy keeps running" kill -0 "$first"

# 2b. A second copy without any display (or with one that is gone) still
# says why on stderr and exits 0: it has no box to show.
for display in "" ":99999"; do
    (cd "$APP_DIR" && exec env -u WAYLAND_DISPLAY DISPLAY="$display" ./quillnet) \
        >"$work/headless.log" 2>&1 </dev/null &
    pids+=("$!")
    wait_exit "$!" 10
    check "second copy with DISPLAY='$display' exits 0" test "$exit_code" = 0
    check "second copy with DISPLAY='$display' says why" \
        grep -q "Quillnet is allready running." "$work/headless.log"
done

# 3. A killed copy leaves no stale lock behind.
kill -KILL "$first"
wait "$first" 2>/dev/null
start_client "$work/third.log"
third=$client
check "a start after a crash is not refused" wait_window "$third" "Quillnet 2.0" 20

# 4. Termination signals end the client through its orderly shut-down.
kill -TERM "$third"
wait_exit "$third" 10
check "SIGTERM ends the client with code 0" test "$exit_code" = 0

start_client "$work/fourth.log"
fourth=$client
wait_window "$fourth" "Quillnet 2.0" 20 >/dev/null
kill -INT "$fourth"
wait_exit "$fourth" 10
check "SIGINT ends the client with code 0" test "$exit_code" = 0

if [ $failures -ne 0 ]; then
    for f in "$work"/*.log; do echo "== $f"; cat "$f"; done
fi
echo "$passes passed, $failures failed"
[ $failures -eq 0 ]
