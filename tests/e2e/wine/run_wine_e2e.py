#!/usr/bin/env python3
"""Vorteda.exe as a person uses it, under Wine in a real X server.

Starts Xvfb, openbox and Wine in a throwaway prefix, runs Vorteda.exe from a folder
with a prepared personas.dat, drives it with xdotool and reads it back with
vorteda_probe.exe (FindWindow, GetDlgItem, SendMessage) and xwininfo/xprop.

    run_wine_e2e.py --exe Vorteda.exe --probe vorteda_probe.exe
                    --replay build/tests/forms/vorteda_forms_replay --screenshots DIR

The session (X server, Wine prefix, the program, the probe) is in wine_session.py, and
the checks in one module per subject: checks_program.py (the executable, Wine's
desktop), checks_everyday.py (a day's use, a read-only file), checks_exchange.py
(import, export, handed files), checks_scale.py (a long list, other dpi).
"""
import sys
import time

from wine_session import Session, failures, harness_args, run_step
from checks_everyday import everyday_use, read_only_file
from checks_exchange import closed_while_reading, handed_to_the_running_program, import_from_the_window
from checks_program import desktop_comes_and_goes, resources
from checks_scale import long_list, other_dpi


def main():
    args = harness_args("--exe", "--probe", "--replay", "--screenshots")
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
