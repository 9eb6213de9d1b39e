"""The end-to-end harness: an X server with a window manager, a session bus and
an accessibility bus, and the tools that drive and read the program through
them (xdotool, xprop, xwininfo, the clipboard, screenshots, AT-SPI)."""

import ctypes
import os
import pwd
import re
import shutil
import signal
import subprocess
import tempfile
import time

from bounded import Overran, call, read_line
import display
from display import SCREEN_H, SCREEN_W, XSession, poll, root_screenshot_command  # noqa: F401 (the checks take the screen size from here)

HERE = os.path.dirname(os.path.abspath(__file__))

# The read-only checks need a user for whom a read-only file is read-only: not
# root. As root the driver runs the program as this user.
TEST_USER, TEST_GROUP = "nobody", "nogroup"
UNPRIVILEGED = TEST_USER if os.getuid() == 0 else None

TOOLS = [*display.TOOLS, "xclip", "xmodmap", "dbus-daemon", "dbus-send", "convert", "setpriv"]
REGISTRYD = "/usr/libexec/at-spi2-registryd"

LIBC = ctypes.CDLL(None, use_errno=True)
PR_SET_PDEATHSIG = 1
PR_SET_CHILD_SUBREAPER = 36


class Failure(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise Failure(message)


def die_with_parent():
    # A child must not outlive the driver, even when the driver is killed.
    LIBC.prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


def wait_for(predicate, timeout, what, interval=0.02):
    value = poll(predicate, timeout, interval)
    if not value:
        raise Failure(f"timed out after {timeout:g} s waiting for {what}")
    return value


def settled(read, expected, timeout=3):
    """What `read` gives once it equals `expected`, or what it gives at the end
    of the timeout: input and display reach the program by separate routes."""
    deadline = time.monotonic() + timeout
    while True:
        value = read()
        if value == expected or time.monotonic() >= deadline:
            return value
        time.sleep(0.05)


def run(args, check=True, input=None, timeout=20, binary=False):
    if os.environ.get("E2E_TRACE"):
        t0 = time.monotonic()
        try:
            return _run(args, check, input, timeout, binary)
        finally:
            print(f"   [{time.monotonic() - t0:.3f}] {' '.join(map(str, args))[:100]}", flush=True)
    return _run(args, check, input, timeout, binary)


def _run(args, check=True, input=None, timeout=20, binary=False):
    try:
        result = call(args, timeout, input=input, binary=binary, preexec_fn=die_with_parent)
    except Overran as overran:
        raise Failure(str(overran)) from None
    if check and result.returncode != 0:
        raise Failure(f"{' '.join(args)} failed ({result.returncode}): {result.stderr.strip()}")
    return result.stdout


# --- X -----------------------------------------------------------------------

def xprop(window, prop):
    """The value of one property as xprop prints it, or None when it is not set."""
    target = ["-root"] if window == "root" else ["-id", str(window)]
    out = run(["xprop", *target, "-notype", prop], check=False)
    if not out.startswith(prop) or "not found" in out.split("\n", 1)[0]:
        return None
    return out[len(prop):].lstrip(" =:").rstrip("\n")


def xprop_list(window, prop):
    value = xprop(window, prop)
    if value is None:
        return []
    return [item.strip() for item in value.split(",") if item.strip()]


def window_title(window):
    value = xprop(window, "_NET_WM_NAME")
    if value is None:
        value = xprop(window, "WM_NAME")
    if value is None:
        return None
    return value.strip().strip('"')


def window_pid(window):
    value = xprop(window, "_NET_WM_PID")
    return int(value) if value and value.strip().isdigit() else None


def client_list():
    return [int(w, 16) for w in re.findall(r"0x[0-9a-fA-F]+", xprop("root", "_NET_CLIENT_LIST") or "")]


def active_window():
    found = re.findall(r"0x[0-9a-fA-F]+", xprop("root", "_NET_ACTIVE_WINDOW") or "")
    return int(found[0], 16) if found else None


def geometry(window):
    """The client area on the screen (x, y, width, height), as xwininfo tells it."""
    out = run(["xwininfo", "-id", str(window)])

    def value(label):
        return int(re.search(label + r":\s+(-?\d+)", out).group(1))
    return (value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"), value("Height"))


def frame_extents(window):
    values = [int(v) for v in xprop_list(window, "_NET_FRAME_EXTENTS")]
    return tuple(values) if len(values) == 4 else (0, 0, 0, 0)  # left, right, top, bottom


def normal_hints(window):
    out = run(["xprop", "-id", str(window), "WM_NORMAL_HINTS"])
    hints = {}
    for key, name in (("min", "minimum size"), ("max", "maximum size")):
        m = re.search(r"program specified " + name + r":\s+(\d+) by (\d+)", out)
        if m:
            hints[key] = (int(m.group(1)), int(m.group(2)))
    return hints


def motif_hints(window):
    values = [int(v, 16) for v in xprop_list(window, "_MOTIF_WM_HINTS")]
    return values + [0] * (5 - len(values))  # flags, functions, decorations, ...


MWM_FUNC_MINIMIZE, MWM_FUNC_MAXIMIZE = 0x08, 0x10
MWM_DECOR_MINIMIZE, MWM_DECOR_MAXIMIZE = 0x20, 0x40


def xdo(*args):
    run(["xdotool", *[str(a) for a in args]])


def key(*keys):
    xdo("key", "--delay", "40", *keys)


def type_text(text):
    xdo("type", "--delay", "40", "--", text)


def click(x, y, button=1, repeat=1):
    xdo("mousemove", x, y)
    xdo("click", "--repeat", repeat, "--delay", 80, button)


def click_centre(rect):
    x, y, w, h = rect
    click(x + w // 2, y + h // 2)


def map_accented_keys():
    """xdotool types a letter reliably only when the keymap holds it: give each
    accented letter we type a keycode of its own."""
    letters = [("aacute", "Aacute"), ("eacute", "Eacute"), ("iacute", "Iacute"), ("oacute", "Oacute"),
               ("uacute", "Uacute"), ("ntilde", "Ntilde")]
    free = [int(m.group(1)) for m in re.finditer(r"^keycode\s+(\d+)\s*=\s*$", run(["xmodmap", "-pke"]), re.M)]
    free = [code for code in free if 8 <= code <= 255]
    expect(len(free) >= len(letters), "not enough free keycodes for the accented letters")
    expressions = []
    for code, (lower, upper) in zip(reversed(free), letters):
        expressions += ["-e", f"keycode {code} = {lower} {upper}"]
    run(["xmodmap", *expressions])


def clipboard_set(text):
    # xclip stays behind to serve the selection: its output goes to a file, so it holds no pipe of ours.
    run(["xclip", "-selection", "clipboard", "-i"], input=text.encode(), timeout=10)


def clipboard_get():
    return run(["xclip", "-o", "-selection", "clipboard"], check=False, timeout=10)


def copy_field(rect):
    """What a person gets by clicking into a field and copying all of it."""
    clipboard_set("<nothing copied>")
    click_centre(rect)
    key("ctrl+a", "ctrl+c")
    return wait_for(lambda: (lambda t: t if t != "<nothing copied>" else None)(clipboard_get()), 3,
                    "the copied text on the clipboard")


def screenshot(session, name, window=None, with_frame=True):
    path = os.path.join(session.shots, name + ".png")
    if window is None:
        run(root_screenshot_command(path))
    elif with_frame:
        x, y, w, h = geometry(window)
        left, right, top, bottom = frame_extents(window)
        run(["import", "-window", "root", "-crop",
             f"{w + left + right}x{h + top + bottom}+{x - left}+{y - top}", "+repage", path])
    else:
        run(["import", "-window", str(window), path])
    return path


def pixels(path):
    """Width, height and the RGB bytes of a PNG."""
    size = run(["convert", path, "-format", "%w %h", "info:"]).split()
    raw = run(["convert", path, "-depth", "8", "rgb:-"], binary=True)
    return int(size[0]), int(size[1]), raw


# --- AT-SPI ------------------------------------------------------------------

pyatspi = None


def walk(acc):
    yield acc
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


def role(acc):
    return acc.getRoleName()


def states(acc):
    return {pyatspi.stateToString(s) for s in acc.getState().getStates()}


def extents(acc):
    e = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return (e.x, e.y, e.width, e.height)


def text_of(acc):
    return acc.queryText().getText(0, -1)


def find_all(root, role_name=None, name=None, showing=True):
    found = []
    for acc in walk(root):
        if role_name is not None and role(acc) != role_name:
            continue
        if name is not None and acc.name != name:
            continue
        if showing and "showing" not in states(acc):
            continue
        found.append(acc)
    return found


def find(root, role_name=None, name=None, showing=True):
    found = find_all(root, role_name, name, showing)
    expect(found, f"no {'showing ' if showing else ''}{role_name or 'object'} named {name!r}")
    return found[0]


def focused(app):
    for acc in walk(fresh(app)):
        if "focused" in states(acc) and role(acc) not in ("filler", "frame", "panel", "dialog", "alert"):
            return acc
    return None


CONTROL_ROLES = ("text", "push button", "list", "label", "menu bar", "menu item", "image", "check box")


def unnamed_controls(root):
    """Controls a screen reader could only call by their kind. Containers and
    the lines that separate parts of a window are not controls."""
    return [role(a) for a in walk(root) if not a.name and role(a) in CONTROL_ROLES]


def fresh(app):
    # The driver runs no event loop, so cached names and states would go stale.
    app.clear_cache()
    return app



# --- the session: X server, window manager, buses --------------------------

class Session(XSession):
    def __init__(self, program, out, installed_home=None):
        super().__init__(preexec_fn=die_with_parent)
        self.program = program
        self.installed_home = installed_home
        self.shots = os.path.join(out, "screenshots")
        self.tmp = None

    def start(self):
        os.makedirs(self.shots, exist_ok=True)
        for old in os.listdir(self.shots):
            if old.endswith(".png"):
                os.remove(os.path.join(self.shots, old))
        self.tmp = tempfile.mkdtemp(prefix="vorteda-e2e-")
        # The unprivileged run must reach its folder and the bus sockets.
        os.chmod(self.tmp, 0o755)
        self.base_env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "LANG": "C.UTF-8",
                         "HOME": self.mkdir("home"), "XDG_CONFIG_HOME": self.mkdir("config")}

        try:
            self.display = self.start_display(self.base_env, "-dpi", "96", "-ac", "-noreset")
        except Overran as overran:
            raise Failure(str(overran)) from None
        os.environ.update(self.base_env)
        map_accented_keys()

        # A session bus and an accessibility bus that both the driver and the
        # unprivileged user may use, the AT-SPI registry on the latter, and the
        # service through which Qt finds it.
        self.session_bus = self.start_bus("session")
        self.a11y_bus = self.start_bus("accessibility")
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = self.base_env["DBUS_SESSION_BUS_ADDRESS"] = self.session_bus
        os.environ["AT_SPI_BUS_ADDRESS"] = self.a11y_bus
        self.spawn([REGISTRYD], env=dict(self.base_env, AT_SPI_BUS_ADDRESS=self.a11y_bus),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(lambda: self.name_owned(self.a11y_bus, "org.a11y.atspi.Registry"), 20, "the AT-SPI registry")
        service = self.spawn(["/usr/bin/python3", os.path.join(HERE, "a11y_bus.py"), self.a11y_bus],
                             env=self.base_env, stdout=subprocess.PIPE)
        expect(self.first_line(service, 20, "the accessibility bus service") == b"ready",
               "the accessibility bus service did not start")

        global pyatspi
        import pyatspi as module
        pyatspi = module
        self.desktop = pyatspi.Registry.getDesktop(0)

    def mkdir(self, *parts, mode=0o755):
        path = os.path.join(self.tmp, *parts)
        os.makedirs(path, exist_ok=True)
        os.chmod(path, mode)
        return path

    def start_bus(self, kind):
        users = "".join(f'<allow user="{u}"/>' for u in ("root", pwd.getpwuid(os.getuid()).pw_name, TEST_USER))
        socket = os.path.join(self.tmp, f"{kind}-bus")
        config = os.path.join(self.tmp, f"{kind}-bus.conf")
        with open(config, "w") as f:
            f.write(f"""<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>{kind}</type>
  <auth>EXTERNAL</auth>
  <listen>unix:path={socket}</listen>
  <policy context="default">
    {users}
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
""")
        bus = self.spawn(["dbus-daemon", "--nofork", "--config-file", config, "--print-address=1"],
                         env=self.base_env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        address = self.first_line(bus, 20, f"the {kind} bus").decode()
        expect(address.startswith("unix:"), f"the {kind} bus did not start")
        return address

    @staticmethod
    def first_line(proc, timeout, what):
        try:
            return read_line(proc.stdout, timeout, what).strip()
        except Overran as overran:
            raise Failure(str(overran)) from None

    @staticmethod
    def name_owned(bus, name):
        out = run(["dbus-send", f"--bus={bus}", "--print-reply", "--dest=org.freedesktop.DBus",
                   "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", f"string:{name}"], check=False)
        return "boolean true" in out

    def stop(self):
        self.end_processes()
        reap_orphans()
        if self.tmp:
            shutil.rmtree(self.tmp, ignore_errors=True)


def reap_orphans():
    """Ends what our children left behind (xclip serving the clipboard, a program
    started by the one under test): as the subreaper, they are ours."""
    me = os.getpid()
    for attempt in range(50):
        children = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open(f"/proc/{entry}/stat") as f:
                    stat = f.read()
            except OSError:
                continue
            fields = stat[stat.rindex(")") + 2:].split()
            if int(fields[1]) == me:
                children.append(int(entry))
        if not children:
            return
        for pid in children:
            try:
                os.kill(pid, signal.SIGTERM if attempt < 10 else signal.SIGKILL)
            except ProcessLookupError:
                pass
        time.sleep(0.05)
        for pid in children:
            try:
                os.waitpid(pid, os.WNOHANG)
            except ChildProcessError:
                pass



# --- the checks' register ------------------------------------------------------

CHECKS = []


def check(function):
    """Registers a check: a function of the session that raises Failure or
    returns an optional note for its PASS line."""
    CHECKS.append(function)
    return function
