#!/usr/bin/env python3
"""Vorteda.exe as a person uses it, under Wine in a real X server.

Starts Xvfb, openbox and Wine in a throwaway prefix, runs Vorteda.exe from a folder
with a prepared personas.dat, drives it with xdotool and reads it back with
vorteda_probe.exe (FindWindow, GetDlgItem, SendMessage) and xwininfo/xprop.

    run_wine_e2e.py --exe Vorteda.exe --probe vorteda_probe.exe
                    --replay build/tests/forms/vorteda_forms_replay --screenshots DIR
"""
import argparse
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import version  # noqa: E402
from bounded import Overran, call  # noqa: E402
from display import SCREEN_H, SCREEN_W, start_display  # noqa: E402

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


def wait_for(condition, timeout, step=0.1):
    end = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() > end:
            return value
        time.sleep(step)


class Session:
    """One X server, window manager and Wine prefix for the whole run."""

    def __init__(self, args):
        self.args = args
        self.tmp = tempfile.mkdtemp(prefix="vorteda-wine-")
        self.procs = []
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
            start_display(lambda args, **kwargs: self.procs.append(subprocess.Popen(args, **kwargs)), self.env)
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
        for proc in reversed(self.procs):
            proc.send_signal(signal.SIGTERM)
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                proc.kill()
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
        self.run(["import", "-window", "root", os.path.join(self.shots, name + ".png")], 30, wine_user=False)

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


def resources(s):
    """The executable's icons (16 colours, 32 x 32 and 16 x 16) and its version."""
    exe = "Z:" + os.path.abspath(s.args.exe).replace("/", "\\")
    text = s.run(["wine", s.args.probe, "resources", exe]).stdout
    try:
        found = json.loads(text)
    except json.JSONDecodeError:
        found = {}
    both = [[32, 32, 16, 4], [16, 16, 16, 4]]
    check(found.get("icons") == {"1": both, "2": both},
          f"Vorteda.exe holds its two icons, each 32 x 32 and 16 x 16 in 16 colours: {found.get('icons')}")
    check(found.get("version") == version.FILE_VERSION,
          f"Vorteda.exe's version is {version.FILE_VERSION}: {found.get('version')}")


def desktop_comes_and_goes(s):
    """Wine ends its desktop process once no window is left, and the next program that
    needs a desktop starts it again, handing it its own standard error. When that
    program is the probe and a window opened meanwhile keeps the desktop up, the
    probe's answer must come all the same."""
    if not check(wait_for(lambda: not s.desktop_running(), 60, 0.5),
                 "Wine's desktop process ends when no window is left"):
        return
    answers = []
    probe = threading.Thread(target=lambda: answers.append(s.windows()), daemon=True)
    probe.start()
    time.sleep(1)
    program = Program(s, "escritorio", ZAPATA)
    probe.join(120)
    check(answers != [], "the probe's answer comes while a window keeps up the desktop process it started")
    program.proc.kill()
    program.ended(10)


