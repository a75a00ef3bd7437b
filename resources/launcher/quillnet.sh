#!/bin/sh
# Starts the installed client. The client reads and writes everything in its
# working directory, and the installation is read-only, so every user gets a
# working directory of their own under the XDG data directory: the logs, the
# tunnel files and the web filter's generated files land there, while the
# shipped files are links into the installation, renewed at every start so
# that an upgrade takes effect at once.
set -eu

# Found from this script's own place, so that an unpacked package tree runs
# as well as the installed one.
lib=$(cd "$(dirname "$(readlink -f "$0")")/../lib/quillnet" && pwd)
work=${XDG_DATA_HOME:-$HOME/.local/share}/quillnet
# Debian's Privoxy, which the client runs under its own name.
privoxy=/usr/sbin/privoxy

# Tunnel files and logs can hold account details: everything made from here
# on is the user's only, and so is the folder, checked at every start.
umask 077
mkdir -p "$(dirname "$work")"
[ -e "$work" ] || [ -L "$work" ] || mkdir -m 700 "$work"
if [ -L "$work" ] || [ ! -d "$work" ] || [ ! -O "$work" ]; then
    echo "quillnet: $work is not a folder of yours; refusing to use it" >&2
    exit 1
fi
chmod 700 "$work"

# privoxy/ and adapter/ must be real folders: the client writes into privoxy/.
for folder in privoxy adapter; do
    [ -L "$work/$folder" ] && rm -f "$work/$folder"
    mkdir -p "$work/$folder"
done
for shipped in graphics.rcc privoxy/config.txt privoxy/quillnet-base.action adapter/tapinstall; do
    ln -sfn "$lib/$shipped" "$work/$shipped"
done

# A copy, not a link: a link resolves to /usr/sbin/privoxy, which Debian's
# AppArmor profile confines to /etc/privoxy, so it could not read its
# configuration here. Compared at every start, so that a Privoxy update is
# taken over; replaced by renaming, so that a running copy is not disturbed.
webfilter=$work/privoxy/Quillnet_webfilter
if [ -x "$privoxy" ]; then
    if ! cmp -s "$privoxy" "$webfilter"; then
        cp "$privoxy" "$webfilter.new"
        mv -f "$webfilter.new" "$webfilter"
    fi
else
    echo "quillnet: $privoxy is missing; the web filter will not start" >&2
fi

cd "$work"
exec "$lib/quillnet" "$@"
