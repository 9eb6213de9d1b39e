"""One run of the program under test, in a folder of its own, and the
contacts' records as the program stores them."""

import grp
import os
import pwd
import shutil
import subprocess
import time

from harness import (TEST_GROUP, Failure, active_window, client_list, expect, extents, find, find_all, fresh,
                     text_of, wait_for, window_pid, window_title, xprop_list, click_centre, key, type_text)
import version

# Field widths of one record, in bytes of Windows-1252.
WIDTHS = (25, 20, 20, 15, 25)
FIELD_NAMES = ("Apellido", "Nombre", "Dirección", "Teléfono", "E-mail")


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



# --- one run of the program -------------------------------------------------

class Program:
    """The built program, copied into a fresh folder of its own; or the installed
    program (session.installed_home), which keeps the contacts in the user's home."""

    def __init__(self, session, name, data=None, user=None, bin_files=None):
        self.session = session
        self.name = name
        self.user = user
        if session.installed_home:
            self.folder = self.home = session.installed_home
            self.exe = session.program
            self.data_path = os.path.join(self.home, ".local", "share", "vorteda", "personas.dat")
        else:
            self.folder = session.mkdir(name, "app")
            self.exe = os.path.join(self.folder, "vorteda")
            shutil.copy2(session.program, self.exe)
            self.data_path = os.path.join(self.folder, "personas.dat")
            self.home = session.mkdir(name, "home")
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
        self.runtime = session.mkdir(name, "runtime", mode=0o700)
        if user:
            uid, gid = pwd.getpwnam(user).pw_uid, grp.getgrnam(TEST_GROUP).gr_gid
            for folder in {os.path.join(session.tmp, name), self.home}:
                for root, dirs, files in os.walk(folder):
                    for entry in [root] + [os.path.join(root, n) for n in dirs + files]:
                        os.chown(entry, uid, gid)
        self.proc = None
        self.started = None

    def start(self, *arguments):
        """Starts the program; `arguments` follow its name, as a file manager's "Open
        with" gives them."""
        env = dict(self.session.base_env, HOME=self.home, XDG_RUNTIME_DIR=self.runtime,
                   XDG_CONFIG_HOME=os.path.join(self.home, ".config"), PATH=self.bin,
                   QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        args = [self.exe, *arguments]
        if self.user:
            args = [shutil.which("setpriv"), f"--reuid={self.user}", f"--regid={TEST_GROUP}", "--clear-groups",
                    "--pdeathsig", "KILL", "--", self.exe, *arguments]
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
        window = self.window(version.CAPTION, "_NET_WM_WINDOW_TYPE_NORMAL", timeout=10)
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


def type_fields(program, texts):
    """Types the texts from the first field on, Tab between them, as a user fills the form."""
    click_centre(extents(program.field(0)))
    for i, text in enumerate(texts):
        if i:
            key("Tab")
        type_text(text)



PEOPLE = [("Zapata", "Pedro", "Calle Sol 1", "600111222", "pedro@example.com"),
          ("Gómez", "Ana", "Plaza Mayor 2", "600333444", "ana@example.com"),
          ("Abril", "Luis", "Avenida Río 3", "600555666", "luis@example.com")]


def people_file(people=PEOPLE):
    return b"".join(record(*p) for p in people)

