# shellcheck shell=bash disable=SC2154,SC2034 # the demo's variables, both ways
# Sourced by scripts/demo: the system pieces of --installed, the installed
# package's client talking to the installed tunnel service on a system bus
# as Debian runs it, with the real polkitd deciding.

installed_lib=/usr/lib/quillnet
launcher=/usr/bin/quillnet
launch_helper=/usr/lib/dbus-1.0/dbus-daemon-launch-helper
polkit_rules=/etc/polkit-1/rules.d
# Named after this run, so that a run killed outright leaves a file the next
# run can tell is stale.
polkit_rule=$polkit_rules/10-quillnet-demo-$$.rules
installed_bus_dir=$demo/system-bus
bus_namespace='' polkit_rule_written=''
made_folders=()

check_installed() {
    if [ ! -x "$launcher" ] || [ ! -x "$installed_lib/quillnet-tunneld" ]; then
        die "the package is not installed (no $launcher): sudo apt install ./quillnet_*.deb"
    fi
    [ -u "$launch_helper" ] || die "no setuid $launch_helper: is the dbus package installed?"
    [ -x /usr/lib/polkit-1/polkitd ] || die "no /usr/lib/polkit-1/polkitd: is polkitd installed?"
    [ -d "$polkit_rules" ] || die "no $polkit_rules for the run's polkit rule"
    for tool in dbus-daemon unshare mount setpriv useradd userdel; do
        command -v "$tool" >/dev/null || die "$tool is missing"
    done
}

# A folder the bus's namespace mounts over must exist; one made here goes
# again at the end.
mount_point() { # mount_point <folder>
    [ -d "$1" ] && return 0
    mkdir -m 755 "$1" || die "cannot make $1"
    made_folders+=("$1")
}

# Debian's system bus, its configuration (/usr/share/dbus-1/system.conf)
# unchanged: it drops to messagebus and has the setuid launch helper start
# services as the User= of their files. The helper reads that same fixed
# file, and the services it starts get a cleared environment, so they find
# the bus only at its standard address, /run/dbus/system_bus_socket. The bus
# therefore runs in a mount namespace of its own where /run/dbus is
# $installed_bus_dir: everything it starts (polkitd, the tunnel service,
# OpenVPN) shares that namespace, and a system bus the machine runs is left
# alone. The service's run folder, /run/quillnet-tunneld, is $demo/tunneld
# there, so that an installed service running for real keeps its own.
start_installed_bus() {
    rm -rf "$installed_bus_dir" "$demo/tunneld"
    mkdir -m 755 "$installed_bus_dir"
    mkdir -m 700 "$demo/tunneld"
    mount_point /run/dbus
    mount_point /run/quillnet-tunneld
    : >"$demo/bus.out"
    # shellcheck disable=SC2016 # expanded by the inner shell
    setsid unshare --mount --propagation private sh -c 'mount --bind "$1" /run/dbus &&
        mount --bind "$2" /run/quillnet-tunneld &&
        exec dbus-daemon --system --nofork --nosyslog --print-address=1' \
        sh "$installed_bus_dir" "$demo/tunneld" >"$demo/bus.out" 2>"$demo/bus.log" &
    bus_pid=$!
    await_ready "$demo/bus.out" "$bus_pid" "the system bus" "$demo/bus.log" '^unix:' >/dev/null
    bus_address=unix:path=$installed_bus_dir/system_bus_socket
    bus_namespace=$(readlink "/proc/$bus_pid/ns/mnt")
    # Everything in the namespace is ended at the end: it must not be ours.
    if [ -z "$bus_namespace" ] || [ "$bus_namespace" = "$(readlink /proc/$$/ns/mnt)" ]; then
        die "the system bus did not get a mount namespace of its own"
    fi
}

in_bus_namespace() { # in_bus_namespace <pid>: started by the bus, or by what it started
    [ "$1" != "$bus_pid" ] && [ "$1" != 1 ] && [ -n "$bus_namespace" ] &&
        [ "$(readlink "/proc/$1/ns/mnt" 2>/dev/null)" = "$bus_namespace" ]
}

# Without a desktop session polkit counts the throwaway user as neither
# local nor active: the action's defaults want an administrator, and nobody
# is there to answer. This rule grants the action to exactly that user, for
# this run.
grant_connect() {
    local stale
    # What runs killed outright left: their users are gone or about to be.
    for stale in "$polkit_rules"/10-quillnet-demo-*.rules; do
        [ -e "$stale" ] || continue
        stale=${stale##*-}
        alive "${stale%.rules}" || rm -f "$polkit_rules/10-quillnet-demo-$stale"
    done
    polkit_rule_written=1
    cat >"$polkit_rule" <<EOF
// Written by Quillnet's scripts/demo --installed for one run and removed
// when it ends: the run's throwaway user has no desktop session here.
polkit.addRule(function (action, subject) {
    if (action.id == "net.quillnet.tunnel.connect" && subject.user == "$demo_user")
        return polkit.Result.YES;
});
EOF
    chmod 644 "$polkit_rule"
}

# After the bus and everything in its namespace have ended.
# shellcheck disable=SC2317 # called from the demo's cleanup
undo_installed_setup() {
    local folder
    [ -n "$polkit_rule_written" ] && rm -f "$polkit_rule"
    for folder in "${made_folders[@]}"; do
        rmdir "$folder" || say "could not remove $folder"
    done
    made_folders=()
    rm -rf "$installed_bus_dir"
}
