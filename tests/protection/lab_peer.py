#!/usr/bin/env python3
"""Both ends of the firewall lab's traffic, run inside its namespaces.

serve ADDRESS,... PROTO:PORT...  answers every TCP connection and UDP
                      datagram on those ports of those addresses and prints
                      "arrived PROTO ADDRESS PORT" for each, so the test sees
                      what got through, not only what came back.
probe PROTO HOST PORT...  tries each target once, in parallel, and prints
                      "PROTO HOST PORT ok|blocked" in the order given.
flood HOST PORT       sends UDP datagrams to HOST:PORT until killed.
"""
import socket
import sys
import threading
import time

WAIT = 1.0
OUTPUT = threading.Lock()


def announce(text):
    with OUTPUT:  # one whole line at a time from the serving threads
        sys.stdout.write(text + "\n")
        sys.stdout.flush()


def family(host):
    return socket.AF_INET6 if ":" in host else socket.AF_INET


def serve_udp(host, port):
    sock = socket.socket(family(host), socket.SOCK_DGRAM)
    sock.bind((host, port))
    while True:
        _, peer = sock.recvfrom(2048)
        announce(f"arrived udp {host} {port}")
        sock.sendto(b"answer", peer)


def serve_tcp(host, port):
    sock = socket.socket(family(host), socket.SOCK_STREAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind((host, port))
    sock.listen(16)
    while True:
        conn, _ = sock.accept()
        announce(f"arrived tcp {host} {port}")
        conn.sendall(b"answer")
        conn.close()


def serve(hosts, specs):
    for host in hosts.split(","):
        for spec in specs:
            proto, port = spec.split(":")
            target = serve_udp if proto == "udp" else serve_tcp
            threading.Thread(target=target, args=(host, int(port)), daemon=True).start()
    time.sleep(0.2)
    announce("serving")
    threading.Event().wait()


def answered(proto, host, port):
    kind = socket.SOCK_DGRAM if proto == "udp" else socket.SOCK_STREAM
    with socket.socket(family(host), kind) as sock:
        sock.settimeout(WAIT)
        try:
            sock.connect((host, port))
            if proto == "udp":
                sock.send(b"question")
            return sock.recv(16) == b"answer"
        except OSError:
            return False


def probe(args):
    targets = [(args[i], args[i + 1], int(args[i + 2])) for i in range(0, len(args), 3)]
    results = [None] * len(targets)

    def run(index, target):
        results[index] = answered(*target)

    threads = [threading.Thread(target=run, args=(i, t)) for i, t in enumerate(targets)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for (proto, host, port), ok in zip(targets, results):
        print(f"{proto} {host} {port} {'ok' if ok else 'blocked'}")


def flood(host, port):
    with socket.socket(family(host), socket.SOCK_DGRAM) as sock:
        announce("flooding")
        while True:
            try:
                sock.sendto(b"leak", (host, int(port)))
            except OSError:
                pass  # EPERM while dropped: keep trying
            time.sleep(0.0002)


if __name__ == "__main__":
    mode, rest = sys.argv[1], sys.argv[2:]
    if mode == "serve":
        serve(rest[0], rest[1:])
    elif mode == "probe":
        probe(rest)
    elif mode == "flood":
        flood(*rest)
