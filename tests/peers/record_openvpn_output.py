#!/usr/bin/env python3
"""Runs a command on a pseudo-terminal the way a person at a terminal would,
and records every byte it prints, exactly as read from the terminal.

    record_openvpn_output.py --output FILE [--answer PROMPT=TEXT ...]
        [--restart-on TEXT] [--terminate-on TEXT] [--terminate-after SECONDS]
        [--timeout SECONDS] -- COMMAND [ARG...]

Each time PROMPT appears the driver types TEXT and Enter. For a prompt that
asks for a password it first waits until the terminal no longer echoes:
openvpn prints the prompt before it turns echo off, and turning it off
discards whatever was typed already.

SIGUSR1 (restart) goes to the command the first time TEXT of --restart-on
appears. SIGTERM goes to it once TEXT of --terminate-on has appeared (after
the restart, if one is asked for), or after --terminate-after seconds; the
recording goes on until the command has ended. After --timeout seconds in all
the command is killed.
"""

import argparse
import os
import pty
import select
import signal
import sys
import termios
import time

ECHO_OFF_WAIT = 5.0


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--output", required=True)
    parser.add_argument("--answer", action="append", default=[], metavar="PROMPT=TEXT")
    parser.add_argument("--restart-on")
    parser.add_argument("--terminate-on")
    parser.add_argument("--terminate-after", type=float)
    parser.add_argument("--timeout", type=float, default=60.0)
    parser.add_argument("command", nargs="+")
    arguments = parser.parse_args()
    arguments.answers = []
    for item in arguments.answer:
        prompt, separator, text = item.partition("=")
        if not separator or not prompt:
            parser.error(f"--answer wants PROMPT=TEXT, not {item!r}")
        arguments.answers.append((prompt.encode(), text.encode()))
    return arguments


def echo_is_on(terminal):
    return bool(termios.tcgetattr(terminal)[3] & termios.ECHO)


def wait_for_echo_off(terminal):
    deadline = time.monotonic() + ECHO_OFF_WAIT
    while echo_is_on(terminal):
        if time.monotonic() > deadline:
            sys.exit("the terminal still echoes at the password prompt")
        time.sleep(0.01)


class Session:
    """The output so far, and which prompts in it were answered already."""

    def __init__(self, terminal, answers):
        self.terminal = terminal
        self.answers = answers
        self.output = bytearray()
        self.answered_up_to = 0

    def answer_prompts(self):
        while True:
            found = [(self.output.find(prompt, self.answered_up_to), prompt, text)
                     for prompt, text in self.answers]
            found = [item for item in found if item[0] >= 0]
            if not found:
                return
            position, prompt, text = min(found)
            if b"Password" in prompt:
                wait_for_echo_off(self.terminal)
            os.write(self.terminal, text + b"\n")
            self.answered_up_to = position + len(prompt)


def read_some(terminal, seconds):
    """Bytes the command printed within the time; None once it has closed the terminal."""
    ready, _, _ = select.select([terminal], [], [], seconds)
    if not ready:
        return b""
    try:
        data = os.read(terminal, 65536)
    except OSError:  # EIO: no process has the terminal open any more
        return None
    return data if data else None


def record(arguments):
    pid, terminal = pty.fork()
    if pid == 0:
        try:
            os.execvp(arguments.command[0], arguments.command)
        finally:
            os._exit(127)

    session = Session(terminal, arguments.answers)
    started = time.monotonic()
    restarted_at = None if arguments.restart_on else 0
    terminated = False
    while True:
        data = read_some(terminal, 0.05)
        if data is None:
            break
        session.output += data
        session.answer_prompts()
        if restarted_at is None and arguments.restart_on.encode() in session.output:
            os.kill(pid, signal.SIGUSR1)
            restarted_at = len(session.output)
        elapsed = time.monotonic() - started
        wants_end = (arguments.terminate_on and restarted_at is not None and
                     arguments.terminate_on.encode() in session.output[restarted_at:]) or \
            (arguments.terminate_after is not None and elapsed > arguments.terminate_after)
        if wants_end and not terminated:
            os.kill(pid, signal.SIGTERM)
            terminated = True
        if elapsed > arguments.timeout:
            os.kill(pid, signal.SIGKILL)
            break
    _, status = os.waitpid(pid, 0)
    os.close(terminal)
    with open(arguments.output, "wb") as file:
        file.write(session.output)
    return os.waitstatus_to_exitcode(status)


def main():
    arguments = parse_arguments()
    code = record(arguments)
    print(f"{arguments.output}: exit status {code}", file=sys.stderr)


if __name__ == "__main__":
    main()
