"""kxtgallery in a real terminal (tmux): frame characters and colours on the
screen, keys answered, and the terminal left as it was after a normal end,
after SIGTERM, and across a stop and continue."""

import os
import signal
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.environ.get("KXT_SOURCE_DIR", "."), "tests", "support"))
from tmux_pane import TIME_LIMIT, TmuxPane  # noqa: E402

BIN_DIR = os.environ.get("KXT_BIN_DIR", "build/bin")
GALLERY = os.path.join(BIN_DIR, "kxtgallery")
SOCKET = "kxtgallery-test-%d" % os.getpid()

PANE = TmuxPane(SOCKET, "gallery")
tmux, screen, wait_for, wait_text = PANE.tmux, PANE.screen, PANE.wait_for, PANE.wait_text
keys, shell_line = PANE.keys, PANE.shell_line

FRAME_TOP_LEFT = "\u2554"
FRAME_SIDE = "\u2551"


def running_gallery():
    """The gallery started by the pane's shell, or None."""
    shell = int(tmux("display-message", "-p", "-t", "gallery", "#{pane_pid}").strip())
    with open("/proc/%d/task/%d/children" % (shell, shell)) as children:
        for pid in children.read().split():
            try:
                with open("/proc/%s/cmdline" % pid, "rb") as cmdline:
                    if b"kxtgallery" in cmdline.read():
                        return int(pid)
            except FileNotFoundError:
                pass
    return None


def gallery_pid():
    deadline = time.monotonic() + TIME_LIMIT
    while time.monotonic() < deadline:
        pid = running_gallery()
        if pid is not None:
            return pid
        time.sleep(0.02)
    raise AssertionError("kxtgallery did not start")


