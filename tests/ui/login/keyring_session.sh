#!/bin/sh
# Runs a test twice: on a private session bus with a Secret Service
# (gnome-keyring-daemon, unlocked, its keyring in a scratch folder), and
# with no session bus at all, as on a headless machine. Each run tells the
# test which through QUILLNET_TEST_SECRETS; the second must say on stderr
# why the passwords stay in the settings file. Every process started here
# ends with the run, also when the test fails.
# Usage: keyring_session.sh <test> [arguments...]
set -u

for tool in dbus-run-session dbus-send gnome-keyring-daemon secret-tool; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: needs $tool (packages dbus-daemon, gnome-keyring, libsecret-tools)"
        exit 77
    fi
done

if [ "${1:-}" = --on-private-bus ]; then
    shift
    scratch=$1
    shift
    # The daemon makes its "login" keyring with the password on stdin and
    # leaves it open. Started before anything asks for the Secret Service,
    # so the bus never starts one of its own.
    printf 'test-keyring' | HOME="$scratch/home" XDG_DATA_HOME="$scratch/data" \
        XDG_RUNTIME_DIR="$scratch/run" \
        gnome-keyring-daemon --foreground --unlock --components=secrets \
        >"$scratch/keyring.log" 2>&1 &
    daemon=$!
    trap 'kill "$daemon" 2>/dev/null; wait "$daemon" 2>/dev/null' EXIT
    tries=0
    until dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null |
            grep -q 'boolean true'; do
        tries=$((tries + 1))
        if [ "$tries" -gt 100 ] || ! kill -0 "$daemon" 2>/dev/null; then
            echo "FAIL: the Secret Service did not start" >&2
            cat "$scratch/keyring.log" >&2
            exit 1
        fi
        sleep 0.1
    done
    QUILLNET_TEST_SECRETS=secret-service "$@"
    exit $?
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/data" "$scratch/run"
chmod 700 "$scratch/run"

echo "== with a Secret Service on a private session bus"
dbus-run-session -- "$0" --on-private-bus "$scratch" "$@" </dev/null
with=$?
# Settings from the first run must not help the second.
rm -rf "${XDG_CONFIG_HOME:?}"/Korvex

echo "== without a session bus"
env -u DISPLAY -u WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS="unix:path=$scratch/no-bus" \
    QUILLNET_TEST_SECRETS=none "$@" </dev/null 2>"$scratch/stderr"
without=$?
cat "$scratch/stderr" >&2
if ! grep -q '^quillnet: no keyring (.*); remembered passwords stay in the settings file' \
        "$scratch/stderr"; then
    echo "FAIL: without a keyring nothing on stderr said why" >&2
    without=1
fi
[ "$with" -eq 0 ] && [ "$without" -eq 0 ]
