#!/bin/sh
# Runs a test in its own mount and PID namespaces with an empty /run/netns:
# the network namespaces it makes, and every process it starts in them,
# are gone when it ends, even when it crashes or is killed, and no other
# user of the machine sees them.
[ "$(id -u)" -eq 0 ] || { echo "needs root for network namespaces" >&2; exit 77; }
command -v unshare >/dev/null && command -v ip >/dev/null || exit 77
mkdir -p /run/netns
exec unshare --mount --propagation private --pid --fork --kill-child \
    sh -c 'mount -t tmpfs -o mode=0755 quillnet-netns /run/netns && exec "$@"' sh "$@"
