#!/bin/bash
# The local demo without a person at the keyboard, in each of its modes:
# the demo account logs in on the demo's private screen, the screen is
# saved, the client's log says who ran OpenVPN, the machine's firewall and
# resolver are as they were, and once the demo has ended nothing it started
# is left behind. By default the client runs as a throwaway user and its
# tunnel comes up through the tunnel service on a private system bus; with
# --direct it runs as root and starts OpenVPN itself. With --isolated, in
# either mode, all of it runs on a leak lab's machine with the protection
# on: the client's log tells of the block and of DNS through the tunnel,
# the lab's machine shows both while connected and neither after the
# log-out, and this machine never sees either.
#
# Usage: demo_test.sh <build folder>   (as root: the demo needs CAP_NET_ADMIN)
set -u
[ "$(id -u)" -eq 0 ] || { echo "SKIP: the demo needs root"; exit 77; }
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)

checks=0
failures=0
check() { # check <description> <command...>
    local what=$1
    shift
    checks=$((checks + 1))
    if "$@" >/dev/null 2>&1; then echo "PASS: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}

# shellcheck source=tests/app/demo_checks.sh
. "$source_dir/tests/app/demo_checks.sh"
trap demo_checks_cleanup EXIT

run_demo service "$build/demo/work/log.txt" "OpenVPN runs in the tunnel service"
run_demo direct "$build/app/log.txt" "OpenVPN runs in this process, which has CAP_NET_ADMIN" --direct
run_demo isolated "$build/demo/work/log.txt" "OpenVPN runs in the tunnel service" --isolated
run_demo isolated-direct "$build/app/log.txt" "OpenVPN runs in this process, which has CAP_NET_ADMIN" \
    --isolated --direct

echo "$((checks - failures)) passed, $failures failed"
[ $failures -eq 0 ]
