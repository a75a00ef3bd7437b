# shellcheck shell=bash
# Sourced by the peer scripts (bash): how they fail, and how they end what
# they started.

die() {
    echo "${0##*/}: $*" >&2
    exit 1
}

running() {
    [ -r "/proc/$1/status" ] && ! grep -qs '^State:[[:space:]]*Z' "/proc/$1/status"
}

any_running() {
    local pid
    for pid; do
        running "$pid" && return 0
    done
    return 1
}

# Ends the given processes: politely, then for sure, and waits a little
# for the last of them, so that what the caller removes next is unused.
end_processes() {
    local i
    [ $# -gt 0 ] || return 0
    kill -TERM "$@" 2>/dev/null || true
    for ((i = 0; i < 50; i++)); do
        any_running "$@" || return 0
        sleep 0.1
    done
    kill -KILL "$@" 2>/dev/null || true
    for ((i = 0; i < 20; i++)); do
        any_running "$@" || return 0
        sleep 0.1
    done
}
