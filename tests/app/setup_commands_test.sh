#!/bin/bash
# The README's two set-up commands work as they stand on a fresh Debian 12,
# which has root and no sudo, and for a user with sudo: a copy of a set-up
# script goes on as root, asks sudo (keeping the display) as a user, and
# tells a user without sudo what to do.
#
# Usage: setup_commands_test.sh <source folder>
set -u
source_dir=$1
[ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null || { echo "SKIP: needs root and setpriv"; exit 77; }
failures=0
check() { # check <what> <command...>
    if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
mkdir "$work/scripts" "$work/bin" "$work/with-sudo"
cp "$source_dir/scripts/become-root" "$work/scripts/"
# A set-up script's first lines, then what it goes on to do.
cat >"$work/scripts/setup" <<'SCRIPT'
#!/bin/sh
set -eu
. "$(dirname "$0")/become-root"
become_root "$@"
echo "went on as $(id -u) with $*"
SCRIPT
# sudo as it would run the command: here it only says what it was asked.
cat >"$work/with-sudo/sudo" <<'SCRIPT'
#!/bin/sh
echo "sudo $*"
SCRIPT
chmod 755 "$work/scripts/setup" "$work/with-sudo/sudo"
for tool in sh id dirname echo; do ln -s "$(command -v $tool)" "$work/bin/$tool"; done

as_nobody() { # as_nobody <PATH> : runs the copy as an ordinary user
    (cd "$work" && setpriv --reuid=nobody --regid=nogroup --clear-groups env -i PATH="$1" \
        ./scripts/setup --direct 2>&1)
}
check "as root it goes on" test "$(cd "$work" && env -i PATH="$work/bin" ./scripts/setup --direct)" = \
    "went on as 0 with --direct"
check "a user with sudo is asked through sudo, with the display kept" \
    test "$(as_nobody "$work/with-sudo:$work/bin")" = \
    "sudo --preserve-env=DISPLAY,XAUTHORITY -- ./scripts/setup --direct"
said=$(as_nobody "$work/bin"; echo "status $?")
check "a user without sudo is told to run it as root" grep -q "needs root: run it as root" <<<"$said"
check "and it stops there" grep -qx "status 1" <<<"$said"

# The README's commands are the scripts themselves, which begin as above.
commands=$(grep -E '^    \S*scripts/(run|test)$' "$source_dir/README.md")
check "the README's set-up commands need no sudo" test "$commands" = "$(printf '    ./scripts/run\n    ./scripts/test')"
for script in run test; do
    check "scripts/$script becomes root first" \
        grep -qx 'become_root "$@"' "$source_dir/scripts/$script"
done

[ "$failures" -eq 0 ]
