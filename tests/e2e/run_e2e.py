#!/usr/bin/python3
"""Vorteda as a person meets it: the built program in a real X server with a
window manager, driven by keyboard and mouse.

Each check copies the program into a fresh folder with a prepared
"personas.dat", starts it, drives it with xdotool and reads what it shows
through AT-SPI, the clipboard, xprop and xwininfo. Screenshots of every window
land in the output folder. One PASS/FAIL line per check, then
"N passed, N failed"; the exit status is non-zero on any failure.

Run with Debian's /usr/bin/python3 (pyatspi lives there):
    /usr/bin/python3 run_e2e.py --program build/app/vorteda --out build/tests/e2e
"""

import argparse
import ctypes
import grp
import importlib.util
import os
import pwd
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))

SCREEN_W, SCREEN_H = 1024, 768
SPLASH_MS = 1500
# The read-only checks need a user for whom a read-only file is read-only: not
# root. As root the driver runs the program as this user.
TEST_USER, TEST_GROUP = "nobody", "nogroup"
UNPRIVILEGED = TEST_USER if os.getuid() == 0 else None

TOOLS = ["Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "xclip", "xmodmap", "dbus-daemon",
         "dbus-send", "import", "convert", "setpriv"]
REGISTRYD = "/usr/libexec/at-spi2-registryd"

# Field widths of one record, in bytes of Windows-1252.
WIDTHS = (25, 20, 20, 15, 25)
FIELD_NAMES = ("Apellido", "Nombre", "Dirección", "Teléfono", "E-mail")

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
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise Failure(f"timed out after {timeout:g} s waiting for {what}")
        time.sleep(interval)


def settled(read, expected, timeout=3):
    """What `read` gives once it equals `expected`, or what it gives at the end
    of the timeout: input and display reach the program by separate routes."""
    deadline = time.monotonic() + timeout
    while True:
        value = read()
        if value == expected or time.monotonic() >= deadline:
            return value
        time.sleep(0.05)


def run(args, check=True, input=None, timeout=20):
    if os.environ.get("E2E_TRACE"):
        t0 = time.monotonic()
        try:
            return _run(args, check, input, timeout)
        finally:
            print(f"   [{time.monotonic() - t0:.3f}] {' '.join(map(str, args))[:100]}", flush=True)
    return _run(args, check, input, timeout)


def _run(args, check=True, input=None, timeout=20):
    result = subprocess.run(args, input=input, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            timeout=timeout, preexec_fn=die_with_parent)
    if check and result.returncode != 0:
        raise Failure(f"{' '.join(args)} failed ({result.returncode}): {result.stderr.decode(errors='replace').strip()}")
    return result.stdout.decode("utf-8", errors="replace")


# --- records -----------------------------------------------------------------

def record(*fields):
    """One 105-byte record from five texts, as the program stores them."""
    fields = fields + ("",) * (5 - len(fields))
    return b"".join(text.encode("cp1252").ljust(width, b" ")[:width] for text, width in zip(fields, WIDTHS))


def sorted_by_given_name(records):
    # Given names are unique in these checks, so any correct sort gives this order.
    return sorted(records, key=lambda r: r[25:45])


def surnames(data):
    return [data[i:i + 25].decode("cp1252").strip(" ") for i in range(0, len(data), 105)]


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
    # xclip stays behind to serve the selection: its output must not hold our pipe.
    subprocess.run(["xclip", "-selection", "clipboard", "-i"], input=text.encode(), stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=10, preexec_fn=die_with_parent, check=True)


def clipboard_get():
    return subprocess.run(["xclip", "-o", "-selection", "clipboard"], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, timeout=10).stdout.decode("utf-8", errors="replace")


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
        run(["import", "-window", "root", path])
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
    raw = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], stdout=subprocess.PIPE, check=True,
                         timeout=20).stdout
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

