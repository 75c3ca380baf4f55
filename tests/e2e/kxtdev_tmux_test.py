"""kxtdev in a real terminal (tmux) as a new user meets it: started in an empty
directory it asks for the communications setup, which is set to Modbus TCP on
kxtsim and saved; a second start connects at once, the register viewer shows
the module's name and values, a typed value reaches the module, F1 prints the
screen to a file, and Quit leaves the terminal as it was with status 0."""

import os
import socket
import subprocess
import sys
import tempfile
import time
import unittest

from pymodbus.client import ModbusTcpClient

sys.path.insert(0, os.path.join(os.environ.get("KXT_SOURCE_DIR", "."), "tests", "support"))
from tmux_pane import TIME_LIMIT, TmuxPane, has_exited  # noqa: E402

BIN_DIR = os.path.abspath(os.environ.get("KXT_BIN_DIR", "build/bin"))
KXTDEV = os.path.join(BIN_DIR, "kxtdev")
KXTSIM = os.path.join(BIN_DIR, "kxtsim")
SOCKET = "kxtdev-test-%d" % os.getpid()
PANE = TmuxPane(SOCKET, "kxtdev")
tmux, screen, wait_for, wait_text = PANE.tmux, PANE.screen, PANE.wait_for, PANE.wait_text
keys, typed, shell_line = PANE.keys, PANE.typed, PANE.shell_line
REGISTER = 1001  # plain storage in kxtsim


def lines_of(shown):
    rows = shown.split("\n")
    return rows + [""] * (25 - len(rows))


def read_bytes(path):
    with open(path, "rb") as file:
        return file.read()


def free_port():
    """A free port for kxtsim, typed into the setup's port field."""
    for port in range(5100, 65000):
        with socket.socket() as probe:
            try:
                probe.bind(("127.0.0.1", port))
                return port
            except OSError:
                continue
    raise AssertionError("no free port")


def start_kxtsim(port):
    process = subprocess.Popen([KXTSIM, "--tcp", str(port)], stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True)
    for line in process.stdout:
        if line.strip() == "kxtsim: ready":
            return process
    process.wait()
    raise AssertionError("kxtsim did not start")


class KxtdevInTmux(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        for program in (KXTDEV, KXTSIM):
            if not os.path.exists(program):
                raise unittest.SkipTest("%s not built" % program)
        cls.directory = tempfile.TemporaryDirectory()
        PANE.start_shell(cls.directory.name)

    @classmethod
    def tearDownClass(cls):
        tmux("kill-server", check=False)
        cls.directory.cleanup()

    def setUp(self):
        self.port = free_port()
        self.sim = start_kxtsim(self.port)
        self.client = ModbusTcpClient("127.0.0.1", port=self.port, timeout=5)
        self.assertTrue(self.client.connect())

    def tearDown(self):
        self.client.close()
        self.sim.kill()
        self.sim.wait()
        self.sim.stdout.close()
        if not has_exited(screen()):
            keys("C-c")
            shell_line("stty sane")

    def path(self, name):
        return os.path.join(self.directory.name, name)

    def module_register(self, register):
        result = self.client.read_holding_registers(register - 1, 1, slave=1)
        self.assertFalse(result.isError(), result)
        return result.registers[0]

    def start_kxtdev(self):
        # A marker of its own for each start: the last one may still be on the screen.
        self.starts = getattr(self, "starts", 0) + 1
        shell_line("clear; stty -g > stty.before; echo \"READY\"-%d" % self.starts)
        wait_text("READY-%d" % self.starts)
        shell_line("%s; echo EXIT=$?" % KXTDEV)

    def quit_and_check_terminal(self):
        wait_text("Development")
        typed("q")
        shown = wait_text("EXIT=0")
        self.assertNotIn("KXT DEVELOPMENT AND UTILITY SOFTWARE", shown)
        shell_line("echo MODES:$(stty -g | cmp -s - stty.before && echo same || echo changed)")
        shown = wait_for(lambda s: "MODES:same" in s or "MODES:changed" in s, "stty compare")
        self.assertIn("MODES:same", shown)

    def test_first_start_setup_then_register_viewer(self):
        # First start: no setup file; the communications setup is filled in and saved.
        self.start_kxtdev()
        wait_text("Can't locate setup file.")
        keys("F10")
        wait_text("CONFIGURE THIS COMPUTER")
        keys("Left")
        wait_text("Modbus TCP")
        keys("Enter")
        typed("127.0.0.1")
        keys("Enter")
        typed(str(self.port))
        for _ in range(4):  # port, timeout, trap errors, drop: Enter on the last accepts
            keys("Enter")
        wait_text("Write setup to startup file?")
        typed("y")
        self.quit_and_check_terminal()
        self.assertEqual(os.path.getsize(self.path("KXTSW.STP")), 148)

        # Second start: the link opens from the file; the viewer names the module.
        self.client.write_registers(REGISTER - 1, [0x1234], slave=1)
        self.start_kxtdev()
        wait_text("Development")
        self.assertNotIn("ERROR", screen())
        typed("u")
        typed("v")
        wait_text("REGSTR  HEX")
        wait_text("KXT4 Simulated Port 1")
        # The register number column takes the register to show on the cursor row.
        keys("Left")
        typed(str(REGISTER))
        keys("Enter")
        wait_for(lambda s: lines_of(s)[4].startswith("%6d  1234" % REGISTER), "register shown")
        keys("Right")
        typed("beef")
        keys("Enter")
        deadline = time.monotonic() + TIME_LIMIT
        while self.module_register(REGISTER) != 0xBEEF:
            if time.monotonic() > deadline:
                raise AssertionError("0xBEEF never reached the module:\n" + screen())
            time.sleep(0.02)

        # F1 prints the screen into a file named in its box.
        keys("F1")
        wait_text("PRINT SCREEN")
        typed("screen.txt")
        keys("Enter")
        deadline = time.monotonic() + TIME_LIMIT
        while not os.path.exists(self.path("screen.txt")) or \
                not read_bytes(self.path("screen.txt")).endswith(b"\f"):
            if time.monotonic() > deadline:
                raise AssertionError("no printed screen:\n" + screen())
            time.sleep(0.02)
        printed = read_bytes(self.path("screen.txt"))
        self.assertEqual(printed.count(b"\n"), 25)
        self.assertIn(b"REGSTR  HEX", printed)
        self.assertNotIn(b"PRINT SCREEN", printed)  # the box is closed before printing

        keys("Escape")
        self.quit_and_check_terminal()


if __name__ == "__main__":
    unittest.main()
