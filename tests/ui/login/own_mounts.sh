#!/bin/sh
# Runs a command in a mount namespace of its own: what a test mounts there
# is gone when it ends, even when it crashes, and nobody else sees it.
# Usage: own_mounts.sh <command> [arguments...]
if ! command -v unshare >/dev/null || [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: needs root and unshare"
    exit 77
fi
exec unshare --mount --propagation private "$@"
