#!/usr/bin/python3
"""A resolver for the leak lab that knows one name and remembers who asked.

    lab_resolver.py --listen ADDR [--listen ADDR...] --name NAME --a IPV4
                    --aaaa IPV6 --log FILE

Answers A and AAAA questions for NAME (any letter case) with the given
addresses, every other name with NXDOMAIN, and appends one line per question
to FILE: "<name> <type> <source address>". Prints "READY" once it listens on
port 53 of every address. Runs until killed.
"""
import argparse
import ipaddress
import selectors
import socket
import struct
import sys

TYPE_A, TYPE_AAAA = 1, 28
TYPE_NAMES = {TYPE_A: "A", TYPE_AAAA: "AAAA"}
# Larger questions are not the lab's; a bound keeps a stray packet harmless.
MAX_QUERY = 512


def parse_question(packet):
    """(id, flags, name, qtype, end of question) or None for anything odd."""
    if len(packet) < 12:
        return None
    ident, flags, qdcount = struct.unpack("!HHH", packet[:6])
    if qdcount != 1 or flags & 0x8000:
        return None
    labels, at = [], 12
    while True:
        if at >= len(packet):
            return None
        length = packet[at]
        at += 1
        if length == 0:
            break
        if length > 63 or at + length > len(packet):
            return None
        labels.append(packet[at:at + length].decode("ascii", "replace"))
        at += length
    if at + 4 > len(packet):
        return None
    qtype, = struct.unpack("!H", packet[at:at + 2])
    return ident, flags, ".".join(labels), qtype, at + 4


def answer(packet, question, records):
    ident, flags, name, qtype, end = question
    rdata = records.get((name.lower(), qtype))
    known = any(key[0] == name.lower() for key in records)
    rcode = 0 if known else 3
    # Response, the question's opcode and RD, recursion available.
    out_flags = 0x8000 | (flags & 0x7900) | 0x0080 | rcode
    header = struct.pack("!HHHHHH", ident, out_flags, 1, 1 if rdata else 0, 0, 0)
    body = packet[12:end]
    if rdata:
        body += struct.pack("!HHHIH", 0xC00C, qtype, 1, 5, len(rdata)) + rdata
    return header + body


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--listen", action="append", required=True)
    parser.add_argument("--name", required=True)
    parser.add_argument("--a", required=True)
    parser.add_argument("--aaaa", required=True)
    parser.add_argument("--log", required=True)
    args = parser.parse_args()

    name = args.name.rstrip(".").lower()
    records = {
        (name, TYPE_A): ipaddress.IPv4Address(args.a).packed,
        (name, TYPE_AAAA): ipaddress.IPv6Address(args.aaaa).packed,
    }
    selector = selectors.DefaultSelector()
    for address in args.listen:
        family = socket.AF_INET6 if ":" in address else socket.AF_INET
        sock = socket.socket(family, socket.SOCK_DGRAM)
        if family == socket.AF_INET6:
            sock.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 1)
        sock.bind((address, 53))
        selector.register(sock, selectors.EVENT_READ)
    log = open(args.log, "a", buffering=1)
    print("READY", flush=True)
    while True:
        for key, _ in selector.select():
            packet, source = key.fileobj.recvfrom(MAX_QUERY)
            question = parse_question(packet)
            if question is None:
                log.write("- malformed %s\n" % source[0])
                continue
            qname, qtype = question[2], question[3]
            log.write("%s %s %s\n" % (qname or ".", TYPE_NAMES.get(qtype, str(qtype)), source[0]))
            key.fileobj.sendto(answer(packet, question, records), source)


if __name__ == "__main__":
    sys.exit(main())
