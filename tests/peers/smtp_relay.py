#!/usr/bin/python3
"""Local stand-in for the service's mail relay, for tests and the demo.

    python3 tests/peers/smtp_relay.py --port N [--bind 127.0.0.1] --maildir DIR
                                      [--starttls] [--advertise KEYWORD ...]

Port 0 picks a free port. Once listening, one line "READY port=<port>" goes
to stdout. SIGTERM or SIGINT ends the relay (exit status 0). Only loopback
addresses are accepted.

Every sender and recipient is accepted, and so is any AUTH PLAIN or LOGIN
(without TLS), so that mail programs set up for a real relay go through.
Each message is stored as DIR/<n>.eml (n = 1, 2, ... after the highest
number already there), written under a temporary name and renamed, so a
reader never sees half a message. The file starts with the envelope:
one "X-Envelope-From: <sender>" line and one "X-Envelope-To: <recipient>"
line per recipient, then the message as received (dot-stuffing removed,
bytes unchanged). One line per message goes to stdout:
    STORED <n>.eml from=<sender> to=<rcpt>[,<rcpt>...] bytes=<size>

A relay like some real ones, for checking what a mail program in front of
it is offered: --starttls serves STARTTLS (with tests/peers/certs/other.crt),
and each --advertise adds one keyword line (for example PIPELINING, CHUNKING,
BINARYMIME) at the end of the EHLO reply. The keywords are only announced; commands
aiosmtpd does not know (BDAT) are still refused.
"""

import argparse
import asyncio
import logging
import os
import re
import ssl
import sys

SYSTEM_PYTHON = "/usr/bin/python3"

try:
    from aiosmtpd.smtp import SMTP, AuthResult
except ImportError:
    # Debian's aiosmtpd lives in the system interpreter's packages; another
    # python3 first on the search path (pyenv, a virtualenv) does not see it.
    if os.path.realpath(sys.executable) != os.path.realpath(SYSTEM_PYTHON) and os.access(SYSTEM_PYTHON, os.X_OK):
        os.execv(SYSTEM_PYTHON, [SYSTEM_PYTHON] + sys.argv)
    sys.exit("smtp_relay: aiosmtpd is missing (apt-get install python3-aiosmtpd)")

sys.dont_write_bytecode = True  # keep the source tree clean when tests start it
from peer_args import require_loopback  # noqa: E402 (after the interpreter check)
from peer_serving import serve_until_signalled  # noqa: E402

MESSAGE_NAME = re.compile(r"^(\d+)\.eml$")
HERE = os.path.dirname(os.path.abspath(__file__))


class MailDir:
    """Numbered message files in one folder."""

    def __init__(self, path):
        os.makedirs(path, exist_ok=True)
        self.path = path
        numbers = [int(m.group(1)) for m in map(MESSAGE_NAME.match, os.listdir(path)) if m]
        self.last = max(numbers, default=0)

    def store(self, sender, recipients, content):
        self.last += 1
        name = "%d.eml" % self.last
        envelope = ["X-Envelope-From: <%s>" % sender]
        envelope += ["X-Envelope-To: <%s>" % rcpt for rcpt in recipients]
        temporary = os.path.join(self.path, "." + name + ".part")
        with open(temporary, "wb") as f:
            f.write(("\r\n".join(envelope) + "\r\n").encode("utf-8", "surrogateescape"))
            f.write(content)
        os.rename(temporary, os.path.join(self.path, name))
        return name


class Handler:
    def __init__(self, maildir, advertised=()):
        self.maildir = maildir
        self.advertised = list(advertised)

    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        # With this hook aiosmtpd leaves the greeting name to it.
        session.host_name = hostname
        if not self.advertised:
            return responses
        # Last in the reply, so that the last line may be one a proxy drops.
        lines = [line.replace("250 ", "250-", 1) for line in responses]
        lines += ["250-" + keyword for keyword in self.advertised]
        lines[-1] = lines[-1].replace("250-", "250 ", 1)
        return lines

    async def handle_DATA(self, server, session, envelope):
        name = self.maildir.store(envelope.mail_from, envelope.rcpt_tos, envelope.content)
        print("STORED %s from=%s to=%s bytes=%d"
              % (name, envelope.mail_from, ",".join(envelope.rcpt_tos), len(envelope.content)),
              flush=True)
        return "250 OK stored as " + name


def accept_any_login(server, session, envelope, mechanism, auth_data):
    return AuthResult(success=True)


def parse_args(argv):
    parser = argparse.ArgumentParser(description="Local test mail relay.")
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--bind", default="127.0.0.1")
    parser.add_argument("--maildir", required=True)
    parser.add_argument("--starttls", action="store_true")
    parser.add_argument("--advertise", action="append", default=[], metavar="KEYWORD")
    args = parser.parse_args(argv)
    require_loopback(parser, args.bind)
    return args


async def serve(args):
    handler = Handler(MailDir(args.maildir), args.advertise)
    tls = None
    if args.starttls:
        tls = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        tls.load_cert_chain(os.path.join(HERE, "certs", "other.crt"),
                            os.path.join(HERE, "certs", "other.key"))
    loop = asyncio.get_running_loop()
    server = await loop.create_server(
        lambda: SMTP(handler, hostname="relay.localhost", ident="Quillnet test relay",
                     authenticator=accept_any_login, auth_require_tls=False,
                     tls_context=tls),
        args.bind, args.port)
    await serve_until_signalled(server)


def main(argv=None):
    args = parse_args(argv)
    # aiosmtpd warns about its own deprecated attribute on every AUTH.
    logging.getLogger("mail.log").setLevel(logging.ERROR)
    try:
        asyncio.run(serve(args))
    except OSError as error:
        sys.exit("smtp_relay: " + str(error))
    return 0


if __name__ == "__main__":
    sys.exit(main())
