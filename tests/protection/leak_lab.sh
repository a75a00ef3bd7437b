#!/bin/bash
# The leak lab: a user's machine on an ISP's network, an internet host
# behind the ISP and a real OpenVPN server reached through it, all in
# network namespaces of their own, to see what leaves the machine while its
# tunnel is up, after the tunnel broke and after the user logged out. Needs
# root.
#
#   leak_lab.sh start <workdir> [--users NAME:PW[,NAME:PW...]]
#                                    prints KEY=VALUE lines (also <workdir>/lab.env);
#                                    VPN_USER and VPN_PASSWORD are the first
#                                    account the VPN server takes (default
#                                    alice:secret1)
#   leak_lab.sh stop <workdir>       ends everything start made; safe to repeat
#   leak_lab.sh run <workdir> [--] COMMAND...
#                                    COMMAND on the user's machine
#   leak_lab.sh mark <workdir>       zero for the counts of "report"
#   leak_lab.sh report <workdir>     what the ISP saw since the mark:
#       isp_queries=N      questions the ISP's resolver got
#       tunnel_queries=N   questions the VPN server's resolver got
#       leaked=N           packets from the machine to anything on the ISP's
#                          side but the VPN server's port (neighbour discovery
#                          and multicast housekeeping not counted)
#       to_vpn=N           packets from the machine to the VPN server's port
#       to_lan=N           those of "leaked" that went to the machine's own
#                          networks (10.98.0.0/24, 10.96.0.0/24, fd5a:98::/64,
#                          fe80::/64): the local network
#   leak_lab.sh fetch <workdir> 4|6  asks the internet host over IPv4 or IPv6
#                                    who is asking: prints "direct" (the
#                                    machine's own address, on either
#                                    network), "tunnel", "portal" (the
#                                    captive portal's page), "none" (no
#                                    answer within 3 s) or "other ANSWER"
#   leak_lab.sh lan-fetch <workdir> 4|6
#                                    the same of the LAN host (the ISP's own
#                                    addresses on the machine's network)
#   leak_lab.sh move <workdir>       the machine moves to another network: its
#                                    IPv4 address and gateway change (10.98.0.x
#                                    and 10.96.0.x in turn), the old ones gone
#                                    from it; a second move moves it back
#   leak_lab.sh outage <workdir> S   the machine's uplink goes down for S
#                                    seconds; it comes back as the network
#                                    manager would bring it (addresses, routes)
#   leak_lab.sh resolve <workdir>    looks PROBE_NAME up the way programs do
#                                    (libc, /etc/resolv.conf): prints "isp",
#                                    "tunnel", "none" or "other ADDRESS"
#   leak_lab.sh portal <workdir> on|off
#                                    a captive portal, as in a hotel: while
#                                    on, the ISP forwards nothing from the
#                                    machine, and lab_portal.py (on the ISP)
#                                    answers whatever the machine asks of any
#                                    web server on port 80 with its sign-in
#                                    page; a POST there signs in, that is
#                                    turns the portal off. The ISP's resolver
#                                    keeps answering. "off" is safe to repeat
#   leak_lab.sh portal-state <workdir>
#                                    prints "on" or "off"
#
# The network (the addresses are the lab's own: they live only inside its
# namespaces, so parallel labs do not collide):
#
#   user machine (quillnet-user-N)  uplink 10.98.0.2/24 fd5a:98::2/64
#       |
#   ISP (quillnet-isp-N)            user0 10.98.0.1 fd5a:98::1 (its resolver,
#       |          |                and the LAN host: HTTP on 80 as the
#       |          |                internet host's), the portal on 8080,
#       |          |                net0 10.97.0.1 fd5a:97::1, forwarding
#       |       VPN server (openvpn_server.sh, quillnet-vpn-M): 10.99.M.2,
#       |          pushes redirect-gateway def1 and its resolver on
#       |          TUNNEL_ADDRESS, masquerades its clients
#   internet host (quillnet-net-N)  eth0 10.97.0.2 fd5a:97::2, HTTP on 80
#
# The user's machine also has a mount namespace of its own (kept in
# <workdir>/ns/mnt) in which /etc is an overlay, so that /etc/resolv.conf
# (a plain file naming the ISP's resolver) can be replaced by rename as on a
# real machine without touching this one's; /run is an empty tmpfs and /sys
# shows the machine's own network devices. "run" enters both namespaces;
# the tunnel service can be started there by a bus through an Exec line
# that begins with "leak_lab.sh run <workdir> --".
#
# The ISP counts in its own namespace (table inet quillnet_lab), so no
# firewall on the user's machine can change what it sees.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
peers=$here/../peers
# shellcheck source=SCRIPTDIR/../peers/script_support.sh
source "$peers/script_support.sh"
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3

