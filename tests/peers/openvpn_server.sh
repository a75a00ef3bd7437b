#!/bin/bash
# A real OpenVPN server for the tests, in a network namespace of its own,
# reachable from the root namespace over a veth pair. Needs root.
#
#   openvpn_server.sh start <workdir> [--users NAME:PW[,NAME:PW...]] [--net N]
#                                     [--port PORT] [--location TEXT]
#                                     [--uplink-netns NS] [--redirect-gateway]
#                                     [--push-dns]
#                                     [--keepalive "INTERVAL TIMEOUT"]
#   openvpn_server.sh stop <workdir> [--net N]
#   openvpn_server.sh restart <workdir> [--down SECONDS]
#                                     the server goes (SIGTERM) and comes back
#                                     after SECONDS (default 0), as a server
#                                     restarted by its operator
#   openvpn_server.sh pause <workdir> SECONDS
#                                     the server stops answering for SECONDS
#                                     (SIGSTOP, SIGCONT); its connections stay
#   openvpn_server.sh hostile <workdir> TEXT
#                                     the server turns hostile: it pushes
#                                     "echo msg TEXT" and gives TEXT as the
#                                     reason of every refused login; restarts
#
# Each running server owns one number N: the namespace
# quillnet-vpn-N, the veth end qnvpnN (10.99.N.1/24) in the root namespace,
# veth0 (10.99.N.2/24) inside, and the tunnel network 10.99.(128+N).0/26 (the
# server takes .1, clients get .2 on). N runs from 1 to 127; without --net a
# free one is claimed, and since creating the namespace is the claim, parallel
# runs never share one.
#
# "start" prints KEY=VALUE lines (also kept in <workdir>/server.env) once the
# server listens; "stop" ends everything start created and leaves <workdir>
# to the caller. Stop is safe to repeat and cleans up after a failed start;
# given --net N it also cleans up when <workdir> is gone already.
#
# A server that stands on a network of its own rather than next to the
# tests: --uplink-netns NS puts the veth's other end (with 10.99.N.1) into
# the existing namespace NS instead of the root namespace, and the server
# routes everything through it. --redirect-gateway pushes "redirect-gateway
# def1" and forwards and masquerades the clients' traffic out of the server's
# veth, so that a host behind NS sees it come from 10.99.N.2. --push-dns
# pushes the server's own tunnel address (TUNNEL_ADDRESS) as the DNS server;
# whatever answers there is the caller's.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=SCRIPTDIR/script_support.sh
source "$here/script_support.sh"

netns_of() { echo "quillnet-vpn-$1"; }
host_link_of() { echo "qnvpn$1"; }

tunnel_net_of() { echo "10.99.$((128 + $1))"; }

# True when nothing in the root namespace uses N's networks or link name.
net_unused() {
    [ -z "$(ip -o -4 addr show to "10.99.$1.0/24")" ] &&
        [ -z "$(ip -o -4 addr show to "$(tunnel_net_of "$1").0/24")" ] &&
        ! ip link show "$(host_link_of "$1")" >/dev/null 2>&1
}

# Claims N (the requested one or any free one): creates its namespace, sets
# $net_number and records N in <workdir>/net at once, so that stop finds it.
claim_net() {
    local workdir=$1 wanted=$2 first n i
    if [ -n "$wanted" ]; then
        if ! net_unused "$wanted" || ! ip netns add "$(netns_of "$wanted")" 2>/dev/null; then
            die "network $wanted (10.99.$wanted.0/24, $(netns_of "$wanted")) is in use"
        fi
        n=$wanted
    else
        first=$(($$ % 127))
        for ((i = 0; i < 127; i++)); do
            n=$(((first + i) % 127 + 1))
            net_unused "$n" && ip netns add "$(netns_of "$n")" 2>/dev/null && break
            n=''
        done
        [ -n "$n" ] || die "all 127 test networks are in use"
    fi
    echo "$n" >"$workdir/net"
    net_number=$n
}

# The server's pid if it still runs, also when its namespace is gone.
server_pid() {
    local workdir=$1 pid
    pid=$(cat "$workdir/server.pid" 2>/dev/null) || return 0
    running "$pid" || return 0
    tr '\0' ' ' <"/proc/$pid/cmdline" | grep -qF -- "--config $workdir/server.conf" && echo "$pid"
    return 0
}

