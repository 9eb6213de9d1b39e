"""The contacts window: the list and the file behind it, editing through the
buttons, the window's frame, layout, fields and keyboard order, and a data
file the user may not change."""

import os
import time

from harness import MWM_DECOR_MAXIMIZE, MWM_FUNC_MAXIMIZE, SCREEN_H, SCREEN_W, UNPRIVILEGED, check, click, \
    click_centre, clipboard_set, copy_field, expect, extents, find, find_all, focused, \
    frame_extents, geometry, key, motif_hints, normal_hints, pixels, role, screenshot, \
    settled, text_of, unnamed_controls, wait_for, xdo, xprop_list
from program import PEOPLE, Program, describe, message_text, people_file, record, sorted_by_given_name, \
    surnames, type_fields, type_into
import version


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
    type_fields(program, added)
    shown = settled(program.fields, list(added))
    expect(shown == list(added), f"the fields show {shown} after typing")
    click_centre(extents(program.button("Agregar contacto")))
    records.append(record(*added))
    expected = b"".join(sorted_by_given_name(records))
    program.wait_data(expected, "after 'Agregar contacto'")
    expect(b"N\xfa\xf1ez" in expected and b"N\xfa\xf1ez" in program.data(), "Núñez is not stored as Windows-1252")
    wait_for(lambda: program.fields() == [""] * 5, 3, "the fields to be emptied after the add")
    expect(program.list_entries() == surnames(expected), f"the list shows {program.list_entries()}")
    screenshot(s, "main-window-contacts", program.window(version.CAPTION))

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
def chosen_entry_stays_chosen(s):
    """Only another entry takes the selection: Ctrl+click on the chosen one and a click
    below the last entry leave it and its fields as they were."""
    program = Program(s, "keepselection", people_file())
    program.main_window()
    click_centre(extents(program.list_item("Zapata")))
    wait_for(lambda: program.fields() == list(PEOPLE[0]), 3, "Zapata's fields after selecting him")
    x, y, w, h = extents(program.list_item("Zapata"))
    xdo("keydown", "ctrl")
    click(x + w // 2, y + h // 2)
    xdo("keyup", "ctrl")
    lx, ly, lw, lh = extents(find(program.app(), "list", "Lista de contactos"))
    last = extents(program.list_item(program.list_entries()[-1]))
    below = last[1] + last[3] + 10
    expect(below < ly + lh - 4, "the list has no empty part below its last entry to click")
    click(lx + lw // 3, below)
    time.sleep(0.3)
    shown = settled(program.fields, list(PEOPLE[0]))
    expect(shown == list(PEOPLE[0]), f"the fields show {shown} after Ctrl+click and a click below the list")
    # Choosing another entry still works.
    click_centre(extents(program.list_item("Gómez")))
    wait_for(lambda: program.fields() == list(PEOPLE[1]), 3, "Gómez's fields after choosing her")
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
    window = find(app, "filler", version.CAPTION)
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



@check
def read_only_file_add_reports_and_keeps_running(s):
    program = Program(s, "readonly", b"".join(sorted_by_given_name([record(*p) for p in PEOPLE])),
                      user=UNPRIVILEGED)
    program.main_window()
    before = program.data()
    os.chmod(program.data_path, 0o444)
    typed = ("Ruiz", "Marta", "Calle Luna 9", "600999000", "marta@example.com")
    type_fields(program, typed)
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
    expect(program.window(version.CAPTION) is not None, "the main window is gone")
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

