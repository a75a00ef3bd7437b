#!/bin/bash
# The local demo without a person at the keyboard, in both of its modes:
# the demo account logs in on the demo's private screen, the screen is
# saved, the client's log says who ran OpenVPN, and once the demo has ended
# nothing it started is left behind. By default the client runs as a
# throwaway user and its tunnel comes up through the tunnel service on a
# private system bus; with --direct it runs as root and starts OpenVPN
# itself.
#
# Usage: demo_test.sh <build folder>   (as root: the demo needs CAP_NET_ADMIN)
set -u
[ "$(id -u)" -eq 0 ] || { echo "SKIP: the demo needs root"; exit 77; }
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
demo=$build/demo
screenshot=$build/demo.png

output=$(mktemp)
netns=''
user=''
leftovers=()

# Every process the demo starts carries its deployment file in the
# environment: the client and its OpenVPN, the VPN server, the service, the
# mail relay, Xvfb, the private bus and the tunnel service it activates.
# The service and its OpenVPN also name their run folder on the command line.
find_leftovers() {
    local proc
    leftovers=()
    for proc in /proc/[0-9]*; do
        if tr '\0' '\n' 2>/dev/null <"$proc/environ" | grep -qxF "QUILLNET_DEPLOYMENT=$demo/deployment.ini" ||
            tr '\0' ' ' 2>/dev/null <"$proc/cmdline" | grep -qF "$demo/tunneld"; then
            leftovers+=("$(basename "$proc")")
        fi
    done
}

# No leftover of a given program, told by the name the kernel keeps for it
# (15 characters at most).
none_left() { # none_left <comm>
    local pid
    for pid in "${leftovers[@]}"; do
        [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "$1" ] && return 1
    done
    return 0
}

# Ends what a demo run left behind; the checks have told of it already.
clear_leftovers() {
    [ ${#leftovers[@]} -eq 0 ] || kill -KILL "${leftovers[@]}" 2>/dev/null
    [ -n "$netns" ] && ip netns del "$netns" 2>/dev/null
    [ -n "$user" ] && userdel "$user" 2>/dev/null
    netns='' user=''
}

cleanup() {
    find_leftovers
    clear_leftovers
    rm -f "$output"
}
trap cleanup EXIT

checks=0
failures=0
check() { # check <description> <command...>
    local what=$1
    shift
    checks=$((checks + 1))
    if "$@" >/dev/null 2>&1; then echo "PASS: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

# What a demo killed outright leaves: its peers' ready lines, naming ports
# and a bus that no longer exist. Port 1 has no listener on this machine.
leave_stale_ready_lines() {
    mkdir -p "$demo"
    echo 'READY https=1 http=1' >"$demo/service.out"
    echo 'READY port=1' >"$demo/relay.log"
    echo "unix:path=$demo/no-such-bus" >"$demo/bus.out"
}

# The summary names the ports the service and the relay of this run
# reported, not ones an earlier run left behind, nor that run's bus.
used_reported_ports() {
    local https http relay
    https=$(sed -n 's/^READY https=\([0-9]*\) .*/\1/p' "$demo/service.out")
    http=$(sed -n 's/^READY .* http=\([0-9]*\)$/\1/p' "$demo/service.out")
    relay=$(sed -n 's/^READY port=\([0-9]*\)$/\1/p' "$demo/relay.log")
    [ -n "$https" ] && [ -n "$http" ] && [ -n "$relay" ] &&
        grep -qF "service      https://127.0.0.1:$https and http://127.0.0.1:$http" "$output" &&
        grep -qF "mail relay   127.0.0.1:$relay;" "$output" &&
        ! grep -qF "$demo/no-such-bus" "$output"
}

# run_demo <mode: service|direct> <the client's log> <its line naming the mode> [demo options]
run_demo() {
    local mode=$1 log=$2 mode_line=$3 status before=$failures
    shift 3
    echo "== $mode mode"
    rm -f "$screenshot"
    leave_stale_ready_lines
    timeout --kill-after=30 240 "$source_dir/scripts/demo" --build "$build" --screenshot-and-exit --timeout 60 \
        "$@" >"$output" 2>&1
    status=$?
    netns=$(grep -o 'network namespace quillnet-vpn-[0-9]*' "$output" | cut -d' ' -f3)
    user=$(grep -o 'user quillnet-demo-[0-9]*' "$output" | cut -d' ' -f2)

    check "$mode: the demo ends with status 0 once the screen is saved" test "$status" -eq 0
    check "$mode: the demo account logged in" grep -qx 'demo: logged in' "$output"
    check "$mode: the demo used the ports and bus its peers reported" used_reported_ports
    check "$mode: the screenshot is a picture" identify "$screenshot"
    # A screen with nothing on it is a single colour.
    check "$mode: the screenshot shows windows" test "$(convert "$screenshot" -format %k info: 2>/dev/null)" -gt 1
    check "$mode: the client's log says who runs OpenVPN" grep -qF "$mode_line" "$log"
    check "$mode: the tunnel came up" grep -q 'Initialization Sequence Completed' "$log"
    if [ "$mode" = service ]; then
        check "service: the demo named its throwaway user" test -n "$user"
        check "service: the tunnel service ran the client's OpenVPN" \
            grep -qx 'demo: tunnel up, its OpenVPN run by the tunnel service' "$output"
        check "service: the throwaway user is gone" test -z "$(getent passwd "$user")"
    fi
    check "$mode: the demo named its VPN server's namespace" test -n "$netns"
    check "$mode: the VPN server's namespace is gone" test ! -e "/run/netns/$netns"
    find_leftovers
    check "$mode: no process the demo started is left" test ${#leftovers[@]} -eq 0
    check "$mode: no private bus is left" none_left dbus-daemon
    check "$mode: no tunnel service is left" none_left quillnet-tunne
    check "$mode: no OpenVPN is left" none_left openvpn
    check "$mode: the demo's temporary files are gone" \
        test ! -e "$demo/vpn" -a ! -e "$demo/runtime" -a ! -e "$demo/Xauthority" -a ! -e "$demo/tunneld"

    if [ $failures -ne "$before" ]; then
        echo "== demo output (status $status)"
        cat "$output"
        for pid in "${leftovers[@]}"; do
            echo "left running: $pid $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)"
        done
        echo "== $demo/client.log"
        tail -n 20 "$demo/client.log" 2>/dev/null
        echo "== $log"
        tail -n 20 "$log" 2>/dev/null
        # The next run saves its screen in the same place.
        cp "$screenshot" "$build/demo-$mode-failed.png" 2>/dev/null &&
            echo "== the screen: $build/demo-$mode-failed.png"
    fi
    # Whatever this run left would be blamed on the next.
    clear_leftovers
}

run_demo service "$demo/work/log.txt" "OpenVPN runs in the tunnel service"
run_demo direct "$build/app/log.txt" "OpenVPN runs in this process, which has CAP_NET_ADMIN" --direct

echo "$((checks - failures)) passed, $failures failed"
[ $failures -eq 0 ]
