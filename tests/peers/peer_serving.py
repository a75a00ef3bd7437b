"""The life of a listening test peer, shared by the peers."""

import asyncio
import signal


async def serve_until_signalled(server):
    """Reports the port as "READY port=<port>" on stdout, then serves until
    SIGTERM or SIGINT and closes `server` (an asyncio server)."""
    loop = asyncio.get_running_loop()
    stop = asyncio.Event()
    for signum in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(signum, stop.set)
    print("READY port=%d" % server.sockets[0].getsockname()[1], flush=True)
    await stop.wait()
    server.close()
    await server.wait_closed()
