"""Command-line checks shared by the test peers."""

import ipaddress


def require_loopback(parser, address):
    """Ends the program with a usage error unless `address` is a loopback address.

    The peers are test stand-ins: nothing outside this machine may reach them.
    """
    try:
        loopback = ipaddress.ip_address(address).is_loopback
    except ValueError:
        loopback = False
    if not loopback:
        parser.error("--bind must be a loopback address")
