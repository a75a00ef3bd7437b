"""Answers of "/server/api.php" and "/server/config.php".

Every answer is a text body: the status words "1" (done; for a query:
nothing on record) and "0" (refused or failed), or data.

api.php (query: login, heslo, akce and the operation's own keys):
  GetEmail       -> the contact address; "1" when it was cleared;
                    "0" when none was ever on record
  SetEmail       -> email=<address, may be empty>           -> "1"
  SetHeslo       -> noveheslo=<new password, not empty>     -> "1"
  GetAliases     -> "alias,forward;alias,;" ... or "1" when there are none
  AddAlias       -> email=<alias,forward>     -> "1"; "0" when the alias is taken
  DeleteAlias    -> email=<alias,forward>     -> "1"; "0" when no such record
  ChangeAlias    -> oldemail=<alias,forward>&email=<alias,forward> -> "1";
                    "0" when the old record is missing or the new alias is taken
  GetForwarding  -> "1" receiving on, "0" off
  SetForwarding  -> forwarding=1|0                          -> "1"
Wrong credentials, the free account, an unknown operation or a missing
key all answer "0". Records are matched without regard to letter case.
An alias or forward must not contain ";" (it would break the list).

config.php (query: login, heslo) answers the tunnel configuration rendered
from the template for any valid account (the free one too), else "0".
"""

import re

DONE = "1"
REFUSED = "0"

PLACEHOLDER = re.compile(r"\{\{(\w+)\}\}")
TEMPLATE_KEYS = ("user", "location")


def render_config(template, user, location):
    """Replace every {{user}} and {{location}} of the template."""
    values = {"user": user, "location": location}
    return PLACEHOLDER.sub(lambda m: values[m.group(1)], template)


def check_template(template):
    """Raise ValueError naming the first placeholder that is not known."""
    for match in PLACEHOLDER.finditer(template):
        if match.group(1) not in TEMPLATE_KEYS:
            raise ValueError("unknown placeholder " + match.group(0))


def config_answer(store, template, args):
    account = store.authenticate(args.get("login"), args.get("heslo"))
    if account is None:
        return REFUSED
    return render_config(template, args["login"], account["location"])


def api_answer(store, args):
    user = args.get("login")
    account = store.authenticate(user, args.get("heslo"))
    if account is None or account["free"]:
        return REFUSED
    operation = _OPERATIONS.get(args.get("akce"))
    if operation is None:
        return REFUSED
    return operation(store, user, account, args)


def parse_redir(text):
    """(alias, forward) from the wire form "alias,forward"; None when absent."""
    if text is None:
        return None
    parts = text.split(",")
    return parts[0], parts[1] if len(parts) > 1 else ""


def _usable(redir):
    return redir is not None and redir[0] != "" and ";" not in "".join(redir)


def _find(aliases, redir):
    """The stored alias name equal to the record (case-insensitive), or None."""
    alias, forward = (part.lower() for part in redir)
    for name, stored_forward in aliases.items():
        if name.lower() == alias and stored_forward.lower() == forward:
            return name
    return None


def _setter(change):
    """An operation that applies change(store, user, account, args) under the
    store's lock and answers "1" when it returns True."""

    def operation(store, user, _account, args):
        applied = store.update(user, lambda acc: change(store, user, acc, args))
        return DONE if applied else REFUSED

    return operation


def _get_email(_store, _user, account, _args):
    if account["email"] is None:
        return REFUSED
    return account["email"] or DONE


def _get_aliases(_store, _user, account, _args):
    entries = "".join(a + "," + f + ";" for a, f in account["aliases"].items())
    return entries or DONE


def _get_forwarding(_store, _user, account, _args):
    return DONE if account["receiving"] else REFUSED


def _set_email(_store, _user, account, args):
    if "email" not in args:
        return False
    account["email"] = args["email"]
    return True


def _set_password(_store, _user, account, args):
    if not args.get("noveheslo"):
        return False
    account["password"] = args["noveheslo"]
    return True


def _set_forwarding(_store, _user, account, args):
    if args.get("forwarding") not in ("0", "1"):
        return False
    account["receiving"] = args["forwarding"] == "1"
    return True


def _add_alias(store, _user, account, args):
    redir = parse_redir(args.get("email"))
    if not _usable(redir) or store.alias_taken(redir[0]):
        return False
    account["aliases"][redir[0]] = redir[1]
    return True


def _delete_alias(_store, _user, account, args):
    redir = parse_redir(args.get("email"))
    name = _find(account["aliases"], redir) if redir else None
    if name is None:
        return False
    del account["aliases"][name]
    return True


def _change_alias(store, user, account, args):
    old = parse_redir(args.get("oldemail"))
    new = parse_redir(args.get("email"))
    name = _find(account["aliases"], old) if old else None
    if name is None or not _usable(new):
        return False
    if store.alias_taken(new[0], except_user=user, except_alias=name):
        return False
    # Rebuilt so that the record keeps its place in the list.
    account["aliases"] = {
        (new[0] if a == name else a): (new[1] if a == name else f)
        for a, f in account["aliases"].items()
    }
    return True


_OPERATIONS = {
    "GetEmail": _get_email,
    "SetEmail": _setter(_set_email),
    "SetHeslo": _setter(_set_password),
    "GetAliases": _get_aliases,
    "AddAlias": _setter(_add_alias),
    "DeleteAlias": _setter(_delete_alias),
    "ChangeAlias": _setter(_change_alias),
    "GetForwarding": _get_forwarding,
    "SetForwarding": _setter(_set_forwarding),
}
