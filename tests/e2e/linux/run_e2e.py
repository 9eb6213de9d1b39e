#!/usr/bin/python3
"""Vorteda as a person meets it: the built program in a real X server with a
window manager, driven by keyboard and mouse.

Each check copies the program into a fresh folder with a prepared
"personas.dat", starts it, drives it with xdotool and reads what it shows
through AT-SPI, the clipboard, xprop and xwininfo. Screenshots of every window
land in the output folder. One PASS/FAIL line per check, then
"N passed, N failed"; the exit status is non-zero on any failure.

Run with Debian's /usr/bin/python3 (pyatspi lives there):
    /usr/bin/python3 run_e2e.py --program build/app/vorteda --out build/tests/e2e

The X server and window manager start in ../display.py, shared with the Wine
harness; the buses and tools are in harness.py, one run of the program
in program.py, and the checks in one module per window: checks_splash.py,
checks_contacts.py (with checks_exchange.py, its import and export),
checks_about.py. With --installed-home only
checks_installed.py runs, on the program the Debian package installed.
"""

import argparse
import importlib.util
import os
import signal
import sys
import time
import traceback

# What both harnesses share (bounded calls, the X server, the version) is one folder up.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import checks_about  # noqa: E402
import checks_contacts
import checks_exchange
import checks_installed
import checks_splash
from display import missing_tools  # noqa: E402
from harness import CHECKS, LIBC, PR_SET_CHILD_SUBREAPER, REGISTRYD, TOOLS, Failure, Session, screenshot

# Each module registers its checks as it loads; they run window by window, in
# the order a person meets the windows.
WINDOWS = (checks_splash, checks_contacts, checks_exchange, checks_about)


# --- the run -------------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--program", required=True, help="the built vorteda executable")
    parser.add_argument("--out", required=True, help="folder for the screenshots")
    parser.add_argument("-k", dest="only", action="append", help="run only checks whose name contains this")
    parser.add_argument("--installed-home", metavar="HOME",
                        help="--program is installed: run only its own checks, with HOME as the user's home")
    args = parser.parse_args()

    missing = missing_tools(TOOLS)
    missing += [path for path in (REGISTRYD,) if not os.access(path, os.X_OK)]
    if importlib.util.find_spec("pyatspi") is None:
        missing.append("python3-pyatspi for " + sys.executable)
    if missing:
        print("cannot run: missing " + ", ".join(missing) + " (scripts/test installs them)")
        print("0 passed, 1 failed")
        return 1

    LIBC.prctl(PR_SET_CHILD_SUBREAPER, 1)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(2))
    modules = (checks_installed,) if args.installed_home else WINDOWS
    checks = [c for module in modules for c in CHECKS if c.__module__ == module.__name__]
    checks = [c for c in checks if not args.only or any(k in c.__name__ for k in args.only)]
    session = Session(os.path.abspath(args.program), os.path.abspath(args.out),
                      args.installed_home and os.path.abspath(args.installed_home))
    passed = failed = 0
    began = time.monotonic()
    try:
        session.start()
        for function in checks:
            name = function.__name__
            t0 = time.monotonic()
            try:
                note = function(session)
                passed += 1
                print(f"PASS {name} ({time.monotonic() - t0:.1f} s){': ' + note if note else ''}", flush=True)
            except Failure as error:
                failed += 1
                print(f"FAIL {name}: {error}", flush=True)
                try:
                    screenshot(session, "FAIL-" + name)
                except Exception:
                    pass
            except Exception:
                failed += 1
                print(f"FAIL {name}: unexpected error", flush=True)
                traceback.print_exc()
            finally:
                # Whatever the check left running ends here.
                for proc in session.procs[:]:
                    if proc.args and any(str(a).endswith("/vorteda") for a in proc.args) and proc.poll() is None:
                        proc.kill()
                        proc.wait()
    except Failure as error:
        failed += 1
        print(f"FAIL setting up the X server and buses: {error}", flush=True)
    finally:
        session.stop()
    print(f"e2e took {time.monotonic() - began:.1f} s; screenshots in {session.shots}")
    print(f"{passed} passed, {failed} failed")
    return 0 if failed == 0 and passed > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
