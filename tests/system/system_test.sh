#!/bin/bash
# The installed package on a real system: a minimal Debian 12 booted under
# systemd-nspawn (systemd as PID 1, the system bus, logind, polkitd and, until
# a flow masks it, systemd-resolved), with a network of its own. The package
# built from <build folder> is installed with dpkg and used by an ordinary
# user against the project's real OpenVPN server and test service inside the
# container: with systemd-resolved and with a plain /etc/resolv.conf, through
# the tunnel service killed, a power loss and the package's removal, on X11
# and on Wayland. Screenshots of the Wayland windows go to the artefacts
# folder. Everything runs in the container's namespaces; the container, its
# overlay and its work folder go at the end, whatever happened.
#
# Usage: system_test.sh <build folder> [artefacts folder]     (as root)
set -u
[ "$(id -u)" -eq 0 ] || { echo "SKIP: needs root"; exit 77; }
for tool in systemd-nspawn debootstrap nsenter cpack; do
    command -v $tool >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
done
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
artefacts=${2:-$build/system-test}
mkdir -p "$artefacts"
work=$(mktemp -d /tmp/qn-system.XXXXXX)
root=$work/root
share=$work/share
C=/src/tests/system/in_container.sh
nspawn=''
leader=''
E=''
boots=0
failures=0
passes=0
SECONDS=0

say() { echo "[${SECONDS}s] $*"; }
check() { # check <description> <command...>
    local what=$1
    shift
    if "$@" >>"$work/checks.log" 2>&1; then
        echo "PASS: $what"
        passes=$((passes + 1))
    else
        echo "FAIL: $what"
        failures=$((failures + 1))
    fi
}
not() { ! "$@"; }
in_c() { $E "$@"; } # a command in the container

