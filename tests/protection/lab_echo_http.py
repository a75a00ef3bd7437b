#!/usr/bin/python3
"""The leak lab's internet host: answers every HTTP GET on port 80, IPv4 and
IPv6, with the address the request came from, so that the caller can tell
which way it went. Prints "READY" once it listens. Runs until killed."""
import http.server
import socket
import sys


class Server(http.server.ThreadingHTTPServer):
    address_family = socket.AF_INET6

    def server_bind(self):
        self.socket.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 0)
        super().server_bind()


class Handler(http.server.BaseHTTPRequestHandler):
    """Answers whole bodies and keeps quiet: the lab's peers log nothing."""

    def answer(self, status, content_type, body):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


class Echo(Handler):
    def do_GET(self):
        source = self.client_address[0]
        if source.startswith("::ffff:"):
            source = source[len("::ffff:"):]
        self.answer(200, "text/plain", (source + "\n").encode())


def main():
    server = Server(("::", 80), Echo)
    print("READY", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
