#!/usr/bin/python3
"""The leak lab's captive portal, on the ISP: while the ISP's portal table
holds the machine, its web requests on port 80 end up here.

    lab_portal.py --port PORT --table NAME --title TEXT

Answers every GET with a sign-in page (TEXT its title and heading, and a
form) and every POST, whatever its body, by letting the machine in: it
deletes the nft table "inet NAME" of its namespace, then says "Signed in".
Listens on PORT over IPv4 and IPv6. Prints "READY" once it listens. Runs
until killed."""
import argparse
import html
import subprocess
import sys

# IPv4 and IPv6 on one socket, as the internet host listens.
from lab_echo_http import Handler, Server


class Portal(Handler):
    def do_GET(self):
        title = html.escape(self.server.title)
        page = (
            "<!DOCTYPE html>\n<html><head><title>%s</title></head><body>\n"
            "<h1>%s</h1>\n"
            '<form method="post" action="/">\n'
            '<label><input type="checkbox" name="accept" value="yes"> I accept the terms of use</label>\n'
            '<button type="submit">Sign in</button>\n'
            "</form>\n</body></html>\n" % (title, title))
        self.answer(200, "text/html", page.encode())

    def do_POST(self):
        self.rfile.read(int(self.headers.get("Content-Length") or 0))
        # Made first and deleted in one go: a second POST, from a page left
        # open, finds the table gone and is no failure.
        table = "inet " + self.server.table
        done = subprocess.run(["nft", "-f", "-"], capture_output=True,
                              input=("table %s {}\ndelete table %s\n" % (table, table)).encode())
        if done.returncode != 0:
            self.answer(500, "text/plain", done.stderr)
            return
        self.answer(200, "text/plain", b"Signed in\n")



def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--table", required=True)
    parser.add_argument("--title", required=True)
    args = parser.parse_args()
    server = Server(("::", args.port), Portal)
    server.table, server.title = args.table, args.title
    print("READY", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