stop_server() {
    local workdir=$1 n=${2:-} ns pids
    [ -f "$workdir/net" ] && n=$(cat "$workdir/net")
    [ -n "$n" ] || return 0
    ns=$(netns_of "$n")
    pids=$(server_pid "$workdir")
    if [ -e "/run/netns/$ns" ]; then
        pids+=" $(ip netns pids "$ns" | tr '\n' ' ')"
    fi
    read -r -a pids <<<"$pids"
    end_processes "${pids[@]}"
    ip link del "$(host_link_of "$n")" 2>/dev/null || true
    ip netns del "$ns" 2>/dev/null || true
    rm -f "$workdir/net" "$workdir/server.env" "$workdir/server.pid"
}

wait_until_listening() {
    local ns=$1 port=$2 pidfile=$3 i
    for ((i = 0; i < 200; i++)); do
        if [ -n "$(ip netns exec "$ns" ss -Hltn "sport = :$port")" ]; then
            return 0
        fi
        if [ -s "$pidfile" ] && ! running "$(cat "$pidfile")"; then
            break
        fi
        sleep 0.05
    done
    return 1
}

start_server() {
    local workdir=$1
    shift
    local users=alice:secret1 wanted='' port=1194 location='Test Lab'
    local uplink_ns='' redirect='' push_dns='' keepalive='10 60'
    while [ $# -gt 0 ]; do
        case $1 in
        --keepalive) keepalive=${2:?}; shift 2 ;;
        --users) users=${2:?}; shift 2 ;;
        --net) wanted=${2:?}; shift 2 ;;
        --port) port=${2:?}; shift 2 ;;
        --location) location=${2:?}; shift 2 ;;
        --uplink-netns) uplink_ns=${2:?}; shift 2 ;;
        --redirect-gateway) redirect=1; shift ;;
        --push-dns) push_dns=1; shift ;;
        *) die "unknown option $1" ;;
        esac
    done
    [ -z "$wanted" ] || [[ $wanted =~ ^[0-9]+$ && $wanted -ge 1 && $wanted -le 127 ]] ||
        die "--net wants 1..127"
    [ -z "$uplink_ns" ] || [ -e "/run/netns/$uplink_ns" ] || die "no network namespace $uplink_ns"

    mkdir -p "$workdir"
    workdir=$(cd "$workdir" && pwd)
    [ ! -e "$workdir/net" ] || die "$workdir already has a server; stop it first"

    # Expanded now: the trap may run where this function's locals are gone.
    # shellcheck disable=SC2064
    trap "stop_server $(printf %q "$workdir")" EXIT
    trap 'exit 1' INT TERM HUP
    local net_number n ns link net
    claim_net "$workdir" "$wanted"
    n=$net_number
    ns=$(netns_of "$n")
    link=$(host_link_of "$n")
    net=10.99.$n

    local host_ip=(ip)
    [ -n "$uplink_ns" ] && host_ip=(ip -n "$uplink_ns")
    ip link add "$link" type veth peer name veth0 netns "$ns"
    [ -n "$uplink_ns" ] && ip link set "$link" netns "$uplink_ns"
    "${host_ip[@]}" addr add "$net.1/24" dev "$link"
    "${host_ip[@]}" link set "$link" up
    ip -n "$ns" addr add "$net.2/24" dev veth0
    ip -n "$ns" link set veth0 up
    ip -n "$ns" link set lo up
    [ -n "$uplink_ns" ] && ip -n "$ns" route add default via "$net.1"
    [ -n "$redirect" ] && forward_clients "$ns" "$(tunnel_net_of "$n").0/26"

    "$here/openvpn_pki.sh" "$workdir"
    tr ',' '\n' <<<"$users" >"$workdir/users.txt"
    write_server_config "$workdir" "$net" "$(tunnel_net_of "$n")" "$port" "$keepalive"
    [ -n "$redirect" ] && echo 'push "redirect-gateway def1"' >>"$workdir/server.conf"
    [ -n "$push_dns" ] && echo "push \"dhcp-option DNS $(tunnel_net_of "$n").1\"" >>"$workdir/server.conf"
    "$here/openvpn_client_config.sh" "$workdir" "$net.2" "$port" "${users%%:*}" "$location"

    ip netns exec "$ns" openvpn --config "$workdir/server.conf" ||
        die "openvpn did not start: $(tail -n 5 "$workdir/server.log" 2>/dev/null)"
    wait_until_listening "$ns" "$port" "$workdir/server.pid" ||
        die "openvpn does not listen on $net.2:$port: $(tail -n 5 "$workdir/server.log")"

    cat >"$workdir/server.env" <<EOF
