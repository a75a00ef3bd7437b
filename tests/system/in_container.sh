#!/bin/bash
# Runs inside the booted test container (as root, through nsenter): the
# project's peers (a real OpenVPN server in a namespace, the test service, the
# mail relay), an ordinary user allowed to connect by a polkit rule, a display
# and the installed client started as that user.
#
#   in_container.sh peers                         start the peers, make the user
#   in_container.sh client xvfb|weston|stale-wayland [AUTO] [BLOCK]
#   in_container.sh wait-log TEXT [SECONDS]       wait for a line of the tunnel's log
#   in_container.sh quit                          end the client with SIGTERM, wait
#   in_container.sh screenshot FILE               weston's screen into FILE
#   in_container.sh probe                         a fetch outside the tunnel; 0 if it got through
#   in_container.sh stop                          end everything started here
set -u
S=/src
W=/run/qn-system-test
H=/home/qnuser
LOG=$H/.local/share/quillnet/log.txt

ready() { # ready <file> [pattern]: the first line matching, once it is there
    local i line
    for i in $(seq 300); do
        line=$(grep -m1 "${2:-^READY }" "$1" 2>/dev/null) && {
            echo "$line"
            return 0
        }
        sleep 0.05
    done
    return 1
}
val() { sed -n "s/.* $2=\([0-9]*\).*/\1/p" <<<"$1"; }
env_of() { sed -n "s/^$1=//p" $W/vpn/server.env; }
client_pid() { pgrep -u qnuser -x quillnet; }

case $1 in
peers)
    rm -rf $W && mkdir -p $W && chmod 755 $W
    $S/tests/peers/openvpn_server.sh start $W/vpn --users demo:demo123 --push-dns >$W/vpn.out 2>&1 || {
        cat $W/vpn.out
        exit 1
    }
    sed -e '1s/.*/Tunnel configuration for {{user}}/' \
        -e 's/^\(# \$ location_cz = \)".*"$/\1"{{location}}"/' "$(env_of CONFIG_BODY)" >$W/config.template
    setsid python3 $S/tests/peers/service.py --https-port 0 --http-port 0 \
        --config-template $W/config.template >$W/service.out 2>$W/service.log </dev/null &
    echo $! >>$W/pids
    setsid python3 $S/tests/peers/smtp_relay.py --port 0 --maildir $W/mail >$W/relay.log 2>&1 </dev/null &
    echo $! >>$W/pids
    # Something outside the tunnel that answers, in the server's namespace:
    # reached only if traffic leaks past the block.
    ip netns exec "$(env_of NETNS)" setsid python3 -m http.server 8080 --bind "$(env_of SERVER_ADDRESS)" \
        >$W/outside.log 2>&1 </dev/null &
    echo $! >>$W/pids
    r=$(ready $W/service.out) || exit 1
    hp=$(val "$r" https)
    pp=$(val "$r" http)
    r=$(ready $W/relay.log) || exit 1
    rp=$(val "$r" port)
    id qnuser >/dev/null 2>&1 || useradd -m -s /bin/bash qnuser
    printf '%s\n' 'polkit.addRule(function (action, subject) {' \
        '  if (action.id == "net.quillnet.tunnel.connect" && subject.user == "qnuser")' \
        '    return polkit.Result.YES;' '});' >/etc/polkit-1/rules.d/10-qn-system-test.rules
    mkdir -p $H/.config/Korvex $H/run
    chmod 700 $H/run
    printf '%s\n' "service_host = 127.0.0.1" "service_https_port = $hp" "service_http_port = $pp" \
        "api_scheme = https" "relay_host = 127.0.0.1" "relay_port = $rp" \
        "web_base = http://127.0.0.1:$pp/" "server_cert = $S/resources/data/server.crt" >$H/deployment.ini
    chown -R qnuser: $H
    ;;