def everyday_use(s):
    """The splash, the list, selection, add, modify, delete, search, About, exit."""
    original = ZAPATA + GOMEZ + ABRIL
    program = Program(s, "diario", original)

    splash = wait_for(lambda: s.window("Vorteda.frmSplash"), 10, 0.05)
    if check(splash is not None, "the splash comes first"):
        s.shot("splash")
        check(splash["title"] == "" and splash["style"] & WS_CAPTION == WS_DLGFRAME
              and splash["style"] & WS_POPUP and splash["exstyle"] & WS_EX_TOOLWINDOW,
              "the splash: a dialog frame, no title bar, no taskbar button")
        rc, report = s.layout()
        check(rc == 0, "every splash control within 1 px of its twips / 15\n" + report)
        main = wait_for(program.main, 10, 0.05)
        check(main is not None and s.window("Vorteda.frmSplash") is None,
              "the splash hands over to the main window")
        # The process starts a moment before the splash is loaded: the main window may
        # not be there before 1,500 ms of the process's life.
        if main is not None:
            check(1500 <= main["age"],
                  f"the hand-over comes after the splash's 1,500 ms (main window seen at {main['age']} ms)")
    main = wait_for(program.main, 10, 0.05)
    if not check(main is not None, "the main window opens"):
        return
    time.sleep(0.3)
    s.shot("main")
    style = main["style"]
    check(main["title"] == version.CAPTION, f"the caption is '{version.CAPTION}': " + main["title"])
    check(style & WS_CAPTION == WS_CAPTION and style & WS_SYSMENU and style & WS_MINIMIZEBOX
          and not style & (WS_MAXIMIZEBOX | WS_THICKFRAME), "the main window: fixed single border, minimise only")
    actions = s.out(["xprop", "-name", version.CAPTION, "_NET_WM_ALLOWED_ACTIONS"])
    check("MINIMIZE" in actions and "MAXIMIZE" not in actions and "RESIZE" not in actions,
          "the window manager offers minimise but not maximise or resize")
    info = s.out(["xwininfo", "-name", version.CAPTION])
    geometry = {k.strip(): int(v) for k, v in (l.split(":") for l in info.splitlines()
                                               if l.strip().startswith(("Absolute", "Width", "Height")))}
    centre_x = geometry["Absolute upper-left X"] + geometry["Width"] // 2
    centre_y = geometry["Absolute upper-left Y"] + geometry["Height"] // 2
    check(abs(centre_x - SCREEN_W // 2) <= 12 and abs(centre_y - SCREEN_H // 2) <= 24,
          f"the main window is centred (xwininfo: centre at {centre_x}, {centre_y})")
    rc, report = s.layout()
    check(rc == 0, "every main window control within 1 px of its twips / 15\n" + report)
    check([control(main, TEXT1 + i)["limit"] for i in range(5)] == list(WIDTHS),
          "the five fields take at most 25, 20, 20, 15, 25 characters")
    # A screen reader names an edit box after the label just before it.
    labels = [control(main, ident)["label"] for ident in (*range(TEXT1, TEXT1 + 5), TXT_BUSQUEDA)]
    check(labels == ["Apellido:", "Nombre:", "Dirección:", "Teléfono", "E-mail", "Buscar apellido"],
          f"each field's label comes just before it, the search box's too: {labels}")
    listbox = control(main, LIST1)
    wanted = LVS_REPORT | LVS_SINGLESEL | LVS_OWNERDATA | LVS_NOCOLUMNHEADER
    check(listbox["style"] & wanted == wanted and not listbox["style"] & (LVS_SORTASCENDING | LVS_SORTDESCENDING),
          "List1: one column, no header, single selection, no sorting, its texts asked for as shown")
    check(all(control(main, CMD + i)["style"] & BS_MULTILINE for i in range(5)), "the buttons' captions wrap")
    check(control(main, TEXT1)["focus"], "Text1(0) has the focus when the window opens")
    check(listbox["items"] == ["Gómez", "Abril", "Zapata"], f"the list in given-name order: {listbox['items']}")
    check(program.data() == GOMEZ + ABRIL + ZAPATA, "personas.dat itself is sorted")

    # Tab order: the fields, the buttons, the list, the search box, and round.
    focus_order = []
    for _ in range(12):
        s.key("Tab")
        focused = next((c["id"] for c in program.main()["controls"] if c["focus"]), None)
        focus_order.append(focused)
    check(focus_order == [101, 102, 103, 104, 120, 121, 122, 123, 124, LIST1, TXT_BUSQUEDA, 100],
          f"Tab visits the controls in the designed order: {focus_order}")

    # Enter in a field presses no button; Escape does not close the window.
    s.click(control(main, TEXT1))
    s.type("Nadie")
    s.key("Return", "Escape")
    check(program.data() == GOMEZ + ABRIL + ZAPATA and program.main() is not None
          and fields(program.main())[0] == "Nadie", "Enter in a field adds nothing and Escape closes nothing")
    s.key("End", "shift+Home", "Delete")
    # Alt+A opens the "&Archivo" menu.
    s.key("alt+a")
    check(wait_for(lambda: s.window("#32768"), 3) is not None, "Alt+A opens the Archivo menu")
    time.sleep(0.3)
    s.shot("menu")
    s.key("Escape", "Escape")

    # Choosing an entry fills the five fields.
    s.click_item(listbox, 1)
    main = program.main()
    check(control(main, LIST1)["selected"] == 1 and fields(main) ==
          ["Abril", "Luis", "Avda. Paz 7", "600555666", "la@correo.es"], f"clicking Abril shows Luis: {fields(main)}")
    # A Ctrl+click on the chosen entry keeps it.
    s.xdo("keydown", "ctrl")
    s.click_item(listbox, 1)
    s.xdo("keyup", "ctrl")
    check(control(program.main(), LIST1)["selected"] == 1, "Ctrl+click keeps the selection")

    # Modify: a new address for Abril.
    s.click(control(main, TEXT1 + 2))
    s.key("End", "shift+Home")
    s.type("Calle Nueva 9")
    s.click(control(main, CMD_MODIFICAR))
    main = program.main()
    check(fields(main) == [""] * 5 and control(main, LIST1)["selected"] == -1,
          "after a modify the fields are empty and nothing is selected")
    # Add, typing through the fields with Tab.
    s.click(control(main, TEXT1))
    s.type("Ruiz\tEva\tSur 2\t611\te@x.es")
    s.click(control(main, CMD_ALTAS))
    # Delete Zapata.
    main = program.main()
    s.click_item(control(main, LIST1), control(main, LIST1)["items"].index("Zapata"))
    s.click(control(main, CMD_BAJAS))
    main = program.main()
    steps = ["select:Abril", "set:2:Calle Nueva 9", "cmdModificar",
             "set:0:Ruiz", "set:1:Eva", "set:2:Sur 2", "set:3:611", "set:4:e@x.es", "cmdAltas",
             "select:Zapata", "cmdBajas"]
    expected = linux_bytes(s.args, original, steps)
    check(program.data() == expected, "add, modify and delete leave exactly the bytes the Linux program writes")
    check(control(main, LIST1)["items"] == ["Gómez", "Ruiz", "Abril"], f"the list: {control(main, LIST1)['items']}")

    # The search.
    s.click(control(main, TXT_BUSQUEDA))
    s.type("Ab")
    main = program.main()
    check(control(main, LIST1)["selected"] == 2 and fields(main)[0] == "Abril", "typing 'Ab' finds Abril")
    s.type("x")
    main = program.main()
    check(control(main, LIST1)["selected"] == -1, "'Abx' finds nothing and clears the selection")
    s.key("BackSpace", "BackSpace", "BackSpace")
    check(control(program.main(), LIST1)["selected"] == 0, "an empty search selects the first entry")

    # Another writer (a second copy, vorteda-contactos) adds a contact who sorts first,
    # replacing the file as they all do. Abril, clicked at its old place in the list,
    # is shown and chosen in the list loaded again, and the delete takes Abril alone.
    aguirre = record("Aguirre", "Aaron", "Real 2", "600777888", "aa@correo.es")
    before = program.data()
    replaced = program.data_path + ".otra"
    with open(replaced, "wb") as f:
        f.write(aguirre + before)
    s.give(replaced)
    os.replace(replaced, program.data_path)
    main = program.main()
    s.click_item(control(main, LIST1), control(main, LIST1)["items"].index("Abril"))
    wait_for(lambda: control(program.main(), LIST1)["selected"] == 3, 5)
    main = program.main()
    check(control(main, LIST1)["items"][0] == "Aguirre" and control(main, LIST1)["selected"] == 3
          and fields(main)[:2] == ["Abril", "Luis"],
          f"a click in a list another writer changed shows the contact clicked: {fields(main)[:2]}")
    s.click(control(main, CMD_BAJAS))
    check(program.data() == aguirre + before[:-105], "the delete then takes that contact, and no other")

    # F1: the About window at its place; Escape closes it.
    s.key("F1")
    about = wait_for(lambda: s.window("Vorteda.frmAbout"), 5)
    if check(about is not None, "F1 opens the About window"):
        time.sleep(0.3)
        s.shot("about")
        check(about["title"] == "Acerca del autor" and about["exstyle"] & WS_EX_TOOLWINDOW
              and not about["style"] & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX), "About: a tool window with a close button only")
        check(about["client"][:2] == [156, 126], f"the About window's client area at (156, 126): {about['client']}")
        check(control(about, 304)["text"] == f"Versión {version.SHORT}", f"About shows 'Versión {version.SHORT}'")
        check(control(about, CMD_OK)["focus"], "OK has the focus")
        rc, report = s.layout()
        check(rc == 0, "every About control within 1 px of its twips / 15\n" + report)
        s.key("alt+s")
        box = wait_for(lambda: s.window("#32770"), 5)
        if check(box is not None and control(box, MESSAGE_TEXT)["text"]
                 == "System Information Is Unavailable At This Time" and box["title"] == "Vorteda",
                 "Alt+S: no system-information program in a fresh prefix gives the one message"):
            s.key("Return")
            # The focus comes back to the button that had it: Enter presses it again.
            wait_for(lambda: s.window("#32770") is None, 5)
            s.key("Return")
            again = wait_for(lambda: s.window("#32770"), 5)
            if check(again is not None and s.window("Vorteda.frmAbout") is not None,
                     "after the message, Enter presses System Info again, as the focused button"):
                s.key("Return")
                wait_for(lambda: s.window("#32770") is None, 5)
        s.key("Escape")
        check(wait_for(lambda: s.window("Vorteda.frmAbout") is None, 5), "Escape closes the About window")

    # Typing goes on where it was after the About window and after a message box.
    main = program.main()
    s.click(control(main, TEXT1 + 4))
    s.key("End", "shift+Home", "Delete")
    s.type("abc")
    s.key("F1")
    if check(wait_for(lambda: s.window("Vorteda.frmAbout"), 5) is not None, "F1 opens the About window again"):
        s.key("Escape")
        wait_for(lambda: s.window("Vorteda.frmAbout") is None, 5)
        wait_for(lambda: program.main() is not None and program.main()["foreground"], 5)
    s.type("def")
    check(fields(program.main())[4] == "abcdef",
          f"typing after the About window goes to the field it went to before: {fields(program.main())[4]!r}")
    s.key("End", "shift+Home", "Delete")

    # F4 ends the program.
    s.xdo("windowactivate", "--sync", s.out(["xdotool", "search", "--name", version.CAPTION]).split()[0])
    s.key("F4")
    check(program.ended(10), "F4 ends the program")