readonly PROBE_NAME=probe.quillnet-lab.test
readonly ISP_ANSWER=198.51.100.1 TUNNEL_ANSWER=198.51.100.2
readonly USER_V4=10.98.0.2 USER_V6=fd5a:98::2 ISP_V4=10.98.0.1 ISP_V6=fd5a:98::1
readonly INTERNET_V4=10.97.0.2 INTERNET_V6=fd5a:97::2
# The machine's address after a move (see move).
readonly MOVED_V4=10.96.0.2
readonly PORTAL_TABLE=quillnet_portal PORTAL_PORT=8080 PORTAL_WORDS='Sign in to this network'

user_ns_of() { echo "quillnet-user-$1"; }
isp_ns_of() { echo "quillnet-isp-$1"; }
net_ns_of() { echo "quillnet-net-$1"; }

# Claims a lab number: creating the ISP's namespace is the claim.
claim_lab() {
    local workdir=$1 first n i
    first=$(($$ % 127))
    for ((i = 0; i < 127; i++)); do
        n=$(((first + i) % 127 + 1))
        if ip netns add "$(isp_ns_of "$n")" 2>/dev/null; then
            echo "$n" >"$workdir/lab-net"
            lab=$n
            return 0
        fi
    done
    die "all 127 labs are in use"
}

lab_value() { # lab_value <workdir> <key>
    sed -n "s/^$2=//p" "$1/lab.env"
}

# Every namespace of the lab that still exists.
lab_namespaces() {
    local n=$1 ns
    for ns in "$(user_ns_of "$n")" "$(net_ns_of "$n")" "$(isp_ns_of "$n")"; do
        [ -e "/run/netns/$ns" ] && echo "$ns"
    done
    true
}

stop_lab() {
    local workdir=$1 n ns pids=()
    n=$(cat "$workdir/lab-net" 2>/dev/null) || n=''
    if [ -n "$n" ]; then
        for ns in $(lab_namespaces "$n"); do
            read -r -a found <<<"$(ip netns pids "$ns" | tr '\n' ' ')"
            pids+=("${found[@]}")
        done
        end_processes "${pids[@]}"
    fi
    [ -d "$workdir/vpn" ] && "$peers/openvpn_server.sh" stop "$workdir/vpn" >/dev/null
    if mountpoint -q "$workdir/ns/mnt" 2>/dev/null; then umount "$workdir/ns/mnt"; fi
    if mountpoint -q "$workdir/ns" 2>/dev/null; then umount "$workdir/ns"; fi
    if [ -n "$n" ]; then
        for ns in $(lab_namespaces "$n"); do
            ip netns del "$ns"
        done
    fi
    rm -rf "${workdir:?}/lab-net" "${workdir:?}/lab.env" "${workdir:?}/ns" "${workdir:?}/etc"
}

