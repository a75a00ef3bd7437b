#!/bin/sh
# Runs a command as if on a desktop booted with systemd: OpenVPN then asks
# for its credentials through systemd-ask-password, whose prompts look
# different ("Enter Auth Password: (press TAB for no echo) ", asterisks).
# A private mount namespace gets a /run/systemd/system of its own.
# Usage: as_systemd_desktop.sh <command> [arguments...]
set -eu
if ! command -v systemd-ask-password >/dev/null || [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: needs root and systemd-ask-password"
    exit 77
fi
exec unshare --mount --propagation private sh -c '
    mount -t tmpfs quillnet-test /run/systemd 2>/dev/null ||
        { mkdir -p /run/systemd && mount -t tmpfs quillnet-test /run/systemd; }
    mkdir /run/systemd/system
    exec "$@"' sh "$@"
