#!/usr/bin/env python3
"""HTTP server on an ephemeral loopback port that answers every GET with
the request's header lines, exactly as received, as a text/plain body, and
sets a cookie. Prints the port on its first output line."""
import http.server
import sys


class EchoHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def do_GET(self):
        body = "".join(f"{name}: {value}\n" for name, value in self.headers.items())
        data = body.encode("latin-1")
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Set-Cookie", "echo=1; Path=/")
        self.end_headers()
        self.wfile.write(data)

    def log_message(self, *args):
        pass


def main():
    server = http.server.HTTPServer(("127.0.0.1", 0), EchoHandler)
    print(server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    sys.exit(0)


if __name__ == "__main__":
    main()
