#!/bin/bash
# Prints the folder of a minimal Debian 12 tree that boots under
# systemd-nspawn with what the system test needs: systemd, the system bus,
# logind, polkitd, systemd-resolved, OpenVPN, nft, the client's libraries and
# its peers (Xvfb, weston, Python for the test service and the mail relay).
# The tree is made once with debootstrap from the mirror apt uses here and
# kept in /var/cache; a change of the package list below makes a new one.
# Tests never write to it: they boot an overlay of it.
#
# Usage: system_tree.sh [--cache DIR]     (root; the tree's path on stdout)
set -euo pipefail

cache=/var/cache/quillnet-system-test
[ "${1:-}" = --cache ] && cache=$2

base="systemd,systemd-sysv,dbus,systemd-resolved,polkitd,libpam-systemd,openvpn,nftables,iproute2,procps"
extra="libqt6widgets6 libqt6network6 libqt6dbus6 libqt6gui6 qt6-qpa-plugins libqt6keychain1
  privoxy qt6-image-formats-plugins libsecret-1-0 xvfb python3 python3-aiosmtpd openssl
  weston qt6-wayland fonts-dejavu-core"
key=$(printf '%s\n%s\n' "$base" "$extra" | sha256sum | cut -c1-16)
tree=$cache/bookworm-$key

if [ -f "$tree/.complete" ]; then
    echo "$tree"
    exit 0
fi

mirror=$(sed -n 's/^URIs: *\(http[^ ]*\/debian\/\?\)$/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -1)
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" && $2 ~ /\/debian\/?$/ { print $2; exit }' /etc/apt/sources.list 2>/dev/null)
[ -n "$mirror" ] || mirror=http://deb.debian.org/debian

mkdir -p "$cache"
rm -rf "$tree" "$cache"/bookworm-*.partial
partial=$tree.partial
log=$cache/last-build.log
mounted=()
# shellcheck disable=SC2317 # called through the trap below
cleanup() {
    for m in "${mounted[@]}"; do umount -l "$m" 2>/dev/null; done
    rm -rf "$partial"
}
trap cleanup EXIT
echo "system tree: debootstrap from $mirror into $tree" >&2
debootstrap --variant=minbase --include="$base" bookworm "$partial" "$mirror" >"$log" 2>&1 || {
    tail -20 "$log" >&2
    exit 1
}
# apt inside the tree, with the host's name service and no service started.
mkdir -p "$partial/run/systemd/resolve"
cp -L /etc/resolv.conf "$partial/run/systemd/resolve/stub-resolv.conf"
for m in proc dev; do
    mount --bind "/$m" "$partial/$m"
    mounted+=("$partial/$m")
done
printf '#!/bin/sh\nexit 101\n' >"$partial/usr/sbin/policy-rc.d"
chmod +x "$partial/usr/sbin/policy-rc.d"
# shellcheck disable=SC2086 # one word a package
DEBIAN_FRONTEND=noninteractive chroot "$partial" apt-get install -y -qq --no-install-recommends \
    $extra >>"$log" 2>&1 </dev/null || {
    tail -20 "$log" >&2
    exit 1
}
chroot "$partial" apt-get clean
for m in "${mounted[@]}"; do umount "$m"; done
mounted=()
rm -rf "$partial/usr/sbin/policy-rc.d" "$partial/run/systemd"
touch "$partial/.complete"
mv "$partial" "$tree"
echo "$tree"
