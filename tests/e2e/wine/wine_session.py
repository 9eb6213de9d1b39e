"""One run of the Wine harnesses (run_wine_e2e.py, run_wine_installer.py): the X server,
window manager and Wine prefix, Vorteda.exe in a folder of its own, and reading its
windows back with vorteda_probe.exe (FindWindow, GetDlgItem, SendMessage)."""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

# What both harnesses share (bounded calls, the X server, the version) is one folder up.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from bounded import Overran, call  # noqa: E402
from display import TOOLS, XSession, missing_tools, poll, root_screenshot_command  # noqa: E402

WIDTHS = (25, 20, 20, 15, 25)

# Window styles (winuser.h).
WS_CAPTION, WS_BORDER, WS_DLGFRAME = 0x00C00000, 0x00800000, 0x00400000
WS_SYSMENU, WS_THICKFRAME, WS_MINIMIZEBOX, WS_MAXIMIZEBOX = 0x80000, 0x40000, 0x20000, 0x10000
WS_POPUP, WS_EX_TOOLWINDOW = 0x80000000, 0x80
LVS_REPORT, LVS_SINGLESEL, LVS_SORTASCENDING, LVS_SORTDESCENDING, LVS_OWNERDATA, LVS_NOCOLUMNHEADER = (
    0x1, 0x4, 0x10, 0x20, 0x1000, 0x4000)
BS_MULTILINE = 0x2000

# Control identifiers (win32/ControlIds.h).
TEXT1, CMD, TXT_BUSQUEDA, LIST1, LABEL6 = 100, 120, 130, 131, 132
CMD_ALTAS, CMD_MODIFICAR, CMD_BAJAS = CMD, CMD + 1, CMD + 2
CMD_OK, CMD_SYSINFO = 300, 301
MESSAGE_TEXT = 0xFFFF  # the static text of a message box
IDOK, IDCANCEL = 1, 2

failures = []


def harness_args(*options):
    """The harness's options, each required; exits when a tool the session needs is missing."""
    parser = argparse.ArgumentParser()
    for option in options:
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    for tool in missing_tools([*TOOLS, "wine"]):
        sys.exit(f"missing tool: {tool}")
    return args


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)
    return condition


def record(*fields):
    return b"".join(f.encode("cp1252")[:w].ljust(w, b" ") for f, w in zip(fields, WIDTHS))


ZAPATA = record("Zapata", "Pedro", "Calle Mayor 1", "600111222", "pz@correo.es")
GOMEZ = record("Gómez", "Ana", "Plaza Sol 3", "600333444", "ag@correo.es")
ABRIL = record("Abril", "Luis", "Avda. Paz 7", "600555666", "la@correo.es")


ZAPATA = record("Zapata", "Pedro", "Calle Mayor 1", "600111222", "pz@correo.es")
GOMEZ = record("Gómez", "Ana", "Plaza Sol 3", "600333444", "ag@correo.es")
ABRIL = record("Abril", "Luis", "Avda. Paz 7", "600555666", "la@correo.es")


def wait_for(condition, timeout, step=0.1):
    return poll(condition, timeout, step)