# Starts a peer program in a namespace and waits for its READY line.
start_peer() { # start_peer <namespace> <name> <program> <arguments...>
    local ns=$1 name=$2 i pid
    shift 2
    : >"$workdir/$name.out"
    ip netns exec "$ns" setsid "$python" "$@" >"$workdir/$name.out" 2>"$workdir/$name.log" &
    pid=$!
    for ((i = 0; i < 100; i++)); do
        grep -q '^READY' "$workdir/$name.out" && return 0
        running "$pid" || break
        sleep 0.05
    done
    die "$name did not start: $(tail -n 5 "$workdir/$name.log")"
}

link_pair() { # link_pair <ns a> <name a> <ns b> <name b>
    ip link add "$2" netns "$1" type veth peer name "$4" netns "$3"
    ip -n "$1" link set "$2" up
    ip -n "$3" link set "$4" up
}

# IPv6 addresses without duplicate detection: the lab's network is its
# own, and waiting for it would only slow every start.
address() { # address <ns> <device> <IPv4 address/prefix> <IPv6 address/prefix>
    ip -n "$1" addr add "$3" dev "$2"
    ip -n "$1" addr add "$4" dev "$2" nodad
}

make_network() {
    local ns
    for ns in "$user_ns" "$net_ns"; do
        ip netns add "$ns"
    done
    for ns in "$user_ns" "$isp_ns" "$net_ns"; do
        ip -n "$ns" link set lo up
        ip netns exec "$ns" sysctl -qw net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.default.rp_filter=0
    done
    ip netns exec "$isp_ns" sysctl -qw net.ipv4.ip_forward=1 net.ipv6.conf.all.forwarding=1

    link_pair "$user_ns" uplink "$isp_ns" user0
    address "$user_ns" uplink "$USER_V4/24" "$USER_V6/64"
    address "$isp_ns" user0 "$ISP_V4/24" "$ISP_V6/64"
    ip -n "$user_ns" route add default via "$ISP_V4"
    ip -n "$user_ns" -6 route add default via "$ISP_V6"

    link_pair "$net_ns" eth0 "$isp_ns" net0
    address "$net_ns" eth0 "$INTERNET_V4/24" "$INTERNET_V6/64"
    address "$isp_ns" net0 10.97.0.1/24 fd5a:97::1/64
    ip -n "$net_ns" route add default via 10.97.0.1
    ip -n "$net_ns" -6 route add default via fd5a:97::1
}

start_vpn_server() {
    "$peers/openvpn_server.sh" start "$workdir/vpn" --uplink-netns "$isp_ns" --users "$users" \
        --redirect-gateway --push-dns --keepalive "2 10" >"$workdir/vpn.out" 2>&1 ||
        die "the VPN server did not start: $(tail -n 5 "$workdir/vpn.out")"
    vpn_value() { sed -n "s/^$1=//p" "$workdir/vpn/server.env"; }
    vpn_ns=$(vpn_value NETNS)
    vpn_address=$(vpn_value SERVER_ADDRESS)
    vpn_port=$(vpn_value SERVER_PORT)
    tunnel_address=$(vpn_value TUNNEL_ADDRESS)
}

# What the ISP sees coming from the machine, counted before anything else
# in its namespace looks at it.
start_isp_counters() {
    ip netns exec "$isp_ns" nft -f - <<EOF
table inet quillnet_lab {
    counter link {}
    counter to_vpn {}
    counter leaked {}
    counter to_lan {}
    chain from_user {
        type filter hook prerouting priority raw; policy accept;
        iifname != "user0" accept
        icmpv6 type { nd-router-solicit, nd-neighbor-solicit, nd-neighbor-advert, mld-listener-report, mld2-listener-report } counter name link accept
        ip6 daddr ff00::/8 counter name link accept
        ip daddr $vpn_address tcp dport $vpn_port counter name to_vpn accept
        # Counted, not decided: "leaked" still counts these too.
        ip daddr { 10.98.0.0/24, 10.96.0.0/24 } counter name to_lan
        ip6 daddr { fd5a:98::/64, fe80::/64 } counter name to_lan
        counter name leaked accept
    }
}
EOF
}

