# shellcheck shell=bash disable=SC2154 # build, source_dir, failures: the sourcing test's
# Sourced by the tests that run scripts/demo without a person: runs one demo
# and checks what it did and that it left nothing behind. The sourcing test
# sets build and source_dir, defines check <description> <command...>,
# which counts in $failures, and calls demo_checks_cleanup on its way out.

demo=$build/demo
screenshot=$build/demo.png
output=$(mktemp)
host_before=$(mktemp) host_during=$(mktemp) host_after=$(mktemp)
netns='' user='' namespace='' rule='' run_folder_before='' lab_namespaces=''
leftovers=()

# Every process the demo starts carries its deployment file in the
# environment: the client and its OpenVPN, the VPN server, the service, the
# mail relay, Xvfb and the private bus. The build's tunnel service and its
# OpenVPN also name their run folder on the command line; what the launch
# helper of --installed starts has a cleared environment, and is known by
# the bus's mount namespace.
find_leftovers() {
    local proc
    leftovers=()
    for proc in /proc/[0-9]*; do
        if tr '\0' '\n' 2>/dev/null <"$proc/environ" | grep -qxF "QUILLNET_DEPLOYMENT=$demo/deployment.ini" ||
            tr '\0' ' ' 2>/dev/null <"$proc/cmdline" | grep -qF "$demo/tunneld" ||
            { [ -n "$namespace" ] && [ "$(readlink "$proc/ns/mnt" 2>/dev/null)" = "$namespace" ]; }; then
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
    local ns
    [ ${#leftovers[@]} -eq 0 ] || kill -KILL "${leftovers[@]}" 2>/dev/null
    [ -n "$netns" ] && ip netns del "$netns" 2>/dev/null
    for ns in $lab_namespaces; do
        ip netns del "$ns" 2>/dev/null
    done
    lab_mounts | sort -r | xargs -r umount -l
    [ -n "$user" ] && userdel "$user" 2>/dev/null
    [ -n "$rule" ] && rm -f "$rule"
    netns='' user='' namespace='' rule='' lab_namespaces=''
}

demo_checks_cleanup() {
    find_leftovers
    clear_leftovers
    rm -f "$output" "$host_before" "$host_during" "$host_after"
}

# What the lab of --isolated has mounted in this mount namespace.
lab_mounts() {
    awk -v lab="$demo/lab" 'index($5, lab) == 1 { print $5 }' /proc/self/mountinfo
}

# What a demo must never change on the machine running it: its firewall
# and its resolver.
save_host_state() { # save_host_state <file>
    { nft list ruleset 2>&1; echo '--- /etc/resolv.conf'; cat /etc/resolv.conf 2>&1; } >"$1"
}

logged_in() { grep -qx 'demo: logged in' "$output"; }

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
        grep -qE "mail relay   127\.0\.0\.1:$relay( on the lab's machine)?;" "$output" &&
        ! grep -qF "$demo/no-such-bus" "$output"
}

start_demo() { # start_demo <login timeout> [demo options]
    local login_timeout=$1
    shift
    rm -f "$screenshot"
    leave_stale_ready_lines
    run_folder_before=$(ls -d /run/quillnet-tunneld 2>/dev/null)
    save_host_state "$host_before"
    : >"$host_during"
    timeout --kill-after=30 240 "$source_dir/scripts/demo" --build "$build" --screenshot-and-exit \
        --timeout "$login_timeout" "$@" >"$output" 2>&1 &
    local demo_pid=$!
    # The machine while the client is connected and logged in.
    while kill -0 "$demo_pid" 2>/dev/null; do
        if [ ! -s "$host_during" ] && logged_in; then
            save_host_state "$host_during"
        fi
        sleep 0.2
    done
    wait "$demo_pid"
    status=$?
    save_host_state "$host_after"
    netns=$(grep -o 'network namespace quillnet-vpn-[0-9]*' "$output" | cut -d' ' -f3)
    user=$(grep -o 'user quillnet-demo-[0-9]*' "$output" | head -n 1 | cut -d' ' -f2)
    namespace=$(grep -o 'bus namespace mnt:\[[0-9]*\]' "$output" | cut -d' ' -f3)
    rule=$(grep -o '/etc/polkit-1/rules.d/10-quillnet-demo-[0-9]*\.rules' "$output")
    lab_namespaces=$(grep -o 'quillnet-\(user\|isp\|net\)-[0-9]*' "$output" | sort -u | tr '\n' ' ')
}

# With --isolated: the client's tunnel blocked what went around it and sent
# names through it, on the lab's machine and not on this one, until the
# client ended.
check_isolated() { # check_isolated <mode> <the client's log>
    local mode=$1 log=$2
    check "$mode: the client's log says the traffic outside the tunnel was blocked" \
        grep -q '^Quillnet: traffic outside the tunnel blocked; ' "$log"
    check "$mode: the client's log says where names went" grep -q '^Quillnet: DNS through the tunnel: ' "$log"
    check "$mode: while connected names went through the tunnel and only IPv4 through it got out" \
        grep -qx "demo: on the lab's machine while connected: a name is answered by tunnel, the internet host is reached over IPv4 tunnel, over IPv6 none; firewall table: inet quillnet; /etc/resolv.conf: changed" "$output"
    check "$mode: after the log-out the block and the DNS change were gone" \
        grep -qx "demo: on the lab's machine after the log-out: a name is answered by isp, the internet host is reached over IPv4 direct, over IPv6 direct; firewall table: none; /etc/resolv.conf: as before the log-in" "$output"
    check "$mode: the machine was seen while logged in" test -s "$host_during"
    check "$mode: this machine's firewall and resolver were untouched while logged in" \
        cmp "$host_before" "$host_during"
    check "$mode: the demo named the lab's three namespaces" test "$(wc -w <<<"$lab_namespaces")" -eq 3
}

# check_logged_in <mode> <the client's log> <its line naming the mode>
check_logged_in() {
    local mode=$1 log=$2
    check "$mode: the demo ends with status 0 once the screen is saved" test "$status" -eq 0
    check "$mode: the demo account logged in" grep -qx 'demo: logged in' "$output"
    check "$mode: the demo used the ports and bus its peers reported" used_reported_ports
    check "$mode: the screenshot is a picture" identify "$screenshot"
    # A screen with nothing on it is a single colour.
    check "$mode: the screenshot shows windows" test "$(convert "$screenshot" -format %k info: 2>/dev/null)" -gt 1
    check "$mode: the client's log says who runs OpenVPN" grep -qF "$3" "$log"
    check "$mode: the tunnel came up" grep -q 'Initialization Sequence Completed' "$log"
    [[ $mode == isolated* ]] && check_isolated "$mode" "$log"
    [[ $mode == *direct ]] && return 0
    check "$mode: OpenVPN was a child of the tunnel service, which ran as root" \
        grep -qx 'demo: tunnel up, its OpenVPN a child of the tunnel service, which runs as root' "$output"
    check "$mode: the client ran as the throwaway user" \
        grep -qx "demo: the client runs as $user" "$output"
    [ -n "$namespace" ] && check "$mode: the demo named the polkit rule that grants the user" test -n "$rule"
    return 0
}

check_nothing_left() { # check_nothing_left <mode>
    local mode=$1 ns
    check "$mode: this machine's firewall and resolver are as before" cmp "$host_before" "$host_after"
    for ns in $lab_namespaces; do
        check "$mode: the lab's namespace $ns is gone" test ! -e "/run/netns/$ns"
    done
    check "$mode: nothing of the lab is mounted" test -z "$(lab_mounts)"
    check "$mode: the lab's folder is gone" test ! -e "$demo/lab"
    if [[ $mode != *direct ]]; then
        check "$mode: the demo named its throwaway user" test -n "$user"
        check "$mode: the throwaway user is gone" test -z "$(getent passwd "$user")"
    fi
    check "$mode: the demo named its VPN server's namespace" test -n "$netns"
    check "$mode: the VPN server's namespace is gone" test ! -e "/run/netns/$netns"
    # A process on its way out (a client lifting its protection, say) is
    # given a few seconds.
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        find_leftovers
        [ ${#leftovers[@]} -eq 0 ] && break
        sleep 1
    done
    check "$mode: no process the demo started is left" test ${#leftovers[@]} -eq 0
    local pid
    for pid in "${leftovers[@]}"; do
        echo "left: $pid $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)"
    done
    check "$mode: no private bus is left" none_left dbus-daemon
    check "$mode: no tunnel service is left" none_left quillnet-tunne
    check "$mode: no OpenVPN is left" none_left openvpn
    check "$mode: no polkitd is left" none_left polkitd
    check "$mode: the demo's temporary files are gone" \
        test ! -e "$demo/vpn" -a ! -e "$demo/runtime" -a ! -e "$demo/Xauthority" -a ! -e "$demo/tunneld"
    check "$mode: /run/quillnet-tunneld is as before" test "$(ls -d /run/quillnet-tunneld 2>/dev/null)" = "$run_folder_before"
    [ -n "$rule" ] && check "$mode: the polkit rule is gone" test ! -e "$rule"
    return 0
}

# Tells what a run that failed a check did, and ends what it left.
report_run() { # report_run <mode> <the client's log> <failures before the run>
    local pid
    if [ "$failures" -ne "$3" ]; then
        echo "== demo output (status $status)"
        cat "$output"
        for pid in "${leftovers[@]}"; do
            echo "left running: $pid $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)"
        done
        echo "== $demo/client.log"
        tail -n 20 "$demo/client.log" 2>/dev/null
        echo "== $2"
        tail -n 20 "$2" 2>/dev/null
        # The next run saves its screen in the same place.
        cp "$screenshot" "$build/demo-$1-failed.png" 2>/dev/null &&
            echo "== the screen: $build/demo-$1-failed.png"
    fi
    # Whatever this run left would be blamed on the next.
    clear_leftovers
}

# run_demo <mode> <the client's log> <its line naming the mode> [demo options]
run_demo() {
    local mode=$1 log=$2 mode_line=$3 before=$failures
    shift 3
    echo "== $mode mode"
    start_demo 60 "$@"
    check_logged_in "$mode" "$log" "$mode_line"
    check_nothing_left "$mode"
    report_run "$mode" "$log" "$before"
}
