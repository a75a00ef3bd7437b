#!/bin/sh
# auth-user-pass-verify hook of the test OpenVPN server (via-file):
#   openvpn_check_user.sh <users file> <credentials file>
# The users file holds one "name:password" a line; the credentials file,
# written by OpenVPN, the user name on its first line and the password on
# its second. Exit status 0 lets the client in.
users=$1
credentials=$2
{ IFS= read -r name && IFS= read -r password; } < "$credentials" || exit 1
grep -Fxq -- "$name:$password" "$users"
