"""Vorteda.exe at scale: a list past 65,536 entries, and the windows at 120 and 144 dots
per inch."""
import time

from wine_session import ABRIL, GOMEZ, LIST1, ZAPATA, Program, check, control, fields, record, wait_for


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
