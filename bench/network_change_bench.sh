#!/bin/bash
# How soon the tunnel is back after the machine moves to another network
# (new address and gateway, the old ones gone), against a fresh start of the
# tunnel on the same lab: the client's tunnel controller with its own
# OpenVPN (direct mode) on the leak lab's machine, the block on. Each run
# starts the tunnel (timed: start to Connected), then moves the machine
# (timed: move to Connected again), then stops; medians of all runs. Without
# the client's watch of the network the move would wait for OpenVPN's
# ping-restart (10 s on this lab, a minute or more on real servers).
#
# Usage (root): network_change_bench.sh <build folder> [runs]   (default 10)
set -euo pipefail
[ "$(id -u)" -eq 0 ] || { echo "needs root" >&2; exit 77; }
build=$(cd "${1:?usage: network_change_bench.sh <build folder> [runs]}" && pwd)
runs=${2:-10}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
lab_sh=$source_dir/tests/protection/leak_lab.sh
client=$build/tests/tunneld/tunnel_client
work=$(mktemp -d /tmp/quillnet-move-bench.XXXXXX)
lab_dir=$work/lab
cleanup() {
    exec 7>&- 2>/dev/null || true
    "$lab_sh" stop "$lab_dir" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
lab() { "$lab_sh" "$1" "$lab_dir" "${@:2}"; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# Waits for the client's <n>th "adapter" line (Connected); false after 60 s.
connected() {
    local i
    for i in $(seq 1200); do
        [ "$(grep -c '^adapter ' "$work/client.out")" -ge "$1" ] && return 0
        sleep 0.05
    done
    return 1
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

lab start >"$work/lab.out" 2>&1 || { tail -n 5 "$work/lab.out"; exit 1; }
mkdir -p "$work/user"
cp "$(sed -n 's/^CLIENT_CONFIG=//p' "$lab_dir/lab.env")" "$work/user/quillnet.ovpn"
cp "$(sed -n 's/^CA_FILE=//p' "$lab_dir/lab.env")" "$work/user/cert.crt"
: >"$work/fresh" && : >"$work/move"
for run in $(seq "$runs"); do
    rm -f "$work/client.in" && mkfifo "$work/client.in" && exec 7<>"$work/client.in"
    : >"$work/client.out"
    started=$(now_ms)
    (cd "$work/user" && exec setsid "$lab_sh" run "$lab_dir" -- "$client" --direct --block alice secret1) \
        <&7 >"$work/client.out" 2>"$work/client.log" &
    pid=$!
    connected 1 || { echo "run $run: no tunnel" >&2; exit 1; }
    echo $(($(now_ms) - started)) >>"$work/fresh"
    moved=$(now_ms)
    lab move
    connected 2 || { echo "run $run: not back after the move" >&2; exit 1; }
    echo $(($(now_ms) - moved)) >>"$work/move"
    echo stop >&7
    wait "$pid" || true
    exec 7>&-
done
fresh=$(median <"$work/fresh")
move=$(median <"$work/move")
echo "fresh tunnel start median: $fresh ms"
echo "back after a move to another network median: $move ms"
awk -v m="$move" -v f="$fresh" 'BEGIN { printf "ratio: %.3f (goal: at most 3)\n", m / f }'
