"""Run-time control of the local test service: the request log, the
misbehaviour rules, the presented certificate and the update offer.

Everything here is reached through GET requests on the plain HTTP port
under "/_control/"; every answer is JSON. See service.py for the list.
"""

import threading

MODES = (
    "normal",         # answer as usual
    "stall",          # read the request, never answer, hold the socket open
    "close",          # read the request, close the connection without answering
    "zero",           # answer "0"
    "garbage",        # answer GARBAGE, which is no status word
    "padded",         # answer "\r\n " + usual body + " \r\n"
    "slow-download",  # announce the full length, send the first half, stall
    "delay",          # answer as usual after `ms` milliseconds
    "http-error",     # the usual body with HTTP status 500
    "hostile-config", # the usual body with lines that would run a program
    "huge",           # the usual body followed by 2 MiB of padding
)

GARBAGE = b"<html>oops</html>"
# Run by OpenVPN in its working folder if a client ever took these lines.
HOSTILE_LINES = b"script-security 2\nup \"/bin/sh -c 'touch hostile-config-ran'\"\n"
DEFAULT_UPDATE_SIZE = 64 * 1024


def generated_body(size):
    """The generated update: byte i holds i % 256."""
    return (bytes(range(256)) * (size // 256 + 1))[:size]


class BadRequest(Exception):
    pass


class Control:
    def __init__(self, store, tls_contexts, update_file=None):
        self._lock = threading.Lock()
        self._store = store
        self._contexts = tls_contexts  # name -> ssl.SSLContext
        self._update_file = update_file
        self.update_url = None  # set once the HTTPS port is known
        self._stopping = False
        self._clear()

    def _clear(self):
        self._records = []
        self._seq = 0
        self._rules = {}  # (path, akce or None) -> [mode, remaining or None, ms]
        self._cert = "main"
        self._offer = None  # (answer text, download body or None)
        self._handshake_failures = 0
        self._keep_alive = False
        self._release = threading.Event()
        if self._stopping:
            self._release.set()

    # -- used by the request handler ---------------------------------------

    def record(self, entry):
        with self._lock:
            self._seq += 1
            entry["seq"] = self._seq
            self._records.append(entry)

    def tls_context(self):
        with self._lock:
            return self._contexts[self._cert]

    def keep_alive(self):
        with self._lock:
            return self._keep_alive

    def note_handshake_failure(self):
        with self._lock:
            self._handshake_failures += 1

    def take_behaviour(self, path, akce):
        """(mode, ms) for a request, using up one count of the matching rule."""
        with self._lock:
            for key in ((path, akce), (path, None), ("*", None)):
                rule = self._rules.get(key)
                if rule is None:
                    continue
                mode, remaining, ms = rule
                if remaining is not None:
                    rule[1] -= 1
                    if rule[1] <= 0:
                        del self._rules[key]
                return mode, ms
        return "normal", 0

    def wait_released(self, timeout=None):
        """Block until reset or shut-down (or the timeout); True when released."""
        with self._lock:
            release = self._release
        return release.wait(timeout)

    def update_answer(self):
        with self._lock:
            return self._offer[0] if self._offer else "0"

    def download_body(self):
        """The offered update's body, or None when no update is offered."""
        with self._lock:
            if self._offer is None or self._offer[1] is None:
                return None
            return self._offer[1]

    def shutdown(self):
        with self._lock:
            self._stopping = True
            self._release.set()

    # -- control endpoints ------------------------------------------------

    def handle(self, path, args):
        """(HTTP status, JSON-able answer) for a "/_control/..." request."""
        endpoint = self._ENDPOINTS.get(path[len("/_control/"):])
        if endpoint is None:
            return 404, {"error": "unknown control endpoint"}
        try:
            return 200, endpoint(self, args)
        except BadRequest as error:
            return 400, {"error": str(error)}

    def _requests(self, args):
        with self._lock:
            records = list(self._records)
            if args.get("clear") == "1":
                self._records = []
        return records

    def _reset(self, _args):
        self._store.reset()
        with self._lock:
            self._release.set()
            self._clear()
        return {"ok": True}

    def _behave(self, args):
        path, mode = args.get("path"), args.get("mode", "normal")
        if not path or mode not in MODES:
            raise BadRequest("need path and a mode of: " + ", ".join(MODES))
        key = (path, args.get("akce") or None)
        count = _number(args, "count", None)
        if count == 0:
            raise BadRequest("count must be at least 1")
        ms = _number(args, "ms", 0)
        with self._lock:
            if mode == "normal":
                self._rules.pop(key, None)
            else:
                self._rules[key] = [mode, count, ms]
        return {"ok": True}

    def _switch_cert(self, args):
        name = args.get("name")
        if name not in self._contexts:
            raise BadRequest("name must be one of: " + ", ".join(self._contexts))
        with self._lock:
            self._cert = name
        return {"ok": True, "cert": name}

    def _switch_keep_alive(self, args):
        if args.get("on") not in ("0", "1"):
            raise BadRequest("on must be 0 or 1")
        with self._lock:
            self._keep_alive = args["on"] == "1"
        return {"ok": True, "keep_alive": self._keep_alive}

    def _update(self, args):
        if args.get("offer") not in ("0", "1"):
            raise BadRequest("offer must be 0 or 1")
        offer = None
        if args["offer"] == "1":
            offer = (args.get("answer", self.update_url), self._update_body(args))
        with self._lock:
            self._offer = offer
        return {"ok": True, "answer": offer[0] if offer else "0",
                "size": len(offer[1]) if offer else 0}

    def _update_body(self, args):
        if "size" in args:
            return generated_body(_number(args, "size", 0))
        if self._update_file:
            with open(self._update_file, "rb") as f:
                return f.read()
        return generated_body(DEFAULT_UPDATE_SIZE)

    def _accounts(self, _args):
        return self._store.snapshot()

    def _status(self, _args):
        with self._lock:
            return {
                "cert": self._cert,
                "update_answer": self._offer[0] if self._offer else "0",
                "rules": [
                    {"path": p, "akce": a, "mode": m, "remaining": r, "ms": ms}
                    for (p, a), (m, r, ms) in self._rules.items()
                ],
                "requests": len(self._records),
                "handshake_failures": self._handshake_failures,
            }

    _ENDPOINTS = {
        "requests": _requests,
        "reset": _reset,
        "behave": _behave,
        "cert": _switch_cert,
        "keep-alive": _switch_keep_alive,
        "update": _update,
        "accounts": _accounts,
        "status": _status,
    }


def _number(args, key, default):
    if key not in args:
        return default
    try:
        value = int(args[key])
    except ValueError:
        raise BadRequest(key + " must be a number") from None
    if value < 0:
        raise BadRequest(key + " must not be negative")
    return value
