#!/bin/bash
# What leaves a user's machine around its tunnel, seen from the ISP
# (leak_lab.sh): the client's tunnel through the tunnel service, activated
# on a private bus and running on the lab's machine, and then the client's
# own OpenVPN in direct mode.
#
# Always checked: the lab itself (without a tunnel the ISP's resolver
# answers and the internet host is reached directly over IPv4 and IPv6;
# with the tunnel up IPv4 goes through the VPN server) and the log-out (the
# tunnel goes, direct traffic works again, /etc/resolv.conf is byte for byte
# what it was). And what the leak protection promises: while connected no
# question reaches the ISP's resolver and IPv6 does not go around the
# tunnel; while it reconnects, while the machine sleeps and once OpenVPN is
# killed nothing but the VPN server's port is reached on the ISP's side.
# With the block turned off, names still go through the tunnel and nothing
# else is held back. With the local network allowed, only the machine's own
# networks are reached around the tunnel. Behind a captive portal the
# client says a sign-in may be needed, opens the way to the portal's page
# only on the user's click and only for a while, and the tunnel comes back
# by itself once the user has signed in.
#
# Usage: leak_lab_test.sh <build folder>   (as root)
set -euo pipefail

skip() {
    echo "SKIP: $*"
    exit 77
}
[ "$(id -u)" -eq 0 ] || skip "the lab needs root"
for tool in ip nft openvpn unshare nsenter mountpoint curl getent dbus-daemon dbus-send setpriv python3; do
    command -v "$tool" >/dev/null || skip "$tool is missing"