def read_only_file(s):
    """A read-only personas.dat: the message, the file as it was, the program goes on."""
    original = ZAPATA + GOMEZ + ABRIL  # not in order: the load must rewrite it
    program = Program(s, "solo-lectura", original, read_only=True)
    splash = wait_for(lambda: s.window("Vorteda.frmSplash"), 10, 0.05)
    if check(splash is not None, "the splash is up"):
        # A character key ends the splash at once: well before its timer, which runs
        # from before the splash could be seen.
        seen = time.monotonic()
        # Wine leaves a window without a title bar unmanaged, and an unmanaged X window
        # gets the keyboard only when it is given it: as the desktop's focus, not the
        # program, decides that, the test gives it.
        s.xdo("windowfocus", str(splash["x11"]))
        s.xdo("key", "x")
        gone = wait_for(lambda: s.window("Vorteda.frmSplash") is None, 5, 0.02)
        check(gone, f"a character key ends the splash ({time.monotonic() - seen:.2f} s after it was seen)")
    box = wait_for(lambda: s.window("#32770"), 10)
    if check(box is not None, "a message box comes up"):
        text = control(box, MESSAGE_TEXT)["text"]
        s.shot("message")
        check(box["title"] == "Vorteda" and text.startswith("No se pudo cargar la lista de contactos."),
              "the message, titled Vorteda, says the list could not be loaded: " + text.replace("\n", " | "))
        s.key("Return")
    main = wait_for(program.main, 10)
    if check(main is not None, "the main window opens after the message"):
        check(control(main, LIST1)["items"] == ["Zapata", "Gómez", "Abril"],
              "the list shows the file in its present order")
        check(fields(main)[0] == "", "the key that ended the splash is not typed into the window")
        s.click(control(main, TEXT1))
        s.type("Nuevo")
        s.click(control(main, CMD_ALTAS))
        box = wait_for(lambda: s.window("#32770"), 5)
        if check(box is not None, "adding to a read-only file gives a message"):
            s.key("Return")
    check(program.data() == original, "the read-only personas.dat lost nothing")
    if main is not None:
        # The About window keeps the program running after the main window closes.
        s.xdo("windowactivate", "--sync", s.out(["xdotool", "search", "--name", version.CAPTION]).split()[0])
        s.key("F1")
        about = wait_for(lambda: s.window("Vorteda.frmAbout"), 5)
        s.xdo("windowactivate", "--sync", s.out(["xdotool", "search", "--name", version.CAPTION]).split()[0])
        s.key("alt+F4")
        check(about is not None and wait_for(lambda: program.main() is None, 5) and not program.ended(1)
              and s.window("Vorteda.frmAbout") is not None,
              "closing the main window leaves the About window and the program running")
        if about is not None:
            s.click(control(about, CMD_OK))
    check(program.ended(10), "the program ends when its last window closes")


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


