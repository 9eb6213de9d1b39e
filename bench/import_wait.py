#!/usr/bin/env python3
"""How long a file handed to the program leaves the user without an answer: from the
main window's mapping to the first window over it, the import's confirmation (or, for a
file that takes longer to read, its progress window), in a real X server.

Each run starts the program in a folder of its own with a vCard file of N cards on
its command line, as "Open with" does, and times the two windows' mapping with
xdotool; it then ends the program. The median over the runs is printed for each size.
With --wine the program is Vorteda.exe, run under Wine in a throwaway prefix.

    bench/import_wait.py --cards 5000 200000 --runs 3 build/app/vorteda
    bench/import_wait.py --wine --cards 5000 build-windows/app/Vorteda.exe

A benchmark, not a test: it prints a table and asserts nothing.
"""
import argparse
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time


def cards(path, count):
    with open(path, "w", encoding="utf-8") as out:
        for i in range(count):
            out.write(f"BEGIN:VCARD\r\nVERSION:3.0\r\nN:Apellido{i:07d};Nombre{i:07d};;;\r\n"
                      f"ADR;TYPE=HOME:;;Calle {i};Madrid;;28001;España\r\nTEL;TYPE=CELL:600{i:06d}\r\n"
                      f"EMAIL:n{i}@example.com\r\nEND:VCARD\r\n")


def windows(env, title):
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"], env=env,
                           capture_output=True, text=True)
    return found.stdout.split()


def one_run(args, env, folder, file_name):
    if args.wine:
        command = ["wine", os.path.join(folder, "Vorteda.exe"), "Z:" + os.path.join(folder, file_name).replace("/", "\\")]
    else:
        command = [os.path.join(folder, "vorteda"), os.path.join(folder, file_name)]
    proc = subprocess.Popen(command, env=env, cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    began = time.monotonic()
    shown = answered = None
    try:
        while time.monotonic() - began < 120 and answered is None:
            now = time.monotonic()
            if shown is None and windows(env, "Vorteda 1.3"):
                shown = now
            if shown is not None and windows(env, "Vorteda"):
                answered = now
            time.sleep(0.005)
    finally:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
        if args.wine:
            subprocess.run(["wineserver", "-k"], env=env, stderr=subprocess.DEVNULL)
    return None if answered is None else answered - shown


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("program")
    parser.add_argument("--cards", type=int, nargs="+", default=[5000, 200000])
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--wine", action="store_true", help="the program is Vorteda.exe")
    args = parser.parse_args()
    tmp = tempfile.mkdtemp(prefix="vorteda-import-wait-")
    procs = []
    env = {k: v for k, v in os.environ.items() if k not in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    env.update(HOME=tmp, XDG_RUNTIME_DIR=tmp, WINEPREFIX=os.path.join(tmp, "prefix"), WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=", QT_QPA_PLATFORM="xcb")
    try:
        read_fd, write_fd = os.pipe()
        procs.append(subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24",
                                       "-nolisten", "tcp"], pass_fds=(write_fd,), stderr=subprocess.DEVNULL))
        os.close(write_fd)
        display = b""
        while not display.endswith(b"\n"):
            display += os.read(read_fd, 16)
        env["DISPLAY"] = ":" + display.decode().strip()
        procs.append(subprocess.Popen(["openbox"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        time.sleep(1)
        if args.wine:
            subprocess.run(["wine", "wineboot", "-i"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        print(f"{'cards':>9}  {'file MB':>8}  {'main window to first answer, median of ' + str(args.runs)}")
        for count in args.cards:
            folder = os.path.join(tmp, str(count))
            os.makedirs(folder)
            shutil.copy2(args.program, os.path.join(folder, os.path.basename(args.program)))
            cards(os.path.join(folder, "agenda.vcf"), count)
            size = os.path.getsize(os.path.join(folder, "agenda.vcf")) / 2**20
            times = []
            for _ in range(args.runs):
                for leftover in ("personas.dat", "personas.lck"):
                    if os.path.exists(os.path.join(folder, leftover)):
                        os.remove(os.path.join(folder, leftover))
                times.append(one_run(args, env, folder, "agenda.vcf"))
            got = [t for t in times if t is not None]
            median = f"{statistics.median(got):.3f} s" if got else "no answer"
            print(f"{count:>9}  {size:>8.1f}  {median}  (runs: {', '.join(f'{t:.3f}' for t in got)})", flush=True)
    finally:
        for proc in reversed(procs):
            proc.terminate()
            proc.wait()
        shutil.rmtree(tmp, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
