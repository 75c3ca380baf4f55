"""quillet in a real terminal (tmux) against kxtsim over Modbus TCP, Sy/Max on
a pseudo-terminal and Modbus RTU on a pseudo-terminal: the module's values in
their columns, a value typed in the HEX column written to the module, ERROR
rows and the link's message once the module is gone (TCP, RTU), and Escape
leaving with status 0 and the terminal as it was. kxtsim serves Modbus TCP
beside its serial side, so the registers are preset and read back over TCP."""

import os
import subprocess
import sys
import tempfile
import time
import unittest

from pymodbus.client import ModbusTcpClient

sys.path.insert(0, os.path.join(os.environ.get("KXT_SOURCE_DIR", "."), "tests", "support"))
from tmux_pane import TIME_LIMIT, TmuxPane, has_exited  # noqa: E402

BIN_DIR = os.environ.get("KXT_BIN_DIR", "build/bin")
QUILLET = os.path.join(BIN_DIR, "quillet")
KXTSIM = os.path.join(BIN_DIR, "kxtsim")
SOCKET = "quillet-test-%d" % os.getpid()
PANE = TmuxPane(SOCKET, "quillet")
tmux, screen, wait_for, wait_text = PANE.tmux, PANE.screen, PANE.wait_for, PANE.wait_text
keys, typed, shell_line = PANE.keys, PANE.typed, PANE.shell_line
# Sy/Max gives up an unacknowledged frame after 32 enquiry rounds: about 70 ms
# at 57600 baud, 0.4 s at 9600. A busy machine that holds one side up for
# longer loses the frame, and a lost write would never reach the module; the
# slower rate keeps that well out of reach, and kxtsim is told to keep asking
# for as long as its reply is not acknowledged.
SYMAX_BAUD = 9600
# Modbus RTU ends a frame at a gap of 3.5 characters, under a millisecond at
# 57600 baud: on a busy machine a pause in the sender splits frames. 9600 baud
# gives 4 ms of slack and still a reply within 50 ms.
RTU_BAUD = 9600

# quillet shows the page from FIRST (plain storage in kxtsim, away from its run
# control and channel status registers); the first registers are preset
# before quillet starts, with the cells each must show.
FIRST = 1001
PRESET = [0x1234, 0xFFFF, 0x8000, 7, 0]
EXPECTED_CELLS = {
    FIRST: ("1234", "4660", "4660"),
    FIRST + 1: ("FFFF", "65535", "-1"),
    FIRST + 2: ("8000", "32768", "-32768"),
    FIRST + 3: ("0007", "7", "7"),
    FIRST + 4: ("0000", "0", "0"),
}


def deadline_passed(deadline, what, shown):
    if time.monotonic() > deadline:
        raise AssertionError("timed out waiting for %s; screen:\n%s" % (what, shown))


def lines_of(shown):
    rows = shown.split("\n")
    return rows + [""] * (25 - len(rows))


def data_row(shown, register):
    """The cells (HEX, UNSIGN, SIGNED, STAT) of a register's data row, or None."""
    for line in lines_of(shown)[4:24]:
        line = line.ljust(80)
        if line[0:8].strip() == str(register):
            return line[8:14].strip(), line[14:22].strip(), line[22:30].strip(), line[30:34]
    return None


def cells_shown(register, cells):
    return lambda shown: (data_row(shown, register) or ())[:3] == cells


def start_kxtsim(*args):
    process = subprocess.Popen([KXTSIM, *args], stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True)
    port = device = None
    for line in process.stdout:
        if line.startswith("kxtsim: listening on tcp port "):
            port = int(line.split()[-1])
        elif line.startswith("kxtsim: serial device "):
            device = line.split()[-1]
        elif line.strip() == "kxtsim: ready":
            break
    if port is None:
        process.kill()
        process.wait()
        raise AssertionError("kxtsim did not start")
    return process, port, device


