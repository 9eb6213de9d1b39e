"""The About window: opening and closing it, its look, the system-information
button, and the program's lifetime while it stays open."""

import os
import re
import time

from harness import MWM_DECOR_MAXIMIZE, MWM_DECOR_MINIMIZE, MWM_FUNC_MAXIMIZE, MWM_FUNC_MINIMIZE, \
    active_window, check, click_centre, client_list, expect, extents, find, find_all, \
    geometry, key, motif_hints, normal_hints, screenshot, states, unnamed_controls, wait_for, \
    xdo, xprop, xprop_list
from program import Program, message_text
import version


def activate(window, what):
    xdo("windowactivate", "--sync", window)
    wait_for(lambda: active_window() == window, 5, what)


def open_about(program):
    """F1, as a person opens the About window; returns it once it is active."""
    key("F1")
    about = program.window("Acerca del autor", timeout=5)
    wait_for(lambda: active_window() == about, 5, "the About window to become active")
    return about


@check
def f1_opens_about_and_f4_ends_everything(s):
    program = Program(s, "keys")
    main = program.main_window()
    about = open_about(program)
    activate(main, "the main window to become active again")
    key("F4")
    status = program.wait_exit(5)
    expect(status == 0, f"the program ended with status {status}")
    left = [w for w in (main, about) if w in client_list()]
    expect(not left, f"windows left after F4: {left}")


@check
def about_window(s):
    program = Program(s, "about")
    main = program.main_window()
    about = open_about(program)
    types = xprop_list(about, "_NET_WM_WINDOW_TYPE")
    expect(types and types[0] == "_NET_WM_WINDOW_TYPE_UTILITY", f"the About window's type is {types}")
    x, y, w, h = geometry(about)
    expect((x, y) == (156, 126), f"the About window's client area is at {(x, y)}")
    expect((w, h) == (382, 237), f"the About window's client area is {w}x{h}")
    hints = normal_hints(about)
    expect(hints.get("min") == hints.get("max") == (w, h), f"the About window can be resized: {hints}")
    _, functions, decorations, _, _ = motif_hints(about)
    expect(not functions & (MWM_FUNC_MINIMIZE | MWM_FUNC_MAXIMIZE)
           and not decorations & (MWM_DECOR_MINIMIZE | MWM_DECOR_MAXIMIZE),
           "the About window asks for a minimise or maximise button")
    owner = re.findall(r"0x[0-9a-fA-F]+", xprop(about, "WM_TRANSIENT_FOR") or "")
    expect(not owner or int(owner[0], 16) != main, "the About window is owned by the main window")
    window = find(program.app(), "filler", "Acerca del autor")
    labels = [a.name for a in find_all(window, "label")]
    expect(f"Versión {version.SHORT}" in labels,
           f"the About window shows no 'Versión {version.SHORT}' (its labels: {labels})")
    expect(not unnamed_controls(window), f"About controls without an accessible name: {unnamed_controls(window)}")
    ok = find(window, "push button", "OK")
    expect("focused" in states(ok), "OK has not the focus when the window opens")
    find(window, "push button", "System Info...")
    screenshot(s, "about", about)
    key("Escape")
    program.wait_gone(about, what="Esc to close the About window")
    expect(program.running() and main in client_list(), "closing About ended the program")
    program.stop()


@check
def system_info_unavailable_message(s):
    program = Program(s, "nosysinfo")
    main = program.main_window()
    about = open_about(program)
    key("alt+s")
    alert = program.alert()
    text = message_text(alert)
    expect(text == "System Information Is Unavailable At This Time", f"the message reads {text!r}")
    box = program.window(kind="_NET_WM_WINDOW_TYPE_DIALOG")
    screenshot(s, "sysinfo-unavailable", box)
    key("Return")
    program.wait_gone(box, what="the message box to close")
    expect(about in client_list(), "the About window closed with the message")
    # The focus goes back to the About window, which the message belongs to: the next
    # Esc closes it, and the main window stays.
    wait_for(lambda: active_window() == about, 5, "the About window to have the focus again after the message")
    key("Escape")
    program.wait_gone(about, what="Esc after the message to close the About window")
    expect(program.running() and main in client_list(), "Esc after the message reached the main window")
    program.stop()


@check
def system_info_starts_installed_program(s):
    marker = os.path.join(s.tmp, "hardinfo-ran")
    fake = f"#!/bin/sh\necho \"$0\" >> '{marker}'\n"
    program = Program(s, "sysinfo", bin_files={"hardinfo": fake})
    program.main_window()
    about = open_about(program)
    cmd = find(find(program.app(), "filler", "Acerca del autor"), "push button", "System Info...")
    click_centre(extents(cmd))
    wait_for(lambda: os.path.exists(marker), 5, "the installed system-information program to run")
    with open(marker) as f:
        ran = f.read().split()
    expect(ran == [os.path.join(program.bin, "hardinfo")], f"ran {ran}")
    time.sleep(0.3)
    expect(not find_all(program.app(), "alert"), "a message box came up although the program started")
    expect(about in client_list(), "the About window closed")
    program.stop()


@check
def about_keeps_program_running_after_main_window_closes(s):
    program = Program(s, "lifetime")
    main = program.main_window()
    about = open_about(program)
    activate(main, "the main window to become active again")
    key("alt+F4")  # the window manager's close, as the title bar's close button
    program.wait_gone(main, what="the main window to close")
    time.sleep(0.5)
    expect(program.running(), "the program ended when the main window closed with About open")
    expect(about in client_list(), "the About window closed with the main window")
    activate(about, "the About window to become active")
    key("Escape")
    status = program.wait_exit(5)
    expect(status == 0, f"the program ended with status {status}")