client)
    display=$2
    auto=${3:-true}
    block=${4:-true}
    printf '%s\n' "[General]" "remember_user=true" "auto_login=$auto" "username=demo" \
        "password=demo123" "block_outside_tunnel=$block" >$H/.config/Korvex/Quillnet.conf
    chown qnuser: $H/.config/Korvex/Quillnet.conf
    # Each run's tunnel log is kept for whoever reads a failure.
    [ -f "$LOG" ] && { echo "=== $(date +%T)"; cat "$LOG"; } >>/share/tunnel-logs.txt
    rm -f "$LOG"
    case $display in
    xvfb | stale-wayland)
        if ! pgrep -x Xvfb >/dev/null; then
            setsid Xvfb :7 -ac -screen 0 1024x768x24 -nolisten tcp >$W/xvfb.log 2>&1 </dev/null &
            echo $! >>$W/pids
            for i in $(seq 100); do [ -S /tmp/.X11-unix/X7 ] && break; sleep 0.05; done
        fi
        envd=(DISPLAY=:7)
        [ "$display" = xvfb ] && envd+=(QT_QPA_PLATFORM=xcb)
        # A session that says Wayland, with no compositor behind its socket.
        [ "$display" = stale-wayland ] && envd+=(XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=wl-gone)
        ;;
    weston)
        if [ ! -S $H/run/wl-qn ]; then
            runuser -u qnuser -- env XDG_RUNTIME_DIR=$H/run setsid weston --backend=headless-backend.so \
                --use-pixman --socket=wl-qn --width=1024 --height=768 --debug \
                --log=$H/weston.log >$W/weston.out 2>&1 </dev/null &
            echo $! >>$W/pids
            for i in $(seq 100); do [ -S $H/run/wl-qn ] && break; sleep 0.05; done
        fi
        envd=(WAYLAND_DISPLAY=wl-qn XDG_SESSION_TYPE=wayland)
        ;;
    esac
    (cd $H && exec runuser -u qnuser -- env -i HOME=$H USER=qnuser LOGNAME=qnuser PATH=/usr/bin:/bin \
        XDG_RUNTIME_DIR=$H/run QUILLNET_DEPLOYMENT=$H/deployment.ini "${envd[@]}" \
        setsid /usr/bin/quillnet) >$W/client.log 2>&1 </dev/null &
    for i in $(seq 100); do client_pid >/dev/null && exit 0; sleep 0.05; done
    exit 1
    ;;
wait-log)
    for i in $(seq $((${3:-30} * 10))); do
        grep -qF -- "$2" "$LOG" 2>/dev/null && exit 0
        client_pid >/dev/null || break
        sleep 0.1
    done
    grep -qF -- "$2" "$LOG" 2>/dev/null
    ;;
quit)
    pid=$(client_pid) || exit 0
    kill -TERM $pid
    for i in $(seq 150); do kill -0 $pid 2>/dev/null || exit 0; sleep 0.1; done
    exit 1
    ;;
screenshot)
    rm -f $H/wayland-screenshot-*.png
    (cd $H && timeout 15 runuser -u qnuser -- env XDG_RUNTIME_DIR=$H/run WAYLAND_DISPLAY=wl-qn \
        weston-screenshooter) >/dev/null 2>&1 && cp $H/wayland-screenshot-*.png "$2"
    ;;
probe)
    timeout 5 python3 -c "import urllib.request, sys
urllib.request.urlopen('http://$(env_of SERVER_ADDRESS):8080/', timeout=3)" >/dev/null 2>&1
    ;;
stop)
    pkill -u qnuser 2>/dev/null
    sleep 0.5
    pkill -KILL -u qnuser 2>/dev/null
    [ -f $W/pids ] && kill $(cat $W/pids) 2>/dev/null
    $S/tests/peers/openvpn_server.sh stop $W/vpn >/dev/null 2>&1
    rm -f $W/pids /etc/polkit-1/rules.d/10-qn-system-test.rules
    exit 0
    ;;
esac
