#!/usr/bin/python3
"""Makes the README's pictures from real runs: each program runs on a
pseudo-terminal of 80 x 25 against kxtsim, its output goes through the pyte
terminal emulator, and the cells are drawn to PNG in their colours.

    /usr/bin/python3 scripts/make-pictures.py [--build DIR] [picture...]

Pictures: quillet, kxtdev-menu, kxtdev-viewer (all three when none is named),
written to docs/images/<picture>.png. Builds the programs first (cmake).
"""

import argparse
import fcntl
import os
import pty
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import termios
import time

import pyte
from PIL import Image, ImageDraw, ImageFont

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
from kxt_setup import setup_record  # noqa: E402
COLUMNS, ROWS = 80, 25
TIME_LIMIT = 20.0  # a failure bound only: every wait ends as soon as its condition holds
FONT_PATH = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"
BOLD_FONT_PATH = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf"
FONT_SIZE = 16

# The text-mode palette the toolkit's colours are made for.
PALETTE = {
    "black": (0, 0, 0), "blue": (0, 0, 170), "green": (0, 170, 0), "cyan": (0, 170, 170),
    "red": (170, 0, 0), "magenta": (170, 0, 170), "brown": (170, 85, 0),
    "white": (170, 170, 170),
    "brightblack": (85, 85, 85), "brightblue": (85, 85, 255), "brightgreen": (85, 255, 85),
    "brightcyan": (85, 255, 255), "brightred": (255, 85, 85), "brightmagenta": (255, 85, 255),
    "brightbrown": (255, 255, 85), "brightwhite": (255, 255, 255),
}
ANSI_NAMES = ["black", "red", "green", "brown", "blue", "magenta", "cyan", "white"]


class BrightScreen(pyte.Screen):
    """pyte folds the bright colours (90-97, 100-107) into plain ones with
    bold; keep them apart so that a bright background stays bright."""

    def select_graphic_rendition(self, *attrs):
        plain, bright = [], {}
        for attr in attrs:
            if 90 <= attr <= 97:
                bright["fg"] = "bright" + ANSI_NAMES[attr - 90]
            elif 100 <= attr <= 107:
                bright["bg"] = "bright" + ANSI_NAMES[attr - 100]
            else:
                plain.append(attr)
        if plain or not bright:
            super().select_graphic_rendition(*plain)
        if bright:
            self.cursor.attrs = self.cursor.attrs._replace(**bright)


def colour(name, bold, default):
    if name == "default":
        name = default
    if re.fullmatch(r"[0-9a-fA-F]{6}", name):
        return tuple(int(name[i:i + 2], 16) for i in (0, 2, 4))
    if bold and name in ANSI_NAMES:
        name = "bright" + name
    return PALETTE.get(name, PALETTE[default])


def draw_screen(screen, path):
    font = ImageFont.truetype(FONT_PATH, FONT_SIZE)
    bold_font = ImageFont.truetype(BOLD_FONT_PATH, FONT_SIZE)
    ascent, descent = font.getmetrics()
    cell_width = round(font.getlength("M"))
    cell_height = ascent + descent
    image = Image.new("RGB", (COLUMNS * cell_width, ROWS * cell_height))
    draw = ImageDraw.Draw(image)
    for row in range(ROWS):
        line = screen.buffer[row]
        for column in range(COLUMNS):
            cell = line[column]
            foreground = colour(cell.fg, cell.bold, "white")
            background = colour(cell.bg, False, "black")
            if cell.reverse:
                foreground, background = background, foreground
            left, top = column * cell_width, row * cell_height
            draw.rectangle([left, top, left + cell_width - 1, top + cell_height - 1],
                           fill=background)
            if cell.data.strip():
                if not draw_box_character(draw, cell.data, left, top, cell_width, cell_height,
                                          foreground):
                    draw.text((left, top), cell.data, font=font, fill=foreground)
    image.save(path, optimize=True)


# Frame characters are drawn edge to edge, so that frames join whatever the
# font's line height. Arms: (vertical, horizontal), -1 up or left, +1 down or
# right, 2 both ways, 0 none.
SINGLE_FRAMES = {"─": (0, 2), "│": (2, 0), "┌": (1, 1), "┐": (1, -1), "└": (-1, 1),
                 "┘": (-1, -1)}
DOUBLE_FRAMES = {"═": (0, 2), "║": (2, 0), "╔": (1, 1), "╗": (1, -1), "╚": (-1, 1),
                 "╝": (-1, -1)}
DOUBLE_GAP = 2


