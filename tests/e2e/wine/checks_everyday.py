"""Vorteda.exe used day to day: the splash, the main window as designed, the keyboard,
the contacts edited, searched and changed by another writer, the About window; and a
read-only personas.dat."""
import os
import time

from wine_session import (ABRIL, BS_MULTILINE, CMD, CMD_ALTAS, CMD_BAJAS, CMD_MODIFICAR, CMD_OK, GOMEZ, LIST1,
                          LVS_NOCOLUMNHEADER, LVS_OWNERDATA, LVS_REPORT, LVS_SINGLESEL, LVS_SORTASCENDING,
                          LVS_SORTDESCENDING, MESSAGE_TEXT, TEXT1, TXT_BUSQUEDA, WIDTHS, WS_CAPTION, WS_DLGFRAME,
                          WS_EX_TOOLWINDOW, WS_MAXIMIZEBOX, WS_MINIMIZEBOX, WS_POPUP, WS_SYSMENU, WS_THICKFRAME,
                          ZAPATA, Program, check, control, fields, linux_bytes, record, wait_for)
from display import SCREEN_H, SCREEN_W
import version


def everyday_use(s):
    """The splash, the list, selection, add, modify, delete, search, About, exit."""
    original = ZAPATA + GOMEZ + ABRIL
    program = Program(s, "diario", original)

    splash_hands_over(s, program)
    main = wait_for(program.main, 10, 0.05)
    if not check(main is not None, "the main window opens"):
        return
    main_window_as_designed(s, program, main)
    keyboard(s, program, main)
    main = add_modify_delete(s, program, main, original)
    search(s, program, main)
    another_writer(s, program)
    about_window(s)
    typing_goes_on(s, program)


def splash_hands_over(s, program):
    """The splash first, as designed, then the main window after its 1,500 ms."""
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


def main_window_as_designed(s, program, main):
    """The main window's frame, place, layout, fields, list and focus, and the list sorted."""
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


def keyboard(s, program, main):
    """The tab order, Enter and Escape in a field, and the menu's access key."""
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


def add_modify_delete(s, program, main, original):
    """Selecting, modifying, adding and deleting write what the Linux program writes."""
    listbox = control(main, LIST1)
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
    return main


def search(s, program, main):
    """The search box selects the first surname that begins with what is typed."""
    s.click(control(main, TXT_BUSQUEDA))
    s.type("Ab")
    main = program.main()
    check(control(main, LIST1)["selected"] == 2 and fields(main)[0] == "Abril", "typing 'Ab' finds Abril")
    s.type("x")
    main = program.main()
    check(control(main, LIST1)["selected"] == -1, "'Abx' finds nothing and clears the selection")
    s.key("BackSpace", "BackSpace", "BackSpace")
    check(control(program.main(), LIST1)["selected"] == 0, "an empty search selects the first entry")


def another_writer(s, program):
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


def about_window(s):
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


def typing_goes_on(s, program):
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
