"""kxtload against an independent Modbus TCP peer (pymodbus), standing in for
an older module whose status location registers ignore writes and read 0.

The peer records every request, so the whole request stream of a download
is checked in order, and the flexible status register warning shows.
"""
import asyncio
import os
import struct
import subprocess
import tempfile
import threading
import time
import unittest

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.server.async_io import ModbusTcpServer

KXTLOAD = os.path.join(os.environ.get("KXT_BIN_DIR", "build/bin"), "kxtload")
BANNER = "Veltrane KXT Downloader 23Dec98\n"
STATUS_LOCATIONS = range(8189, 8193)  # register numbers


class OlderModule(ModbusSequentialDataBlock):
    """Plain storage, registers numbered from 1; the status location
    registers keep 0. Records (kind, register, words) for every request."""

    def __init__(self):
        super().__init__(0, [0] * 65536)
        self.requests = []

    def getValues(self, address, count=1):
        self.requests.append(("read", address + 1, count))
        return super().getValues(address, count)

    def setValues(self, address, values):
        values = list(values)
        self.requests.append(("write", address + 1, values))
        kept = [0 if address + 1 + i in STATUS_LOCATIONS else v for i, v in enumerate(values)]
        super().setValues(address, kept)

    def register(self, number, count=1):
        return super().getValues(number - 1, count)


class PeerServer:
    def __init__(self):
        self.block = OlderModule()
        context = ModbusServerContext(
            slaves=ModbusSlaveContext(hr=self.block, zero_mode=True), single=True)
        self.loop = asyncio.new_event_loop()
        self.server = None
        ready = threading.Event()

        def run():
            asyncio.set_event_loop(self.loop)
            self.server = ModbusTcpServer(context, address=("127.0.0.1", 0))
            self.loop.call_soon(ready.set)
            try:
                self.loop.run_until_complete(self.server.serve_forever())
            except asyncio.CancelledError:
                pass  # closed by stop()

        self.thread = threading.Thread(target=run, daemon=True)
        self.thread.start()
        assert ready.wait(10), "pymodbus server did not start"
        deadline = time.monotonic() + 10
        while getattr(self.server, "server", None) is None and time.monotonic() < deadline:
            time.sleep(0.01)  # the listening socket appears once serve_forever runs
        self.port = self.server.server.sockets[0].getsockname()[1]

    def stop(self):
        self.loop.call_soon_threadsafe(self.server.server.close)
        self.thread.join(10)


def program_words(count):
    return [(i * 40503 + 17) & 0xFFFF | 1 for i in range(count)]


class KxtloadAgainstPymodbus(unittest.TestCase):
    def setUp(self):
        self.peer = PeerServer()
        self.directory = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.peer.stop()
        self.directory.cleanup()

    def kxtload(self, words, *switches):
        path = os.path.join(self.directory.name, "prog.KXB")
        with open(path, "wb") as out:
            out.write(struct.pack("<%dH" % len(words), *words))
        result = subprocess.run(
            [KXTLOAD, "1", path, "127.0.0.1:%d" % self.peer.port] + list(switches),
            capture_output=True, timeout=60)
        # Decoded by hand: text mode would turn the progress's "\r" into "\n".
        result.stdout = result.stdout.decode()
        return result

    def test_status_register_that_does_not_move_gives_the_warning(self):
        words = program_words(250)
        result = self.kxtload(words, "-S100", "-A")
        self.assertEqual(result.returncode, 0, result.stdout)
        self.assertEqual(
            result.stdout,
            BANNER + "WARNING: Module not equipped with flexible status registers.\n"
            "Status register is at: 2, line number register is at 3\n"
            "\rSending 2051..2150 \rSending 2151..2250 \rSending 2251..2300 "
            "\n250 words transmitted.\nStarting program on channel 1\n")
        self.assertEqual(self.peer.block.register(2050, 251), [500] + words)
        self.assertEqual(self.peer.block.register(8188)[0] & 1, 1)
        self.assertEqual(self.peer.block.register(1)[0] & 1, 1)

    def test_requests_of_a_download_in_order(self):
        words = program_words(150)
        result = self.kxtload(words, "-S100", "-A")
        self.assertEqual(result.returncode, 0, result.stdout)
        self.assertEqual(self.peer.block.requests, [
            ("write", 2049, [1, 0]),          # erase: select channel 1, length 0
            ("write", 8189, [100]),           # ask for the status register at 100
            ("read", 8189, 1),                # ... reads back 0: the default 2 is used
            ("read", 2, 1),                   # halt wait: bit 15 clear at once
            ("write", 2051, words[:100]),
            ("write", 2151, words[100:]),
            ("write", 2050, [300]),           # length in bytes
            ("read", 8188, 1),
            ("write", 8188, [1]),             # Auto Start bit of channel 1
            ("read", 8188, 1),
            ("read", 1, 1),
            ("write", 1, [1]),                # start channel 1
        ])


if __name__ == "__main__":
    unittest.main()
