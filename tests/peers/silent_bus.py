"""A bus daemon that has hung: it takes every connection on a Unix socket
and never says a word. Prints the socket's bus address once it listens.

Usage: silent_bus.py <socket path>
"""

import os
import socket
import sys


def main():
    path = sys.argv[1]
    if os.path.exists(path):
        os.unlink(path)
    listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    listener.bind(path)
    listener.listen(16)
    print("unix:path=" + path, flush=True)
    held = []
    while True:
        connection, _ = listener.accept()
        held.append(connection)  # kept open, never answered


if __name__ == "__main__":
    main()
