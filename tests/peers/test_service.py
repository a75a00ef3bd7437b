"""Checks of the local test service over real loopback sockets.

    python3 tests/peers/test_service.py      (from any directory)
"""

import http.client
import json
import os
import re
import signal
import socket
import ssl
import subprocess
import sys
import time
import unittest
from urllib.parse import quote

HERE = os.path.dirname(os.path.abspath(__file__))
PINNED = os.path.join(HERE, "..", "..", "resources", "data", "server.crt")
OTHER = os.path.join(HERE, "certs", "other.crt")
DEMO = "/server/api.php?login=demo&heslo=demo123"
FRESH = "/server/api.php?login=fresh&heslo=fresh123"
LOCATION = re.compile(r'#\s*\$\s*location_cz\s*=\s*"(.+)"')


def pem_to_der(path):
    with open(path, encoding="ascii") as f:
        return ssl.PEM_cert_to_DER_cert(f.read())


class ServiceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.proc = subprocess.Popen(
            [sys.executable, os.path.join(HERE, "service.py"),
             "--https-port", "0", "--http-port", "0"],
            stdout=subprocess.PIPE, text=True)
        ready = cls.proc.stdout.readline().split()
        assert ready[0] == "READY", ready
        cls.https_port = int(ready[1].split("=")[1])
        cls.http_port = int(ready[2].split("=")[1])
        cls.pinned = ssl.create_default_context(cafile=PINNED)
        cls.pinned.check_hostname = False

    @classmethod
    def tearDownClass(cls):
        cls.proc.send_signal(signal.SIGTERM)
        assert cls.proc.wait(5) == 0
        cls.proc.stdout.close()

    def setUp(self):
        self.control("reset")

    # -- helpers ----------------------------------------------------------

    def get(self, target, tls=False, timeout=3):
        """(HTTP status, body bytes) of one GET."""
        if tls:
            conn = http.client.HTTPSConnection(
                "127.0.0.1", self.https_port, timeout=timeout, context=self.pinned)
        else:
            conn = http.client.HTTPConnection("127.0.0.1", self.http_port, timeout=timeout)
        try:
            conn.request("GET", target)
            response = conn.getresponse()
            return response.status, response.read()
        finally:
            conn.close()

    def api(self, query, login=DEMO):
        return self.get(login + "&akce=" + query)[1].decode()

    def control(self, endpoint):
        status, body = self.get("/_control/" + endpoint)
        self.assertEqual(status, 200, body)
        return json.loads(body)

    def presented_cert(self):
        return ssl.PEM_cert_to_DER_cert(
            ssl.get_server_certificate(("127.0.0.1", self.https_port)))

    # -- account operations -------------------------------------------------

    def test_queries_answer_seed_data_or_status_words(self):
        self.assertEqual(self.api("GetEmail"), "demo@contact.example")
        self.assertEqual(self.api("GetAliases"),
                         "shopping,demo@contact.example;news.letters,;")
        self.assertEqual(self.api("GetForwarding"), "1")
        self.assertEqual(self.api("GetEmail", FRESH), "0")  # none on record
        self.assertEqual(self.api("GetAliases", FRESH), "1")  # empty list
        self.assertEqual(self.api("GetForwarding", FRESH), "0")

    def test_refusals(self):
        for login in ("/server/api.php?login=demo&heslo=wrong",
                      "/server/api.php?login=vestor&heslo=vestor",
                      "/server/api.php?heslo=demo123"):
            self.assertEqual(self.api("GetEmail", login), "0", login)
        self.assertEqual(self.api("Unknown"), "0")
        self.assertEqual(self.get(DEMO)[1], b"0")  # no akce at all
        self.assertEqual(self.api("SetForwarding&forwarding=yes"), "0")
        self.assertEqual(self.api("SetHeslo&noveheslo="), "0")
        self.assertEqual(self.api("AddAlias&email=,x@y.example"), "0")

    def test_alias_add_change_delete(self):
        self.assertEqual(self.api("AddAlias&email=Shopping,"), "0")  # taken, any case
        self.assertEqual(self.api("AddAlias&email=postmaster,"), "0")  # reserved
        self.assertEqual(self.api("AddAlias&email=trips"), "1")  # no comma: no forward
        self.assertEqual(self.api("ChangeAlias&oldemail=trips,&email=news.letters,a@b.example"),
                         "0")  # new name taken
        self.assertEqual(self.api("ChangeAlias&oldemail=TRIPS,&email=Trips,a@b.example"), "1")
        self.assertEqual(self.api("DeleteAlias&email=shopping,other@x.example"), "0")
        self.assertEqual(self.api("DeleteAlias&email=SHOPPING,demo@contact.example"), "1")
        self.assertEqual(self.api("GetAliases"), "news.letters,;Trips,a@b.example;")
        self.assertEqual(self.api("AddAlias&email=trips,", FRESH), "0")  # another account's

    def test_contact_receiving_and_password_changes(self):
        self.assertEqual(self.api("SetEmail&email="), "1")
        self.assertEqual(self.api("GetEmail"), "1")  # cleared
        self.assertEqual(self.api("SetForwarding&forwarding=0"), "1")
        self.assertEqual(self.api("GetForwarding"), "0")
        self.assertEqual(self.api("SetHeslo&noveheslo=fresh9"), "1")
        self.assertEqual(self.api("GetForwarding"), "0")  # old password now refused
        self.assertEqual(self.api("GetForwarding", "/server/api.php?login=demo&heslo=fresh9"), "0")
        self.assertEqual(self.control("accounts")["demo"]["password"], "fresh9")
        self.control("reset")
        self.assertEqual(self.api("GetEmail"), "demo@contact.example")

    def test_percent_encoded_values_are_stored_decoded(self):
        forward = "a+b c&d#e%f@x.example"
        self.assertEqual(self.api("AddAlias&email=" + quote("odd," + forward, safe="")), "1")
        self.assertIn("odd," + forward + ";", self.api("GetAliases"))
        self.assertEqual(self.api("AddAlias&email=plain,a+b@x.example"), "1")
        self.assertIn("plain,a+b@x.example;", self.api("GetAliases"))  # "+" is no space

    # -- configuration and update ---------------------------------------------

    def test_config_body_splits_into_certificate_and_tunnel_config(self):
        status, body = self.get("/server/config.php?login=demo&heslo=demo123", tls=True)
        lines = body.decode().splitlines()
        begin = next(i for i, l in enumerate(lines) if "BEGIN CERTIFICATE" in l)
        end = next(i for i, l in enumerate(lines) if "END CERTIFICATE" in l)
        config = lines[end + 1:]
        self.assertLess(begin, end)
        self.assertIn("remote 127.0.0.1 1194", config)
        locations = [m.group(1) for m in map(LOCATION.fullmatch, config) if m]
        self.assertEqual(locations, ["Loopback One"])
        free = self.get("/server/config.php?login=vestor&heslo=vestor", tls=True)[1]
        self.assertIn(b'"Loopback Free"', free)
        self.assertEqual(self.get("/server/config.php?login=demo&heslo=x", tls=True)[1], b"0")

    def test_update_offer_and_download(self):
        check = "/server/update.php?verze=2002"
        self.assertEqual(self.get(check, tls=True)[1], b"0")
        self.control("update?offer=1&size=3000")
        url = self.get(check, tls=True)[1].decode()
        self.assertEqual(url, "https://127.0.0.1:%d/download/update" % self.https_port)
        expected = bytes(i % 256 for i in range(3000))
        self.assertEqual(self.get(url, tls=True), (200, expected))  # absolute form
        self.assertEqual(self.get("/download/update", tls=True), (200, expected))
        self.control("update?offer=1&answer=http%3A%2F%2F127.0.0.1%2Fu")
        self.assertEqual(self.get(check, tls=True)[1], b"http://127.0.0.1/u")
        self.control("update?offer=0")
        self.assertEqual(self.get(check, tls=True)[1], b"0")
        self.assertEqual(self.get("/download/update", tls=True)[0], 404)

    def test_paths_are_served_on_their_own_scheme_only(self):
        self.assertEqual(self.get("/server/config.php?login=demo&heslo=demo123")[0], 404)
        self.assertEqual(self.get("/_control/status", tls=True)[0], 404)
        # The API answers on both: which one a client uses is its deployment's choice.
        self.assertEqual(self.get(DEMO + "&akce=GetEmail", tls=True)[0], 200)
        self.assertEqual(self.get(DEMO + "&akce=GetEmail")[0], 200)

    # -- misbehaviour ---------------------------------------------------------

    def test_answer_shaping_modes_and_count(self):
        cases = {"zero": (200, b"0"), "garbage": (200, b"<html>oops</html>"),
                 "padded": (200, b"\r\n 1 \r\n"), "http-error": (500, b"1")}
        for mode, expected in cases.items():
            self.control("behave?path=/server/api.php&mode=%s&count=1" % mode)
            self.assertEqual(self.get(DEMO + "&akce=GetForwarding"), expected, mode)
            self.assertEqual(self.get(DEMO + "&akce=GetForwarding"), (200, b"1"), mode)

    def test_behaviour_limited_to_one_operation(self):
        self.control("behave?path=/server/api.php&akce=GetEmail&mode=zero")
        self.assertEqual(self.api("GetEmail"), "0")
        self.assertEqual(self.api("GetForwarding"), "1")
        self.control("behave?path=/server/api.php&akce=GetEmail&mode=normal")
        self.assertEqual(self.api("GetEmail"), "demo@contact.example")

    def test_close_ends_the_connection_without_answer(self):
        self.control("behave?path=*&mode=close&count=1")
        with self.assertRaises((http.client.RemoteDisconnected, ConnectionError)):
            self.get("/server/update.php?verze=2002", tls=True)
        self.assertEqual(self.get("/server/update.php?verze=2002", tls=True)[1], b"0")

    def test_stall_blocks_nothing_else_and_reset_releases_it(self):
        self.control("behave?path=/server/api.php&akce=GetEmail&mode=stall")
        stalled = socket.create_connection(("127.0.0.1", self.http_port), timeout=3)
        stalled.sendall(("GET %s&akce=GetEmail HTTP/1.1\r\nHost: x\r\n\r\n" % DEMO).encode())
        stalled.settimeout(0.3)
        with self.assertRaises(socket.timeout):
            stalled.recv(1)
        self.assertEqual(self.api("GetForwarding"), "1")
        self.control("reset")
        stalled.settimeout(3)
        self.assertEqual(stalled.recv(1), b"")  # closed, still unanswered
        stalled.close()

    def test_slow_download_sends_half_then_stalls(self):
        self.control("update?offer=1&size=10000")
        self.control("behave?path=/download/update&mode=slow-download")
        conn = http.client.HTTPSConnection(
            "127.0.0.1", self.https_port, timeout=0.5, context=self.pinned)
        conn.request("GET", "/download/update")
        response = conn.getresponse()
        self.assertEqual(response.getheader("Content-Length"), "10000")
        self.assertEqual(len(response.read(5000)), 5000)
        with self.assertRaises(socket.timeout):
            response.read(1)
        conn.close()

    # -- certificate ------------------------------------------------------------

    def test_certificate_switch(self):
        self.assertEqual(self.presented_cert(), pem_to_der(PINNED))
        self.control("cert?name=other")
        self.assertEqual(self.presented_cert(), pem_to_der(OTHER))
        failures = self.control("status")["handshake_failures"]
        with self.assertRaises(ssl.SSLError):
            self.get("/server/update.php?verze=2002", tls=True)
        # The server notes the failure once the client has given up: poll.
        deadline = time.monotonic() + 2
        while self.control("status")["handshake_failures"] == failures:
            self.assertLess(time.monotonic(), deadline)
            time.sleep(0.01)
        self.control("cert?name=main")
        self.assertEqual(self.presented_cert(), pem_to_der(PINNED))
        self.assertEqual(self.get("/_control/cert?name=nope")[0], 400)

    # -- recording ------------------------------------------------------------

    def test_requests_are_recorded_raw_and_in_order(self):
        change = "%s&akce=ChangeAlias&oldemail=a%%2Bb,&email=c,d%%40e" % DEMO
        self.get(change)
        self.get("/server/update.php?verze=2002", tls=True)
        records = self.control("requests?clear=1")
        self.assertEqual([(r["scheme"], r["method"], r["path"]) for r in records],
                         [("http", "GET", change),
                          ("https", "GET", "/server/update.php?verze=2002")])
        self.assertEqual(records[0]["route"], "/server/api.php")
        self.assertEqual(records[0]["args"]["oldemail"], "a+b,")
        self.assertEqual(records[0]["args"]["email"], "c,d@e")
        self.assertLess(records[0]["seq"], records[1]["seq"])
        self.assertEqual(self.control("requests"), [])  # cleared; control calls not kept


class CommandLineTest(unittest.TestCase):
    def test_refuses_a_non_loopback_address(self):
        result = subprocess.run(
            [sys.executable, os.path.join(HERE, "service.py"), "--https-port", "0",
             "--http-port", "0", "--bind", "192.0.2.1"],
            capture_output=True, text=True, timeout=5)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("loopback", result.stderr)


if __name__ == "__main__":
    unittest.main()