# The machine's mount namespace: /etc an overlay on this machine's, with a
# resolv.conf of the lab's.
make_machine() {
    mkdir -p "$workdir/ns" "$workdir/etc/upper" "$workdir/etc/work"
    mount --bind "$workdir/ns" "$workdir/ns"
    mount --make-private "$workdir/ns"
    touch "$workdir/ns/mnt"
    # shellcheck disable=SC2016 # expanded by the inner shell
    nsenter --net="/run/netns/$user_ns" unshare --mount="$workdir/ns/mnt" --propagation private \
        /bin/sh -euc '
        mount -t overlay quillnet-lab-etc -o "lowerdir=/etc,upperdir=$1/upper,workdir=$1/work" /etc
        mount -t tmpfs -o mode=0755 quillnet-lab-run /run
        mount -t sysfs quillnet-lab-sys /sys
        rm -f /etc/resolv.conf
        printf "nameserver %s\nnameserver %s\noptions timeout:1 attempts:1\n" "$2" "$3" >/etc/resolv.conf
        # Names only from files and DNS: no resolver of this machine answers.
        sed -i "s/^hosts:.*/hosts: files dns/" /etc/nsswitch.conf
        ' sh "$workdir/etc" "$ISP_V4" "$ISP_V6"
}

start_lab() {
    workdir=$1
    shift
    users=alice:secret1
    while [ $# -gt 0 ]; do
        case $1 in
        --users) users=${2:?--users wants NAME:PW[,NAME:PW...]}; shift 2 ;;
        *) die "unknown option $1" ;;
        esac
    done
    mkdir -p "$workdir"
    workdir=$(cd "$workdir" && pwd)
    [ ! -e "$workdir/lab-net" ] || die "$workdir already has a lab; stop it first"
    trap 'stop_lab "$workdir"' EXIT
    trap 'exit 1' INT TERM HUP

    local lab first_account=${users%%,*}
    claim_lab "$workdir"
    user_ns=$(user_ns_of "$lab") isp_ns=$(isp_ns_of "$lab") net_ns=$(net_ns_of "$lab")
    make_network
    start_vpn_server
    start_isp_counters
    make_machine
    : >"$workdir/isp-queries.log"
    : >"$workdir/tunnel-queries.log"
    start_peer "$isp_ns" isp-resolver "$here/lab_resolver.py" --listen "$ISP_V4" --listen "$ISP_V6" \
        --name "$PROBE_NAME" --a "$ISP_ANSWER" --aaaa 2001:db8:1::1 --log "$workdir/isp-queries.log"
    start_peer "$vpn_ns" tunnel-resolver "$here/lab_resolver.py" --listen "$tunnel_address" \
        --name "$PROBE_NAME" --a "$TUNNEL_ANSWER" --aaaa 2001:db8:2::1 --log "$workdir/tunnel-queries.log"
    start_peer "$net_ns" internet "$here/lab_echo_http.py"
    start_peer "$isp_ns" lan-host "$here/lab_echo_http.py"
    # Harmless while the portal is off: nothing is sent its way.
    start_peer "$isp_ns" portal "$here/lab_portal.py" --port "$PORTAL_PORT" --table "$PORTAL_TABLE" \
        --title "$PORTAL_WORDS"

    cat >"$workdir/lab.env" <<EOF
LAB=$lab
USER_NETNS=$user_ns
ISP_NETNS=$isp_ns
INTERNET_NETNS=$net_ns
VPN_NETNS=$vpn_ns
MOUNT_NS=$workdir/ns/mnt
USER_ADDRESS=$USER_V4
USER_ADDRESS6=$USER_V6
ISP_RESOLVER=$ISP_V4
INTERNET_ADDRESS=$INTERNET_V4
INTERNET_ADDRESS6=$INTERNET_V6
VPN_ADDRESS=$vpn_address
VPN_PORT=$vpn_port
TUNNEL_RESOLVER=$tunnel_address
PROBE_NAME=$PROBE_NAME
CLIENT_CONFIG=$(sed -n 's/^CLIENT_CONFIG=//p' "$workdir/vpn/server.env")
CA_FILE=$(sed -n 's/^CA_FILE=//p' "$workdir/vpn/server.env")
VPN_USER=${first_account%%:*}
VPN_PASSWORD=${first_account#*:}
EOF
    mark "$workdir"
    cat "$workdir/lab.env"
    trap - EXIT INT TERM HUP
}