class QuilletInTmux(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        for program in (QUILLET, KXTSIM):
            if not os.path.exists(program):
                raise unittest.SkipTest("%s not built" % program)
        PANE.start_shell()

    @classmethod
    def tearDownClass(cls):
        tmux("kill-server", check=False)

    def setUp(self):
        self.sim = None
        self.client = None
        # The quotes keep the typed line from matching before the shell has run it.
        # Wait for this test's own marker: the previous test's may still be on
        # the screen until the shell has run "clear".
        name = self.id().split(".")[-1]
        shell_line("clear; stty -g > stty.before; echo \"READY\"-%s" % name)
        self.before = wait_text("READY-%s" % name)

    def tearDown(self):
        if self.client is not None:
            self.client.close()
        if self.sim is not None and self.sim.poll() is None:
            self.sim.kill()
        if self.sim is not None:
            self.sim.wait()
            self.sim.stdout.close()
        # A failed test may leave quillet running: Escape ends it, and the
        # shell line that started it reports its end.
        if not has_exited(screen()):
            keys("Escape")
            try:
                wait_for(has_exited, "quillet's end")
            except AssertionError:
                keys("C-c")
            shell_line("stty sane")

    def start_module(self, *serial_args):
        self.sim, port, device = start_kxtsim("--tcp", "0", *serial_args)
        self.client = ModbusTcpClient("127.0.0.1", port=port, timeout=TIME_LIMIT)
        self.assertTrue(self.client.connect())
        result = self.client.write_registers(FIRST - 1, PRESET, slave=1)
        self.assertFalse(result.isError(), result)
        return port, device

    def module_register(self, register):
        result = self.client.read_holding_registers(register - 1, 1, slave=1)
        self.assertFalse(result.isError(), result)
        return result.registers[0]

    def start_quillet(self, *args):
        shell_line("%s %s -R%d; echo EXIT=$?" % (QUILLET, " ".join(args), FIRST))
        return wait_text("SY/MAX Register Viewer")

    def check_values_shown(self, with_status):
        for register, cells in EXPECTED_CELLS.items():
            shown = wait_for(cells_shown(register, cells), "register %d" % register)
        header = lines_of(shown)[3]
        self.assertTrue(header.startswith("REGSTR  HEX   UNSIGN  SIGNED"), header)
        self.assertEqual("STAT" in header, with_status)
        if with_status:
            # kxtsim's status words are readable: hexadecimal, never "----".
            # They come in a request of their own after the values, so the
            # screen may show the values a moment before them.
            shown = wait_for(lambda s: (data_row(s, FIRST) or ("", "", "", ""))[3] != "    ",
                             "the status word of register %d" % FIRST)
            self.assertRegex(data_row(shown, FIRST)[3], "^[0-9A-F]{4}$")
        else:
            self.assertEqual(data_row(shown, FIRST)[3].strip(), "")

    def check_typed_value_written(self):
        # The cursor starts on the first register in the HEX column; two rows down
        # is the third, where the first digit replaces the shown value.
        keys("Down", "Down")
        typed("beef")
        keys("Enter")
        deadline = time.monotonic() + TIME_LIMIT
        while self.module_register(FIRST + 2) != 0xBEEF:
            deadline_passed(deadline, "0xBEEF in the module", screen())
            time.sleep(0.02)
        wait_for(cells_shown(FIRST + 2, ("BEEF", "48879", "-16657")), "the new value read back")
        self.assertEqual(self.module_register(FIRST + 3), 7)  # its neighbours untouched
        self.assertEqual(self.module_register(FIRST + 1), 0xFFFF)

    def check_module_loss_shown(self):
        self.sim.terminate()
        self.assertEqual(self.sim.wait(timeout=TIME_LIMIT), 0)

        def error_rows(shown):
            rows = [(line.ljust(80)[8:28]) for line in lines_of(shown)[4:24]]
            return all(row.strip() == "ERROR" for row in rows)

        shown = wait_for(error_rows, "ERROR rows")
        message = wait_for(lambda s: lines_of(s)[23][39:].strip() != "", "link message")
        self.assertNotEqual(lines_of(message)[23][39:].strip(), "")
        self.assertIn("SY/MAX Register Viewer", shown)

    def leave_and_check_terminal(self):
        keys("Escape")
        shown = wait_text("EXIT=0")
        # The shell's screen is back (alternate screen left), nothing of the page on it.
        self.assertIn(self.before.rstrip().splitlines()[-1], shown)
        self.assertNotIn("SY/MAX Register Viewer", shown)
        self.assertNotIn("REGSTR", shown)
        shell_line("echo MODES:$(stty -g | cmp -s - stty.before && echo same || echo changed)")
        shown = wait_for(lambda s: "MODES:same" in s or "MODES:changed" in s, "stty compare")
        self.assertIn("MODES:same", shown)

    def test_modbus_tcp(self):
        port, _ = self.start_module()
        self.start_quillet("127.0.0.1:%d" % port, "1")
        self.check_values_shown(with_status=True)
        self.check_typed_value_written()
        self.check_module_loss_shown()
        self.leave_and_check_terminal()

    def test_symax_on_a_pseudo_terminal(self):
        _, device = self.start_module("--serial", "symax", "--baud", str(SYMAX_BAUD),
                                      "--enquiry-rounds", "1000000")
        self.start_quillet(device, "-M%d,N,8,1" % SYMAX_BAUD)
        self.check_values_shown(with_status=True)
        self.check_typed_value_written()
        # A lost Sy/Max module is given up only after the link's retries, some
        # seconds per read: the loss is checked over TCP and RTU only.
        self.leave_and_check_terminal()

    def test_modbus_rtu_on_a_pseudo_terminal(self):
        _, device = self.start_module("--serial", "rtu", "--baud", str(RTU_BAUD))
        self.start_quillet(device, "1", "-B", "-M%d,N,8,1" % RTU_BAUD)
        self.check_values_shown(with_status=False)
        self.check_typed_value_written()
        self.check_module_loss_shown()
        self.leave_and_check_terminal()


if __name__ == "__main__":
    with tempfile.TemporaryDirectory(prefix="quillet-test-") as directory:
        os.chdir(directory)  # where the shell keeps the saved terminal modes
        result = unittest.main(argv=[sys.argv[0], "-v", *sys.argv[1:]], exit=False).result
        os.chdir("/")
    sys.exit(0 if result.wasSuccessful() else 1)