class GalleryInTmux(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.exists(GALLERY):
            raise unittest.SkipTest("kxtgallery not built")
        PANE.start_shell()

    @classmethod
    def tearDownClass(cls):
        tmux("kill-server", check=False)

    def setUp(self):
        # Wait for this test's own marker: the previous test's may still be on
        # the screen until the shell has run "clear".
        marker = "READY-%s" % self.id().split(".")[-1]
        shell_line("clear; stty -g > stty.before; echo \"READY\"-%s" % marker[len("READY-"):])
        self.before = wait_text(marker)

    def tearDown(self):
        # A failed test may leave the gallery running: end it for the next one.
        pid = running_gallery()
        if pid is not None:
            os.kill(pid, signal.SIGKILL)
            deadline = time.monotonic() + TIME_LIMIT
            while running_gallery() is not None and time.monotonic() < deadline:
                time.sleep(0.02)
            shell_line("stty sane")

    def start_gallery(self):
        shell_line("%s; echo EXIT=$?" % GALLERY)
        wait_text("KXT console toolkit gallery")

    def assert_terminal_as_before(self, exit_status):
        shown = wait_text("EXIT=%d" % exit_status)
        # The shell's screen is back (alternate screen left), nothing of the gallery on it.
        self.assertIn(self.before.rstrip().splitlines()[-1], shown)
        self.assertNotIn(FRAME_TOP_LEFT, shown)
        self.assertNotIn("gallery", shown.replace(GALLERY, ""))
        shell_line("echo MODES:$(stty -g | cmp -s - stty.before && echo same || echo changed)")
        shown = wait_for(lambda s: "MODES:same" in s or "MODES:changed" in s, "stty compare")
        self.assertIn("MODES:same", shown)

    def test_menus_boxes_and_normal_end(self):
        self.start_gallery()
        coloured = screen(colours=True)
        bar = coloured.splitlines()[0]
        # The bar in blue on light grey, the current title in white on blue
        # with its hot letter in yellow.
        self.assertIn("\x1b[34m\x1b[47m", bar)
        self.assertIn("\x1b[93m", bar)

        keys("Enter")  # File's pull-down
        shown = wait_text(FRAME_TOP_LEFT)
        self.assertIn(FRAME_SIDE + "Open", shown)
        keys("Right")  # Edit's pull-down, in one keystroke
        wait_for(lambda s: "Error box" in s and "Open" not in s, "Edit pull-down")
        keys("e")  # Error box
        wait_text("Something went wrong in the gallery")
        coloured = screen(colours=True)
        error_row = [row for row in coloured.splitlines() if "Something went wrong" in row][0]
        self.assertIn("\x1b[91m", error_row)  # light red on blue
        keys("Enter")  # Enter only beeps in the error box
        keys("F10")
        wait_for(lambda s: "Something went wrong" not in s, "error box closed")
        self.assertIn("Last choice: 202", screen())

        keys("Escape")  # leave the bar: the gallery asks
        wait_text("Leave the gallery?")
        keys("y")
        self.assert_terminal_as_before(0)

    def test_form_of_fields(self):
        self.start_gallery()
        keys("e")  # Edit's pull-down by its hot letter
        wait_text("Error box")
        keys("f")
        shown = wait_text("Station name")
        self.assertIn("19200", shown)  # a choice field
        self.assertIn("12.50", shown)  # hundredths
        self.assertIn("12/10/95", shown)  # a date
        tmux("send-keys", "-t", "gallery", "-l", "Pump 7")  # the first key replaces the text
        keys("Enter", "Down")  # Enter moves on like Down
        tmux("send-keys", "-t", "gallery", "-l", "123")
        # Enter passes the set point: its edit starts from the stored value,
        # so it is neither emptied nor refused.
        keys("Enter", "Enter", "F10")
        shown = wait_text("Form left with key 154")
        self.assertIn("Pump 7, 19200 baud, register 123, set point 12.50", shown)
        self.assertNotIn("Station name", shown)
        self.assertNotIn("Unacceptable format", shown)
        keys("Escape")
        wait_text("Leave the gallery?")
        keys("n")  # stays
        wait_for(lambda s: "Leave the gallery?" not in s, "question closed")
        keys("Escape")
        wait_text("Leave the gallery?")
        keys("Enter")
        self.assert_terminal_as_before(0)

    def test_sigterm_restores_the_terminal(self):
        self.start_gallery()
        keys("Enter")
        wait_text(FRAME_TOP_LEFT)
        os.kill(gallery_pid(), signal.SIGTERM)
        self.assert_terminal_as_before(128 + signal.SIGTERM)

    def test_stop_and_continue_repaints(self):
        self.start_gallery()
        keys("Enter")
        wait_text(FRAME_SIDE + "Open")
        keys("C-z")  # a key in raw mode: the gallery gives the terminal back and stops
        # The shell's screen comes back while the gallery is stopped.
        wait_for(lambda s: "KXT console toolkit gallery" not in s, "terminal given back")
        shell_line("fg; echo EXIT=$?")
        shown = wait_text(FRAME_SIDE + "Open")  # repainted from the image
        self.assertIn("KXT console toolkit gallery", shown)
        keys("Escape")
        wait_for(lambda s: "Open" not in s, "pull-down closed")
        keys("Escape")
        wait_text("Leave the gallery?")
        keys("y")
        self.assert_terminal_as_before(0)


class SmallTerminal(unittest.TestCase):
    def test_terminal_smaller_than_80_by_25_is_refused(self):
        import fcntl
        import pty
        import struct
        import termios
        if not os.path.exists(GALLERY):
            self.skipTest("kxtgallery not built")
        pid, master = pty.fork()
        if pid == 0:
            fcntl.ioctl(0, termios.TIOCSWINSZ, struct.pack("HHHH", 20, 60, 0, 0))
            os.execv(GALLERY, [GALLERY])
        output = b""
        while True:
            try:
                chunk = os.read(master, 4096)
            except OSError:  # EIO: the child has ended
                break
            if not chunk:
                break
            output += chunk
        _, status = os.waitpid(pid, 0)
        os.close(master)
        self.assertEqual(os.waitstatus_to_exitcode(status), 1)
        self.assertIn(b"60 columns and 20 rows", output)
        self.assertNotIn(b"\x1b[?1049h", output)  # the terminal was left alone


if __name__ == "__main__":
    with tempfile.TemporaryDirectory(prefix="kxtgallery-test-") as directory:
        os.chdir(directory)  # where the shell keeps the saved terminal modes
        result = unittest.main(argv=[sys.argv[0], "-v"], exit=False).result
        os.chdir("/")
    sys.exit(0 if result.wasSuccessful() else 1)