need_lab() {
    [ -f "$1/lab.env" ] || die "no lab runs in $1"
}

run_on_machine() { # run_on_machine <workdir> COMMAND...
    local workdir=$1
    shift
    need_lab "$workdir"
    # Entering a mount namespace moves to its root: stay where the caller is.
    exec nsenter --net="/run/netns/$(lab_value "$workdir" USER_NETNS)" \
        --mount="$workdir/ns/mnt" --wd="$PWD" -- "$@"
}

counter_packets() { # counter_packets <workdir> <counter name>
    ip netns exec "$(lab_value "$1" ISP_NETNS)" nft list counter inet quillnet_lab "$2" |
        sed -n 's/.*packets \([0-9]*\).*/\1/p'
}

mark() {
    local workdir=$1
    ip netns exec "$(lab_value "$workdir" ISP_NETNS)" nft reset counters table inet quillnet_lab >/dev/null
    {
        echo "isp_queries=$(wc -l <"$workdir/isp-queries.log")"
        echo "tunnel_queries=$(wc -l <"$workdir/tunnel-queries.log")"
    } >"$workdir/mark"
}

report() {
    local workdir=$1 key
    for key in isp tunnel; do
        echo "${key}_queries=$(($(wc -l <"$workdir/$key-queries.log") - \
            $(sed -n "s/^${key}_queries=//p" "$workdir/mark")))"
    done
    for key in leaked to_vpn to_lan; do
        echo "$key=$(counter_packets "$workdir" "$key")"
    done
}

# Which way an answer came: by the address it names.
path_of() { # path_of <workdir> <address>
    case $2 in
    '') echo none ;;
    "$USER_V4" | "$MOVED_V4" | "$USER_V6") echo direct ;;
    "$(lab_value "$1" VPN_ADDRESS)") echo tunnel ;;
    "$ISP_ANSWER") echo isp ;;
    "$TUNNEL_ANSWER") echo tunnel ;;
    *"$PORTAL_WORDS"*) echo portal ;;
    *) echo "other $2" ;;
    esac
}

# Asks an HTTP echo who is asking.
fetch() { # fetch <workdir> 4|6 <echo's IPv4 address> <echo's IPv6 address>
    local workdir=$1 url seen
    case ${2:-} in
    4) url="http://$3/" ;;
    6) url="http://[$4]/" ;;
    *) die "$command wants 4 or 6" ;;
    esac
    seen=$("$0" run "$workdir" curl -gsS --noproxy '*' --max-time 3 "$url" 2>/dev/null) || seen=''
    path_of "$workdir" "$seen"
}

move() {
    local workdir=$1 user_ns isp_ns from=10.98.0 to=10.96.0
    user_ns=$(lab_value "$workdir" USER_NETNS)
    isp_ns=$(lab_value "$workdir" ISP_NETNS)
    if ip -n "$user_ns" -4 addr show dev uplink 2>/dev/null | grep -q " 10\.96\.0\.2/"; then
        from=10.96.0
        to=10.98.0
    fi
    # The ISP keeps both networks; the machine has only the new one.
    ip -n "$isp_ns" addr replace "$to.1/24" dev user0
    ip -n "$user_ns" addr del "$from.2/24" dev uplink
    ip -n "$user_ns" addr add "$to.2/24" dev uplink
    ip -n "$user_ns" route replace default via "$to.1"
}

