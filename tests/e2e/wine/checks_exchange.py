"""Contacts in and out of Vorteda.exe: the Archivo menu's import and export, a file named
on the command line, a file handed to the program already running, and closing the
window while a large file is read."""
import os
import subprocess
import time

from wine_session import (ABRIL, GOMEZ, IDCANCEL, IDOK, LIST1, MESSAGE_TEXT, ZAPATA, Program, check, confirmation,
                          control, end_program, record, vcards, wait_for, windows_path)


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
