"""The contacts window's import and export, as a person reaches them: the
Archivo menu, Qt's file dialog, the confirmation, and a file handed to the
program as a file manager's "Open with" does."""

import os
import shutil
import subprocess
import time

from harness import (Failure, active_window, check, client_list, expect, find, find_all, key, screenshot, type_text,
                     wait_for, window_pid, window_title, xdo, xprop)
import version
from program import PEOPLE, Program, describe, message_text, people_file, record, sorted_by_given_name


def cards(people):
    """A vCard 3.0 file of `people` (surname, given name, address, telephone, e-mail)."""
    text = ""
    for surname, given, address, telephone, email in people:
        text += (f"BEGIN:VCARD\r\nVERSION:3.0\r\nN:{surname};{given};;;\r\nFN:{given} {surname}\r\n"
                 f"ADR;TYPE=HOME:;;{address};;;;\r\nTEL;TYPE=CELL:{telephone}\r\nEMAIL:{email}\r\nEND:VCARD\r\n")
    return text.encode("utf-8")


def question(program, timeout=10):
    """The confirmation over the main window: a dialog titled Vorteda with an
    "Importar" button."""
    def lookup():
        for window, title, types in program.windows():
            if title == "Vorteda" and "_NET_WM_WINDOW_TYPE_DIALOG" in types:
                return window
        return None
    return wait_for(lookup, timeout, "the confirmation")


def confirmation_text(program):
    dialog = [d for d in find_all(program.app(), "dialog") + find_all(program.app(), "alert")
              if find_all(d, "push button", "Importar")]
    expect(dialog, "no dialog with an 'Importar' button")
    return message_text(dialog[0])


@check
def archivo_menu_holds_import_export_and_exit(s):
    program = Program(s, "menu")
    main = program.main_window()
    key("alt+a")
    items = wait_for(lambda: [i.name for i in find_all(program.app(), "menu item")] or None, 5,
                     "the Archivo menu to open")
    # The menu bar's two menus, with the open one's items after its own.
    expect(items == ["Archivo", "Importar contactos...", "Exportar contactos...", "Salir", "Ayuda"],
           f"the menu bar and the open Archivo menu hold {items}")
    time.sleep(0.3)
    screenshot(s, "menu-archivo", main)
    key("Escape")
    program.stop()


@check
def import_through_the_file_dialog_and_the_confirmation(s):
    """5,000 cards chosen in Qt's file dialog (the path typed into it); the
    confirmation says what comes in, and Enter (its default, "Importar") adds them."""
    program = Program(s, "import", people_file())
    program.main_window()
    sorted_start = program.data()
    new = [(f"Apellido{i:04d}", f"Nombre{i:04d}", f"Calle {i}", f"600{i:06d}", f"n{i}@example.com")
           for i in range(5000)]
    path = os.path.join(s.mkdir("import", "files"), "agenda.vcf")
    with open(path, "wb") as f:
        f.write(cards(new[:2] + [("Núñez", "Íñigo", "Camino Viejo 4", "600777888", "i@example.com")] + new[2:]))
    key("alt+a")
    key("i")
    dialog = program.window("Importar contactos", "_NET_WM_WINDOW_TYPE_DIALOG", timeout=5)
    wait_for(lambda: active_window() == dialog, 5, "the file dialog to become active")
    screenshot(s, "import-dialog", dialog)
    type_text(path)
    key("Return")
    typed = time.monotonic()
    box = question(program)
    waited = time.monotonic() - typed
    text = confirmation_text(program)
    expect("Se añadirán 5001 contactos nuevos." in text and "Nombre0000 · Calle 0 · 600000000" in text
           and "Núñez, Íñigo · Camino Viejo 4" in text, f"the confirmation reads {text!r}")
    time.sleep(0.3)
    screenshot(s, "import-confirmation", box)
    expect(program.data() == sorted_start, "personas.dat changed before the confirmation")
    key("Return")
    people = [record(*p) for p in PEOPLE + new] + [record("Núñez", "Íñigo", "Camino Viejo 4", "600777888",
                                                          "i@example.com")]
    program.wait_data(b"".join(sorted_by_given_name(people)), "after 'Importar'", timeout=20)
    program.stop()
    return f"the confirmation for 5,001 cards came {waited:.2f} s after Enter in the file dialog"


