#!/bin/bash
# Remakes the recordings of what openvpn prints on a terminal, one file per
# case, in tests/vpn/data/ (or the given directory). Needs root; talks only to
# a test server in its own namespace and to a proxy on the loopback.
#
#   record_openvpn_cases.sh [output dir]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
data=${1:-$here/../vpn/data}
mkdir -p "$data"
data=$(cd "$data" && pwd)
work=$(mktemp -d)
proxy_pid=''

cleanup() {
    [ -z "$proxy_pid" ] || kill "$proxy_pid" 2>/dev/null || true
    "$here/openvpn_server.sh" stop "$work/server"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

record() {
    local name=$1
    shift
    python3 "$here/record_openvpn_output.py" --output "$data/$name.pty" "$@"
}

free_loopback_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# tinyproxy on the loopback asking for proxyuser/proxypass; sets proxy_port.
start_proxy() {
    local i
    proxy_port=$(free_loopback_port)
    printf '%s\n' "Port $proxy_port" "Listen 127.0.0.1" "Allow 127.0.0.1" "Timeout 30" \
        "LogLevel Info" "LogFile \"$work/proxy.log\"" "BasicAuth proxyuser proxypass" >"$work/proxy.conf"
    tinyproxy -d -c "$work/proxy.conf" >/dev/null 2>&1 &
    proxy_pid=$!
    for ((i = 0; i < 100; i++)); do
        [ -z "$(ss -Hltn "sport = :$proxy_port")" ] || return 0
        sleep 0.05
    done
    echo "tinyproxy does not listen on $proxy_port" >&2
    return 1
}

"$here/openvpn_server.sh" start "$work/server" >/dev/null
source "$work/server/server.env"
mkdir "$work/client"
cp "$CA_FILE" "$work/client/cert.crt"
cp "$CLIENT_CONFIG" "$work/client/client.ovpn"
sed "s/^remote .*/remote no-such-host.invalid 1194/" "$CLIENT_CONFIG" >"$work/client/unresolvable.ovpn"
sed "s/^remote .*/remote $SERVER_ADDRESS $REFUSED_PORT/" "$CLIENT_CONFIG" >"$work/client/refused.ovpn"
# Host names are looked up in /etc/hosts only, so no query leaves the machine.
echo "hosts: files" >"$work/nsswitch.conf"
# The unprivileged user of one case must be able to read the client's files.
chmod -R a+rX "$work"
cd "$work/client"

login=(--answer "Enter Auth Username:=alice" --answer "Enter Auth Password:=secret1")
connected=(--terminate-on "Initialization Sequence Completed")

record connect "${login[@]}" "${connected[@]}" -- openvpn --config client.ovpn
# A restart (SIGUSR1) once connected: the credentials are asked for again.
record restart "${login[@]}" --restart-on "Initialization Sequence Completed" "${connected[@]}" \
    -- openvpn --config client.ovpn
record auth-failed --answer "Enter Auth Username:=alice" --answer "Enter Auth Password:=wrong" \
    -- openvpn --config client.ovpn
# No network and no name server: the name cannot be found, and nothing leaks.
record unresolvable "${login[@]}" --terminate-after 5 -- unshare --net --mount sh -c \
    'mount --bind "$1" /etc/nsswitch.conf && exec openvpn --config unresolvable.ovpn' sh "$work/nsswitch.conf"
record refused "${login[@]}" --terminate-after 5 -- openvpn --config refused.ovpn

start_proxy
record proxy "${login[@]}" "${connected[@]}" \
    --answer "Enter HTTP Proxy Username:=proxyuser" --answer "Enter HTTP Proxy Password:=proxypass" \
    -- openvpn --config client.ovpn --http-proxy 127.0.0.1 "$proxy_port" stdin

# Root without the right to configure network devices: TUNSETIFF is refused.
record tun-denied "${login[@]}" -- setpriv --bounding-set=-net_admin --inh-caps=-all \
    openvpn --config client.ovpn
# An ordinary user cannot even open /dev/net/tun.
record tun-open-denied "${login[@]}" -- setpriv --reuid=65534 --regid=65534 --clear-groups \
    --inh-caps=-all openvpn --config client.ovpn