def import_from_the_window(s):
    """The Archivo menu, GetOpenFileName with the path typed into its file name box,
    the confirmation with Importar as its default; the export through
    GetSaveFileName; and a file named on the command line, in UTF-16, coming to the
    same confirmation after the splash. (Wine keeps a menu's items from other
    processes: the menu is seen in its screenshot and reached by its access keys.)"""
    new = [("Núñez", "Beatriz", "Camino Viejo 4", "600777888", "bea@example.com"),
           ("Ruiz", "Eva", "Sur 2", "611", "e@x.es")]
    program = Program(s, "importar", GOMEZ + ABRIL + ZAPATA, files={"agenda.vcf": vcards(*new)})
    main = wait_for(program.main, 15, 0.05)
    if not check(main is not None, "the main window opens"):
        return
    s.key("alt+a")
    if check(wait_for(lambda: s.window("#32768"), 3) is not None, "Alt+A opens the Archivo menu"):
        time.sleep(0.3)
        s.shot("menu-archivo")
    s.key("i")
    dialog = wait_for(lambda: next((w for w in s.windows() if w["class"] == "#32770"
                                    and w["title"] == "Importar contactos"), None), 10)
    if not check(dialog is not None, "Importar contactos... opens the open dialog"):
        return
    time.sleep(0.5)
    s.shot("import-dialog")
    # The dialog starts in its file name box.
    s.type(windows_path(os.path.join(program.folder, "agenda.vcf")))
    s.key("Return")
    box = confirmation(s)
    if check(box is not None, "the confirmation comes up, its buttons Importar and Cancelar"):
        text = control(box, MESSAGE_TEXT)["text"]
        check("Se añadirán 2 contactos nuevos." in text and "Núñez, Beatriz · Camino Viejo 4 · 600777888" in text
              and control(box, IDCANCEL)["text"] == "Cancelar" and control(box, IDOK)["focus"],
              "it says what comes in, and Importar is its default: " + text.replace("\n", " | "))
        time.sleep(0.3)
        s.shot("import-confirmation")
        s.key("Return")
    people = [GOMEZ, ABRIL, ZAPATA] + [record(*p) for p in new]
    expected = b"".join(sorted(people, key=lambda r: r[25:45]))
    check(wait_for(lambda: program.data() == expected, 10), "Importar adds them, sorted by given name")
    check(control(program.main(), LIST1)["items"] == ["Gómez", "Núñez", "Ruiz", "Abril", "Zapata"],
          f"the list is loaded again: {control(program.main(), LIST1)['items']}")
    # Then a short message says what was added.
    told = wait_for(lambda: next((w for w in s.windows() if w["class"] == "#32770"
                                  and w["title"] == "Vorteda"), None), 10)
    said = control(told, MESSAGE_TEXT)["text"] if told is not None else ""
    check(said.startswith("Se han añadido 2 contactos de «"), "the import says what it added: " + said)
    if told is not None:
        s.key("Return")
        wait_for(lambda: next((w for w in s.windows() if w["class"] == "#32770"
                               and w["title"] == "Vorteda"), None) is None, 5)
    # Export: a name typed without an extension gets the chosen type's, vCard first.
    s.key("alt+a", "e")
    dialog = wait_for(lambda: next((w for w in s.windows() if w["class"] == "#32770"
                                    and w["title"] == "Exportar contactos"), None), 10)
    if check(dialog is not None, "Exportar contactos... opens the save dialog"):
        time.sleep(0.5)
        s.key("ctrl+a")
        s.type(windows_path(os.path.join(program.folder, "todos")))
        s.key("Return")
        box = wait_for(lambda: next((w for w in s.windows() if w["class"] == "#32770"
                                     and w["title"] == "Vorteda"), None), 10)
        exported = os.path.join(program.folder, "todos.vcf")
        said = control(box, MESSAGE_TEXT)["text"] if box is not None else ""
        check(said.startswith("Se han exportado 5 contactos a «") and said.endswith("todos.vcf» (vCard 3.0).")
              and os.path.exists(exported) and open(exported, "rb").read().count(b"BEGIN:VCARD") == 5,
              "the five contacts exported to todos.vcf, and the message says so: " + said)
        if box is not None:
            s.key("Return")
    s.xdo("windowactivate", "--sync", s.out(["xdotool", "search", "--name", "Vorteda 1.3"]).split()[0])
    s.key("F4")
    program.ended(10)

    name = "señora núñez.vcf"
    program = Program(s, "abrir-con", GOMEZ + ABRIL, files={name: vcards(new[0])},
                      args=(windows_path(os.path.join(s.tmp, "abrir-con", name)),))
    box = confirmation(s, 20)
    if check(box is not None and program.main() is not None and time.monotonic() - program.started >= 1.5,
             "Vorteda.exe FILE: the confirmation over the main window, after the splash"):
        check(name + "» (vCard)?" in control(box, MESSAGE_TEXT)["text"], "the file's name reaches it whole: "
              + control(box, MESSAGE_TEXT)["text"].split("\n")[0])
        s.key("Escape")
        wait_for(lambda: confirmation(s, 0) is None, 5)
        check(program.data() == GOMEZ + ABRIL, "Cancelar leaves personas.dat as it was")
    s.xdo("windowactivate", "--sync", s.out(["xdotool", "search", "--name", "Vorteda 1.3"]).split()[0])
    s.key("F4")
    program.ended(10)


