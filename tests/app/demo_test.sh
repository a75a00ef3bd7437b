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

echo "$((checks - failures)) passed, $failures failed"
[ $failures -eq 0 ]
