# shellcheck shell=bash
# Sourced by the tests that run the real client on a screen (Xvfb, found
# with xdotool): counted checks, the client's windows, its end, and the end
# of everything the test started (each pid it adds to $pids).

failures=0
passes=0
pids=()

any_alive() { # any_alive <pid...>
    local p
    for p; do kill -0 "$p" 2>/dev/null && return 0; done
    return 1
}

# Politely first: a client on its way out ends its own children.
end_started() {
    local p i
    for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null; done
    for ((i = 0; i < 10; i++)); do
        any_alive "${pids[@]}" || break
        sleep 0.1
    done
    for p in "${pids[@]}"; do kill -KILL "$p" 2>/dev/null; done
    wait 2>/dev/null
}

check() { # check <description> <command...>
    local what=$1
    shift
    if "$@" >/dev/null; then
        echo "PASS: $what"
        passes=$((passes + 1))
    else
        echo "FAIL: $what"
        failures=$((failures + 1))
    fi
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Window ids of a process with a title that matches exactly.
# An empty pid matches every process.
windows_of() { xdotool search --all --onlyvisible ${1:+--pid "$1"} --name "^$2\$" 2>/dev/null; }

wait_window() { # wait_window <pid> <title> <seconds>; prints the first window's id
    local end=$(($(now_ms) + $3 * 1000))
    while [ "$(now_ms)" -lt "$end" ]; do
        windows_of "$1" "$2" | head -n 1 | grep . && return 0
        kill -0 "${1:-$$}" 2>/dev/null || return 1
        sleep 0.05
    done
    return 1
}

exit_code=
# shellcheck disable=SC2034 # exit_code is read by the sourcing test
wait_exit() { # wait_exit <pid> <seconds>; sets $exit_code (in this shell: wait needs it)
    local end=$(($(now_ms) + $2 * 1000))
    while kill -0 "$1" 2>/dev/null && [ "$(now_ms)" -lt "$end" ]; do sleep 0.05; done
    if kill -0 "$1" 2>/dev/null; then
        exit_code=timeout
        return
    fi
    wait "$1"
    exit_code=$?
}
