"""The splash window: how it looks and how it hands over to the contacts window."""

import time

from harness import SCREEN_H, SCREEN_W, active_window, check, client_list, expect, find_all, frame_extents, \
    geometry, key, screenshot, unnamed_controls, wait_for, xdo, xprop
from program import Program
import version

SPLASH_MS = 1500


@check
def splash_then_one_main_window(s):
    """Splash without a title showing the version; not before 1.5 s, exactly one main window."""
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
    expect(f"Version {version.FULL}" in labels, f"the splash shows no 'Version {version.FULL}' (its labels: {labels})")
    window = app.getChildAtIndex(0)
    expect(window.name, "the splash window has no accessible name")
    expect(not unnamed_controls(window), f"splash controls without an accessible name: {unnamed_controls(window)}")
    x, y, w, h = geometry(splash)
    # The 492 x 283 client area inside the dialog border the program draws, 2 px a side.
    expect((w, h) == (492 + 4, 283 + 4), f"the splash is {w}x{h}")
    expect(abs(x + w / 2 - SCREEN_W / 2) <= 1 and abs(y + h / 2 - SCREEN_H / 2) <= 1,
           f"the splash at {(x, y)} is not centred")
    screenshot(s, "splash", splash, with_frame=False)

    main = program.window(version.CAPTION, timeout=SPLASH_MS / 1000 + 5)
    appeared = time.monotonic()
    expect(splash not in client_list(), "the splash is still shown beside the main window")
    since_start = appeared - program.started
    since_shown = appeared - shown
    expect(since_start >= SPLASH_MS / 1000 - 0.05,
           f"the main window came {since_start:.2f} s after start, before the splash time")
    # The timer fires once: no second main window later.
    time.sleep(SPLASH_MS / 1000 + 0.3)
    windows = program.windows()
    expect([(w, t) for w, t, _ in windows] == [(main, version.CAPTION)],
           f"expected exactly one window '{version.CAPTION}', found {[(t, k) for _, t, k in windows]}")
    program.stop()
    return f"main window {since_shown:.2f} s after the splash showed ({since_start:.2f} s after start)"


@check
def key_during_splash_brings_main_window_at_once(s):
    program = Program(s, "splashkey").start()
    splash = program.window(kind="_NET_WM_WINDOW_TYPE_SPLASH", timeout=10)
    wait_for(lambda: active_window() == splash, 5, "the splash to have the keyboard")
    pressed = time.monotonic()
    key("q")
    main = program.window(version.CAPTION, timeout=SPLASH_MS / 1000 + 5)
    delay = time.monotonic() - pressed
    wait_for(lambda: active_window() == main, 5, "the main window to become active")
    time.sleep(SPLASH_MS / 1000)
    fields = program.fields()
    expect(fields == [""] * 5, f"the key reached the fields: {fields}")
    titles = [t for _, t, _ in program.windows()]
    expect(titles == [version.CAPTION], f"windows after the splash time: {titles}")
    program.stop()
    return f"main window {delay:.2f} s after the key"



@check
def key_held_through_the_splash_types_nothing(s):
    """A key held from the splash until well after the main window is up: its repeats
    never type, however busy the machine (X11 then often delivers a repeat's release
    and press apart, unmarked)."""
    program = Program(s, "splashheld").start()
    splash = program.window(kind="_NET_WM_WINDOW_TYPE_SPLASH", timeout=10)
    wait_for(lambda: active_window() == splash, 5, "the splash to have the keyboard")
    xdo("keydown", "x")
    try:
        main = program.window(version.CAPTION, timeout=SPLASH_MS / 1000 + 5)
        wait_for(lambda: active_window() == main, 5, "the main window to become active")
        time.sleep(1.5)  # the server repeats the key meanwhile
    finally:
        xdo("keyup", "x")
    time.sleep(0.3)
    fields = program.fields()
    expect(fields == [""] * 5, f"the held key reached the fields: {fields}")
    # Pressed again once let go, it types.
    key("x")
    wait_for(lambda: program.fields()[0] == "x", 5, "the key pressed again once let go to type")
    program.stop()
