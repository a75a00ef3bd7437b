#!/usr/bin/env python3
"""What a desktop session does with the XDG autostart folders at login.

    xdg_autostart.py [--wait SECONDS]

Reads the entries of $XDG_CONFIG_HOME/autostart (default ~/.config) and of
each folder of $XDG_CONFIG_DIRS (default /etc/xdg) below autostart/, an
entry of the user's hiding one of the same name below. Starts each entry
as a session does: not when it is Hidden, turned off
(X-GNOME-Autostart-enabled=false), meant for another desktop
(OnlyShowIn/NotShowIn against $XDG_CURRENT_DESKTOP), or when its TryExec
program is missing; its Exec line is split by the Desktop Entry rules, never
by a shell, and run in its Path folder. Prints "started NAME: ARGV" or
"skipped NAME: REASON" for each entry, then waits up to --wait seconds
(default 20) for what it started and exits 0; 1 when an entry is malformed.

Point both variables at test folders: otherwise it starts this machine's
own autostart programs.
"""

import argparse
import os
import shutil
import subprocess
import sys

GROUP = "[Desktop Entry]"
# Characters an unquoted Exec argument may not hold.
RESERVED = set(" \t\n\"'\\><~|&;$*?#()`")
# Field codes: a session fills them in from files, URLs or the entry itself;
# an autostart entry gets none of them, so they vanish.
FIELD_CODES = set("fFuUdDnNickvm")


class Malformed(Exception):
    pass


def unescape(value):
    """A string value: \\s, \\n, \\t, \\r and \\\\."""
    out, i = [], 0
    while i < len(value):
        c = value[i]
        if c == "\\" and i + 1 < len(value):
            out.append({"s": " ", "n": "\n", "t": "\t", "r": "\r", "\\": "\\"}.get(
                value[i + 1], "\\" + value[i + 1]))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def split_exec(line):
    """The arguments of an (unescaped) Exec value, without a shell."""
    args, current, started, i = [], [], False, 0
    while i < len(line):
        c = line[i]
        if c == " ":
            if started:
                args.append("".join(current))
                current, started = [], False
            i += 1
        elif c == '"':
            started = True
            i += 1
            while True:
                if i >= len(line):
                    raise Malformed("unterminated quote in Exec")
                c = line[i]
                if c == '"':
                    i += 1
                    break
                if c == "\\":
                    if i + 1 >= len(line) or line[i + 1] not in '"`$\\':
                        raise Malformed("stray backslash in a quoted Exec argument")
                    c = line[i + 1]
                    i += 1
                current.append(c)
                i += 1
        elif c in RESERVED:
            raise Malformed("unquoted %r in Exec" % c)
        else:
            started = True
            current.append(c)
            i += 1
    if started:
        args.append("".join(current))
    return expand_field_codes(args)


def expand_field_codes(args):
    out = []
    for arg in args:
        if arg in ("%" + code for code in FIELD_CODES):
            continue
        text, i = [], 0
        while i < len(arg):
            if arg[i] == "%":
                if i + 1 < len(arg) and arg[i + 1] == "%":
                    text.append("%")
                    i += 2
                    continue
                raise Malformed("field code %r inside an argument" % arg[i:i + 2])
            text.append(arg[i])
            i += 1
        out.append("".join(text))
    return out


def read_entry(path):
    keys, group = {}, None
    with open(path, encoding="utf-8") as f:
        for raw in f:
            line = raw.strip()
            if not line or line.startswith("#"):
                continue
            if line.startswith("["):
                group = line
                continue
            if group != GROUP:
                continue
            if "=" not in line:
                raise Malformed("a line without '=': %r" % line)
            key, value = line.split("=", 1)
            keys[key.strip()] = value.strip()
    if group is None:
        raise Malformed("no [Desktop Entry] group")
    return keys


def found(program):
    if "/" in program:
        return os.path.isfile(program) and os.access(program, os.X_OK)
    return shutil.which(program) is not None


def why_skipped(keys):
    desktops = set(filter(None, os.environ.get("XDG_CURRENT_DESKTOP", "").split(":")))
    if keys.get("Type") != "Application":
        return "not an application"
    if keys.get("Hidden") == "true":
        return "hidden"
    if keys.get("X-GNOME-Autostart-enabled") == "false":
        return "turned off"
    only = set(filter(None, keys.get("OnlyShowIn", "").split(";")))
    if only and not only & desktops:
        return "only for " + ";".join(sorted(only))
    if set(filter(None, keys.get("NotShowIn", "").split(";"))) & desktops:
        return "not for this desktop"
    if "TryExec" in keys and not found(unescape(keys["TryExec"])):
        return "TryExec program missing"
    if "Exec" not in keys:
        return "no Exec"
    return None


def entries():
    """(name, path) of each entry, the user's before the system's."""
    home = os.environ.get("XDG_CONFIG_HOME") or os.path.expanduser("~/.config")
    folders = [home] + [d for d in os.environ.get("XDG_CONFIG_DIRS", "/etc/xdg").split(":") if d]
    seen = {}
    for folder in folders:
        autostart = os.path.join(folder, "autostart")
        if not os.path.isdir(autostart):
            continue
        for name in sorted(os.listdir(autostart)):
            if name.endswith(".desktop") and name not in seen:
                seen[name] = os.path.join(autostart, name)
    return sorted(seen.items())


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[1])
    parser.add_argument("--wait", type=float, default=20)
    args = parser.parse_args()
    started, malformed = [], False
    for name, path in entries():
        try:
            keys = read_entry(path)
            reason = why_skipped(keys)
            if reason:
                print("skipped %s: %s" % (name, reason), flush=True)
                continue
            argv = split_exec(unescape(keys["Exec"]))
            if not argv:
                raise Malformed("empty Exec")
        except (Malformed, UnicodeDecodeError) as e:
            print("skipped %s: malformed: %s" % (name, e), flush=True)
            malformed = True
            continue
        cwd = unescape(keys["Path"]) if keys.get("Path") else os.path.expanduser("~")
        try:
            started.append(subprocess.Popen(argv, cwd=cwd, stdin=subprocess.DEVNULL))
        except OSError as e:
            print("skipped %s: cannot start: %s" % (name, e), flush=True)
            continue
        print("started %s: %r" % (name, argv), flush=True)
    for child in started:
        try:
            child.wait(timeout=args.wait)
        except subprocess.TimeoutExpired:
            child.kill()
            child.wait()
    return 1 if malformed else 0


if __name__ == "__main__":
    sys.exit(main())
