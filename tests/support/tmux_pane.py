"""One tmux pane on a private server, for tests of full-screen programs in a
real terminal: send keys and text, read the screen, wait (bounded) for it."""

import os
import re
import subprocess
import time

# A failure bound only: every wait ends as soon as its condition holds. It is
# generous because a busy machine stretches every step (a link's reply
# time-out alone is 500 polls of at least 10 ms each).
TIME_LIMIT = 60.0


def has_exited(shown):
    """The shell line that started a program has printed its EXIT=status."""
    return re.search(r"EXIT=\d", shown) is not None


class TmuxPane:
    def __init__(self, socket, target):
        self.socket = socket
        self.target = target

    def start_shell(self, directory=None, **environment):
        """A new 80 x 25 session named after the target, running /bin/sh with a
        plain prompt in UTF-8, in directory; waits for the prompt."""
        env = dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8", PS1="$ ", ENV="", **environment)
        place = ["-c", directory] if directory else []
        subprocess.run(["tmux", "-L", self.socket, "-f", "/dev/null", "-u", "new-session", "-d",
                        "-s", self.target, "-x", "80", "-y", "25", *place, "/bin/sh"],
                       env=env, check=True)
        self.wait_for(lambda s: s.strip() != "", "the shell prompt")

    def tmux(self, *args, check=True):
        result = subprocess.run(["tmux", "-L", self.socket, "-f", "/dev/null", *args],
                                capture_output=True, text=True, check=False)
        if check and result.returncode != 0:
            raise AssertionError("tmux %s: %s" % (" ".join(args), result.stderr))
        return result.stdout

    def screen(self, colours=False):
        args = ["capture-pane", "-p", "-t", self.target]
        if colours:
            args.append("-e")
        return self.tmux(*args)

    def wait_for(self, condition, what):
        deadline = time.monotonic() + TIME_LIMIT
        while True:
            text = self.screen()
            if condition(text):
                return text
            if time.monotonic() > deadline:
                raise AssertionError("timed out waiting for %s; screen:\n%s" % (what, text))
            time.sleep(0.02)

    def wait_text(self, text):
        return self.wait_for(lambda shown: text in shown, repr(text))

    def keys(self, *names):
        self.tmux("send-keys", "-t", self.target, *names)

    def typed(self, text):
        self.tmux("send-keys", "-t", self.target, "-l", text)

    def shell_line(self, line):
        self.typed(line)
        self.keys("Enter")