NET=$n
NETNS=$ns
HOST_ADDRESS=$net.1
SERVER_ADDRESS=$net.2
SERVER_PORT=$port
REFUSED_PORT=$((port + 1))
TUNNEL_NETWORK=$(tunnel_net_of "$n").0/26
TUNNEL_ADDRESS=$(tunnel_net_of "$n").1
CA_FILE=$workdir/ca.crt
CLIENT_CONFIG=$workdir/client.ovpn
CONFIG_BODY=$workdir/config-body.txt
SERVER_LOG=$workdir/server.log
SERVER_PID=$(cat "$workdir/server.pid")
EOF
    cat "$workdir/server.env"
    trap - EXIT INT TERM HUP
}

# The clients' traffic leaves through veth0 as the server's own; the table
# goes with the namespace.
forward_clients() {
    local ns=$1 clients=$2
    ip netns exec "$ns" sysctl -qw net.ipv4.ip_forward=1
    ip netns exec "$ns" nft -f - <<EOF
table ip quillnet_test_vpn {
    chain postrouting {
        type nat hook postrouting priority srcnat; policy accept;
        oifname "veth0" ip saddr $clients masquerade
    }
}
EOF
}

write_server_config() {
    local workdir=$1 net=$2 tunnel_net=$3 port=$4 keepalive=$5
    cat >"$workdir/server.conf" <<EOF
local $net.2
port $port
proto tcp-server
dev tun
topology subnet
server $tunnel_net.0 255.255.255.192
ca $workdir/ca.crt
cert $workdir/server.crt
key $workdir/server.key
dh none
verify-client-cert none
username-as-common-name
duplicate-cn
script-security 2
auth-user-pass-verify "$here/openvpn_check_user.sh $workdir/users.txt" via-file
tmp-dir $workdir
keepalive $keepalive
disable-dco
verb 3
daemon quillnet-test-openvpn
log-append $workdir/server.log
writepid $workdir/server.pid
EOF
}

server_value() { sed -n "s/^$2=//p" "$1/server.env"; }

restart_server() {
    local workdir=$1 down=$2 ns port
    ns=$(server_value "$workdir" NETNS)
    port=$(server_value "$workdir" SERVER_PORT)
    [ -n "$ns" ] || die "$workdir has no running server"
    end_processes "$(cat "$workdir/server.pid")"
    sleep "$down"
    rm -f "$workdir/server.pid"
    ip netns exec "$ns" openvpn --config "$workdir/server.conf" ||
        die "openvpn did not start again: $(tail -n 5 "$workdir/server.log")"
    wait_until_listening "$ns" "$port" "$workdir/server.pid" ||
        die "openvpn does not listen again: $(tail -n 5 "$workdir/server.log")"
    sed -i "s/^SERVER_PID=.*/SERVER_PID=$(cat "$workdir/server.pid")/" "$workdir/server.env"
}

case ${1:-} in
restart)
    [ $# -eq 2 ] || { [ $# -eq 4 ] && [ "$3" = --down ]; } ||
        die "usage: openvpn_server.sh restart <workdir> [--down SECONDS]"
    restart_server "$2" "${4:-0}"
    ;;
pause)
    [ $# -eq 3 ] || die "usage: openvpn_server.sh pause <workdir> SECONDS"
    pid=$(cat "$2/server.pid")
    kill -STOP "$pid"
    sleep "$3"
    kill -CONT "$pid"
    ;;
hostile)
    [ $# -eq 3 ] || die "usage: openvpn_server.sh hostile <workdir> TEXT"
    printf 'push "echo msg %s"\n' "$3" >>"$2/server.conf"
    printf %s "$3" >"$2/fail_reason"
    restart_server "$2" 0
    ;;
start)
    [ $# -ge 2 ] || die "usage: openvpn_server.sh start <workdir> [options]"
    start_server "${@:2}"
    ;;
stop)
    if ! { [ $# -eq 2 ] || { [ $# -eq 4 ] && [ "$3" = --net ]; }; }; then
        die "usage: openvpn_server.sh stop <workdir> [--net N]"
    fi
    workdir=$2
    [ -d "$workdir" ] && workdir=$(cd "$workdir" && pwd)
    stop_server "$workdir" "${4:-}"
    ;;
*)
    die "usage: openvpn_server.sh start|stop <workdir>"
    ;;
esac
