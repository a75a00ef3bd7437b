#!/usr/bin/python3
"""An SMTP server that accepts everything and keeps nothing, for benchmarks
and for mail relays that fail.

    python3 tests/peers/smtp_sink.py --port N [--bind 127.0.0.1]
                                     [--cut-after-bytes N] [--maildir DIR]

Port 0 picks a free port. Once listening, one line "READY port=<port>" goes
to stdout. SIGTERM or SIGINT ends it (exit status 0). Only loopback
addresses are accepted.

Every command is answered "250", DATA with "354"; the message is read in
large blocks and thrown away up to its terminating "." line, then answered
"250 OK discarded <bytes>". It is fast enough not to be what a benchmark
measures. With --cut-after-bytes the connection is dropped (without a
reply) as soon as that many bytes of message text have come in, or at the
end of the message, whichever is first: a relay that fails in the middle of
a message. --maildir is accepted for the sake of callers that start every
relay alike; nothing is stored there.
"""

import argparse
import asyncio
import sys

sys.dont_write_bytecode = True  # keep the source tree clean when tests start it
from peer_args import require_loopback  # noqa: E402
from peer_serving import serve_until_signalled  # noqa: E402

END_OF_DATA = b"\r\n.\r\n"


class SinkSession:
    def __init__(self, reader, writer, cut_after):
        self.reader = reader
        self.writer = writer
        self.cut_after = cut_after

    async def reply(self, text):
        self.writer.write(text.encode("ascii") + b"\r\n")
        await self.writer.drain()

    async def run(self):
        await self.reply("220 sink.localhost ESMTP discarding sink")
        while True:
            line = await self.reader.readline()
            if not line:
                return
            verb = line[:4].upper()
            if verb == b"QUIT":
                await self.reply("221 bye")
                return
            if verb == b"DATA":
                await self.reply("354 go ahead")
                size = await self.discard_message()
                if size is None:
                    return
                await self.reply("250 OK discarded %d" % size)
            elif verb == b"EHLO":
                await self.reply("250-sink.localhost\r\n250 8BITMIME")
            else:
                await self.reply("250 OK")

    async def discard_message(self):
        """Reads up to the terminating "." line; None when the connection
        ends (or is to be cut) before a reply."""
        size = 0
        tail = b"\r\n"  # the message starts at the beginning of a line
        while True:
            block = await self.reader.read(1 << 20)
            if not block:
                return None
            size += len(block)
            if self.cut_after is not None and size >= self.cut_after:
                self.writer.transport.abort()
                return None
            window = tail + block
            if END_OF_DATA in window:
                if self.cut_after is not None:
                    self.writer.transport.abort()
                    return None
                return size
            tail = window[-(len(END_OF_DATA) - 1):]


def parse_args(argv):
    parser = argparse.ArgumentParser(description="Local SMTP sink.")
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--bind", default="127.0.0.1")
    parser.add_argument("--cut-after-bytes", type=int, default=None)
    parser.add_argument("--maildir", default=None)
    args = parser.parse_args(argv)
    require_loopback(parser, args.bind)
    return args


async def serve(args):
    async def session(reader, writer):
        try:
            await SinkSession(reader, writer, args.cut_after_bytes).run()
        except ConnectionError:
            pass
        finally:
            writer.close()

    await serve_until_signalled(await asyncio.start_server(session, args.bind, args.port))


def main(argv=None):
    try:
        asyncio.run(serve(parse_args(argv)))
    except OSError as error:
        sys.exit("smtp_sink: " + str(error))
    return 0


if __name__ == "__main__":
    sys.exit(main())
