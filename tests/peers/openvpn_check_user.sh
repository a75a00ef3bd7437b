#!/bin/sh
# auth-user-pass-verify hook of the test OpenVPN server (via-file):
#   openvpn_check_user.sh <users file> <credentials file>
# The users file holds one "name:password" a line; the credentials file,
# written by OpenVPN, the user name on its first line and the password on
# its second. Exit status 0 lets the client in. A "fail_reason" file beside
# the users file is the reason a refused client is told (a hostile server's
# text: OpenVPN prints it at the end of the client's AUTH_FAILED line).
users=$1
credentials=$2
{ IFS= read -r name && IFS= read -r password; } < "$credentials" &&
    grep -Fxq -- "$name:$password" "$users" && exit 0
reason=${users%/*}/fail_reason
if [ -r "$reason" ] && [ -n "${auth_failed_reason_file:-}" ]; then
    cat "$reason" >"$auth_failed_reason_file"
fi
exit 1
