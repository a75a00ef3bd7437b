"""HTTP side of the local test service: the two listeners, the TLS
handshake, routing, request recording and the misbehaviour modes.

Each connection runs in its own thread (a stalled one blocks nothing
else) and carries one request: answers say "Connection: close", unless
the control asks to keep connections open after ordinary answers.

Query decoding: the raw query is split at every "&" and each field at
its first "="; key and value are then decoded with urllib.parse.unquote.
A "+" therefore stays a "+" (it is not read as a space): the client
percent-encodes every value, so "a%2Bb%40x.example" arrives as
"a+b@x.example". When a key repeats, its first value counts.
"""

import json
import re
import socket
import ssl
import sys
from dataclasses import dataclass
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import unquote

from service_answers import api_answer, config_answer
from service_control import GARBAGE, HOSTILE_LINES

ABSOLUTE_PREFIX = re.compile(r"^[a-zA-Z][a-zA-Z0-9+.-]*://[^/?#]*")
DOWNLOAD_PATH = "/download/update"


@dataclass
class Service:
    store: object
    template: str
    control: object
    verbose: bool = False


def split_target(target):
    """(path, raw query) of a request target, origin or absolute form."""
    target = ABSOLUTE_PREFIX.sub("", target) or "/"
    path, _, query = target.partition("?")
    return path, query


def parse_query(raw):
    args = {}
    for field in raw.split("&"):
        if field:
            key, _, value = field.partition("=")
            args.setdefault(unquote(key), unquote(value))
    return args


def _text(body):
    return 200, body.encode("utf-8")


def _download(service, _args):
    body = service.control.download_body()
    return (200, body) if body is not None else (404, b"no update offered")


# (scheme, path) -> function(service, args) giving (HTTP status, body bytes)
ROUTES = {
    ("http", "/server/api.php"): lambda s, a: _text(api_answer(s.store, a)),
    ("https", "/server/api.php"): lambda s, a: _text(api_answer(s.store, a)),
    ("https", "/server/config.php"):
        lambda s, a: _text(config_answer(s.store, s.template, a)),
    ("https", "/server/update.php"): lambda s, a: _text(s.control.update_answer()),
    ("https", DOWNLOAD_PATH): _download,
}


def _shaped(mode, status, body):
    """The answer as the misbehaviour mode wants it."""
    if mode == "zero":
        return status, b"0"
    if mode == "garbage":
        return status, GARBAGE
    if mode == "padded":
        return status, b"\r\n " + body + b" \r\n"
    if mode == "http-error":
        return 500, body
    if mode == "huge":
        return status, body + b"\n" + b"#" * (2 << 20)
    if mode == "hostile-config":
        return status, body.rstrip(b"\n") + b"\n" + HOSTILE_LINES
    return status, body


class ServiceHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "LoopbackService/1.0"
    timeout = 60  # an idle connection that never sends its request
    # Headers and body leave in separate writes: on a connection kept open
    # the body would otherwise wait for the client's delayed ACK.
    disable_nagle_algorithm = True

    def do_GET(self):
        service = self.server.service
        path, query = split_target(self.path)
        args = parse_query(query)
        self.close_connection = True
        if self.server.scheme == "http" and path.startswith("/_control/"):
            status, answer = service.control.handle(path, args)
            self._answer(status, json.dumps(answer).encode(), "application/json")
            return
        service.control.record({
            "scheme": self.server.scheme,
            "method": self.command,
            "path": self.path,  # raw path and query, as received
            "route": path,
            "args": args,
            "headers": [[k, v] for k, v in self.headers.items()],
            "peer_port": self.client_address[1],
        })
        self._serve(service, path, args)

    do_POST = do_GET

    def _serve(self, service, path, args):
        route = ROUTES.get((self.server.scheme, path))
        if route is None:
            self._answer(404, b"not found")
            return
        control = service.control
        mode, ms = control.take_behaviour(path, args.get("akce"))
        if mode == "stall":
            control.wait_released()
            return
        if mode == "close":
            return
        if mode == "delay":
            control.wait_released(ms / 1000)
        status, body = _shaped(mode, *route(service, args))
        if mode == "slow-download":
            self._answer(status, body[: len(body) // 2], length=len(body))
            control.wait_released()
            return
        self.close_connection = not control.keep_alive()
        self._answer(status, body)

    def _answer(self, status, body, content_type=None, length=None):
        self.send_response(status)
        self.send_header("Content-Type", content_type or "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(len(body) if length is None else length))
        if self.close_connection:
            self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
        self.wfile.flush()

    def log_message(self, fmt, *args):
        if self.server.service.verbose:
            super().log_message(fmt, *args)


class PlainServer(ThreadingHTTPServer):
    scheme = "http"
    daemon_threads = True

    def __init__(self, address, service):
        self.service = service
        super().__init__(address, ServiceHandler)

    def handle_error(self, request, client_address):
        # A client that hangs up early is normal here; anything else is a fault.
        if not isinstance(sys.exc_info()[1], (ConnectionError, TimeoutError, ssl.SSLError)):
            super().handle_error(request, client_address)


class TlsServer(PlainServer):
    """Handshakes in the connection's own thread with the certificate
    selected at that moment."""

    scheme = "https"

    def finish_request(self, request, client_address):
        request.settimeout(ServiceHandler.timeout)
        try:
            tls = self.service.control.tls_context().wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError):
            self.service.control.note_handshake_failure()
            return
        try:
            super().finish_request(tls, client_address)
        finally:
            tls.close()


def make_server(server_class, bind, port, service):
    family = socket.AF_INET6 if ":" in bind else socket.AF_INET
    bound_class = type(server_class.__name__, (server_class,), {"address_family": family})
    return bound_class((bind, port), service)


def tls_context(cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context
