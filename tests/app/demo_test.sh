#!/bin/bash
# The local demo without a person at the keyboard: the demo account logs in
# on the demo's private screen, the screen is saved, and once the demo has
# ended nothing it started is left behind.
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
leftovers=()

# Every process the demo starts carries its deployment file in the
# environment: the client and its OpenVPN, the VPN server, the service, the
# mail relay, Xvfb.
find_leftovers() {
    local environ
    leftovers=()
    for environ in /proc/[0-9]*/environ; do
        if tr '\0' '\n' 2>/dev/null <"$environ" | grep -qxF "QUILLNET_DEPLOYMENT=$demo/deployment.ini"; then
            leftovers+=("$(basename "$(dirname "$environ")")")
        fi
    done
}

cleanup() {
    find_leftovers
    [ ${#leftovers[@]} -eq 0 ] || kill -KILL "${leftovers[@]}" 2>/dev/null
    [ -n "$netns" ] && ip netns del "$netns" 2>/dev/null
    rm -f "$output"
}
trap cleanup EXIT

failures=0
check() { # check <description> <command...>
    local what=$1
    shift
    if "$@" >/dev/null 2>&1; then echo "PASS: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

rm -f "$screenshot"
timeout --kill-after=30 240 "$source_dir/scripts/demo" --build "$build" --screenshot-and-exit --timeout 60 \
    >"$output" 2>&1
status=$?
netns=$(grep -o 'network namespace quillnet-vpn-[0-9]*' "$output" | cut -d' ' -f3)

check "the demo ends with status 0 once the screen is saved" test "$status" -eq 0
check "the demo account logged in" grep -qx 'demo: logged in' "$output"
check "the screenshot is a picture" identify "$screenshot"
# A screen with nothing on it is a single colour.
check "the screenshot shows windows" test "$(convert "$screenshot" -format %k info: 2>/dev/null)" -gt 1
check "the demo named its VPN server's namespace" test -n "$netns"
check "the VPN server's namespace is gone" test ! -e "/run/netns/$netns"
find_leftovers
check "no process the demo started is left" test ${#leftovers[@]} -eq 0
check "the demo's temporary files are gone" \
    test ! -e "$demo/vpn" -a ! -e "$demo/runtime" -a ! -e "$demo/Xauthority"

if [ $failures -ne 0 ]; then
    echo "== demo output (status $status)"
    cat "$output"
    for pid in "${leftovers[@]}"; do
        echo "left running: $pid $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)"
    done
    echo "== $demo/client.log"
    tail -n 20 "$demo/client.log" 2>/dev/null
fi
echo "$((8 - failures)) passed, $failures failed"
[ $failures -eq 0 ]