outage() {
    local workdir=$1 seconds=$2 user_ns
    user_ns=$(lab_value "$workdir" USER_NETNS)
    ip -n "$user_ns" link set uplink down
    sleep "$seconds"
    ip -n "$user_ns" link set uplink up
    # Down took the routes and the IPv6 address with it.
    ip -n "$user_ns" -6 addr replace "$USER_V6/64" dev uplink nodad
    ip -n "$user_ns" route replace default via "$ISP_V4"
    ip -n "$user_ns" -6 route replace default via "$ISP_V6"
}

# nft lines that delete the portal's tables, there or not.
portal_gone() {
    local table
    for table in "$PORTAL_TABLE" quillnet_router; do
        printf 'table inet %s {}\ndelete table inet %s\n' "$table" "$table"
    done
}

portal() { # portal <workdir> on|off
    local workdir=$1
    case ${2:-} in
    on)
        # The portal's DNAT is the only user of connection tracking and NAT
        # in the ISP: when the portal's table goes, the kernel would stop
        # both, and the answer to the very POST that deleted it would leave
        # untranslated. The ISP's router keeps them going, as a real one does.
        {
            portal_gone
            cat <<EOF
table inet quillnet_router {
    chain keep {
        type nat hook prerouting priority dstnat; policy accept;
        ct state new
    }
}
table inet $PORTAL_TABLE {
    chain hold {
        type filter hook forward priority filter; policy accept;
        iifname "user0" drop
    }
    chain catch {
        type nat hook prerouting priority dstnat; policy accept;
        iifname "user0" tcp dport 80 dnat ip to $ISP_V4:$PORTAL_PORT
        iifname "user0" tcp dport 80 dnat ip6 to [$ISP_V6]:$PORTAL_PORT
    }
}
EOF
        } | ip netns exec "$(lab_value "$workdir" ISP_NETNS)" nft -f -
        ;;
    off) portal_gone | ip netns exec "$(lab_value "$workdir" ISP_NETNS)" nft -f - ;;
    *) die "portal wants on or off" ;;
    esac
}

portal_state() {
    if ip netns exec "$(lab_value "$1" ISP_NETNS)" nft list table inet "$PORTAL_TABLE" >/dev/null 2>&1; then
        echo on
    else
        echo off
    fi
}

resolve() {
    local workdir=$1 seen
    seen=$("$0" run "$workdir" timeout 8 getent ahostsv4 "$PROBE_NAME" 2>/dev/null |
        awk 'NR == 1 { print $1 }') || seen=''
    path_of "$workdir" "$seen"
}

command=${1:-}
[ $# -ge 2 ] ||
    die "usage: leak_lab.sh start|stop|run|mark|report|fetch|lan-fetch|move|outage|resolve|portal|portal-state <workdir> ..."
workdir=$2
[ -d "$workdir" ] && workdir=$(cd "$workdir" && pwd)
case $command in
start) start_lab "$workdir" "${@:3}" ;;
stop) stop_lab "$workdir" ;;
run)
    shift 2
    [ "${1:-}" = -- ] && shift
    [ $# -gt 0 ] || die "run wants a command"
    run_on_machine "$workdir" "$@"
    ;;
mark) need_lab "$workdir" && mark "$workdir" ;;
report) need_lab "$workdir" && report "$workdir" ;;
fetch) need_lab "$workdir" && fetch "$workdir" "${3:-}" "$INTERNET_V4" "$INTERNET_V6" ;;
lan-fetch) need_lab "$workdir" && fetch "$workdir" "${3:-}" "$ISP_V4" "$ISP_V6" ;;
resolve) need_lab "$workdir" && resolve "$workdir" ;;
move) need_lab "$workdir" && move "$workdir" ;;
outage) need_lab "$workdir" && outage "$workdir" "${3:?outage wants seconds}" ;;
portal) need_lab "$workdir" && portal "$workdir" "${3:-}" ;;
portal-state) need_lab "$workdir" && portal_state "$workdir" ;;
*) die "unknown command $command" ;;
esac
