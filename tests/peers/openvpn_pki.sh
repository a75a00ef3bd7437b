#!/bin/bash
# Throw-away PKI for the test OpenVPN server: a CA and a server certificate
# signed by it, EC P-256 so that generating them takes no time.
#
#   openvpn_pki.sh <dir>    writes ca.crt ca.key server.crt server.key to <dir>
set -euo pipefail

dir=${1:?usage: openvpn_pki.sh <dir>}
cd "$dir"

new_key() {
    openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1" 2>/dev/null
}

new_key ca.key
openssl req -x509 -new -key ca.key -out ca.crt -days 30 -subj "/CN=Quillnet Test CA" \
    -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign"

new_key server.key
openssl req -new -key server.key -out server.csr -subj "/CN=quillnet-test-server"
openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -set_serial "0x$(openssl rand -hex 8)" \
    -days 30 -out server.crt 2>/dev/null -extfile <(printf '%s\n' \
    "basicConstraints=critical,CA:FALSE" \
    "keyUsage=critical,digitalSignature,keyAgreement" \
    "extendedKeyUsage=serverAuth")
rm -f server.csr
chmod 600 ca.key server.key
