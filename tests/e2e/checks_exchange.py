"""The contacts window's import and export, as a person reaches them: the
Archivo menu, Qt's file dialog, the confirmation, and a file handed to the
program as a file manager's "Open with" does."""

import os
import time

from harness import active_window, check, expect, find, find_all, key, screenshot, type_text, wait_for
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