@check
def open_with_comes_to_the_confirmation_after_the_splash(s):
    """`vorteda FILE`, as "Open with" starts it: the splash, then the main window with
    the file's confirmation over it; "Cancelar" leaves personas.dat as it was."""
    program = Program(s, "openwith", people_file())
    path = os.path.join(s.mkdir("openwith", "files"), "señora núñez.vcf")
    with open(path, "wb") as f:
        f.write(cards([("Núñez", "Beatriz", "Camino Viejo 4", "600777888", "bea@example.com")]))
    program.start(path)
    box = question(program, timeout=15)
    expect(time.monotonic() - program.started >= 1.5, "the confirmation came before the splash's 1,500 ms")
    expect(program.window("Vorteda 1.3", "_NET_WM_WINDOW_TYPE_NORMAL") is not None, "no main window below it")
    text = confirmation_text(program)
    expect("«" + path + "» (vCard)" in text and "Núñez, Beatriz · Camino Viejo 4 · 600777888 · bea@example.com" in text,
           f"the confirmation reads {text!r}")
    before = program.data()
    key("Escape")
    program.wait_gone(box, what="the confirmation to close")
    time.sleep(0.3)
    expect(program.data() == before, f"'Cancelar' changed personas.dat: {describe(program.data())}")
    expect(program.running(), "the program ended")
    program.stop()


def start_beside(program, folder, *arguments):
    """Another start of the program in `folder` (holding its own copy of it), for the
    same user and session as `program`: same home and runtime folder."""
    env = dict(program.session.base_env, HOME=program.home, XDG_RUNTIME_DIR=program.runtime,
               XDG_CONFIG_HOME=os.path.join(program.home, ".config"), PATH=program.bin,
               QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    exe = os.path.join(folder, "vorteda")
    if not os.path.exists(exe):
        shutil.copy2(program.session.program, exe)
    return program.session.spawn([exe, *arguments], env=env, cwd=folder, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)


@check
def open_with_while_running_goes_to_the_open_window(s):
    """`vorteda FILE` while Vorteda runs for the same personas.dat: the second start
    hands the file over and ends at once (no second splash, no second window); the
    open window comes forward with the file's confirmation. A start for another
    personas.dat goes on as a program of its own."""
    program = Program(s, "handover", people_file())
    main = program.main_window()
    files = s.mkdir("handover", "files")
    path = os.path.join(files, "llegó después.vcf")
    with open(path, "wb") as f:
        f.write(cards([("Ibarra", "Olga", "Calle Luna 9", "600999000", "olga@example.com")]))
    before = program.data()
    # Out of the way first, so that coming forward shows.
    xdo("windowminimize", "--sync", str(main))
    wait_for(lambda: active_window() != main, 5, "the main window to be minimised")

    second = start_beside(program, program.folder, path)
    try:
        status = second.wait(timeout=10)
    except subprocess.TimeoutExpired:
        raise Failure("the second start did not end: it runs as a second program")
    expect(status == 0, f"the second start ended with status {status}")
    box = question(program, timeout=10)
    expect([w for w, _, _ in program.windows() if w not in (main, box)] == [],
           f"the running program opened other windows: {program.windows()}")
    wait_for(lambda: active_window() in (main, box), 5, "the open window to come forward")
    wait_for(lambda: "_NET_WM_STATE_HIDDEN" not in (xprop(main, "_NET_WM_STATE") or ""), 5,
             "the main window to be shown again, no longer minimised")
    text = confirmation_text(program)
    expect("«" + path + "» (vCard)" in text and "Ibarra, Olga · Calle Luna 9" in text,
           f"the confirmation reads {text!r}")
    screenshot(s, "handover-confirmation", box)
    expect(program.data() == before, "personas.dat changed before the confirmation")
    key("Return")
    program.wait_data(b"".join(sorted_by_given_name(
        [record(*p) for p in PEOPLE] + [record("Ibarra", "Olga", "Calle Luna 9", "600999000", "olga@example.com")])),
        "after 'Importar' on the handed file", timeout=10)

    # Another folder's program is another personas.dat: no hand-over, even in the same
    # session; it starts as it would alone.
    other_folder = s.mkdir("handover", "otra")
    other = start_beside(program, other_folder, path)
    try:
        def other_window():
            for window in client_list():
                if window_pid(window) == other.pid and window_title(window) == version.CAPTION:
                    return window
            return None
        wait_for(other_window, 15, "the other folder's program to show its own main window")
        expect(other.poll() is None, "the other folder's program ended")
    finally:
        other.terminate()
        try:
            other.wait(timeout=5)
        except subprocess.TimeoutExpired:
            other.kill()
            other.wait(timeout=5)
    program.stop()
