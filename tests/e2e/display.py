"""What both end-to-end harnesses start and end the same way (tests/e2e/linux for the Qt
program, tests/e2e/wine for Vorteda.exe): Xvfb on a display it chooses itself, with
openbox managing it (without a window manager there are no frames and no activation),
the tools they need, the processes they keep for the whole run, waiting for what
the screen shows, and screenshots of the whole screen."""

import os
import shutil
import subprocess
import time

from bounded import Overran, call, read_line

SCREEN_W, SCREEN_H = 1024, 768

# What every run drives or reads the screen with; each harness adds its own.
TOOLS = ["Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "import"]


def missing_tools(tools):
    """The programs of `tools` that are not on the PATH."""
    return [tool for tool in tools if shutil.which(tool) is None]


def start_display(spawn, env, *xvfb_options):
    """Starts the server and the window manager through `spawn` (the harness's Popen,
    which keeps the process to end it later), sets DISPLAY in `env` and returns it."""
    read_fd, write_fd = os.pipe()
    spawn(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{SCREEN_W}x{SCREEN_H}x24", "-nolisten", "tcp",
           *xvfb_options], env=env, pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    with os.fdopen(read_fd, "rb", buffering=0) as reported:
        number = read_line(reported, 20, "Xvfb's display number").strip()
    if not number:
        raise Overran("Xvfb ended before reporting its display")
    env["DISPLAY"] = ":" + number.decode()
    spawn(["openbox"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 20
    while "_NET_SUPPORTING_WM_CHECK(" not in call(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], 20,
                                                  env=env).stdout:
        if time.monotonic() > deadline:
            raise Overran("openbox did not manage the screen within 20 s")
        time.sleep(0.05)
    return env["DISPLAY"]


def poll(predicate, timeout, interval=0.05):
    """What `predicate` gives once it gives something true, or what it last gave when
    `timeout` s have passed: what a program shows reaches the screen in its own time."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


def root_screenshot_command(path):
    """The command that saves the whole screen as a PNG."""
    return ["import", "-window", "root", path]


class XSession:
    """The processes a harness keeps for its whole run (the X server, the window
    manager, its buses), ended last started first, each before what it depends on."""

    def __init__(self, preexec_fn=None):
        self.procs = []
        self._preexec_fn = preexec_fn

    def spawn(self, args, **kwargs):
        if self._preexec_fn is not None:
            kwargs.setdefault("preexec_fn", self._preexec_fn)
        proc = subprocess.Popen(args, **kwargs)
        self.procs.append(proc)
        return proc

    def start_display(self, env, *xvfb_options):
        """Xvfb and openbox, DISPLAY set in `env`; raises Overran when either does not come up."""
        return start_display(self.spawn, env, *xvfb_options)

    def end_processes(self):
        for proc in reversed(self.procs):
            if proc.poll() is None:
                proc.terminate()
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                proc.kill()
                try:
                    proc.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    pass
