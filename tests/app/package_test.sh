#!/bin/bash
# The Debian package as cpack builds it from this build folder: its files,
# their owners and modes and its dependencies; the installed launcher giving
# a user a working folder of their own while the installation stays
# untouched; and, as root, a real install and purge. Installed, the package
# runs the demo (scripts/demo --installed) as an ordinary user would use it:
# its client, its tunnel service started by Debian's system bus and its
# launch helper, the real polkitd deciding.
#
# Usage: package_test.sh <build folder>
set -u
command -v dpkg-deb >/dev/null || { echo "SKIP: dpkg-deb missing"; exit 77; }
build=$(cd "$1" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
privoxy=/usr/sbin/privoxy

work=$(mktemp -d)
installed=''
# shellcheck disable=SC2317 # called through the trap below
cleanup() {
    demo_checks_cleanup
    [ -n "$installed" ] && dpkg --purge quillnet >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
passes=0
check() { # check <description> <command...>
    local what=$1
    shift
    if "$@" >/dev/null 2>&1; then
        echo "PASS: $what"
        passes=$((passes + 1))
    else
        echo "FAIL: $what"
        failures=$((failures + 1))
    fi
}
finish() {
    echo "$passes passed, $failures failed"
    [ $failures -eq 0 ]
    exit
}
# shellcheck source=tests/app/demo_checks.sh
. "$source_dir/tests/app/demo_checks.sh"

# --- the package file ------------------------------------------------------

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1
deb=$(ls "$work"/out/quillnet_*.deb 2>/dev/null)
check "cpack builds one package" test -f "$deb"
if [ ! -f "$deb" ]; then
    cat "$work/cpack.log"
    finish
fi

dpkg-deb -c "$deb" | awk '{ print $1, $2, substr($6, 2) }' >"$work/contents"
lib=/usr/lib/quillnet
bus_policy=/usr/share/dbus-1/system.d/net.quillnet.Tunnel.conf
bus_service=/usr/share/dbus-1/system-services/net.quillnet.Tunnel.service
unit=/usr/lib/systemd/system/quillnet-tunneld.service
recover_unit=/usr/lib/systemd/system/quillnet-tunneld-recover.service
polkit_action=/usr/share/polkit-1/actions/net.quillnet.tunnel.policy
manual=/usr/share/man/man1/quillnet.1.gz
metainfo=/usr/share/metainfo/net.quillnet.Quillnet.metainfo.xml
for shipped in /usr/bin/quillnet $lib/quillnet $lib/graphics.rcc $lib/privoxy/config.txt \
    $lib/privoxy/quillnet-base.action $lib/adapter/tapinstall $lib/quillnet-tunneld \
    $bus_policy $bus_service $unit $recover_unit $polkit_action \
    /usr/share/applications/quillnet.desktop /usr/share/icons/hicolor/48x48/apps/quillnet.png \
    $manual $metainfo; do
    check "the package holds $shipped" grep -q " $shipped\$" "$work/contents"
done
# Privoxy comes from its own package, which keeps it up to date.
check "only the program's own places are filled" \
    test -z "$(awk '$1 !~ /^d/ { print $3 }' "$work/contents" |
        grep -Ev "^(/usr/bin/quillnet|$lib/.*|/usr/share/applications/quillnet\.desktop|/usr/share/icons/hicolor/[0-9]+x[0-9]+/apps/quillnet\.png|$bus_policy|$bus_service|$unit|$recover_unit|$polkit_action|$manual|$metainfo)\$")"
check "Privoxy is not shipped" test -z "$(grep -i webfilter "$work/contents")"
check "everything belongs to root" test -z "$(awk '$2 != "root/root"' "$work/contents")"
check "nothing is writable by group or others" \
    test -z "$(awk 'substr($1, 6, 1) == "w" || substr($1, 9, 1) == "w"' "$work/contents")"
check "the program, the launcher and the tunnel service can be run by everyone" \
    test "$(grep -cE "^-rwxr-xr-x .* (/usr/bin/quillnet|$lib/quillnet|$lib/quillnet-tunneld)\$" "$work/contents")" -eq 3

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for needed in openvpn privoxy qt6-image-formats-plugins libqt6widgets6 libqt6network6 dbus polkitd \
    libqt6keychain1 libsecret-1-0; do
    check "the package depends on $needed" grep -Eq "(^|, )$needed( |,|\$)" <<<"$depends"
done

# --- the unpacked tree -----------------------------------------------------

root=$work/root
dpkg -x "$deb" "$root"

png_size() { # png_size <file>: width x height from the PNG header
    [ "$(head -c 8 "$1" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || return 1
    od -An -tu1 -j16 -N8 "$1" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }'
}
for icon in "$root"/usr/share/icons/hicolor/*/apps/quillnet.png; do
    size=$(basename "$(dirname "$(dirname "$icon")")")
    check "the $size icon is a $size picture" test "$(png_size "$icon")" = "$size"
done

desktop=$root/usr/share/applications/quillnet.desktop
if command -v desktop-file-validate >/dev/null; then
    check "the desktop entry is valid" desktop-file-validate "$desktop"
else
    echo "SKIP: desktop-file-validate missing"
fi
check "the desktop entry starts the launcher" grep -qx 'Exec=quillnet' "$desktop"
check "the desktop entry names the installed icon" grep -qx 'Icon=quillnet' "$desktop"
check "the desktop entry has a Czech name and comment" \
    sh -c "grep -q '^Name\[cs\]=.' '$desktop' && grep -q '^Comment\[cs\]=.' '$desktop'"

# --- what a user and a software centre read -----------------------------------

if command -v appstreamcli >/dev/null; then
    check "appstreamcli accepts the AppStream metadata" appstreamcli validate --no-net "$root$metainfo"
else
    echo "SKIP: appstreamcli missing"
fi
# shellcheck disable=SC2317 # called through check
manual_renders() {
    local warnings
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$root$manual" 2>&1 >/dev/null) &&
        [ -z "$warnings" ]
}
if command -v man >/dev/null; then
    check "man renders the manual page without a warning" manual_renders
else
    echo "SKIP: man missing"
fi
# The package's version is the client's own (tst_applicationversion compares
# that with the build's), as the metadata and the manual page give it.
version=$(dpkg-deb -f "$deb" Version)
echo "Version: $version"
check "the AppStream release is the package's version" \
    grep -q "<release version=\"$version\"" "$root$metainfo"
check "the manual page gives the package's version" \
    sh -c "zcat '$root$manual' | grep -q '^\.TH QUILLNET 1 \"[^\"]*\" \"Quillnet $version\"'"

# --- the tunnel service's files ----------------------------------------------

# bus_config <file> <socket> <body>: a system-like bus on a socket of its own.
bus_config() {
    cat >"$1" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$2</listen>
  $3
</busconfig>
EOF
}

# The bus policy as dbus-daemon reads it: a bus whose configuration includes
# it must start, and parse errors in an included file are fatal.
bus_config "$work/bus.conf" "$work/bus" "<include>$root$bus_policy</include>"
# shellcheck disable=SC2317 # called through check
bus_accepts_policy() {
    local address
    address=$(timeout 5 dbus-daemon --config-file="$work/bus.conf" --nofork --print-address \
        2>"$work/bus.log" | head -n 1)
    [ -n "$address" ]
}
if command -v dbus-daemon >/dev/null; then
    check "dbus-daemon accepts the bus policy" bus_accepts_policy
else
    echo "SKIP: dbus-daemon missing"
fi
check "only root may own the service's name" \
    grep -Pzq '<policy user="root">\s*<allow own="net.quillnet.Tunnel"/>\s*</policy>' "$root$bus_policy"
check "activation starts the installed service" \
    grep -qx "Exec=$lib/quillnet-tunneld" "$root$bus_service"
check "activation hands over to the systemd unit" \
    grep -qx "SystemdService=quillnet-tunneld.service" "$root$bus_service"
check "the unit is a bus service under the service's name" \
    grep -qx "BusName=net.quillnet.Tunnel" "$root$unit"

# polkit's defaults for connecting: yes for the active session's user, an
# administrator's password elsewhere.
# shellcheck disable=SC2317 # called through check
polkit_defaults() {
    python3 -c '
import sys
import xml.etree.ElementTree as tree
action = tree.parse(sys.argv[1]).find("action[@id=\"net.quillnet.tunnel.connect\"]")
defaults = {d.tag: d.text for d in action.find("defaults")}
sys.exit(defaults != {"allow_any": "auth_admin", "allow_inactive": "auth_admin", "allow_active": "yes"})
' "$1"
}
check "the polkit action lets the active user connect and asks others for an administrator" \
    polkit_defaults "$root$polkit_action"

# --- the launcher ------------------------------------------------------------

tree_state() { find "$root" -printf '%p %m %s %T@ %l\n' | sort; }
tree_state >"$work/tree.before"

home=$work/home
data=$home/data
user=$data/quillnet
run_launcher() { # run_launcher <log>: five seconds of the client, ended by SIGTERM
    HOME=$home XDG_DATA_HOME=$data QUILLNET_INSTANCE_LOCK=$work/instance.lock \
        QT_QPA_PLATFORM=offscreen timeout --preserve-status -s TERM -k 10 5 \
        "$root/usr/bin/quillnet" >"$1" 2>&1
}
# shellcheck disable=SC2317 # called through check
links_to_installation() { # every shipped file is a link into the unpacked tree
    local shipped
    for shipped in graphics.rcc privoxy/config.txt privoxy/quillnet-base.action adapter/tapinstall; do
        [ -L "$user/$shipped" ] && [ "$(readlink "$user/$shipped")" = "$root$lib/$shipped" ] || return 1
    done
}

mkdir -p "$home"
run_launcher "$work/first.log"
check "the client runs until SIGTERM and then exits 0" test $? -eq 0
check "the working folder is the user's alone" test "$(stat -c %a "$user")" = 700
check "privoxy/ is a real folder" test -d "$user/privoxy" -a ! -L "$user/privoxy"
check "the shipped files are links into the installation" links_to_installation
check "the client writes its log into the working folder" test -f "$user/log.txt"
check "the web filter is the system's Privoxy under the client's name" \
    cmp "$privoxy" "$user/privoxy/Quillnet_webfilter"
# Privoxy wants the client's generated files, which only a login writes.
touch "$user/privoxy/quillnet.action" "$user/privoxy/quillnet.filter"
check "the web filter accepts its configuration from the working folder" \
    sh -c "cd '$user/privoxy' && ./Quillnet_webfilter --config-test config.txt"
rm -f "$user/privoxy/quillnet.action" "$user/privoxy/quillnet.filter"

# What an upgrade leaves behind: links to files that moved, an older Privoxy.
ln -sfn /nonexistent/graphics.rcc "$user/graphics.rcc"
echo outdated >"$user/privoxy/Quillnet_webfilter"
run_launcher "$work/second.log"
check "the next start renews the links" links_to_installation
check "the next start takes over the updated Privoxy" \
    cmp "$privoxy" "$user/privoxy/Quillnet_webfilter"

# A folder loosened since is made private again; what the client writes is
# the user's alone.
chmod 755 "$user"
run_launcher "$work/third.log"
check "the next start makes the folder private again" test "$(stat -c %a "$user")" = 700
check "the client's log is the user's alone" test "$(stat -c %a "$user/log.txt")" = 600

# A working folder that is a link (to somewhere its user does not own) is
# refused before anything is written.
mv "$user" "$user.real"
ln -s "$user.real" "$user"
run_launcher "$work/linked.log"
check "a linked working folder is refused" test $? -ne 0
check "the refusal says why" grep -q "is not a folder of yours" "$work/linked.log"
rm "$user"
mv "$user.real" "$user"

tree_state >"$work/tree.after"
check "the installation is not written to" cmp "$work/tree.before" "$work/tree.after"

# --- a real install ----------------------------------------------------------

# polkit's reading of the installed action, from a polkit daemon on a bus of
# its own. The daemon switches to its own user, so the bus's folder must be
# open to it.
polkitd=/usr/lib/polkit-1/polkitd
# shellcheck disable=SC2317 # called through check
polkit_knows_action() {
    local dir=$work/polkit-bus bus_pid polkit_pid answer i
    mkdir -p "$dir" && chmod 755 "$dir" && chmod o+x "$work"
    local everything='<policy context="default"><allow user="*"/><allow own="*"/>' type
    for type in method_call method_return error signal; do
        everything+="<allow send_type=\"$type\"/><allow receive_type=\"$type\"/>"
    done
    bus_config "$dir/bus.conf" "$dir/bus" "$everything</policy>"
    dbus-daemon --config-file="$dir/bus.conf" --nofork >"$work/polkit-bus.log" 2>&1 &
    bus_pid=$!
    for ((i = 0; i < 100; i++)); do
        [ -S "$dir/bus" ] && break
        sleep 0.1
    done
    DBUS_SYSTEM_BUS_ADDRESS=unix:path=$dir/bus "$polkitd" --no-debug >>"$work/polkit-bus.log" 2>&1 &
    polkit_pid=$!
    # Asked again until the daemon has taken its name (a bounded wait).
    for ((i = 0; i < 100; i++)); do
        answer=$(DBUS_SYSTEM_BUS_ADDRESS=unix:path=$dir/bus timeout 10 \
            pkaction --action-id net.quillnet.tunnel.connect --verbose 2>&1)
        grep -q 'implicit active' <<<"$answer" && break
        sleep 0.1
    done
    kill "$polkit_pid" "$bus_pid" 2>/dev/null
    wait "$polkit_pid" "$bus_pid" 2>/dev/null
    echo "$answer" >>"$work/polkit-bus.log"
    grep -Eq 'implicit any: +auth_admin' <<<"$answer" &&
        grep -Eq 'implicit inactive: +auth_admin' <<<"$answer" &&
        grep -Eq 'implicit active: +yes' <<<"$answer"
}

# shellcheck disable=SC2317 # called through check
no_tunnel() { ! grep -q 'Initialization Sequence Completed' "$1"; }

# The demo with the installed package: the throwaway user connects through
# the service, granted by the run's polkit rule; without that rule the same
# kind of user is refused, so it is the rule polkitd evaluated that let the
# first one in. The client shows the refusal as "... was not allowed to
# connect" (translated), from this error of the service.
installed_demo() {
    local log=$build/demo/data/quillnet/log.txt before
    run_demo installed "$log" "OpenVPN runs in the tunnel service net.quillnet.Tunnel" --installed
    echo "== installed mode without the polkit rule"
    before=$failures
    start_demo 15 --installed --without-grant
    check "refused: the demo fails without a login" test "$status" -ne 0 -a -z "$(grep -x 'demo: logged in' "$output")"
    check "refused: the client was told that polkit refused the connect action" \
        grep -qxF "net.quillnet.Tunnel.Error.NotAuthorized: polkit refused net.quillnet.tunnel.connect" "$log"
    check "refused: no tunnel came up" no_tunnel "$log"
    check_nothing_left refused
    cp "$screenshot" "$build/demo-refused.png" 2>/dev/null
    report_run refused "$log" "$before"
}

if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: installing needs root"
elif dpkg-query -W -f='${Status}' quillnet 2>/dev/null | grep -q ' installed$'; then
    echo "SKIP: quillnet is installed on this machine already; left alone"
else
    installed=1
    check "dpkg installs the package" dpkg -i "$deb"
    check "the launcher is on the search path" test -x /usr/bin/quillnet
    check "the desktop entry is installed" test -f /usr/share/applications/quillnet.desktop
    check "man finds the installed manual page" test "$(man -w quillnet 2>/dev/null)" = $manual
    check "the AppStream metadata is installed" test -f $metainfo
    if command -v systemd-analyze >/dev/null; then
        check "systemd accepts the tunnel service's units" systemd-analyze verify $unit $recover_unit
    else
        echo "SKIP: systemd-analyze missing"
    fi
    # pkaction asks polkit's daemon, which reads the installed action file.
    # Where no system bus runs (a container, CI) the daemon gets a private
    # one for the question.
    if command -v pkaction >/dev/null && [ -x "$polkitd" ]; then
        check "polkit reads the connect action with its defaults" polkit_knows_action
    else
        echo "SKIP: pkaction or polkitd missing"
    fi
    if [ -u /usr/lib/dbus-1.0/dbus-daemon-launch-helper ] && [ -x "$polkitd" ] && command -v Xvfb >/dev/null; then
        installed_demo
    else
        echo "SKIP: the launch helper, polkitd or Xvfb is missing: no demo of the installed package"
    fi
    check "dpkg purges the package" dpkg --purge quillnet
    installed=''
    check "the launcher is gone" test ! -e /usr/bin/quillnet
    check "the desktop entry is gone" test ! -e /usr/share/applications/quillnet.desktop
    check "the manual page and the metadata are gone" test ! -e $manual -a ! -e $metainfo
    check "the program's folder is gone" test ! -e $lib
fi

if [ $failures -ne 0 ]; then
    for f in "$work"/*.log; do echo "== $f"; cat "$f"; done
fi
finish
