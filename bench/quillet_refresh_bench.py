#!/usr/bin/python3
"""quillet sitting on an unchanged 20-register page against kxtsim on loopback
Modbus TCP: refresh cycles per second (counted from kxtsim's request lines),
the CPU quillet uses (its /proc/PID/stat times) and the bytes it writes to the
terminal per refresh, with and without the spinner.

  bench/quillet_refresh_bench.py [BIN_DIR] [SECONDS] [tcp|symax|rtu]

symax and rtu run the same page over kxtsim's pseudo-terminal at 57600 baud.

Goals: at most 100 cycles per second, a small fraction of one core, nothing
but the spinner written while the page does not change."""

import fcntl
import os
import pty
import re
import select
import signal
import struct
import subprocess
import sys
import termios
import threading
import time

BIN_DIR = sys.argv[1] if len(sys.argv) > 1 else os.environ.get("KXT_BIN_DIR", "build/bin")
SECONDS = float(sys.argv[2]) if len(sys.argv) > 2 else 5.0
TRANSPORT = sys.argv[3] if len(sys.argv) > 3 else "tcp"
BAUD = 57600
FIRST = 1001
SPINNER = re.compile(rb"\x1b\[1;80H[-\\|/]")


class RequestCounter:
    """Counts kxtsim's lines for reads of the page and of its status words,
    from its -v output."""

    def __init__(self, process):
        self.lines = 0
        self.status_lines = 0
        self.lock = threading.Lock()
        self.thread = threading.Thread(target=self.run, args=(process,), daemon=True)
        self.thread.start()

    def run(self, process):
        page = "read holding %d x20" % FIRST if TRANSPORT != "symax" else "read %d x20" % FIRST
        status = page.replace(str(FIRST), str(FIRST + 8192))
        for line in process.stdout:
            with self.lock:
                self.lines += page in line
                self.status_lines += status in line

    def count(self):
        with self.lock:
            return self.lines, self.status_lines


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def drain(fd, seconds):
    """Everything the terminal receives within `seconds`."""
    received = bytearray()
    end = time.monotonic() + seconds
    while True:
        left = end - time.monotonic()
        if left <= 0:
            return bytes(received)
        ready, _, _ = select.select([fd], [], [], left)
        if ready:
            try:
                received += os.read(fd, 65536)
            except OSError:
                return bytes(received)


def main():
    serial = [] if TRANSPORT == "tcp" else ["--serial", TRANSPORT, "--baud", str(BAUD)]
    sim = subprocess.Popen([os.path.join(BIN_DIR, "kxtsim"), "--tcp", "0", "-v", *serial],
                           stdout=subprocess.PIPE, text=True)
    port = device = None
    for line in sim.stdout:
        if line.startswith("kxtsim: listening on tcp port "):
            port = int(line.split()[-1])
        if line.startswith("kxtsim: serial device "):
            device = line.split()[-1]
        if line.strip() == "kxtsim: ready":
            break
    if TRANSPORT == "tcp":
        address = ["127.0.0.1:%d" % port, "1"]
    elif TRANSPORT == "rtu":
        address = [device, "1", "-B", "-M%d,N,8,1" % BAUD]
    else:
        address = [device, "-M%d,N,8,1" % BAUD]
    counter = RequestCounter(sim)

    pid, fd = pty.fork()
    if pid == 0:
        fcntl.ioctl(0, termios.TIOCSWINSZ, struct.pack("HHHH", 25, 80, 0, 0))
        os.environ["TERM"] = "xterm"
        quillet = os.path.join(BIN_DIR, "quillet")
        os.execv(quillet, [quillet, *address, "-R%d" % FIRST])
    drain(fd, 1.0)  # start-up and the first full drawing of the page

    cycles_before = counter.count()
    cpu_before = cpu_seconds(pid)
    started = time.monotonic()
    written = drain(fd, SECONDS)
    elapsed = time.monotonic() - started
    cpu_used = cpu_seconds(pid) - cpu_before
    cycles = counter.count()[0] - cycles_before[0]
    status_reads = counter.count()[1] - cycles_before[1]

    os.write(fd, b"\x1b")
    drain(fd, 0.5)
    _, status = os.waitpid(pid, 0)
    os.close(fd)
    sim.send_signal(signal.SIGTERM)
    sim.wait()

    beyond_spinner = SPINNER.sub(b"", written)
    per_cycle = len(written) / cycles if cycles else float("nan")
    print("refresh cycles:        %d in %.1f s = %.1f per second" % (cycles, elapsed,
                                                                     cycles / elapsed))
    print("status reads:          %d" % status_reads)
    print("quillet CPU:           %.3f s in %.1f s = %.1f%% of one core" %
          (cpu_used, elapsed, 100.0 * cpu_used / elapsed))
    print("terminal bytes:        %d = %.1f per refresh cycle" % (len(written), per_cycle))
    print("spinner updates:       %d" % len(SPINNER.findall(written)))
    print("bytes beyond spinner:  %d %r" % (len(beyond_spinner), beyond_spinner[:120]))
    print("quillet exit status:   %d" % os.waitstatus_to_exitcode(status))


if __name__ == "__main__":
    main()
