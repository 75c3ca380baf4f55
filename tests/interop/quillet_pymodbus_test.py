"""quillet in a real terminal (tmux) against a Modbus TCP slave of another
implementation (pymodbus 3.0, run in this process so that its register store
can be looked at directly): its values appear, a typed value reaches its
store, and a unit it does not serve (it stays silent) shows ERROR rows."""

import asyncio
import logging
import os
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.join(os.environ.get("KXT_SOURCE_DIR", "."), "tests", "e2e"))
import quillet_tmux_test as term  # noqa: E402  (the tmux helpers of the end-to-end test)

UNIT = 3
REGISTERS = 100


class PymodbusSlave:
    """pymodbus's TCP server on a loop of its own thread; holding register
    address n starts as 1000 + n (zero_mode: address n is element n)."""

    def __init__(self):
        logging.getLogger("pymodbus").setLevel(logging.CRITICAL)  # the expected exceptions
        from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                        ModbusSlaveContext)
        self.store = ModbusSlaveContext(
            hr=ModbusSequentialDataBlock(0, [1000 + i for i in range(REGISTERS)]),
            zero_mode=True)
        self.context = ModbusServerContext(slaves={UNIT: self.store}, single=False)
        self.loop = asyncio.new_event_loop()
        self.ready = threading.Event()
        self.thread = threading.Thread(target=self.loop.run_forever, daemon=True)
        self.thread.start()
        self.port = asyncio.run_coroutine_threadsafe(self.start(), self.loop).result(10)

    async def start(self):
        from pymodbus.server.async_io import ModbusTcpServer
        self.server = ModbusTcpServer(self.context, address=("127.0.0.1", 0))
        self.task = asyncio.ensure_future(self.server.serve_forever())
        await self.server.serving
        return self.server.server.sockets[0].getsockname()[1]

    def holding(self, address):
        return self.store.getValues(3, address, 1)[0]

    def stop(self):
        async def shut():
            self.server.server.close()
            self.task.cancel()
        asyncio.run_coroutine_threadsafe(shut(), self.loop).result(10)
        self.loop.call_soon_threadsafe(self.loop.stop)
        self.thread.join(10)


class QuilletAgainstPymodbus(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.exists(term.QUILLET):
            raise unittest.SkipTest("quillet not built")
        term.QuilletInTmux.setUpClass()
        cls.slave = PymodbusSlave()

    @classmethod
    def tearDownClass(cls):
        cls.slave.stop()
        term.tmux("kill-server", check=False)

    def tearDown(self):
        if not term.has_exited(term.screen()):
            term.keys("Escape")
            term.wait_for(term.has_exited, "quillet's end")

    def start_quillet(self, unit, first):
        term.shell_line("clear; %s 127.0.0.1:%d %d -R%d; echo EXIT=$?"
                        % (term.QUILLET, self.slave.port, unit, first))
        return term.wait_text("SY/MAX Register Viewer")

    def test_values_shown_and_typed_value_stored(self):
        # Register n is the slave's address n - 1.
        self.start_quillet(UNIT, 11)
        shown = term.wait_for(term.cells_shown(11, ("03F2", "1010", "1010")), "register 11")
        self.assertEqual(term.data_row(shown, 30)[:3], ("0405", "1029", "1029"))
        # No status words in this slave (an exception for 8203 and up): "----".
        term.wait_for(lambda s: term.data_row(s, 11)[3] == "----", "STAT ----")
        term.keys("Right")  # UNSIGN column
        term.typed("70000")  # kept to the low 16 bits: 4464
        term.keys("Enter")
        deadline = time.monotonic() + term.TIME_LIMIT
        while self.slave.holding(10) != 4464:
            term.deadline_passed(deadline, "4464 in the slave's store", term.screen())
            time.sleep(0.02)
        term.wait_for(term.cells_shown(11, ("1170", "4464", "4464")), "the stored value")
        self.assertEqual(self.slave.holding(11), 1011)
        term.keys("Escape")
        term.wait_text("EXIT=0")

    def test_unit_not_served_shows_error_rows(self):
        self.start_quillet(UNIT + 1, 1)

        def error_rows(shown):
            rows = [line.ljust(80)[8:28] for line in term.lines_of(shown)[4:24]]
            return all(row.strip() == "ERROR" for row in rows)

        term.wait_for(error_rows, "ERROR rows")
        shown = term.wait_for(lambda s: term.lines_of(s)[23][39:].strip() != "", "message")
        self.assertIn("reply", term.lines_of(shown)[23][39:].lower())
        term.keys("Escape")
        term.wait_text("EXIT=0")


if __name__ == "__main__":
    with tempfile.TemporaryDirectory(prefix="quillet-pymodbus-test-") as directory:
        os.chdir(directory)
        result = unittest.main(argv=[sys.argv[0], "-v"], exit=False).result
        os.chdir("/")
    sys.exit(0 if result.wasSuccessful() else 1)