def draw_stroke(draw, x, y, arms, box, fill):
    """One single line through (x, y) with the given arms, to the cell's edges."""
    left, top, right, bottom = box
    vertical, horizontal = arms
    if vertical:
        start = top if vertical in (-1, 2) else y
        end = bottom if vertical in (1, 2) else y
        draw.line([(x, start), (x, end)], fill=fill)
    if horizontal:
        start = left if horizontal in (-1, 2) else x
        end = right if horizontal in (1, 2) else x
        draw.line([(start, y), (end, y)], fill=fill)


def draw_box_character(draw, character, left, top, width, height, fill):
    box = (left, top, left + width - 1, top + height - 1)
    centre_x, centre_y = left + width // 2, top + height // 2
    if character in SINGLE_FRAMES:
        draw_stroke(draw, centre_x, centre_y, SINGLE_FRAMES[character], box, fill)
        return True
    if character not in DOUBLE_FRAMES:
        return False
    vertical, horizontal = arms = DOUBLE_FRAMES[character]
    gap = DOUBLE_GAP
    if vertical == 2:
        strokes = [(centre_x - gap, centre_y), (centre_x + gap, centre_y)]
    elif horizontal == 2:
        strokes = [(centre_x, centre_y - gap), (centre_x, centre_y + gap)]
    else:
        # A corner: the outer stroke turns outside the inner one.
        strokes = [(centre_x - horizontal * gap, centre_y - vertical * gap),
                   (centre_x + horizontal * gap, centre_y + vertical * gap)]
    for x, y in strokes:
        draw_stroke(draw, x, y, arms, box, fill)
    return True


