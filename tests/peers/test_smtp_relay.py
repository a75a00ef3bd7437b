"""Checks of the local test mail relay over real loopback sockets.

    python3 tests/peers/test_smtp_relay.py      (from any directory)
"""

import os
import signal
import smtplib
import ssl
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
RELAY = os.path.join(HERE, "smtp_relay.py")


class Relay:
    """One relay process on an ephemeral port, storing into `maildir`."""

    def __init__(self, maildir, *extra):
        self.proc = subprocess.Popen(
            [sys.executable, RELAY, "--port", "0", "--maildir", maildir, *extra],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        ready = self.proc.stdout.readline().split("=")
        if ready[0] != "READY port":
            self.proc.kill()
            raise AssertionError("relay did not start: %r %s" % (ready, self.proc.stderr.read()))
        self.port = int(ready[1])

    def log_line(self):
        return self.proc.stdout.readline().strip()

    def stop(self):
        self.proc.send_signal(signal.SIGTERM)
        code = self.proc.wait(5)
        self.proc.stdout.close()
        self.proc.stderr.close()
        return code


class SmtpRelayTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.maildir = os.path.join(self.folder.name, "mail")
        self.relay = Relay(self.maildir)

    def tearDown(self):
        self.assertEqual(self.relay.stop(), 0, "SIGTERM ends the relay cleanly")
        self.folder.cleanup()

    def stored(self, name):
        with open(os.path.join(self.maildir, name), "rb") as f:
            return f.read()

    def test_two_messages_in_one_session(self):
        with smtplib.SMTP("127.0.0.1", self.relay.port, timeout=5) as smtp:
            # A mail program set up with a login for the real relay.
            smtp.login("anyone", "anything")
            smtp.sendmail("me@home.test", ["you@there.test", "copy@there.test"],
                          b"Subject: first\r\n\r\n.a line that starts with a dot\r\n8-bit \xc5\xbe\r\n")
            # An envelope rebuilt after RSET, written the way the client's
            # mail proxy and support sender write their commands.
            smtp.docmd("MAIL FROM: <me@home.test>")
            smtp.docmd("RCPT TO: <you@there.test>")
            self.assertEqual(smtp.docmd("RSET")[0], 250)
            self.assertEqual(smtp.docmd("MAIL FROM: <alias@alias.test>")[0], 250)
            self.assertEqual(smtp.docmd("RCPT TO: <you@there.test>")[0], 250)
            self.assertEqual(smtp.docmd("DATA")[0], 354)
            smtp.send(b"Subject: second\r\n\r\nbody\r\n.\r\n")
            self.assertEqual(smtp.getreply()[0], 250)

        self.assertEqual(
            self.stored("1.eml"),
            b"X-Envelope-From: <me@home.test>\r\n"
            b"X-Envelope-To: <you@there.test>\r\nX-Envelope-To: <copy@there.test>\r\n"
            b"Subject: first\r\n\r\n.a line that starts with a dot\r\n8-bit \xc5\xbe\r\n")
        self.assertEqual(
            self.stored("2.eml"),
            b"X-Envelope-From: <alias@alias.test>\r\nX-Envelope-To: <you@there.test>\r\n"
            b"Subject: second\r\n\r\nbody\r\n")
        self.assertEqual(sorted(os.listdir(self.maildir)), ["1.eml", "2.eml"])
        self.assertRegex(self.relay.log_line(),
                         r"^STORED 1\.eml from=me@home\.test to=you@there\.test,copy@there\.test bytes=\d+$")
        self.assertRegex(self.relay.log_line(), r"^STORED 2\.eml from=alias@alias\.test ")

    def test_numbering_goes_on_after_earlier_runs(self):
        self.assertEqual(self.relay.stop(), 0)
        with open(os.path.join(self.maildir, "7.eml"), "wb") as f:
            f.write(b"kept")
        self.relay = Relay(self.maildir)
        with smtplib.SMTP("127.0.0.1", self.relay.port, timeout=5) as smtp:
            smtp.sendmail("a@b.test", ["c@d.test"], b"Subject: later\r\n\r\nx\r\n")
        self.assertEqual(self.stored("7.eml"), b"kept")
        self.assertIn(b"Subject: later", self.stored("8.eml"))

    def test_offers_starttls_and_extra_keywords(self):
        self.assertEqual(self.relay.stop(), 0)
        self.relay = Relay(self.maildir, "--starttls", "--advertise", "PIPELINING",
                           "--advertise", "CHUNKING")
        with smtplib.SMTP("127.0.0.1", self.relay.port, timeout=5) as smtp:
            smtp.ehlo("client.test")
            for keyword in ("starttls", "pipelining", "chunking", "auth"):
                self.assertTrue(smtp.has_extn(keyword), keyword)
            self.assertEqual(smtp.docmd("BDAT 1 LAST")[0], 500)  # announced only
            smtp.starttls(context=ssl._create_unverified_context())
            smtp.sendmail("a@b.test", ["c@d.test"], b"Subject: sealed\r\n\r\nx\r\n")
        self.assertIn(b"Subject: sealed", self.stored("1.eml"))

    def test_refuses_to_listen_beyond_loopback(self):
        result = subprocess.run(
            [sys.executable, RELAY, "--port", "0", "--bind", "0.0.0.0", "--maildir", self.maildir],
            capture_output=True, text=True, timeout=10)
        self.assertNotEqual(result.returncode, 0)
        self.assertNotIn("READY", result.stdout)


if __name__ == "__main__":
    unittest.main()
