#!/usr/bin/env python3
"""Start to the main window, in a real X server, for one or more builds of the program.

Each program is copied into a folder of its own beside a personas.dat of N contacts
in given-name order (what a list load finds after its first sort), and started until
its main window "Vorteda M.m" is mapped; the programs take turns, run after run, so
that the machine's load falls on all alike. It prints the median over the runs, for
an empty file and for N contacts, and the difference between the two: the cost of the
contacts themselves (the splash's 1,500 ms and the program's own start cancel out).

    bench/start_time.py --contacts 1000000 --runs 5 build/app/vorteda OTHER/vorteda
    bench/start_time.py --wine build-windows/app/Vorteda.exe    # under Wine, in a prefix of its own

A benchmark, not a test: it prints a table and asserts nothing.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

RECORD = 105
WIDTHS = (25, 20, 20, 15, 25)


def record(surname, given):
    fields = (surname, given, "Calle Mayor 1", "600111222", "correo@example.org")
    return b"".join(f.encode("cp1252")[:w].ljust(w, b" ") for f, w in zip(fields, WIDTHS))


def contacts_file(path, count):
    with open(path, "wb") as out:
        chunk = []
        for i in range(count):
            # Given names in ascending order: the sort has nothing to move.
            chunk.append(record(f"Apellido{(i * 7919) % count:07d}", f"Nombre{i:09d}"))
            if len(chunk) == 10000:
                out.write(b"".join(chunk))
                chunk.clear()
        out.write(b"".join(chunk))


def main_window_mapped(env, title):
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"], env=env,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return found.returncode == 0 and found.stdout.strip() != ""


def start_once(program, folder, env, title):
    errors = tempfile.TemporaryFile()
    started = time.monotonic()
    command = ["wine", program] if program.lower().endswith(".exe") else [program]
    child = subprocess.Popen(command, cwd=folder, env=env, stdout=subprocess.DEVNULL, stderr=errors)
    try:
        while not main_window_mapped(env, title):
            if child.poll() is not None:
                errors.seek(0)
                raise RuntimeError(f"{program} ended (status {child.returncode}) before its main window showed:\n"
                                   + errors.read().decode(errors="replace"))
            if time.monotonic() - started > 300:
                raise RuntimeError(f"{program}: no main window after 300 s")
            time.sleep(0.005)
        return time.monotonic() - started
    finally:
        child.kill()
        child.wait()


def timed_start(program, folder, env, title):
    # A busy machine's X server now and then refuses a connection; that run is
    # started again rather than counted.
    for attempt in range(3):
        try:
            return start_once(program, folder, env, title)
        except RuntimeError as error:
            if "could not connect to display" not in str(error) or attempt == 2:
                raise
            time.sleep(0.5)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("programs", nargs="+")
    parser.add_argument("--contacts", type=int, default=1000000)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--title", default="Vorteda 1.3")
    parser.add_argument("--wine", action="store_true", help="the programs are .exe files, run under Wine")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="vorteda-start-")
    # A display of its own, away from the low numbers that test runs take.
    display = next(n for n in range(150, 250) if not os.path.exists(f"/tmp/.X{n}-lock"))
    xvfb = subprocess.Popen(["Xvfb", f":{display}", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(1)
    env = dict(os.environ, DISPLAY=f":{display}", QT_QPA_PLATFORM="xcb")
    env.pop("WAYLAND_DISPLAY", None)
    if args.wine:
        env.update(WINEPREFIX=os.path.join(work, "prefix"), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        subprocess.run(["wineboot", "-i"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        data = os.path.join(work, "contacts.dat")
        contacts_file(data, args.contacts)
        folders = {}
        for n, program in enumerate(args.programs):
            for size in ("empty", "full"):
                folder = os.path.join(work, f"{n}-{size}")
                os.makedirs(folder)
                shutil.copy2(program, folder)
                folders[(program, size)] = folder
        times = {key: [] for key in folders}
        for _ in range(args.runs):
            for program in args.programs:
                for size in ("empty", "full"):
                    folder = folders[(program, size)]
                    dat = os.path.join(folder, "personas.dat")
                    if size == "full":
                        shutil.copyfile(data, dat)
                    elif os.path.exists(dat):
                        os.remove(dat)
                    exe = os.path.join(folder, os.path.basename(program))
                    times[(program, size)].append(timed_start(exe, folder, env, args.title))
        print(f"start to the main window, median of {args.runs} runs, {args.contacts:,} contacts")
        print(f"{'program':<50} {'empty (ms)':>11} {'full (ms)':>10} {'full - empty':>13}")
        for program in args.programs:
            empty = statistics.median(times[(program, "empty")]) * 1000
            full = statistics.median(times[(program, "full")]) * 1000
            print(f"{program:<50} {empty:>11.0f} {full:>10.0f} {full - empty:>13.0f}")
    finally:
        if args.wine:
            subprocess.run(["wineserver", "-k"], env=env, stderr=subprocess.DEVNULL)
        xvfb.kill()
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
