#!/usr/bin/env python3
"""Plays back a recording of OpenVPN's console output, as OpenVPN would.

Started by the tunnel under test in OpenVPN's place (the settings key
"openvpn_exe"), on the terminal the tunnel gives it. Environment:
  QUILLNET_REPLAY         the recording (raw bytes as read from a pty)
  QUILLNET_REPLAY_ANSWERS file that receives the arguments ("ARGS=...") and
                          each answer, one per line, as "<prompt>=<answer>";
                          the process id goes to the same name + ".pid"
  QUILLNET_REPLAY_HOLD    optional text: after the line containing it, wait
                          for SIGTERM before playing the rest (elsewhere
                          SIGTERM ends the playback at once)
  QUILLNET_REPLAY_EXIT    exit status at the end (default 0)
  QUILLNET_REPLAY_ECHO    "on": password prompts leave echo on, as a program
                          that does not hide what is typed would

Output goes out in small uneven pieces and every prompt in two, so the
reader sees lines and prompts split across reads. Like OpenVPN, a password
prompt is printed first and echo is switched off afterwards with TCSAFLUSH,
which throws away an answer typed too early. The recorded echo of a user
name is skipped: the terminal echoes the live answer itself.
"""
import os
import re
import signal
import sys
import termios
import time

PROMPT = re.compile(rb"Enter (?:Auth|HTTP Proxy) (?:Username|Password):")
HOLD = os.environ.get("QUILLNET_REPLAY_HOLD", "").encode()
HIDES_PASSWORDS = os.environ.get("QUILLNET_REPLAY_ECHO") != "on"
terminated = False
holding = False


def on_term(signum, frame):
    """Held after connecting: play the way out. Otherwise: end now."""
    global terminated
    terminated = True
    if not holding:
        sys.exit(0)


def write(data):
    """Writes in uneven pieces with short pauses."""
    sizes = [1, 7, 31, 3, 64, 13]
    i = 0
    while data:
        piece, data = data[: sizes[i % len(sizes)]], data[sizes[i % len(sizes)]:]
        os.write(1, piece)
        i += 1
        if i % 4 == 0:
            time.sleep(0.002)


def play(data):
    """Plays output; holds after the line that contains HOLD."""
    at = data.find(HOLD) if HOLD else -1
    if at < 0:
        write(data)
        return
    end = data.find(b"\n", at)
    end = len(data) if end < 0 else end + 1
    global holding
    holding = True  # before the line goes out: the reader may answer at once
    write(data[:end])
    while not terminated:
        time.sleep(0.01)
    holding = False
    write(data[end:])


def ask(prompt):
    """Prints a prompt in two pieces and reads the answer from the terminal."""
    os.write(1, prompt[:7])
    time.sleep(0.03)
    os.write(1, prompt[7:])
    secret = b"Password" in prompt and HIDES_PASSWORDS
    attributes = termios.tcgetattr(0)
    if secret:
        time.sleep(0.02)  # OpenVPN switches echo off only after the prompt
        quiet = list(attributes)
        quiet[3] &= ~termios.ECHO
        termios.tcsetattr(0, termios.TCSAFLUSH, quiet)
    answer = b""
    while not answer.endswith(b"\n"):
        byte = os.read(0, 1)
        if not byte:
            break
        answer += byte
    if secret:
        termios.tcsetattr(0, termios.TCSAFLUSH, attributes)
    return answer.rstrip(b"\r\n")


def main():
    signal.signal(signal.SIGTERM, on_term)
    recording = open(os.environ["QUILLNET_REPLAY"], "rb").read()
    answers = open(os.environ["QUILLNET_REPLAY_ANSWERS"], "ab")
    answers.write(b"ARGS=" + " ".join(sys.argv[1:]).encode() + b"\n")
    answers.flush()
    with open(os.environ["QUILLNET_REPLAY_ANSWERS"] + ".pid", "w") as pid:
        pid.write(str(os.getpid()))
    position = 0
    for match in PROMPT.finditer(recording):
        if match.start() < position:
            continue
        play(recording[position : match.start()])
        answer = ask(match.group())
        answers.write(match.group() + b"=" + answer + b"\n")
        answers.flush()
        position = match.end()
        if b"Username" in match.group():
            # The recording holds the terminal's echo of the answer.
            position = recording.index(b"\n", position) + 1
    play(recording[position:])
    sys.exit(int(os.environ.get("QUILLNET_REPLAY_EXIT", "0")))


if __name__ == "__main__":
    main()