done
build=$(cd "${1:?usage: leak_lab_test.sh <build folder>}" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
lab_sh=$source_dir/tests/protection/leak_lab.sh
peers=$source_dir/tests/peers
tunneld=$build/app/quillnet-tunneld
client=$build/tests/tunneld/tunnel_client
bus_peer=$build/tests/peers/quillnet_system_bus_peer
for program in "$tunneld" "$client" "$bus_peer"; do
    [ -x "$program" ] || skip "$program is not built"
done
ip netns add quillnet-lab-probe-$$ 2>/dev/null || skip "no network namespaces here"
ip netns del quillnet-lab-probe-$$

work=$(mktemp -d /tmp/quillnet-leak-lab.XXXXXX)
# The client runs as nobody and needs to reach its folder.
chmod 755 "$work"
lab_dir=$work/lab
failures=0
bus_pid='' client_pid='' user_ns='' isp_ns='' net_ns='' vpn_ns=''

say() { echo "leak_lab_test: $*"; }

fail() {
    say "FAIL: $*"
    failures=$((failures + 1))
}

# Stops the run at once: what follows depends on it.
abort() {
    say "FAIL: $*"
    failures=$((failures + 1))
    exit 1
}

check() { # check <what> <expected> <actual>
    if [ "$2" = "$3" ]; then
        say "ok: $1 ($3)"
    else
        fail "$1: expected $2, got $3"
    fi
}

lab() { "$lab_sh" "$1" "$lab_dir" "${@:2}"; }

report_value() { # report_value <report> <key>
    sed -n "s/^$2=//p" <<<"$1"
}

alive() {
    [ -r "/proc/$1/status" ] && ! grep -qs '^State:[[:space:]]*Z' "/proc/$1/status"
}

wait_until() { # wait_until <seconds> <command...>
    local i
    for ((i = 0; i < $1 * 10; i++)); do
        "${@:2}" && return 0
        sleep 0.1
    done
    return 1
}

# --- the client --------------------------------------------------------------

# tunnel_client on the lab's machine, fed through a pipe of this script
# (fd 7) so that "stop" can be sent; its lines go to $work/client.out.
start_client() { # start_client [--direct] [--block] [other options]
    launch_client "$@"
    wait_for_adapter 1
}

launch_client() { # launch_client [--direct] [--block] [other options]
    rm -f "$work/client.in"
    mkfifo "$work/client.in"
    exec 7<>"$work/client.in"
    : >"$work/client.out"
    if [ "${1:-}" = --direct ]; then
        (cd "$work/user" && exec setsid "$lab_sh" run "$lab_dir" -- "$client" "$@" alice secret1) \
            <&7 >"$work/client.out" 2>"$work/client.log" &
    else
        (
            cd "$work/user"
            export HOME=$work/user XDG_CONFIG_HOME=$work/user DBUS_SYSTEM_BUS_ADDRESS=$bus_address
            exec setsid "$lab_sh" run "$lab_dir" -- setpriv --reuid=nobody --regid=nogroup --clear-groups \
                "$client" "$@" alice secret1
        ) <&7 >"$work/client.out" 2>"$work/client.log" &
    fi
    client_pid=$!
}

adapters_reported() { [ "$(grep -c '^adapter ' "$work/client.out")" -ge "$1" ]; }

# True once the client has printed <line> after its first <n> lines.
said_since() { # said_since <n> <line>
    awk -v n="$1" -v line="$2" 'NR > n && $0 == line { found = 1 } END { exit !found }' "$work/client.out"
}

# Waits for <line> from the client after its first <n> lines.
wait_for_line() { # wait_for_line <seconds> <n> <line>
    wait_until "$1" said_since "$2" "$3" ||
        abort "the client did not say \"$3\" within $1 s: $(tail -n +$(($2 + 1)) "$work/client.out" | tr '\n' ' ')"
}

lines_said() { wc -l <"$work/client.out"; }

# Waits for the client's <n>th report of a tunnel up.
wait_for_adapter() { # wait_for_adapter <n>
    if ! wait_until 30 adapters_reported "$1"; then
        say "client: $(tr '\n' ' ' <"$work/client.out") $(tail -n 5 "$work/client.log")"
        say "tunnel log: $(tail -n 10 "$work/user/log.txt" 2>/dev/null)"
        say "bus: $(tail -n 5 "$work/bus.log" 2>/dev/null)"
        abort "the tunnel did not come up"
    fi
    adapter=$(sed -n 's/^adapter //p' "$work/client.out" | tail -n 1)
}

client_ended() { ! alive "$client_pid"; }

# Log-out: "stop" to the client, which ends once its tunnel is down.
stop_client() {
    local status=0
    [ -n "$client_pid" ] || return 0
    echo stop >&7 || true
    if ! wait_until 20 client_ended; then
        fail "the client did not end after stop: $(tr '\n' ' ' <"$work/client.out")"
        kill -KILL "$client_pid" 2>/dev/null || true
    fi
    wait "$client_pid" 2>/dev/null || status=$?
    exec 7>&-
    client_pid=''
    return "$status"
}

openvpn_on_machine() {
    local pid
    for pid in $(ip netns pids "$user_ns"); do
        [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = openvpn ] && echo "$pid"
    done
    true
}

device_on_machine() { ip -n "$user_ns" link show dev "$1" >/dev/null 2>&1; }
adapter_gone() { ! device_on_machine "$adapter"; }

# --- the bus that activates the tunnel service on the lab's machine --------

start_bus() { # start_bus [--resolved FILE]: the bus, on the lab's machine with a resolved stand-in
    : >"$work/bus.out"
    # The service runs on the lab's machine: the bus starts it there, or is
    # there already.
    local on_machine=("$lab_sh" run "$lab_dir" --) bus_on_machine=() service_prefix
    service_prefix="${on_machine[*]} "
    if [ $# -gt 0 ]; then
        bus_on_machine=("${on_machine[@]}")
        service_prefix=''
    fi
    # Polkit's stand-in says yes, but not to what needs an administrator.
    setsid "${bus_on_machine[@]}" "$bus_peer" "$@" --refuse-action net.quillnet.tunnel.release-other --service "$source_dir/resources/tunneld/net.quillnet.Tunnel.service" \
        --exec "${service_prefix}$(command -v setpriv) --bounding-set=-all,+net_admin --inh-caps=-all --no-new-privs $tunneld --idle-seconds 2 --run-folder $work/tunneld" \
        "$source_dir/resources/tunneld/net.quillnet.Tunnel.conf" >"$work/bus.out" 2>"$work/bus.log" &
    bus_pid=$!
    wait_until 10 grep -q '^unix:' "$work/bus.out" || abort "the bus did not start: $(tail -n 5 "$work/bus.log")"
    bus_address=$(head -n 1 "$work/bus.out")
}

stop_bus() {
    [ -n "$bus_pid" ] || return 0
    kill -TERM "$bus_pid" 2>/dev/null || true
    wait "$bus_pid" 2>/dev/null || true
    bus_pid=''
}

# --- what must be gone -------------------------------------------------------

# Processes still running from this run: whatever names its folder, or
# runs in one of its namespaces.
leftover_processes() {
    local proc ns
    for proc in /proc/[0-9]*; do
        [ "$(basename "$proc")" = $$ ] && continue
        tr '\0' ' ' 2>/dev/null <"$proc/cmdline" | grep -qF "$work" && basename "$proc"
    done
    for ns in $user_ns $isp_ns $net_ns $vpn_ns; do
        [ -e "/run/netns/$ns" ] && ip netns pids "$ns"
    done
    true
}

cleanup() {
    local status=$? left=() ns
    set +e
    trap '' INT TERM HUP
    [ -n "$client_pid" ] && stop_client
    stop_bus
    "$lab_sh" portal "$lab_dir" off >/dev/null 2>&1
    "$lab_sh" stop "$lab_dir"
    # The service outlives its bus; the lab's stop ended it with the rest.
    read -r -a left <<<"$(leftover_processes | sort -u | tr '\n' ' ')"
    [ ${#left[@]} -eq 0 ] || fail "processes left: ${left[*]}"
    for ns in $user_ns $isp_ns $net_ns $vpn_ns; do
        [ ! -e "/run/netns/$ns" ] || fail "namespace left: $ns"
    done
    ! grep -qF "$work" /proc/self/mountinfo || fail "mounts left: $(grep -F "$work" /proc/self/mountinfo)"
    # Whatever a failure left is cleared all the same.
    [ ${#left[@]} -eq 0 ] || kill -KILL "${left[@]}" 2>/dev/null
    for ns in $user_ns $isp_ns $net_ns $vpn_ns; do
        ip netns del "$ns" 2>/dev/null
    done
    grep -F "$work" /proc/self/mountinfo | awk '{ print $5 }' | sort -r | xargs -r umount -l
    rm -rf "$work"
    if [ "$failures" -gt 0 ]; then
        say "$failures check(s) failed"
        exit 1
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# --- the run -----------------------------------------------------------------

lab start >"$work/lab.out" 2>&1 || abort "the lab did not start: $(tail -n 5 "$work/lab.out")"
value() { sed -n "s/^$1=//p" "$lab_dir/lab.env"; }
user_ns=$(value USER_NETNS) isp_ns=$(value ISP_NETNS) net_ns=$(value INTERNET_NETNS) vpn_ns=$(value VPN_NETNS)
mkdir -p "$work/user"
cp "$(value CLIENT_CONFIG)" "$work/user/quillnet.ovpn"
cp "$(value CA_FILE)" "$work/user/cert.crt"
chown -R nobody:nogroup "$work/user"
lab run cat /etc/resolv.conf >"$work/resolv.conf.before"

say "without a tunnel"
lab mark
check "the name is answered by" isp "$(lab resolve)"
seen=$(lab report)
[ "$(report_value "$seen" isp_queries)" -ge 1 ] || fail "the ISP's resolver logged no question: $seen"
check "IPv4 goes" direct "$(lab fetch 4)"
check "IPv6 goes" direct "$(lab fetch 6)"
[ "$(report_value "$(lab report)" leaked)" -gt 0 ] || fail "the ISP counted nothing of that traffic"

kill_openvpn() {
    local pids
    pids=$(openvpn_on_machine)
    [ -n "$pids" ] || return 1
    # shellcheck disable=SC2086
    kill -KILL $pids
}

# An outage while connected: <command...> takes the way to the server away
# and gives it back. The client must say "Reconnecting", never fail or
# disconnect, and bring the tunnel back by itself; meanwhile the ISP counts
# every packet, and probes (a name, IPv4, IPv6) one after the other find
# only the tunnel or nothing.
ride_out() { # ride_out <what> <command...>
    local what=$1 up lines started outage probes back
    shift
    up=$(($(grep -c '^adapter ' "$work/client.out") + 1))
    lines=$(wc -l <"$work/client.out")
    lab mark
    started=$(date +%s%N)
    "$@" &
    outage=$!
    # Probes one after the other beside the watch, so that neither delays
    # the other; the last one ends before the counts are read.
    rm -f "$work/probes.stop"
    (while [ ! -e "$work/probes.stop" ]; do
        echo "$(lab resolve) $(lab fetch 4) $(lab fetch 6)"
    done) >"$work/probes" 2>/dev/null &
    local prober=$! deadline=$((SECONDS + 90))
    while ! adapters_reported "$up" && [ $SECONDS -lt $deadline ]; do
        sleep 0.05
    done
    back=$((($(date +%s%N) - started) / 1000000))
    wait "$outage" || fail "$what: the outage could not be made"
    touch "$work/probes.stop"
    wait "$prober"
    probes=$(cat "$work/probes")
    adapters_reported "$up" || abort "$what: the tunnel did not come back within 90 s"
    adapter=$(sed -n 's/^adapter //p' "$work/client.out" | tail -n 1)
    say "$what: the tunnel was back after $back ms"
    echo "$what: $back ms" >>"$work/outages.txt"
    check "$what: the ISP's side gets" 0 "$(report_value "$(lab report)" leaked)"
    [ -n "$probes" ] || fail "$what: no probe was made"
    check "$what: probes outside the tunnel" "" "$(tr ' ' '\n' <<<"$probes" | grep -Ev '^(none|tunnel)?$' | tr '\n' ' ')"
    local said
    said=$(tail -n +$((lines + 1)) "$work/client.out")
    grep -q '^status 4 Reconnecting$' <<<"$said" || fail "$what: the client did not say Reconnecting: $(tr '\n' ' ' <<<"$said")"
    ! grep -qE '^(error |status (1|5) )' <<<"$said" || fail "$what: the client failed or disconnected: $(tr '\n' ' ' <<<"$said")"
    check "$what: afterwards IPv4 goes" tunnel "$(lab fetch 4)"
}

# True when <user> reaches port 10080 on the machine's loopback.
reaches() { # reaches <user> <group>
    lab run setpriv --reuid="$1" --regid="$2" --clear-groups timeout 2 \
        bash -c 'exec 3<>/dev/tcp/127.0.0.1/10080' 2>/dev/null
}

# Nothing but the VPN server's port reached the ISP's side since the mark,
# and nothing got through to anywhere.
held_back() { # held_back <when>
    local now seen
    now="name: $(lab resolve), IPv4: $(lab fetch 4), IPv6: $(lab fetch 6)"
    seen=$(lab report)
    check "$1" "name: none, IPv4: none, IPv6: none" "$now"
    check "$1 the ISP's side gets" 0 "$(report_value "$seen" leaked)"
}

# The end of every mode ($mode): the tunnel, OpenVPN and the block go, the
# resolver is what it was, and traffic goes directly again.
log_out() {
    say "log-out"
    stop_client || fail "the client ended with an error"
    device_on_machine "$adapter" && fail "$adapter is still there"
    [ -z "$(openvpn_on_machine)" ] || fail "OpenVPN still runs after the log-out"
    [ -z "$(lab run nft list table inet quillnet 2>/dev/null)" ] || fail "the block outlived the log-out"
    lab run cat /etc/resolv.conf >"$work/resolv.conf.after"
    cmp -s "$work/resolv.conf.before" "$work/resolv.conf.after" ||
        fail "after the log-out /etc/resolv.conf is not what it was: $(diff "$work/resolv.conf.before" "$work/resolv.conf.after")"
    grep -q "Quillnet: traffic outside the tunnel blocked" "$work/user/log.txt" ||
        [ "$mode" = unblocked ] || fail "the client's log does not say the block was made"
    grep -q "Quillnet: DNS through the tunnel" "$work/user/log.txt" ||
        fail "the client's log does not say where names go"
    [ "$mode" != resolved ] || grep -qE "^RevertLink $index( gone)?\$" "$work/resolved.calls" ||
        fail "resolved did not see the link reverted: $(tr '\n' ';' <"$work/resolved.calls")"
    check "after the log-out IPv4 goes" direct "$(lab fetch 4)"
    check "after the log-out IPv6 goes" direct "$(lab fetch 6)"
    check "after the log-out the name is answered by" isp "$(lab resolve)"
}

# One mode after the other, each from log-in to log-out: the service and the
# direct client blocking, the service with the block turned off, and the
# service on a machine where systemd-resolved runs (its stand-in, on a bus
# of the lab's machine, so that it knows the machine's links).
for mode in service direct unblocked resolved; do
    say "the tunnel, $mode"
    case $mode in
    service) start_bus && start_client --block ;;
    direct) start_client --direct --block ;;
    unblocked) start_client ;;
    resolved)
        stop_bus
        : >"$work/resolved.calls"
        start_bus --resolved "$work/resolved.calls" && start_client --block
        ;;
    esac
    [ "$mode" = direct ] || [ -n "$(openvpn_on_machine)" ] ||
        fail "the service's OpenVPN does not run on the lab's machine"
    device_on_machine "$adapter" || fail "$adapter is not on the lab's machine"
    check "IPv4 goes" tunnel "$(lab fetch 4)"
    if [ "$mode" = service ]; then
        check "the local network, not allowed, gets" none "$(lab lan-fetch 4)"
        # The way to the server is OpenVPN's alone.
        check "another program connecting to the VPN server's port" failed \
            "$(lab run timeout 3 bash -c "exec 3<>/dev/tcp/$(value VPN_ADDRESS)/$(value VPN_PORT)" 2>/dev/null &&
                echo connected || echo failed)"
        # The web filter's port on loopback is its user's alone (the
        # client runs as nobody): another user is turned away.
        lab run setpriv --reuid=nobody --regid=nogroup --clear-groups "$(command -v /usr/bin/python3 || command -v python3)" -c \
            'import socket, time; s = socket.socket(); s.bind(("127.0.0.1", 10080)); s.listen(8); time.sleep(30)' &
        listener=$!
        wait_until 5 reaches nobody nogroup || fail "the owner does not reach the web filter's port"
        check "another user connecting to the web filter's port" failed \
            "$(reaches daemon daemon && echo connected || echo failed)"
        kill "$listener" 2>/dev/null || true
        wait "$listener" 2>/dev/null || true
    fi

    lab mark
    if [ "$mode" = resolved ]; then
        # The stand-in resolves nothing; what counts is what it was told.
        index=$(lab run cat "/sys/class/net/$adapter/ifindex")
        dns=$(value TUNNEL_RESOLVER)
        for call in "SetLinkDNS $index 2:$dns" "SetLinkDomains $index .:true" "SetLinkDefaultRoute $index true"; do
            grep -qxF "$call" "$work/resolved.calls" || fail "resolved was not told \"$call\": $(tr '\n' ';' <"$work/resolved.calls")"
        done
        lab run cat /etc/resolv.conf | cmp -s - "$work/resolv.conf.before" ||
            fail "with resolved running /etc/resolv.conf was changed"
    else
        # The resolver is pointed at the tunnel once it is up; the client's
        # log tells when that is done.
        wait_until 10 grep -q "Quillnet: DNS through the tunnel" "$work/user/log.txt" ||
            fail "the client's log does not say where names go: $(tail -n 3 "$work/user/log.txt")"
        check "while connected the name is answered by" tunnel "$(lab resolve)"
    fi
    check "while connected the ISP's resolver hears" 0 "$(report_value "$(lab report)" isp_queries)"
    if [ "$mode" = unblocked ] || [ "$mode" = resolved ]; then
        [ "$mode" = resolved ] || check "unblocked, IPv6 goes" direct "$(lab fetch 6)"
    else
        check "while connected IPv6 goes" none "$(lab fetch 6)"

        # A reconnect: from the mark until the tunnel is back, nothing
        # but the way to the VPN server.
        lab mark
        echo reconnect >&7
        wait_for_adapter 2
        check "across a reconnect the ISP's side gets" 0 "$(report_value "$(lab report)" leaked)"

        # The machine sleeps: OpenVPN is ended, the block stays.
        echo suspend >&7
        wait_until 10 adapter_gone || abort "$adapter outlived the sleep"
        lab mark
        held_back "asleep"
        echo resume >&7
        wait_for_adapter 3

        # Outages: the client brings the tunnel back by itself, and nothing
        # goes around it meanwhile.
        ride_out "OpenVPN killed" kill_openvpn
        if [ "$mode" = service ]; then
            ride_out "the VPN server restarting" "$peers/openvpn_server.sh" restart "$lab_dir/vpn"
            ride_out "the VPN server down for 20 s" "$peers/openvpn_server.sh" restart "$lab_dir/vpn" --down 20
            # Silent but connected: OpenVPN's ping-restart (10 s here) notices.
            ride_out "the VPN server silent for 14 s" "$peers/openvpn_server.sh" pause "$lab_dir/vpn" 14
            ride_out "the uplink down for 30 s" lab outage 30
        fi
        # The machine moves to another network and back: the client sees
        # the way to the server change and reconnects at once, well before
        # OpenVPN's ping-restart (10 s here) would.
        ride_out "a move to another network ($mode)" lab move
        ride_out "a move back ($mode)" lab move
    fi

    log_out
done

# A client that crashes leaves its protection standing (it fails closed);
# the next client lifts it when its user logs out.
say "a crashed client"
start_client --block
kill -KILL "$client_pid"
wait "$client_pid" 2>/dev/null || true
exec 7>&-
client_pid=''
wait_until 10 adapter_gone || abort "the service let $adapter outlive its client"
lab mark
held_back "after the client crashed"
# Another user of the machine cannot lift it: that is an administrator's
# decision (refused here), however the session's polkit answers for
# connecting.
if lifted=$(lab run setpriv --reuid=daemon --regid=daemon --clear-groups env \
    DBUS_SYSTEM_BUS_ADDRESS="$bus_address" dbus-send --system --print-reply --dest=net.quillnet.Tunnel \
    /net/quillnet/Tunnel net.quillnet.Tunnel.Release 2>&1); then
    fail "another user lifted the block: $lifted"
fi
grep -q "Error.NotAuthorized" <<<"$lifted" || fail "another user's Release: $lifted"
# Nor by starting a tunnel of their own without the block.
mkdir -p "$work/other"
cp "$work/user/quillnet.ovpn" "$work/user/cert.crt" "$work/other/"
chown -R daemon:daemon "$work/other"
(
    cd "$work/other"
    export HOME=$work/other XDG_CONFIG_HOME=$work/other DBUS_SYSTEM_BUS_ADDRESS=$bus_address
    (sleep 8 && echo stop) | "$lab_sh" run "$lab_dir" -- setpriv --reuid=daemon --regid=daemon \
        --clear-groups "$client" alice secret1
) >"$work/other.out" 2>&1 || true
grep -q "^error .*not allowed to connect" "$work/other.out" ||
    fail "another user's start without the block: $(tr '\n' ' ' <"$work/other.out")"
held_back "after another user's Release and start without the block"
# The user starts the client again and quits at its login window.
(
    cd "$work/user"
    export HOME=$work/user XDG_CONFIG_HOME=$work/user DBUS_SYSTEM_BUS_ADDRESS=$bus_address
    exec "$lab_sh" run "$lab_dir" -- setpriv --reuid=nobody --regid=nogroup --clear-groups \
        "$client" --quit alice secret1
) >"$work/client.out" 2>"$work/client.log" </dev/null || fail "the next client ended with an error"
grep -q "Quillnet: traffic outside the tunnel no longer blocked" "$work/user/log.txt" ||
    fail "the next client's log does not say the block was lifted: $(tail -n 3 "$work/user/log.txt")"
[ -z "$(lab run nft list table inet quillnet 2>/dev/null)" ] || fail "the next log-out left the block"
lab run cat /etc/resolv.conf | cmp -s - "$work/resolv.conf.before" || fail "the next log-out left /etc/resolv.conf changed"
check "after the next log-out IPv4 goes" direct "$(lab fetch 4)"

# An administrator may lift a user's protection between two of its runs
# (while the machine sleeps, here): that user's client hears of it, says so
# and no longer counts on the block.
say "an administrator lifts the protection"
start_client --block
echo suspend >&7
wait_until 15 adapter_gone || abort "the tunnel did not close for the sleep"
[ -n "$(lab run nft list table inet quillnet 2>/dev/null)" ] || abort "the sleep lifted the block"
lifted=$(lab run env DBUS_SYSTEM_BUS_ADDRESS="$bus_address" dbus-send --system --print-reply \
    --dest=net.quillnet.Tunnel /net/quillnet/Tunnel net.quillnet.Tunnel.Release 2>&1) ||
    fail "root could not lift the protection: $lifted"
wait_until 10 grep -q '^error ' "$work/client.out" ||
    fail "the user's client was not told: $(tail -n 3 "$work/client.out" | tr '\n' ' ')"
grep -q "Quillnet: the protection was lifted: another user lifted the protection" "$work/user/log.txt" ||
    fail "the user's log does not say who lifted it: $(tail -n 3 "$work/user/log.txt")"
[ -z "$(lab run nft list table inet quillnet 2>/dev/null)" ] || fail "the block stood after it was lifted"
log_out

# The local network allowed: the machine's own networks are reached
# directly, and nothing beyond them; the internet host behind the ISP
# only through the tunnel.
say "the tunnel, the local network allowed"
mode=lan
# A bus without the resolved stand-in, as in the first modes.
stop_bus
start_bus && start_client --block --local-network
lab mark
for probe in "fetch 4 tunnel" "fetch 6 none" "lan-fetch 4 direct" "lan-fetch 6 direct"; do
    read -r how family expected <<<"$probe"
    check "the local network allowed, $how $family goes" "$expected" "$(lab "$how" "$family")"
done
seen=$(lab report)
check "the local network allowed, packets around the tunnel (all to the local network)" \
    "$(report_value "$seen" to_lan)" "$(report_value "$seen" leaked)"
log_out

# The user's click on "sign in"; $opened_at is the client's line count once
# it has opened the way to the portal.
click_sign_in() {
    local before
    before=$(lines_said)
    echo sign-in >&7
    wait_for_line 10 "$before" "sign-in open"
    opened_at=$(lines_said)
}

sign_in_closed() { [ "$(grep '^sign-in ' "$work/client.out" | tail -n 1)" = "sign-in none" ]; }

# A captive portal: the machine moves into a hotel's network, which lets
# nothing through until the user signs in at its page. The client says so
# once its tunnel has been reconnecting for a while, opens the way to the
# page only on the user's click and only for a while, and the block is
# whole again once the tunnel is back.
say "the tunnel, behind a captive portal"
mode=portal
# On the local network's bus.
start_client --block --sign-in-seconds 4 --sign-in-hint-ms 2000
lab portal on
before=$(lines_said)
lab move
wait_for_line 30 "$before" "sign-in needed"
lab mark
held_back "behind the portal, before the click,"

click_sign_in
check "the sign-in opening, IPv4 goes" portal "$(lab fetch 4)"
check "the sign-in opening, the name is answered by" isp "$(lab resolve)"
# Not signed in: the opening runs out, and the hint is back.
wait_for_line 15 "$opened_at" "sign-in needed"
lab mark
held_back "behind the portal, after the opening ran out,"

click_sign_in
up=$(($(grep -c '^adapter ' "$work/client.out") + 1))
started=$(date +%s%N)
signed=$(lab run curl -sS --noproxy '*' --max-time 3 -d accept=yes "http://$(value INTERNET_ADDRESS)/" 2>&1) ||
    true
[ "$signed" = "Signed in" ] || abort "signing in at the portal: $signed (portal $(lab portal-state))"
wait_for_adapter "$up"
back=$((($(date +%s%N) - started) / 1000000))
say "sign-in: the tunnel was back after $back ms"
echo "sign-in: $back ms" >>"$work/outages.txt"
wait_until 10 sign_in_closed ||
    fail "the tunnel is back, the sign-in opening not closed: $(grep '^sign-in ' "$work/client.out" | tr '\n' ' ')"
lab mark
check "signed in, IPv4 goes" tunnel "$(lab fetch 4)"
check "signed in, the ISP's side gets" 0 "$(report_value "$(lab report)" leaked)"
lab portal off
log_out

# A hostile server names the machine's uplink where OpenVPN prints the
# server's own text: at the end of the reason of a refused login, and in a
# pushed echo at every connection. The block never lets anything but the
# tunnel's own device through.
say "a hostile server naming the uplink"
mode=hostile
"$peers/openvpn_server.sh" hostile "$lab_dir/vpn" "TUN/TAP device uplink opened" >/dev/null
mv "$lab_dir/vpn/users.txt" "$lab_dir/vpn/users.txt.kept"
: >"$lab_dir/vpn/users.txt"
launch_client --block
wait_until 30 grep -q '^error ' "$work/client.out" ||
    fail "the refused login said no error: $(tr '\n' ' ' <"$work/client.out")"
stop_client || true
mv "$lab_dir/vpn/users.txt.kept" "$lab_dir/vpn/users.txt"
start_client --block
# Both clients' logs: the first one's was moved aside when the second began.
logs=$(cat "$work/user/log.old" "$work/user/log.txt")
for said in "AUTH_FAILED,TUN/TAP device uplink opened" "ECHO-PULL:msg TUN/TAP device uplink opened"; do
    grep -qF "$said" <<<"$logs" || fail "the server's text never reached the client: $said"
done
! lab run nft list table inet quillnet | grep -q '"uplink"' || fail "the block lets the uplink through"
! grep "Quillnet: traffic outside the tunnel blocked" <<<"$logs" | grep -q uplink ||
    fail "a block let the uplink through: $(grep uplink <<<"$logs" | tr '\n' ' ')"
lab mark
check "with the hostile server IPv6 goes" none "$(lab fetch 6)"
check "with the hostile server the ISP's side gets" 0 "$(report_value "$(lab report)" leaked)"
log_out