class Session:
    def __init__(self, program, out):
        self.program = program
        self.shots = os.path.join(out, "screenshots")
        self.procs = []
        self.tmp = None

    def spawn(self, args, env=None, **kwargs):
        proc = subprocess.Popen(args, env=env, preexec_fn=die_with_parent, **kwargs)
        self.procs.append(proc)
        return proc

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

        # A free display, chosen by the server itself.
        read_fd, write_fd = os.pipe()
        self.spawn(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{SCREEN_W}x{SCREEN_H}x24",
                    "-dpi", "96", "-ac", "-nolisten", "tcp", "-noreset"],
                   env=self.base_env, pass_fds=(write_fd,), stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
        os.close(write_fd)
        display = b""
        deadline = time.monotonic() + 20
        while not display.endswith(b"\n"):
            ready, _, _ = select.select([read_fd], [], [], max(0.0, deadline - time.monotonic()))
            expect(ready, "Xvfb did not report its display")
            chunk = os.read(read_fd, 64)
            expect(chunk, "Xvfb ended before reporting its display")
            display += chunk
        os.close(read_fd)
        self.display = ":" + display.decode().strip()
        os.environ.update(self.base_env)
        os.environ["DISPLAY"] = self.base_env["DISPLAY"] = self.display

        # Without a window manager there are no frames and no activation.
        self.spawn(["openbox"], env=self.base_env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(lambda: xprop("root", "_NET_SUPPORTING_WM_CHECK"), 20, "openbox to manage the screen")
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
        expect(service.stdout.readline().strip() == b"ready", "the accessibility bus service did not start")

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
        address = bus.stdout.readline().decode().strip()
        expect(address.startswith("unix:"), f"the {kind} bus did not start")
        return address

    @staticmethod
    def name_owned(bus, name):
        out = run(["dbus-send", f"--bus={bus}", "--print-reply", "--dest=org.freedesktop.DBus",
                   "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", f"string:{name}"], check=False)
        return "boolean true" in out

    def stop(self):
        # Last started, first ended: each goes before what it depends on.
        for proc in reversed(self.procs):
            if proc.poll() is None:
                proc.terminate()
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
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


# --- one run of the program -------------------------------------------------

class Program:
    """The built program, copied into a fresh folder of its own."""

    def __init__(self, session, name, data=None, user=None, bin_files=None):
        self.session = session
        self.name = name
        self.user = user
        self.folder = session.mkdir(name, "app")
        self.exe = os.path.join(self.folder, "vorteda")
        shutil.copy2(session.program, self.exe)
        self.data_path = os.path.join(self.folder, "personas.dat")
        if data is not None:
            with open(self.data_path, "wb") as f:
                f.write(data)
        # Its own PATH, so that only the system-information programs we put there exist.
        self.bin = session.mkdir(name, "bin")
        for file_name, text in (bin_files or {}).items():
            path = os.path.join(self.bin, file_name)
            with open(path, "w") as f:
                f.write(text)
            os.chmod(path, 0o755)
        self.home = session.mkdir(name, "home")
        self.runtime = session.mkdir(name, "runtime", mode=0o700)
        if user:
            uid, gid = pwd.getpwnam(user).pw_uid, grp.getgrnam(TEST_GROUP).gr_gid
            for root, dirs, files in os.walk(os.path.join(session.tmp, name)):
                for entry in [root] + [os.path.join(root, n) for n in dirs + files]:
                    os.chown(entry, uid, gid)
        self.proc = None
        self.started = None

    def start(self):
        env = dict(self.session.base_env, HOME=self.home, XDG_RUNTIME_DIR=self.runtime,
                   XDG_CONFIG_HOME=os.path.join(self.home, ".config"), PATH=self.bin,
                   QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        args = [self.exe]
        if self.user:
            args = [shutil.which("setpriv"), f"--reuid={self.user}", f"--regid={TEST_GROUP}", "--clear-groups",
                    "--pdeathsig", "KILL", "--", self.exe]
        self.log = open(os.path.join(self.session.tmp, self.name, "program.log"), "wb")
        self.started = time.monotonic()
        self.proc = self.session.spawn(args, env=env, cwd=self.folder, stdout=self.log, stderr=subprocess.STDOUT)
        return self

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def stop(self):
        if self.running():
            self.proc.terminate()
            try:
                self.proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.log.close()

    def data(self):
        with open(self.data_path, "rb") as f:
            return f.read()

    def wait_data(self, expected, what, timeout=5):
        try:
            wait_for(lambda: os.path.exists(self.data_path) and self.data() == expected, timeout, what)
        except Failure:
            actual = self.data() if os.path.exists(self.data_path) else None
            raise Failure(f"{what}: personas.dat holds {describe(actual)}, expected {describe(expected)}")

    # Windows

    def windows(self):
        """The program's windows that the window manager shows, with their titles and types."""
        shown = []
        for window in client_list():
            if window_pid(window) == self.proc.pid:
                shown.append((window, window_title(window), xprop_list(window, "_NET_WM_WINDOW_TYPE")))
        return shown

    def window(self, title=None, kind=None, timeout=5):
        def match():
            expect(self.running(), f"the program ended (exit status {self.proc.returncode})")
            for window, window_name, types in self.windows():
                if (title is None or window_name == title) and (kind is None or kind in types):
                    return window
            return None
        return wait_for(match, timeout, f"a window {title!r} {kind or ''}".strip())

    def wait_gone(self, window, timeout=5, what="the window to close"):
        wait_for(lambda: window not in client_list(), timeout, what)

    def wait_exit(self, timeout=5):
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"the program is still running {timeout} s later")

    # Accessibility

    def app(self, timeout=10):
        def lookup():
            for app in self.session.desktop:
                if app is not None and app.get_process_id() == self.proc.pid:
                    return app
            return None
        return fresh(wait_for(lookup, timeout, "the program on the accessibility bus"))

    def main_window(self):
        """Starts the program and waits for the splash to hand over to the main window."""
        if self.proc is None:
            self.start()
        window = self.window("Vorteda 1.3", "_NET_WM_WINDOW_TYPE_NORMAL", timeout=10)
        wait_for(lambda: active_window() == window, 5, "the main window to become active")
        return window

    def field(self, index):
        return find(self.app(), "text", FIELD_NAMES[index])

    def fields(self):
        app = self.app()
        return [text_of(find(app, "text", name)) for name in FIELD_NAMES]

    def button(self, caption):
        return find(self.app(), "push button", caption)

    def list_entries(self):
        lst = find(self.app(), "list", "Lista de contactos")
        return [lst.getChildAtIndex(i).name for i in range(lst.childCount)]

    def list_item(self, surname):
        lst = find(self.app(), "list", "Lista de contactos")
        for i in range(lst.childCount):
            item = lst.getChildAtIndex(i)
            if item.name == surname:
                return item
        raise Failure(f"{surname!r} is not in the list")

    def alert(self, timeout=5):
        def lookup():
            found = find_all(self.app(), "alert") or find_all(self.app(), "dialog")
            return found[0] if found else None
        return wait_for(lookup, timeout, "a message box")


def describe(data):
    if data is None:
        return "nothing (no file)"
    if len(data) % 105:
        return f"{len(data)} bytes"
    return f"{len(data) // 105} records {surnames(data)}"


def message_text(alert):
    """The text a message box shows: its labels, as a screen reader reads them."""
    return "\n".join(acc.name for acc in find_all(alert, "label") if acc.name)


def type_into(program, index, text):
    click_centre(extents(program.field(index)))
    key("ctrl+a", "BackSpace")
    type_text(text)


# --- the checks --------------------------------------------------------------

CHECKS = []


def check(function):
    CHECKS.append(function)
    return function


PEOPLE = [("Zapata", "Pedro", "Calle Sol 1", "600111222", "pedro@example.com"),
          ("Gómez", "Ana", "Plaza Mayor 2", "600333444", "ana@example.com"),
          ("Abril", "Luis", "Avenida Río 3", "600555666", "luis@example.com")]


def people_file(people=PEOPLE):
    return b"".join(record(*p) for p in people)


@check
def splash_then_one_main_window(s):
    """Splash without a title showing the version; 1.5 s later exactly one main window."""
    program = Program(s, "splash").start()
    splash = program.window(kind="_NET_WM_WINDOW_TYPE_SPLASH", timeout=10)
    shown = time.monotonic()
    # No caption and no title bar. (Qt itself puts the program's name in
    # _NET_WM_NAME when the caption is empty; nothing shows it for a splash.)
    caption = xprop(splash, "WM_NAME")
    expect(caption is not None and caption.strip("\"") == "", f"the splash window has the caption {caption}")
    expect(frame_extents(splash) == (0, 0, 0, 0), f"the splash window has a frame {frame_extents(splash)}")
    app = program.app()
    labels = [acc.name for acc in find_all(app, "label")]
    expect("Version 1.3.3" in labels, f"the splash shows no 'Version 1.3.3' (its labels: {labels})")
    window = app.getChildAtIndex(0)
    expect(window.name, "the splash window has no accessible name")
    expect(not unnamed_controls(window), f"splash controls without an accessible name: {unnamed_controls(window)}")
    x, y, w, h = geometry(splash)
    expect((w, h) == (492, 283), f"the splash is {w}x{h}")
    expect(abs(x + w / 2 - SCREEN_W / 2) <= 1 and abs(y + h / 2 - SCREEN_H / 2) <= 1,
           f"the splash at {(x, y)} is not centred")
    screenshot(s, "splash", splash, with_frame=False)

    main = program.window("Vorteda 1.3", timeout=SPLASH_MS / 1000 + 5)
    appeared = time.monotonic()
    expect(splash not in client_list(), "the splash is still shown beside the main window")
    since_start = appeared - program.started
    since_shown = appeared - shown
    expect(since_start >= SPLASH_MS / 1000 - 0.05,
           f"the main window came {since_start:.2f} s after start, before the splash time")
    expect(since_shown <= SPLASH_MS / 1000 + 0.7,
           f"the main window came {since_shown:.2f} s after the splash was shown")
    # The timer fires once: no second main window later.
    time.sleep(SPLASH_MS / 1000 + 0.3)
    windows = program.windows()
    expect([(w, t) for w, t, _ in windows] == [(main, "Vorteda 1.3")],
           f"expected exactly one window 'Vorteda 1.3', found {[(t, k) for _, t, k in windows]}")
    program.stop()
    return f"main window {since_shown:.2f} s after the splash showed ({since_start:.2f} s after start)"


@check
def key_during_splash_brings_main_window_at_once(s):
    program = Program(s, "splashkey").start()
    splash = program.window(kind="_NET_WM_WINDOW_TYPE_SPLASH", timeout=10)
    wait_for(lambda: active_window() == splash, 5, "the splash to have the keyboard")
    pressed = time.monotonic()
    key("q")
    main = program.window("Vorteda 1.3", timeout=SPLASH_MS / 1000 + 5)
    delay = time.monotonic() - pressed
    expect(delay < 0.8, f"the main window came {delay:.2f} s after the key")
    wait_for(lambda: active_window() == main, 5, "the main window to become active")
    time.sleep(SPLASH_MS / 1000)
    fields = program.fields()
    expect(fields == [""] * 5, f"the key reached the fields: {fields}")
    titles = [t for _, t, _ in program.windows()]
    expect(titles == ["Vorteda 1.3"], f"windows after the splash time: {titles}")
    program.stop()
    return f"main window {delay:.2f} s after the key"


@check
def data_file_sorted_by_given_name_at_start(s):
    program = Program(s, "sorted", people_file())
    program.main_window()
    expected = b"".join(sorted_by_given_name([record(*p) for p in PEOPLE]))
    program.wait_data(expected, "after start")
    entries = program.list_entries()
    expect(entries == surnames(expected), f"the list shows {entries}")
    program.stop()


@check
def no_data_file_starts_empty(s):
    program = Program(s, "nofile")
    program.main_window()
    program.wait_data(b"", "a missing file is created empty")
    expect(program.list_entries() == [], f"the list shows {program.list_entries()}")
    program.stop()


@check
def add_modify_delete_through_the_buttons(s):
    program = Program(s, "edit", people_file())
    program.main_window()
    records = [record(*p) for p in PEOPLE]

    # Add, typing accented letters on the keyboard.
    added = ("Núñez", "Beatriz", "Camino Viejo 4", "600777888", "bea@example.com")
    click_centre(extents(program.field(0)))
    for i, text in enumerate(added):
        if i:
            key("Tab")
        type_text(text)
    shown = settled(program.fields, list(added))
    expect(shown == list(added), f"the fields show {shown} after typing")
    click_centre(extents(program.button("Agregar contacto")))
    records.append(record(*added))
    expected = b"".join(sorted_by_given_name(records))
    program.wait_data(expected, "after 'Agregar contacto'")
    expect(b"N\xfa\xf1ez" in expected and b"N\xfa\xf1ez" in program.data(), "Núñez is not stored as Windows-1252")
    wait_for(lambda: program.fields() == [""] * 5, 3, "the fields to be emptied after the add")
    expect(program.list_entries() == surnames(expected), f"the list shows {program.list_entries()}")
    screenshot(s, "main-window-contacts", program.window("Vorteda 1.3"))

    # Modify: select Zapata, give him a new given name that sorts last.
    click_centre(extents(program.list_item("Zapata")))
    wait_for(lambda: program.fields() == list(PEOPLE[0]), 3, "Zapata's fields after selecting him")
    type_into(program, 1, "Óscar")
    click_centre(extents(program.button("Modificar contacto")))
    records.remove(record(*PEOPLE[0]))
    records.append(record("Zapata", "Óscar", *PEOPLE[0][2:]))
    expected = b"".join(sorted_by_given_name(records))
    program.wait_data(expected, "after 'Modificar contacto'")
    expect(program.data()[-105:][25:30] == b"\xd3scar", "Óscar is not stored as Windows-1252 at the end")

    # Delete Gómez, whose name was typed by nobody but stored with 0xF3.
    expect(b"G\xf3mez" in program.data(), "Gómez is not stored as Windows-1252 before the delete")
    click_centre(extents(program.list_item("Gómez")))
    wait_for(lambda: program.fields() == list(PEOPLE[1]), 3, "Gómez's fields after selecting her")
    click_centre(extents(program.button("Eliminar contacto")))
    records.remove(record(*PEOPLE[1]))
    expected = b"".join(sorted_by_given_name(records))
    program.wait_data(expected, "after 'Eliminar contacto'")
    expect(program.list_entries() == surnames(expected), f"the list shows {program.list_entries()}")
    program.stop()


@check
def accented_surname_typed_is_stored_in_windows_1252(s):
    program = Program(s, "accents", b"")
    program.main_window()
    type_into(program, 0, "Gómez Núñez")
    type_into(program, 1, "Íñigo")
    copied = copy_field(extents(program.field(0)))
    expect(copied == "Gómez Núñez", f"the surname field holds {copied!r}")
    click_centre(extents(program.button("Agregar contacto")))
    program.wait_data(record("Gómez Núñez", "Íñigo"), "after adding Gómez Núñez")
    data = program.data()
    expect(data[:11] == b"G\xf3mez N\xfa\xf1ez" and data[25:30] == b"\xcd\xf1igo",
           f"stored bytes {data[:30]!r}")
    program.stop()


@check
def main_window_is_fixed_and_centred(s):
    program = Program(s, "frame")
    main = program.main_window()
    x, y, w, h = geometry(main)
    hints = normal_hints(main)
    expect(hints.get("min") == hints.get("max") == (w, h),
           f"WM_NORMAL_HINTS min {hints.get('min')} max {hints.get('max')} for a {w}x{h} window")
    actions = xprop_list(main, "_NET_WM_ALLOWED_ACTIONS")
    expect(not any("MAXIMIZE" in a for a in actions), f"the window manager allows {actions}")
    expect(any("MINIMIZE" in a for a in actions), f"the window cannot be minimised: {actions}")
    _, functions, decorations, _, _ = motif_hints(main)
    expect(not functions & MWM_FUNC_MAXIMIZE and not decorations & MWM_DECOR_MAXIMIZE,
           "the window asks for a maximise button")
    left, right, top, bottom = frame_extents(main)
    frame = (x - left, y - top, w + left + right, h + top + bottom)
    dx = frame[0] + frame[2] / 2 - SCREEN_W / 2
    dy = frame[1] + frame[3] / 2 - SCREEN_H / 2
    screenshot(s, "main-window", main)
    # As a person tries: double-click the title bar, drag the corner.
    click(frame[0] + frame[2] // 3, frame[1] + top // 2, repeat=2)
    time.sleep(0.3)
    xdo("mousemove", frame[0] + frame[2] - 1, frame[1] + frame[3] - 1)
    xdo("mousedown", 1)
    xdo("mousemove", frame[0] + frame[2] + 60, frame[1] + frame[3] + 60)
    xdo("mouseup", 1)
    time.sleep(0.3)
    expect(geometry(main)[2:] == (w, h), f"the window became {geometry(main)[2:]} after maximise and resize tries")
    expect(abs(dx) <= 1 and abs(dy) <= 1,
           f"the window (frame {frame}) is {dx:+.0f}, {dy:+.0f} px off the screen's centre")
    program.stop()


# The contacts window's controls: name on the accessibility bus, place in its
# client area (x, y, width, height at 96 dpi).
MAIN_LAYOUT = [
    ("label", "Apellido:", (24, 32, 97, 17)), ("text", "Apellido", (24, 48, 107, 28)),
    ("label", "Nombre:", (24, 88, 105, 17)), ("text", "Nombre", (24, 104, 105, 33)),
    ("label", "Dirección:", (24, 144, 105, 17)), ("text", "Dirección", (24, 160, 105, 33)),
    ("label", "Teléfono", (24, 200, 97, 17)), ("text", "Teléfono", (24, 224, 105, 33)),
    ("label", "E-mail", (24, 264, 97, 17)), ("text", "E-mail", (24, 288, 105, 33)),
    ("push button", "Agregar contacto", (152, 56, 105, 33)),
    ("push button", "Modificar contacto", (152, 96, 105, 33)),
    ("push button", "Eliminar contacto", (152, 136, 105, 33)),
    ("push button", "Cargar lista de contactos", (152, 176, 105, 33)),
    ("push button", "Limpiar", (152, 216, 105, 33)),
    ("text", "Buscar apellido", (288, 56, 105, 19)),
    ("list", "Lista de contactos", (288, 80, 105, 160)),
]
HELP_LINE = (0, 336, 417, 25)


@check
def main_window_client_area_and_controls(s):
    program = Program(s, "layout")
    main = program.main_window()
    x, y, w, h = geometry(main)
    app = program.app()
    window = find(app, "filler", "Vorteda 1.3")
    menu = find(window, "menu bar")
    client = [c for c in (window.getChildAtIndex(i) for i in range(window.childCount)) if role(c) != "menu bar"]
    expect(len(client) == 1, f"expected one client widget below the menu bar, found {len(client)}")
    mx, my, mw, mh = extents(menu)
    cx, cy, cw, ch = extents(client[0])
    expect((mx, my, mw) == (x, y, w), f"the menu bar is at {extents(menu)} in a window at {(x, y, w, h)}")
    expect((cx, cy, cw, ch) == (x, y + mh, 418, 369),
           f"the client area is {(cx - x, cy - y, cw, ch)} in the window, expected {(0, mh, 418, 369)}")
    expect(h == mh + 369 and w == 418, f"the window is {w}x{h} with a {mh} px menu bar")

    wrong = []
    for role_name, name, place in MAIN_LAYOUT:
        found = find_all(client[0], role_name, name)
        if len(found) != 1:
            wrong.append(f"{role_name} {name!r} found {len(found)} times")
            continue
        ex, ey, ew, eh = extents(found[0])
        if (ex - cx, ey - cy, ew, eh) != place:
            wrong.append(f"{name!r} at {(ex - cx, ey - cy, ew, eh)}, expected {place}")
    expect(not wrong, "; ".join(wrong))

    # Every control is named for a screen reader.
    expect(not unnamed_controls(app), f"controls without an accessible name: {unnamed_controls(app)}")

    # What the screen shows: the red help line centred in its place, the fields white.
    shot = screenshot(s, "main-window-client", main, with_frame=False)
    width, height, raw = pixels(shot)
    red = [(i % width, i // width) for i in range(width * height)
           if raw[3 * i] > 200 and raw[3 * i + 1] < 60 and raw[3 * i + 2] < 60]
    expect(red, "no red text in the window")
    rx = [p[0] for p in red]
    ry = [p[1] - mh for p in red]
    lx, ly, lw, lh = HELP_LINE
    expect(ly <= min(ry) and max(ry) < ly + lh and lx <= min(rx) and max(rx) < lx + lw,
           f"the red text spans x {min(rx)}..{max(rx)}, y {min(ry)}..{max(ry)} of the client area")
    margin_left, margin_right = min(rx) - lx, lx + lw - 1 - max(rx)
    expect(abs(margin_left - margin_right) <= 3,
           f"the help line is not centred: {margin_left} px left, {margin_right} px right")
    for role_name, name, (fx, fy, fw, fh) in MAIN_LAYOUT:
        if role_name != "text":
            continue
        px, py = fx + fw // 2, fy + mh + fh // 2
        rgb = tuple(raw[3 * (py * width + px):3 * (py * width + px) + 3])
        expect(min(rgb) >= 240, f"the middle of field {name!r} is {rgb}, not white")
    program.stop()


@check
def field_lengths_stop_typing_and_pasting(s):
    program = Program(s, "maxlength")
    program.main_window()
    thirty = "abcdefghijklmnopqrstuvwxyz1234"
    type_into(program, 0, thirty)
    copied = copy_field(extents(program.field(0)))
    expect(copied == thirty[:25], f"after typing 30 characters the surname holds {copied!r} ({len(copied)})")
    type_into(program, 3, "12345678901234567890")
    copied = copy_field(extents(program.field(3)))
    expect(copied == "123456789012345", f"after typing 20 digits the telephone holds {copied!r}")
    clipboard_set(thirty)
    click_centre(extents(program.field(4)))
    key("ctrl+a", "ctrl+v")
    pasted = settled(lambda: text_of(program.field(4)), thirty[:25])
    expect(pasted == thirty[:25], f"after pasting 30 characters the e-mail holds {pasted!r}")
    program.stop()


TAB_ORDER = ["Apellido", "Nombre", "Dirección", "Teléfono", "E-mail", "Agregar contacto", "Modificar contacto",
             "Eliminar contacto", "Cargar lista de contactos", "Limpiar", "Lista de contactos", "Buscar apellido"]


@check
def tab_order(s):
    program = Program(s, "tab", people_file())
    program.main_window()
    app = program.app()
    first = focused(app)
    expect(first is not None and first.name == "Apellido",
           f"{first.name if first else 'nothing'!r} has the focus when the window opens")

    def press(keys):
        before = focused(app)
        key(keys)
        # The focus moves once the program has taken the key; if it never moves,
        # that is what we record.
        deadline = time.monotonic() + 1.5
        while True:
            now = focused(app)
            if (now is not None and now.name != before.name) or time.monotonic() > deadline:
                return now.name if now is not None else None
            time.sleep(0.03)

    forward = [press("Tab") for _ in TAB_ORDER]
    expect(forward == TAB_ORDER[1:] + TAB_ORDER[:1], f"Tab goes {forward}")
    backward = [press("shift+Tab") for _ in TAB_ORDER]
    expect(backward == list(reversed(TAB_ORDER)), f"Shift+Tab goes {backward}")
    program.stop()


def activate(window, what):
    xdo("windowactivate", "--sync", window)
    wait_for(lambda: active_window() == window, 5, what)


def open_about(program):
    """F1, as a person opens the About window; returns it once it is active."""
    key("F1")
    about = program.window("Acerca del autor", timeout=5)
    wait_for(lambda: active_window() == about, 5, "the About window to become active")
    return about


@check
def f1_opens_about_and_f4_ends_everything(s):
    program = Program(s, "keys")
    main = program.main_window()
    about = open_about(program)
    activate(main, "the main window to become active again")
    key("F4")
    status = program.wait_exit(5)
    expect(status == 0, f"the program ended with status {status}")
    left = [w for w in (main, about) if w in client_list()]
    expect(not left, f"windows left after F4: {left}")


@check
def about_window(s):
    program = Program(s, "about")
    main = program.main_window()
    about = open_about(program)
    types = xprop_list(about, "_NET_WM_WINDOW_TYPE")
    expect(types and types[0] == "_NET_WM_WINDOW_TYPE_UTILITY", f"the About window's type is {types}")
    x, y, w, h = geometry(about)
    expect((x, y) == (156, 126), f"the About window's client area is at {(x, y)}")
    expect((w, h) == (382, 237), f"the About window's client area is {w}x{h}")
    hints = normal_hints(about)
    expect(hints.get("min") == hints.get("max") == (w, h), f"the About window can be resized: {hints}")
    _, functions, decorations, _, _ = motif_hints(about)
    expect(not functions & (MWM_FUNC_MINIMIZE | MWM_FUNC_MAXIMIZE)
           and not decorations & (MWM_DECOR_MINIMIZE | MWM_DECOR_MAXIMIZE),
           "the About window asks for a minimise or maximise button")
    owner = re.findall(r"0x[0-9a-fA-F]+", xprop(about, "WM_TRANSIENT_FOR") or "")
    expect(not owner or int(owner[0], 16) != main, "the About window is owned by the main window")
    window = find(program.app(), "filler", "Acerca del autor")
    labels = [a.name for a in find_all(window, "label")]
    expect("Versión 1.3" in labels, f"the About window shows no 'Versión 1.3' (its labels: {labels})")
    expect(not unnamed_controls(window), f"About controls without an accessible name: {unnamed_controls(window)}")
    ok = find(window, "push button", "OK")
    expect("focused" in states(ok), "OK has not the focus when the window opens")
    find(window, "push button", "System Info...")
    screenshot(s, "about", about)
    key("Escape")
    program.wait_gone(about, what="Esc to close the About window")
    expect(program.running() and main in client_list(), "closing About ended the program")
    program.stop()


@check
def system_info_unavailable_message(s):
    program = Program(s, "nosysinfo")
    program.main_window()
    about = open_about(program)
    key("alt+s")
    alert = program.alert()
    text = message_text(alert)
    expect(text == "System Information Is Unavailable At This Time", f"the message reads {text!r}")
    box = program.window(kind="_NET_WM_WINDOW_TYPE_DIALOG")
    screenshot(s, "sysinfo-unavailable", box)
    key("Return")
    program.wait_gone(box, what="the message box to close")
    expect(about in client_list(), "the About window closed with the message")
    program.stop()


@check
def system_info_starts_installed_program(s):
    marker = os.path.join(s.tmp, "hardinfo-ran")
    fake = f"#!/bin/sh\necho \"$0\" >> '{marker}'\n"
    program = Program(s, "sysinfo", bin_files={"hardinfo": fake})
    program.main_window()
    about = open_about(program)
    cmd = find(find(program.app(), "filler", "Acerca del autor"), "push button", "System Info...")
    click_centre(extents(cmd))
    wait_for(lambda: os.path.exists(marker), 5, "the installed system-information program to run")
    with open(marker) as f:
        ran = f.read().split()
    expect(ran == [os.path.join(program.bin, "hardinfo")], f"ran {ran}")
    time.sleep(0.3)
    expect(not find_all(program.app(), "alert"), "a message box came up although the program started")
    expect(about in client_list(), "the About window closed")
    program.stop()


@check
def about_keeps_program_running_after_main_window_closes(s):
    program = Program(s, "lifetime")
    main = program.main_window()
    about = open_about(program)
    activate(main, "the main window to become active again")
    key("alt+F4")  # the window manager's close, as the title bar's close button
    program.wait_gone(main, what="the main window to close")
    time.sleep(0.5)
    expect(program.running(), "the program ended when the main window closed with About open")
    expect(about in client_list(), "the About window closed with the main window")
    activate(about, "the About window to become active")
    key("Escape")
    status = program.wait_exit(5)
    expect(status == 0, f"the program ended with status {status}")


@check
def read_only_file_add_reports_and_keeps_running(s):
    program = Program(s, "readonly", b"".join(sorted_by_given_name([record(*p) for p in PEOPLE])),
                      user=UNPRIVILEGED)
    program.main_window()
    before = program.data()
    os.chmod(program.data_path, 0o444)
    typed = ("Ruiz", "Marta", "Calle Luna 9", "600999000", "marta@example.com")
    click_centre(extents(program.field(0)))
    for i, text in enumerate(typed):
        if i:
            key("Tab")
        type_text(text)
    click_centre(extents(program.button("Agregar contacto")))
    alert = program.alert()
    text = message_text(alert)
    expect(text.startswith("No se pudo agregar el contacto."), f"the message reads {text!r}")
    box = program.window(kind="_NET_WM_WINDOW_TYPE_DIALOG")
    screenshot(s, "read-only-add", box)
    key("Return")
    program.wait_gone(box, what="the message box to close")
    time.sleep(0.3)
    expect(program.running(), f"the program ended (status {program.proc.returncode})")
    expect(program.window("Vorteda 1.3") is not None, "the main window is gone")
    expect(program.data() == before, f"personas.dat changed: {describe(program.data())}")
    expect(program.fields() == list(typed), f"the typed contact is lost: {program.fields()}")
    program.stop()
    return f"as user {UNPRIVILEGED} (setpriv)" if UNPRIVILEGED else None


@check
def read_only_file_at_start_is_listed_unchanged(s):
    data = people_file()
    program = Program(s, "readonlystart", data, user=UNPRIVILEGED)
    os.chmod(program.data_path, 0o444)
    program.start()
    alert = program.alert(timeout=10)
    text = message_text(alert)
    expect(text.startswith("No se pudo cargar la lista de contactos."), f"the message reads {text!r}")
    box = program.window(kind="_NET_WM_WINDOW_TYPE_DIALOG")
    screenshot(s, "read-only-start", box)
    key("Return")
    program.main_window()
    expect(program.list_entries() == surnames(data), f"the list shows {program.list_entries()}")
    expect(program.data() == data, f"personas.dat changed: {describe(program.data())}")
    program.stop()
    return f"as user {UNPRIVILEGED} (setpriv)" if UNPRIVILEGED else None


# --- the run -------------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--program", required=True, help="the built vorteda executable")
    parser.add_argument("--out", required=True, help="folder for the screenshots")
    parser.add_argument("-k", dest="only", action="append", help="run only checks whose name contains this")
    args = parser.parse_args()

    missing = [tool for tool in TOOLS if shutil.which(tool) is None]
    missing += [path for path in (REGISTRYD,) if not os.access(path, os.X_OK)]
    if importlib.util.find_spec("pyatspi") is None:
        missing.append("python3-pyatspi for " + sys.executable)
    if missing:
        print("cannot run: missing " + ", ".join(missing) + " (scripts/test installs them)")
        print("0 passed, 1 failed")
        return 1

    LIBC.prctl(PR_SET_CHILD_SUBREAPER, 1)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(2))
    checks = [c for c in CHECKS if not args.only or any(k in c.__name__ for k in args.only)]
    session = Session(os.path.abspath(args.program), os.path.abspath(args.out))
    passed = failed = 0
    began = time.monotonic()
    try:
        session.start()
        for function in checks:
            name = function.__name__
            t0 = time.monotonic()
            try:
                note = function(session)
                passed += 1
                print(f"PASS {name} ({time.monotonic() - t0:.1f} s){': ' + note if note else ''}", flush=True)
            except Failure as error:
                failed += 1
                print(f"FAIL {name}: {error}", flush=True)
                try:
                    screenshot(session, "FAIL-" + name)
                except Exception:
                    pass
            except Exception:
                failed += 1
                print(f"FAIL {name}: unexpected error", flush=True)
                traceback.print_exc()
            finally:
                # Whatever the check left running ends here.
                for proc in session.procs[:]:
                    if proc.args and proc.args[-1].endswith("/vorteda") and proc.poll() is None:
                        proc.kill()
                        proc.wait()
    except Failure as error:
        failed += 1
        print(f"FAIL setting up the X server and buses: {error}", flush=True)
    finally:
        session.stop()
    print(f"e2e took {time.monotonic() - began:.1f} s; screenshots in {session.shots}")
    print(f"{passed} passed, {failed} failed")
    return 0 if failed == 0 and passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