boot() {
    boots=$((boots + 1))
    # A unified cgroup tree with BPF allowed: without them the units'
    # DevicePolicy= would silently not apply. No host systemd to register
    # with, and the console's output read, so that PID 1 never blocks on it.
    SYSTEMD_NSPAWN_UNIFIED_HIERARCHY=1 setsid systemd-nspawn -D "$root" -M "qn-system-$$" --boot \
        --private-network --register=no --keep-unit --console=read-only \
        --capability=CAP_BPF --system-call-filter=bpf --bind=/dev/net/tun \
        --bind-ro="$source_dir:/src" --bind="$share:/share" \
        >"$artefacts/container-boot-$boots.log" 2>&1 </dev/null &
    nspawn=$!
    leader=''
    # nspawn's first child only sets up the container; PID 1 is systemd.
    for _ in $(seq 100); do
        leader=$(pgrep -P $nspawn -x systemd) && break
        sleep 0.1
    done
    [ -n "$leader" ] || return 1
    E="nsenter -t $leader -a"
    # systemctl needs the system bus, which comes a moment after PID 1.
    for _ in $(seq 100); do
        $E test -S /run/dbus/system_bus_socket && break
        sleep 0.1
    done
    [ "$(timeout 60 $E systemctl is-system-running --wait)" = running ]
}
wait_gone() { # wait_gone <seconds>: true once the container has ended
    local i
    for i in $(seq $(($1 * 10))); do
        kill -0 $nspawn 2>/dev/null || return 0
        sleep 0.1
    done
    return 1
}
power_off() {
    [ -n "$nspawn" ] || return 0
    timeout 20 $E journalctl -b --no-pager >"$artefacts/journal-$boots.txt" 2>&1
    timeout 20 $E systemctl poweroff >/dev/null 2>&1
    wait_gone 30 || { kill -KILL "$leader" 2>/dev/null; wait_gone 10; } ||
        { kill -KILL $nspawn; wait_gone 5; }
    nspawn=''
    E=''
}
# shellcheck disable=SC2317 # called through the trap below
cleanup() {
    if [ -n "$nspawn" ]; then
        timeout 30 $E $C stop >/dev/null 2>&1
        power_off
    fi
    [ -n "$nspawn" ] && kill -KILL $nspawn 2>/dev/null
    if mountpoint -q "$root"; then
        umount "$root" || umount -l "$root"
    fi
    cp "$share"/*.png "$share"/*.txt "$work/checks.log" "$artefacts/" 2>/dev/null
    mountpoint -q "$root" || rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

tree=$("$here/system_tree.sh") || { echo "FAIL: the Debian tree could not be made"; exit 1; }
say "tree: $tree"
mkdir -p "$work/upper" "$work/overlay-work" "$root" "$share"
cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1
cp "$work"/out/quillnet_*.deb "$share/quillnet.deb" 2>/dev/null || {
    cat "$work/cpack.log"
    echo "FAIL: cpack builds the package"
    exit 1
}
# The cached tree stays as it is: the container writes to an overlay.
mount -t overlay overlay -o "lowerdir=$tree,upperdir=$work/upper,workdir=$work/overlay-work" "$root" || {
    echo "FAIL: the overlay of the tree cannot be mounted"
    exit 1
}

connected() { # connected [log text]: the tunnel is up and, if given, its DNS is set
    in_c $C wait-log "Initialization Sequence Completed" 60 && { [ -z "${1:-}" ] || in_c $C wait-log "$1" 20; }
}
logs_in() { in_c $C client xvfb true true && connected "$@"; } # as the X11 user, block on
table_stands() { in_c nft list table inet quillnet; }
leaks() { in_c $C probe; }
resolv_is_original() { in_c cat /etc/resolv.conf | cmp -s - "$work/resolv.conf.original"; }
service_pid() { in_c systemctl show -p MainPID --value quillnet-tunneld.service; }
in_service_cgroup() { # a command run by a shell moved into the service's cgroup
    local group
    group=$(in_c systemctl show -p ControlGroup --value quillnet-tunneld.service)
    in_c setsid sh -c "echo \$\$ >/sys/fs/cgroup$group/cgroup.procs && $1"
}
# A device that neither the unit nor systemd's standard set allows (the
# kernel's log, 1:11): the container opens it, the service's cgroup may not.
device_refused_to_service() {
    local outside inside
    in_c sh -c '[ -c /dev/qn-probe-device ] || mknod -m 600 /dev/qn-probe-device c 1 11'
    outside=$(in_c sh -c 'exec 3>/dev/qn-probe-device && echo opened' 2>&1)
    inside=$(in_service_cgroup 'exec 3>/dev/qn-probe-device && echo opened' 2>&1)
    echo "the kernel's log opened outside: $outside; in the service's cgroup: $inside"
    [ "$outside" = opened ] && grep -q 'not permitted' <<<"$inside"
}

say "booting"
check "systemd boots in the container and no unit fails" boot
[ -n "$E" ] || exit 1
check "the container enforces DevicePolicy= (else the sandbox checks mean nothing)" \
    not in_c systemd-run --wait -q -p DevicePolicy=strict sh -c 'exec 3</dev/null'
check "dpkg installs the package" in_c dpkg -i /share/quillnet.deb
check "the boot-time recovery is enabled" in_c systemctl is-enabled -q quillnet-tunneld-recover.service
check "the peers start in the container" in_c $C peers

say "with systemd-resolved"
dns_resolved="DNS through the tunnel: systemd-resolved on quillnet0"
check "the client connects through the tunnel service (X11)" logs_in
check "the tunnel's DNS goes to systemd-resolved" in_c $C wait-log "$dns_resolved" 20
check "resolvectl shows the tunnel's server on quillnet0" sh -c "$E resolvectl dns quillnet0 | grep -q '10\.99\.'"
check "resolvectl routes every name to quillnet0 (~.)" sh -c "$E resolvectl domain quillnet0 | grep -q '~\.'"
check "the block stands in nft" table_stands
check "nothing gets past the block" not leaks
check "the client holds a sleep inhibitor in logind" \
    sh -c "$E systemd-inhibit --list --no-legend | grep -q Quillnet"
pid=$(service_pid)
check "OpenVPN runs in the unit's cgroup" sh -c "$E systemd-cgls --no-pager -u quillnet-tunneld.service | grep -q /usr/sbin/openvpn"
check "the service keeps CAP_NET_ADMIN alone" in_c grep -qx 'CapBnd:.*0000000000001000' /proc/"$pid"/status
check "the service cannot gain privileges" in_c grep -qx 'NoNewPrivs:.1' /proc/"$pid"/status
check "the service sees / read-only" in_c awk '$5 == "/" && $6 ~ /^ro/ { f = 1 } END { exit !f }' /proc/"$pid"/mountinfo
check "the service's device policy is in force" device_refused_to_service
check "the client quits" in_c $C quit
check "quitting takes the DNS off quillnet0" not in_c resolvectl dns quillnet0
check "quitting lifts the block" not table_stands
check "traffic flows again once the user has quit" leaks

say "Wayland"
check "the client shows its login dialog under weston" \
    sh -c "$E $C client weston false true && sleep 4 && $E pgrep -u qnuser -x quillnet"
check "a screenshot of the login dialog" in_c $C screenshot /share/wayland-login.png
check "the client quits" in_c $C quit
check "after an automatic login the main window shows under weston" \
    sh -c "$E $C client weston true true && $E $C wait-log 'Initialization Sequence Completed' 60 && sleep 3"
check "a screenshot of the main window" in_c $C screenshot /share/wayland-main.png
check "the client quits" in_c $C quit
check "a session that names a compositor that is gone falls back to X11" \
    sh -c "$E $C client stale-wayland false true && sleep 4 && $E pgrep -u qnuser -x quillnet"
check "the client quits" in_c $C quit

say "with a plain /etc/resolv.conf"
in_c systemctl mask -q --now systemd-resolved.service
# The service's sandbox holds the resolver file it found at its start: a
# machine that changes its DNS set-up gets a service started anew (a reboot
# does that too).
in_c systemctl stop quillnet-tunneld.service
in_c rm -f /etc/resolv.conf
printf '# the uplink'\''s\nnameserver 192.0.2.53\nsearch isp.example\n' | in_c tee /etc/resolv.conf >/dev/null
in_c cat /etc/resolv.conf >"$work/resolv.conf.original"
dns_file="DNS through the tunnel: /etc/resolv.conf: 10.99."
check "the client connects with the tunnel's DNS in /etc/resolv.conf" logs_in "$dns_file"
check "/etc/resolv.conf names the tunnel's server" in_c grep -q '^nameserver 10\.99\.' /etc/resolv.conf
check "the block stands" table_stands
check "the client quits" in_c $C quit
check "quitting puts /etc/resolv.conf back byte for byte" resolv_is_original
check "quitting lifts the block" not table_stands

say "the resolver file replaced under the running service"
# As NetworkManager does: a new file renamed into place, while the service
# that last connected (and bound the old file into its sandbox) still runs.
printf 'nameserver 192.0.2.54\n' | in_c tee /etc/resolv.conf.new >/dev/null
in_c mv /etc/resolv.conf.new /etc/resolv.conf
in_c cat /etc/resolv.conf >"$work/resolv.conf.original"
check "the service that bound the old file is still running" in_c systemctl is-active -q quillnet-tunneld.service
stale_service=$(service_pid)
check "a login then fails closed: DNS is not claimed" \
    sh -c "$E $C client xvfb true true && $E $C wait-log 'DNS could not be set' 60 && ! $E $C wait-log '$dns_file' 1"
check "the new file is left as it is" resolv_is_original
check "the client quits" in_c $C quit
check "the next login writes the tunnel's DNS into the new file" logs_in "$dns_file"
check "a service started anew ran it (the old one ended once idle)" \
    test "$(service_pid)" != "$stale_service"
check "the client quits" in_c $C quit
check "quitting puts the new file back byte for byte" resolv_is_original

say "the tunnel service killed"
logs_in "$dns_file"
in_c kill -KILL "$(service_pid)"
sleep 1
check "with the service killed the block stands" table_stands
check "with the service killed nothing leaks" not leaks
in_c journalctl -b --no-pager >"$artefacts/journal-after-kill.txt" 2>&1
check "the client quits after the service was killed" in_c $C quit
check "then /etc/resolv.conf is back" resolv_is_original
check "then the block is lifted" not table_stands
logs_in "$dns_file"
in_c kill -KILL "$(service_pid)" "$(in_c pgrep -u qnuser -x quillnet)"
sleep 1
check "with service and client killed nothing leaks" not leaks
check "the next start connects again" logs_in
check "the client quits" in_c $C quit
check "after the next start and quit /etc/resolv.conf is back" resolv_is_original
check "after the next start and quit the block is lifted" not table_stands

say "a power loss"
logs_in "$dns_file"
check "connected before the power loss" in_c grep -q '^nameserver 10\.99\.' /etc/resolv.conf
kill -KILL "$leader"
wait_gone 20
check "the container boots again" boot
check "after the boot /etc/resolv.conf is the user's own" resolv_is_original
check "after the boot the recovery has nothing left to do" \
    sh -c "[ -z \"\$($E ls -A /var/lib/quillnet-tunneld 2>/dev/null)\" ]"
check "the peers start again" in_c $C peers

say "removal while connected"
check "the client connects" logs_in "$dns_file"
check "dpkg removes the package" in_c dpkg -r quillnet
check "after removal the block is lifted" not table_stands
check "after removal /etc/resolv.conf is back" resolv_is_original
check "after removal the tunnel service is not running" not in_c pgrep -x quillnet-tunneld
check "after removal no OpenVPN of ours runs" \
    sh -c "! $E pgrep -a openvpn | grep -v 'server.conf'"
check "after removal nothing of the package is left" \
    sh -c "! $E ls -d /usr/lib/quillnet /var/lib/quillnet-tunneld /usr/lib/systemd/system/quillnet-tunneld.service /etc/systemd/system/sysinit.target.wants/quillnet-tunneld-recover.service 2>/dev/null | grep -q ."
in_c $C stop >/dev/null 2>&1
power_off
say "$passes passed, $failures failed"
[ $failures -eq 0 ]
