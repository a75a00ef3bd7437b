#!/bin/bash
# Client side of the test OpenVPN server:
#   openvpn_client_config.sh <workdir> <server address> <port> <user> <location>
# writes <workdir>/client.ovpn, a configuration Debian's openvpn runs as is
# from a directory that holds the CA as "cert.crt", and
# <workdir>/config-body.txt, the same configuration as the service hands it
# out: a greeting line, the CA certificate, then the configuration lines.
set -euo pipefail

workdir=$1 address=$2 port=$3 user=$4 location=$5

cat >"$workdir/client.ovpn" <<EOF
client
dev tun
proto tcp-client
remote $address $port
nobind
connect-retry 1
ca cert.crt
remote-cert-tls server
auth-user-pass
auth-nocache
disable-dco
verb 3
# \$ location_cz = "$location"
EOF

{
    echo "Tunnel configuration for $user"
    cat "$workdir/ca.crt"
    cat "$workdir/client.ovpn"
} >"$workdir/config-body.txt"