class Terminal:
    """A program on a pseudo-terminal of 80 x 25 as its controlling terminal,
    its output fed to a pyte screen."""

    def __init__(self, argv, cwd):
        self.screen = BrightScreen(COLUMNS, ROWS)
        self.stream = pyte.ByteStream(self.screen)
        environment = dict(os.environ, TERM="xterm-256color", COLUMNS=str(COLUMNS),
                           LINES=str(ROWS))
        self.pid, self.master = pty.fork()
        if self.pid == 0:
            try:
                fcntl.ioctl(0, termios.TIOCSWINSZ, struct.pack("HHHH", ROWS, COLUMNS, 0, 0))
                os.chdir(cwd)
                os.execve(argv[0], argv, environment)
            finally:
                os._exit(127)
        self.status = None

    def pump(self, timeout):
        ready, _, _ = select.select([self.master], [], [], timeout)
        if not ready:
            return
        try:
            data = os.read(self.master, 65536)
        except OSError:  # EIO: the program has ended
            data = b""
        if data:
            self.stream.feed(data)
        else:
            self.reap(block=True)

    def reap(self, block=False):
        if self.status is None:
            pid, status = os.waitpid(self.pid, 0 if block else os.WNOHANG)
            if pid:
                self.status = status
        return self.status

    def text(self):
        return "\n".join(self.screen.display)

    def wait_for(self, condition, what, failure=None):
        """Waits (bounded) until the screen fulfils condition; a screen that
        shows the failure text ends the wait at once."""
        deadline = time.monotonic() + TIME_LIMIT
        while not condition(self.text()):
            if failure and failure in self.text():
                raise RuntimeError("%r shown before %s; screen:\n%s" % (failure, what, self.text()))
            if self.reap() is not None:
                raise RuntimeError("the program ended before %s; screen:\n%s" % (what, self.text()))
            if time.monotonic() > deadline:
                raise RuntimeError("timed out waiting for %s; screen:\n%s" % (what, self.text()))
            self.pump(0.05)

    def settle(self, seconds=0.5):
        """Lets the screen take in what the program writes for a moment more."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline and self.reap() is None:
            self.pump(0.05)

    def send(self, data):
        os.write(self.master, data)

    def finish(self, keys=()):
        """Types the keys that end the program, one by one (a lone Escape is
        told from a key sequence by a pause), waits a bounded time for its
        end, and stops it if it has not."""
        for key in keys:
            if self.reap() is not None:
                break
            self.send(key)
            self.settle(0.2)
        deadline = time.monotonic() + TIME_LIMIT
        while self.reap() is None and time.monotonic() < deadline:
            self.pump(0.05)
        if self.reap() is None:
            os.kill(self.pid, signal.SIGTERM)
            self.reap(block=True)
        os.close(self.master)


class Simulator:
    """kxtsim on a free loopback port."""

    def __init__(self, binary):
        self.process = subprocess.Popen([binary, "--tcp", "0"], stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT, text=True)
        self.port = None
        deadline = time.monotonic() + TIME_LIMIT
        while time.monotonic() < deadline:
            line = self.process.stdout.readline()
            if not line:
                break
            found = re.match(r"kxtsim: listening on tcp port (\d+)", line)
            if found:
                self.port = int(found.group(1))
            if line.startswith("kxtsim: ready"):
                break
        if self.port is None:
            self.stop()
            raise RuntimeError("kxtsim did not start")

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGINT)
            try:
                self.process.wait(timeout=TIME_LIMIT)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


KXTDEV_NO_LINK = "Unable to establish link."


def kxtdev_directory(port):
    directory = tempfile.mkdtemp(prefix="kxtdev-picture-")
    with open(os.path.join(directory, "KXTSW.STP"), "wb") as setup:
        setup.write(setup_record(port))
    return directory


def start_example_program(bin_dir, simulator):
    """A running program makes the registers live: run control, status
    register and line number."""
    subprocess.run([os.path.join(bin_dir, "kxtload"), "1",
                    os.path.join(ROOT, "examples", "blink.KXB"),
                    "127.0.0.1:%d" % simulator.port, "-A"],
                   check=True, stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                   timeout=60)


def picture_quillet(bin_dir, simulator, path):
    start_example_program(bin_dir, simulator)
    terminal = Terminal([os.path.join(bin_dir, "quillet"), "127.0.0.1:%d" % simulator.port],
                        ROOT)
    try:
        terminal.wait_for(lambda text: "REGSTR" in text and "KXT4" in text,
                          "the register page with the module's name")
        terminal.settle()
        draw_screen(terminal.screen, path)
    finally:
        terminal.finish([b"\x1b"])


def picture_kxtdev_menu(bin_dir, simulator, path):
    directory = kxtdev_directory(simulator.port)
    # The keystroke argument /R (Enter) opens the first menu, Development.
    terminal = Terminal([os.path.join(bin_dir, "kxtdev"), "/R"], directory)
    try:
        terminal.wait_for(lambda text: "Read source from disk" in text, "the Development menu",
                          failure=KXTDEV_NO_LINK)
        terminal.settle()
        draw_screen(terminal.screen, path)
    finally:
        terminal.finish([b"\x1b", b"q"])
        shutil.rmtree(directory, ignore_errors=True)


def picture_kxtdev_viewer(bin_dir, simulator, path):
    start_example_program(bin_dir, simulator)
    directory = kxtdev_directory(simulator.port)
    # The keystroke arguments: Utilities, then View module registers.
    terminal = Terminal([os.path.join(bin_dir, "kxtdev"), "u", "v"], directory)
    try:
        terminal.wait_for(lambda text: "REGSTR" in text and "F2" in text,
                          "the register viewer", failure=KXTDEV_NO_LINK)
        terminal.settle()
        draw_screen(terminal.screen, path)
    finally:
        terminal.finish([b"\x1b", b"q"])
        shutil.rmtree(directory, ignore_errors=True)


PICTURES = {
    "quillet": picture_quillet,
    "kxtdev-menu": picture_kxtdev_menu,
    "kxtdev-viewer": picture_kxtdev_viewer,
}


def main():
    parser = argparse.ArgumentParser(description="Makes the README's pictures.")
    parser.add_argument("--build", default=os.path.join(ROOT, "build"), help="build folder")
    parser.add_argument("--no-build", action="store_true", help="use the programs as built")
    parser.add_argument("pictures", nargs="*", choices=[[]] + list(PICTURES),
                        help="pictures to make (default: all)")
    arguments = parser.parse_args()
    names = arguments.pictures or list(PICTURES)
    if not arguments.no_build:
        subprocess.run(["cmake", "-S", ROOT, "-B", arguments.build, "-G", "Ninja"], check=True,
                       stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", arguments.build, "--target", "kxtsim", "kxtload",
                        "quillet", "kxtdev"], check=True, stdout=subprocess.DEVNULL)
    bin_dir = os.path.join(arguments.build, "bin")
    images = os.path.join(ROOT, "docs", "images")
    os.makedirs(images, exist_ok=True)
    failures = 0
    for name in names:
        simulator = Simulator(os.path.join(bin_dir, "kxtsim"))
        path = os.path.join(images, name + ".png")
        try:
            PICTURES[name](bin_dir, simulator, path)
            print("wrote", os.path.relpath(path, ROOT))
        except (RuntimeError, subprocess.SubprocessError) as error:
            failures += 1
            print("%s: %s" % (name, error), file=sys.stderr)
        finally:
            simulator.stop()
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
