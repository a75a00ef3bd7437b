#!/bin/sh
# Runs a command in a mount namespace of its own where host names are
# looked up in /etc/hosts only: a test that makes OpenVPN resolve a name
# that does not exist sends no query off the machine.
# Usage: without_dns.sh <command> [arguments...]
set -eu
if ! command -v unshare >/dev/null || [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: needs root and unshare"
    exit 77
fi
exec unshare --mount --propagation private sh -c '
    nsswitch=$(mktemp)
    grep -v "^hosts:" /etc/nsswitch.conf > "$nsswitch" || true
    echo "hosts: files" >> "$nsswitch"
    mount --bind "$nsswitch" /etc/nsswitch.conf
    rm -f "$nsswitch"
    exec "$@"' sh "$@"
