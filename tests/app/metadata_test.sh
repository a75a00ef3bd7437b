#!/bin/bash
# What a user and the desktop read before they run the client, as the
# distribution's own tools read it: the desktop entry (desktop-file-validate,
# with its Czech texts), the AppStream metadata (appstreamcli) and the
# manual page (man, which renders it without a warning), from the source and
# this build folder. The package test checks them in the package.
#
# Usage: metadata_test.sh <build folder>
set -u
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
for tool in desktop-file-validate appstreamcli man; do
    command -v $tool >/dev/null || {
        echo "FAIL: $tool is missing (scripts/install-deps installs it)"
        exit 1
    }
done

failures=0
passes=0
check() { # check <description> <command...>
    local what=$1
    shift
    if "$@"; then
        echo "PASS: $what"
        passes=$((passes + 1))
    else
        echo "FAIL: $what"
        failures=$((failures + 1))
    fi
}

desktop=$source_dir/resources/desktop/quillnet.desktop
metainfo=$build/metainfo/net.quillnet.Quillnet.metainfo.xml
manual=$build/man/quillnet.1.gz

# shellcheck disable=SC2317 # called through check
silent() { # silent <command...>: succeeds and says nothing
    local said
    if said=$("$@" 2>&1) && [ -z "$said" ]; then
        return 0
    fi
    echo "$said"
    return 1
}
check "desktop-file-validate accepts the desktop entry" silent desktop-file-validate "$desktop"
# shellcheck disable=SC2317 # called through check
has_key() { # has_key <key> <file>: a non-empty value
    awk -F= -v key="$1" '$1 == key && $2 != "" { found = 1 } END { exit !found }' "$2"
}
for key in 'Name[cs]' 'Comment[cs]'; do
    check "the desktop entry has $key" has_key "$key" "$desktop"
done

check "appstreamcli accepts the AppStream metadata" appstreamcli validate --no-net "$metainfo"
check "the metadata launches the desktop entry" \
    grep -q "<launchable type=\"desktop-id\">$(basename "$desktop")</launchable>" "$metainfo"
check "the metadata has a Czech summary" grep -q '<summary xml:lang="cs">' "$metainfo"

# shellcheck disable=SC2317 # called through check
renders() {
    local page
    if page=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$manual" 2>"$build/man/warnings") &&
        [ ! -s "$build/man/warnings" ] && grep -q '^NAME' <<<"$page" &&
        grep -q 'quillnet - desktop client' <<<"$page"; then
        return 0
    fi
    cat "$build/man/warnings"
    return 1
}
check "man renders the manual page without a warning" renders
# Debian's rule: gzip -9n, so that the same page packs to the same bytes.
check "the manual page is packed without a time stamp" \
    test "$(od -An -tx1 -j4 -N4 "$manual" | tr -d ' ')" = 00000000

echo "$passes passed, $failures failed"
[ $failures -eq 0 ]
