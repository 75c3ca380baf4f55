"""kxtdev's development cycle in a real terminal (tmux) against kxtsim over
Modbus TCP, as a new user goes through it: read an example source, compile it
with the stand-in compiler, answer "yes" to the download question, accept the
fields (Auto Start YES), and find the program in the module's channel, read
back with pymodbus, running with Auto Start. Then a source with an error: the
compile summary, and the download refused."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

from pymodbus.client import ModbusTcpClient

SOURCE_DIR = os.environ.get("KXT_SOURCE_DIR", ".")
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "support"))
from kxt_setup import setup_record  # noqa: E402
from tmux_pane import TIME_LIMIT, TmuxPane  # noqa: E402

BIN_DIR = os.path.abspath(os.environ.get("KXT_BIN_DIR", "build/bin"))
KXTDEV = os.path.join(BIN_DIR, "kxtdev")
KXTSIM = os.path.join(BIN_DIR, "kxtsim")
COMPILER = os.path.join(BIN_DIR, "COMPILE")
EXAMPLES = os.path.join(SOURCE_DIR, "examples")
SOCKET = "kxtdev-develop-%d" % os.getpid()
PANE = TmuxPane(SOCKET, "kxtdev")

# The words the stand-in compiler makes of examples/DEMO.KXT.
DEMO_WORDS = [0x1000, 0x3064, 0x2064, 0x4001, 0x3064, 0x83E8, 0x6002]


def start_kxtsim():
    process = subprocess.Popen([KXTSIM, "--tcp", "0"], stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True)
    port = None
    for line in process.stdout:
        if line.startswith("kxtsim: listening on tcp port "):
            port = int(line.split()[-1])
        elif line.strip() == "kxtsim: ready":
            break
    if port is None:
        process.kill()
        process.wait()
        raise AssertionError("kxtsim did not start")
    return process, port


class KxtdevDevelopmentCycle(unittest.TestCase):
    def setUp(self):
        for program in (KXTDEV, KXTSIM, COMPILER):
            if not os.path.exists(program):
                self.skipTest("%s not built" % program)
        self.folder = tempfile.mkdtemp(prefix="kxtdev_develop_")
        for name in ("DEMO.KXT", "BADDEMO.KXT"):
            shutil.copy(os.path.join(EXAMPLES, name), self.folder)
        self.sim, self.port = start_kxtsim()
        with open(os.path.join(self.folder, "KXTSW.STP"), "wb") as setup:
            setup.write(setup_record(self.port, unit=1))
        PANE.start_shell(self.folder,
                         PATH=BIN_DIR + ":" + os.environ.get("PATH", "/usr/bin:/bin"))
        self.client = ModbusTcpClient("127.0.0.1", port=self.port)
        self.assertTrue(self.client.connect())

    def tearDown(self):
        if getattr(self, "client", None):
            self.client.close()
        PANE.tmux("kill-server", check=False)
        if getattr(self, "sim", None):
            self.sim.terminate()
            self.sim.wait(timeout=TIME_LIMIT)
        shutil.rmtree(getattr(self, "folder", "/nonexistent"), ignore_errors=True)

    def menu(self, letter):
        """Pulls the Development menu down from the bar and chooses an item."""
        PANE.wait_text("Development                 Utilities")
        PANE.keys("Enter")
        PANE.wait_text("downLoad compiled work file")
        PANE.typed(letter)

    def read_source(self, name):
        self.menu("R")
        PANE.wait_text("LOAD SOURCE FROM DISK")
        PANE.typed(name)
        PANE.keys("Enter")
        PANE.wait_for(lambda s: "LOAD SOURCE FROM DISK" not in s, "the read to end")

    def clear_error(self, text):
        boxed = "\u2551 " + text  # the box's side, then the text
        PANE.wait_text(boxed)
        PANE.keys("F10")
        PANE.wait_for(lambda s: boxed not in s, "the error box to close")

    def register(self, number):
        reply = self.client.read_holding_registers(number - 1, 1)
        self.assertFalse(reply.isError(), reply)
        return reply.registers[0]

    def test_compile_download_and_a_source_with_an_error(self):
        PANE.shell_line("kxtdev; echo EXIT=$?")
        self.read_source("DEMO")

        self.menu("C")
        shown = PANE.wait_text("Successful compile. Download now?")
        self.assertIn("Compiler version: 0.9-demo", shown)
        PANE.typed("y")
        shown = PANE.wait_text("DOWNLOAD WORK FILE")
        self.assertIn("KXT4 Simulated", shown)  # identified on the way
        PANE.keys("Enter", "Enter")  # channel 1, status register 2
        PANE.typed("Y")              # Auto Start
        PANE.keys("Enter")
        PANE.wait_for(lambda s: "DOWNLOAD WORK FILE" not in s and "COMPILE" not in s,
                      "the download and compile windows to close")

        # The program as the module holds it, read independently.
        self.client.write_register(2049 - 1, 1)  # select channel 1's program area
        reply = self.client.read_holding_registers(2050 - 1, 1 + len(DEMO_WORDS))
        self.assertFalse(reply.isError(), reply)
        self.assertEqual(reply.registers[0], 2 * len(DEMO_WORDS))
        self.assertEqual(reply.registers[1:], DEMO_WORDS)
        self.assertEqual(self.register(8188) & 1, 1)  # Auto Start for channel 1
        self.assertEqual(self.register(1) & 1, 1)     # and running
        self.assertTrue(self.register(2) & 0x8000)    # its status register says so

        # The source with a mistake.
        self.read_source("BADDEMO")
        self.menu("C")
        self.clear_error("No object generated")
        self.clear_error("1 errors and 0 warnings found.")
        self.menu("L")
        self.clear_error("Unresolved compiler errors, can't download.")
        PANE.wait_text("Development                 Utilities")
        PANE.typed("Q")
        PANE.wait_text("EXIT=0")
        # Quit took the work files away; the sources and the compiled demo stay.
        left = sorted(os.listdir(self.folder))
        self.assertEqual(left, ["BADDEMO.KXT", "DEMO.KXB", "DEMO.KXT", "KXTSW.STP"])


if __name__ == "__main__":
    unittest.main()