def long_list(s):
    """A list past 65,536 entries: every entry readable, the scroll box and End reach the last."""
    count = 100000
    data = b"".join(record(f"Apellido{i:06d}", f"Nombre{i:06d}", "Calle 1", "600", "a@b.es") for i in range(count))
    program = Program(s, "larga", data)
    main = wait_for(program.main, 60, 0.1)
    if not check(main is not None, "the main window opens with 100,000 contacts"):
        return
    # The window is on the screen before its list is loaded.
    main = wait_for(lambda: (lambda w: w if w and control(w, LIST1)["count"] == count else None)(program.main()),
                    60, 0.2) or program.main()
    listbox = control(main, LIST1)
    check(listbox["count"] == count and listbox["items"][:2] == ["Apellido000000", "Apellido000001"],
          f"the list has every entry: {listbox['count']}")
    check(s.item(count - 1) == f"Apellido{count - 1:06d}" and s.item(70000) == "Apellido070000",
          "entries past 65,536 read back through the list's own messages")
    # Drag the scroll box from the top of its track to the bottom. The scroll bar
    # stands right of the list's client area; its box starts below the up arrow.
    x, y, w, h = listbox["screen"]
    bar_x = x + w + 8
    s.xdo("mousemove", str(bar_x), str(y + 20), "mousedown", "1")
    for step in range(1, 11):
        s.xdo("mousemove", str(bar_x), str(y + 20 + (h - 28) * step // 10))
        time.sleep(0.05)
    s.xdo("mouseup", "1")
    time.sleep(0.5)
    s.shot("long-list")
    top = control(program.main(), LIST1)["top"]
    check(top > count - 50, f"dragging the scroll box to the bottom shows the last entries (top entry {top})")
    # A click on the top entry shown, then End.
    s.xdo("mousemove", str(x + 20), str(y + 6), "click", "1")
    time.sleep(0.3)
    s.key("End")
    main = program.main()
    check(control(main, LIST1)["selected"] == count - 1 and fields(main)[0] == f"Apellido{count - 1:06d}",
          "End chooses the last entry and shows its contact")
    s.xdo("windowactivate", "--sync", s.out(["xdotool", "search", "--name", "Vorteda 1.3"]).split()[0])
    s.key("F4")
    check(program.ended(20), "F4 ends the program")


def other_dpi(s):
    """At 120 and 144 dots per inch the windows scale as their twips say."""
    for dpi in (120, 144):
        s.run(["wine", "reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d",
               str(dpi), "/f"])
        program = Program(s, f"dpi{dpi}", ZAPATA + GOMEZ + ABRIL)
        main = wait_for(program.main, 20, 0.1)
        if check(main is not None, f"the main window opens at {dpi} dpi"):
            time.sleep(0.3)
            s.shot(f"main-{dpi}dpi")
            rc, report = s.layout()
            check(rc == 0 and "ok " in report, f"every main window control where its twips say at {dpi} dpi\n" + report)
            s.xdo("windowactivate", "--sync", s.out(["xdotool", "search", "--name", "Vorteda 1.3"]).split()[0])
            s.key("F4")
            check(program.ended(20), f"F4 ends the program at {dpi} dpi")
    s.run(["wine", "reg", "delete", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/f"])


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


def handed_to_the_running_program(s):
    """Vorteda.exe FILE while Vorteda.exe runs for the same personas.dat ("Abrir con",
    the installer's verb): the second start hands the file to the open window and
    ends; that window comes forward with the question. A Vorteda.exe in another folder
    keeps another personas.dat: it starts as a program of its own."""
    name = "llegó después.vcf"
    olga = ("Ibarra", "Olga", "Calle Luna 9", "600999000", "olga@example.com")
    program = Program(s, "entregar", GOMEZ + ABRIL, files={name: vcards(olga)})
    # The program, not the probe, starts Wine's desktop if it has gone: the probe's
    # output would stay open in it.
    time.sleep(1)
    main = wait_for(program.main, 15, 0.05)
    if not check(main is not None, "the main window opens"):
        return
    check(control(main, LIST1).get("label") == "Lista de contactos",
          f"a screen reader names the list \"Lista de contactos\": {control(main, LIST1).get('label')!r}")
    shown = s.out(["xdotool", "search", "--name", "Vorteda 1.3"]).split()
    s.xdo("windowminimize", "--sync", shown[0])
    path = windows_path(os.path.join(program.folder, name))
    second = s.wine(os.path.join(program.folder, "Vorteda.exe"), path, stdout=subprocess.DEVNULL,
                    stderr=subprocess.DEVNULL)
    try:
        status = second.wait(20)
    except subprocess.TimeoutExpired:
        second.kill()
        second.wait(10)
        status = None
    check(status == 0, f"the second start hands the file over and ends at once (status {status})")
    box = confirmation(s, 15)
    if check(box is not None, "the open window shows the handed file's question"):
        check(name + "» (vCard)?" in control(box, MESSAGE_TEXT)["text"]
              and len([w for w in s.windows() if w["class"] == "Vorteda.frmPersonas"]) == 1,
              "it is about the handed file, and there is still one main window")
        state = s.out(["xprop", "-id", shown[0], "_NET_WM_STATE"])
        check("_NET_WM_STATE_HIDDEN" not in state, f"the main window came forward: {state.strip()}")
        time.sleep(0.3)
        s.shot("handed-to-running")
        s.key("Return")
    expected = b"".join(sorted([GOMEZ, ABRIL, record(*olga)], key=lambda r: r[25:45]))
    check(wait_for(lambda: program.data() == expected, 10), "Importar adds the handed file's contact")

    other = Program(s, "entregar-otra", ZAPATA, args=(path,))
    time.sleep(1)
    box = confirmation(s, 30)
    check(box is not None and other.proc.poll() is None
          and len([w for w in s.windows() if w["class"] == "Vorteda.frmPersonas"]) == 2,
          "a Vorteda.exe in another folder starts on its own with the question")
    if box is not None:
        s.key("Escape")
        wait_for(lambda: confirmation(s, 0) is None, 5)
        s.key("F4")  # in the other program's main window, active again
    check(other.data() == ZAPATA and program.data() == expected, "nothing imported twice")
    if not other.ended(10):
        other.proc.kill()
        other.ended(10)
    end_program(s, program)


def closed_while_reading(s):
    """Closing the main window while a large file is read for import stops the reading:
    the program ends, no question is left without a window, personas.dat is as it was."""
    many = [(f"Apellido{i:06d}", f"Nombre{i:06d}", "Calle 1", "600", "a@b.es") for i in range(800000)]
    program = Program(s, "cerrar-leyendo", GOMEZ + ABRIL, files={"grande.vcf": vcards(*many)},
                      args=(windows_path(os.path.join(s.tmp, "cerrar-leyendo", "grande.vcf")),))
    time.sleep(1)
    progress = wait_for(lambda: s.window("Vorteda.Progress"), 40, 0.05)
    if not check(progress is not None, "the progress window shows while the file is read"):
        program.proc.kill()
        return
    s.shot("closed-while-reading")
    s.run(["wine", s.args.probe, "close", "Vorteda.frmPersonas"], 30)
    ended = program.ended(30)
    check(ended, "closing the main window during the reading ends the program (no question left behind)")
    if not ended:
        program.proc.kill()
        program.ended(10)
    check(program.data() == GOMEZ + ABRIL, "personas.dat is as it was")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--replay", required=True)
    parser.add_argument("--screenshots", required=True)
    args = parser.parse_args()
    for tool in ("Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "import", "wine"):
        if shutil.which(tool) is None:
            sys.exit(f"missing tool: {tool}")
    started = time.monotonic()
    session = Session(args)
    try:
        session.start()
        for step in (resources, desktop_comes_and_goes, everyday_use, import_from_the_window,
                     handed_to_the_running_program, closed_while_reading, read_only_file, long_list, other_dpi):
            run_step(session, step)
    finally:
        session.stop()
    print(f"\n{len(failures)} failed; {time.monotonic() - started:.1f} s; screenshots in {args.screenshots}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
