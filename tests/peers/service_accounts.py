"""Account store of the local test service.

Every account holds:
  password   - the login password (the client sends it as "heslo")
  email      - the contact address; None means "no contact on record"
               (GetEmail answers "0"), "" means "contact cleared"
               (GetEmail answers "1")
  receiving  - whether mail for the aliases is delivered (GetForwarding)
  aliases    - alias -> forward, in insertion order; forward may be ""
  free       - the free account: it may fetch a tunnel configuration but
               every account operation on api.php is refused
  location   - the location text put into the tunnel configuration

Alias names are unique across all accounts and compared without regard
to case; a few names are reserved and always count as taken.

The store can be saved to and loaded from a JSON file of the form
{"accounts": {"<user>": {<the fields above>}}}.
"""

import copy
import json
import os
import threading

FREE_USER = "vestor"

RESERVED_ALIASES = ("postmaster", "abuse", "admin")

SEED = {
    FREE_USER: {
        "password": FREE_USER,
        "email": None,
        "receiving": False,
        "aliases": {},
        "free": True,
        "location": "Loopback Free",
    },
    "demo": {
        "password": "demo123",
        "email": "demo@contact.example",
        "receiving": True,
        "aliases": {
            "shopping": "demo@contact.example",
            "news.letters": "",
        },
        "free": False,
        "location": "Loopback One",
    },
    "fresh": {
        "password": "fresh123",
        "email": None,
        "receiving": False,
        "aliases": {},
        "free": False,
        "location": "Loopback Two",
    },
}


class AccountStore:
    """Thread-safe accounts; saved to `path` after every change when given."""

    def __init__(self, path=None):
        self._lock = threading.RLock()
        self._path = path
        self._accounts = copy.deepcopy(SEED)
        if path and os.path.exists(path):
            with open(path, encoding="utf-8") as f:
                self._accounts = json.load(f)["accounts"]

    # -- whole-store operations -------------------------------------------

    def reset(self):
        with self._lock:
            self._accounts = copy.deepcopy(SEED)
            self._save()

    def snapshot(self):
        with self._lock:
            return copy.deepcopy(self._accounts)

    def _save(self):
        if not self._path:
            return
        tmp = self._path + ".tmp"
        with open(tmp, "w", encoding="utf-8") as f:
            json.dump({"accounts": self._accounts}, f, indent=2)
        os.replace(tmp, self._path)

    # -- per-account operations -------------------------------------------

    def authenticate(self, user, password):
        """The account's record (a copy) when the credentials match, else None."""
        with self._lock:
            account = self._accounts.get(user)
            if account is None or account["password"] != password:
                return None
            return copy.deepcopy(account)

    def update(self, user, change):
        """Run change(account) under the lock; save when it returns True."""
        with self._lock:
            done = change(self._accounts[user])
            if done:
                self._save()
            return done

    def alias_taken(self, alias, except_user=None, except_alias=None):
        """Whether `alias` is reserved or used by some account (case-insensitive).

        The alias `except_alias` of `except_user` does not count; that lets an
        alias be renamed to a different letter case of itself."""
        wanted = alias.lower()
        if wanted in RESERVED_ALIASES:
            return True
        with self._lock:
            for user, account in self._accounts.items():
                for name in account["aliases"]:
                    if name.lower() != wanted:
                        continue
                    if user == except_user and name == except_alias:
                        continue
                    return True
        return False