class Session(XSession):
    """One X server, window manager and Wine prefix for the whole run."""

    def __init__(self, args):
        super().__init__()
        self.args = args
        self.tmp = tempfile.mkdtemp(prefix="vorteda-wine-")
        self.programs = []
        self.env = dict(os.environ)
        for name in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
            self.env.pop(name, None)
        self.env.update(WINEPREFIX=os.path.join(self.tmp, "prefix"), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        # A Spanish Windows, as the program's users have: Wine takes it from the locale.
        if "es_ES.utf8" in call(["locale", "-a"], 20).stdout:
            self.env.update(LANG="es_ES.UTF-8", LC_ALL="es_ES.UTF-8")
        self.wineserver = shutil.which("wineserver") or "/usr/lib/wine/wineserver64"
        # Root writes to read-only files: Wine runs as an ordinary user then, so that
        # a read-only personas.dat is read-only to the program too.
        self.wine_user = []
        if os.geteuid() == 0:
            self.wine_user = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"]
            os.chown(self.tmp, 65534, 65534)
            self.env["HOME"] = self.tmp
        self.shots = args.screenshots
        os.makedirs(self.shots, exist_ok=True)

    def start(self):
        try:
            self.start_display(self.env)
        except Overran as overran:
            sys.exit(str(overran))
        os.makedirs(self.env["WINEPREFIX"])
        self.give(self.env["WINEPREFIX"])
        for command, limit in (([self.wineserver, "-p"], 30), (["wine", "wineboot", "-i"], 300)):
            if self.run(command, limit).returncode != 0:
                sys.exit(f"{' '.join(command)} failed")

    def give(self, path):
        """Hands a file or folder to the user Wine runs as."""
        if self.wine_user:
            os.chown(path, 65534, 65534)

    def wine(self, *args, **kwargs):
        return subprocess.Popen([*self.wine_user, "wine", *args], env=self.env, **kwargs)

    def stop(self):
        try:
            self.run([self.wineserver, "-k"], 30)
        except Overran as overran:
            print(f"note: {overran}", flush=True)
        self.end_processes()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def run(self, command, timeout=60, wine_user=True):
        """Runs a program of the session to its end (as Wine's user), within `timeout` s."""
        return call([*(self.wine_user if wine_user else []), *command], timeout, env=self.env)

    def out(self, command, timeout=20):
        return call(command, timeout, env=self.env).stdout

    # Reading the program back.
    def windows(self):
        text = self.run(["wine", self.args.probe, "dump"]).stdout
        try:
            return json.loads(text)
        except json.JSONDecodeError:
            return []

    def desktop_running(self):
        """Whether this prefix's desktop process, explorer.exe /desktop, is running."""
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open(f"/proc/{pid}/cmdline", "rb") as f:
                    command = f.read()
                with open(f"/proc/{pid}/environ", "rb") as f:
                    environment = f.read().split(b"\0")
            except OSError:
                continue
            if b"explorer.exe" in command and b"WINEPREFIX=" + self.env["WINEPREFIX"].encode() in environment:
                return True
        return False

    def window(self, cls):
        return next((w for w in self.windows() if w["class"] == cls), None)

    def item(self, index):
        """Entry `index` of the main window's list, read through the list's messages."""
        return json.loads(self.run(["wine", self.args.probe, "item", str(index)]).stdout)["text"]

    def layout(self):
        result = self.run(["wine", self.args.probe, "layout"])
        return result.returncode, result.stdout

    def shot(self, name):
        self.run(root_screenshot_command(os.path.join(self.shots, name + ".png")), 30, wine_user=False)

    # Driving it.
    def xdo(self, *args):
        done = self.run(["xdotool", *args], 20, wine_user=False)
        if done.returncode != 0:
            raise Overran(f"xdotool {' '.join(args)} failed ({done.returncode}): {done.stderr.strip()}")

    def click(self, control):
        x, y, w, h = control["screen"]
        self.xdo("mousemove", str(x + w // 2), str(y + h // 2), "click", "1")
        time.sleep(0.2)

    def click_item(self, listbox, index):
        x, y, _, _ = listbox["screen"]
        ix, iy, iw, ih = listbox["itemRects"][index]
        self.xdo("mousemove", str(x + ix + iw // 2), str(y + iy + ih // 2), "click", "1")
        time.sleep(0.2)

    def type(self, text):
        self.xdo("type", "--delay", "40", text)
        time.sleep(0.2)

    def key(self, *keys):
        self.xdo("key", "--delay", "60", *keys)
        time.sleep(0.3)


def control(window, ident):
    return next((c for c in window["controls"] if c["id"] == ident), None)


def fields(window):
    return [control(window, TEXT1 + i)["text"] for i in range(5)]


class Program:
    """Vorteda.exe copied into a folder of its own with a prepared personas.dat."""

    def __init__(self, session, name, data, read_only=False, files=None, args=()):
        """`files` (name: bytes) are put beside it; `args` follow its name on the
        command line."""
        self.session = session
        self.folder = os.path.join(session.tmp, name)
        os.makedirs(self.folder)
        shutil.copy(session.args.exe, os.path.join(self.folder, "Vorteda.exe"))
        self.data_path = os.path.join(self.folder, "personas.dat")
        with open(self.data_path, "wb") as f:
            f.write(data)
        if read_only:
            os.chmod(self.data_path, 0o444)
        for file_name, content in (files or {}).items():
            with open(os.path.join(self.folder, file_name), "wb") as f:
                f.write(content)
            session.give(os.path.join(self.folder, file_name))
        for path in (self.folder, self.data_path, os.path.join(self.folder, "Vorteda.exe")):
            session.give(path)
        self.proc = session.wine(os.path.join(self.folder, "Vorteda.exe"), *args, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
        self.started = time.monotonic()
        session.programs.append(self)

    def data(self):
        with open(self.data_path, "rb") as f:
            return f.read()

    def main(self):
        return self.session.window("Vorteda.frmPersonas")

    def ended(self, timeout):
        try:
            self.proc.wait(timeout)
            return True
        except subprocess.TimeoutExpired:
            return False


def linux_bytes(args, data, steps):
    """What the Linux program's behaviour writes for the same steps."""
    with tempfile.TemporaryDirectory() as folder:
        with open(os.path.join(folder, "personas.dat"), "wb") as f:
            f.write(data)
        done = call([args.replay, folder, *steps], 60)
        if done.returncode != 0:
            raise Overran(f"{args.replay} {' '.join(steps)} failed ({done.returncode}): {done.stderr.strip()}")
        with open(os.path.join(folder, "personas.dat"), "rb") as f:
            return f.read()


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def vcards(*people):
    return "".join(f"BEGIN:VCARD\r\nVERSION:3.0\r\nN:{p[0]};{p[1]};;;\r\nADR:;;{p[2]};;;;\r\nTEL:{p[3]}\r\n"
                   f"EMAIL:{p[4]}\r\nEND:VCARD\r\n" for p in people).encode("utf-8")


def confirmation(s, timeout=10):
    """The question before an import: a message box whose buttons read Importar and
    Cancelar."""
    return wait_for(lambda: next((w for w in s.windows() if w["class"] == "#32770" and control(w, IDOK)
                                  and control(w, IDOK)["text"] == "Importar"), None), timeout)


def run_step(session, step):
    """One step of the stage; a call that overran fails it, and the stage goes on."""
    try:
        step(session)
    except Overran as overran:
        check(False, f"{step.__name__}: {overran}")
        # What the step left open would stand in the next one's way.
        for program in session.programs:
            if program.proc.poll() is None:
                program.proc.kill()
                program.ended(10)


def end_program(s, program, title="Vorteda 1.3"):
    """F4 in the program's main window; killed if it has not ended 10 s later."""
    windows = s.out(["xdotool", "search", "--name", title]).split()
    if windows:
        s.xdo("windowactivate", "--sync", windows[0])
        s.key("F4")
    if not program.ended(10):
        program.proc.kill()
        program.ended(10)
