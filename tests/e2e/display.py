"""The X server both end-to-end harnesses drive: Xvfb on a display it chooses itself,
with openbox managing it (without a window manager there are no frames and no
activation)."""

import os
import subprocess
import time

from bounded import Overran, call, read_line

SCREEN_W, SCREEN_H = 1024, 768


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
