#!/usr/bin/env python3
"""The Windows installer as a user meets it, under Wine in a real X server.

In a throwaway Wine prefix: installs an older version silently into a folder of the
user's choosing, checks the files, the Start-menu shortcut and the "Apps & features"
entry, starts the installed program and adds a contact (which must land in
%LOCALAPPDATA%\\Vorteda\\personas.dat), exports and imports it with the installed
vorteda-contactos.exe through folders and files named in Cyrillic, Japanese and
Polish, installs the present version over the older one (into the same folder),
uninstalls, and checks that the contacts are still there, byte for byte.

    run_wine_installer.py --setup vorteda-<version>-windows-x64-setup.exe
                          --older-setup vorteda-older-setup.exe
                          --probe vorteda_probe.exe --screenshots DIR
"""
import os
import re
import shutil
import subprocess
import sys
import time

from wine_session import (CMD_ALTAS, LIST1, TEXT1, Overran, Session, check, control, failures, harness_args, record,
                          wait_for, windows_path)
from version import FILE_VERSION

UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vorteda"
VCF_VERB_KEY = r"HKCU\Software\Classes\SystemFileAssociations\.vcf\shell\Vorteda"
OPEN_WITH_KEY = r"HKCU\Software\Classes\.vcf\OpenWithProgids"
CONTACT = record("Instalado", "Ana", "Calle Sol 1", "600", "a@b.es")
KONTAKTY, RENRAKUSAKI, LODZ = "Контакты", "連絡先", "Łódź.vcf"


class Prefix:
    """Windows' own places in the session's prefix, as Windows and as Unix paths."""

    def __init__(self, s):
        self.s = s

    def variable(self, name):
        return self.s.run(["wine", "cmd", "/c", "echo", f"%{name}%"]).stdout.strip()

    def unix(self, path):
        return self.s.run(["wine", "winepath.exe", "-u", path]).stdout.strip()

    def run(self, *args, timeout=180):
        """A Windows program's status and output, or None for the status when it overran."""
        try:
            done = self.s.run(["wine", *args], timeout)
        except Overran as overran:
            return None, "", str(overran)
        return done.returncode, done.stdout, done.stderr

    def registry(self, key=UNINSTALL_KEY):
        """The values of a key (the uninstall entry's by default), or None when it is missing."""
        result = self.s.run(["wine", "reg", "query", key])
        if result.returncode != 0:
            return None
        values = {}
        for line in result.stdout.splitlines():
            found = re.match(r"\s+(.*?)\s+(REG_\w+)(?:\s+(.*))?$", line)
            if found:
                # reg names the key's default value in the prefix's language, in brackets.
                name = "(Default)" if found.group(1).startswith("(") else found.group(1)
                values[name] = found.group(3) or ""
        return values


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


def install(s, prefix, setup, what, *options):
    rc, _, _ = prefix.run(setup, "/S", *options)
    check(rc == 0, f"{what}: the silent install (/S) ends with status 0 (status {rc})")


def installed_files(s, prefix, install_dir, shortcut, version):
    """The files, the shortcut and the entry of the version installed in install_dir."""
    program_dir = prefix.unix(install_dir)
    names = sorted(os.listdir(program_dir)) if os.path.isdir(program_dir) else []
    check(names == ["LEEME.txt", "Vorteda.exe", "desinstalar.dat", "desinstalar.exe", "vorteda-contactos.exe"],
          f"{install_dir} holds the program, the command, LEEME.txt and the uninstaller: {names}")
    link = read(shortcut) or b""
    target = install_dir.split("\\", 1)[1] + "\\Vorteda.exe"
    check(target.encode() in link or target.encode("utf-16-le") in link,
          f"the Start-menu shortcut \"Vorteda\" leads to {target}")
    entry = prefix.registry() or {}
    check(entry.get("DisplayName") == "Vorteda" and entry.get("Publisher") == "Brimacor"
          and entry.get("DisplayVersion") == version
          and entry.get("DisplayIcon", "").lower() == (install_dir + "\\Vorteda.exe,0").lower()
          and entry.get("InstallLocation", "").lower() == install_dir.lower()
          and entry.get("QuietUninstallString", "").lower() == f'"{install_dir}\\desinstalar.exe" /s'.lower(),
          f"\"Apps & features\": Vorteda by Brimacor, {version}, its icon and a silent uninstall: {entry}")
    verb = prefix.registry(VCF_VERB_KEY) or {}
    command = prefix.registry(VCF_VERB_KEY + "\\command") or {}
    check(verb.get("(Default)") == "Abrir con Vorteda"
          and command.get("(Default)", "").lower() == f'"{install_dir}\\Vorteda.exe" "%1"'.lower()
          and "Vorteda.Contactos" in (prefix.registry(OPEN_WITH_KEY) or {}),
          f"a .vcf file offers \"Abrir con Vorteda\", which opens it with the installed program: {verb} {command}")
    return entry


def use_installed_program(s, exe_windows, data, while_running):
    """Starts the installed Vorteda.exe from the Start menu's target, adds a contact,
    calls while_running() and ends the program."""
    proc = s.wine(exe_windows, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    main = wait_for(lambda: s.window("Vorteda.frmPersonas"), 20, 0.1)
    if not check(main is not None, "the installed Vorteda.exe opens its main window"):
        proc.kill()
        return
    time.sleep(0.3)
    s.shot("installed-main")
    check(control(main, LIST1)["items"] == [], "it starts with an empty list")
    s.click(control(main, TEXT1))
    s.type("Instalado\tAna\tCalle Sol 1\t600\ta@b.es")
    s.click(control(main, CMD_ALTAS))
    check(wait_for(lambda: read(data) == CONTACT, 10),
          "the contact lands in %LOCALAPPDATA%\\Vorteda\\personas.dat")
    while_running()
    window = s.out(["xdotool", "search", "--name", "Vorteda 1.3"]).split()
    if window:
        s.xdo("windowactivate", "--sync", window[0])
        s.key("F4")
    try:
        proc.wait(10)
    except subprocess.TimeoutExpired:
        proc.kill()
        check(False, "F4 ends the installed program")


def names_in_every_script(s, prefix, contactos, data):
    """The installed command through folders and files no one code page can name."""
    out_dir = os.path.join(s.tmp, KONTAKTY)
    in_dir = os.path.join(s.tmp, RENRAKUSAKI)
    for folder in (out_dir, in_dir):
        os.makedirs(folder)
        s.give(folder)
    exported = os.path.join(out_dir, LODZ)
    rc, out, err = prefix.run(contactos, "exportar", windows_path(exported))
    text = out + err
    check(rc == 0 and os.path.isfile(exported) and b"Instalado" in (read(exported) or b""),
          f"vorteda-contactos exports the installed contacts to {KONTAKTY}\\{LODZ}: {text.strip()} "
          f"{os.listdir(out_dir)}")
    check(f"{KONTAKTY}\\{LODZ}" in out,
          f"its report, sent to a file, is UTF-8 and names the file as it is: {out!r}")
    rc, out, err = prefix.run(contactos, "importar", windows_path(exported), "--carpeta", windows_path(in_dir))
    text = out + err
    check(rc == 0 and read(os.path.join(in_dir, "personas.dat")) == read(data),
          f"importing it into {RENRAKUSAKI} gives back the same bytes (status {rc}): {text.strip()}")


def uninstall(s, prefix, entry, program_dir, shortcut):
    command = entry.get("QuietUninstallString", "")
    exe = command.split('"')[1] if command.startswith('"') else ""
    rc, _, _ = prefix.run(exe, "/S")
    # desinstalar.exe waits for the uninstaller; its own file and the folder go just after.
    gone = wait_for(lambda: not os.path.exists(program_dir), 60, 0.5)
    check(rc == 0 and gone, f"the silent uninstall (/S) removes the program's folder (status {rc})")
    check(not os.path.exists(shortcut), "the shortcut is gone")
    check(prefix.registry() is None, "the \"Apps & features\" entry is gone")
    check(prefix.registry(VCF_VERB_KEY) is None
          and "Vorteda.Contactos" not in (prefix.registry(OPEN_WITH_KEY) or {}),
          "\"Abrir con Vorteda\" is gone from .vcf files")


def installed_tools(s, prefix, install_dir):
    """vorteda-contactos.exe and desinstalar.exe carry the version and a manifest, and
    the command's help names the folder the installed programs use."""
    program_dir = prefix.unix(install_dir)
    for name in ("vorteda-contactos.exe", "desinstalar.exe"):
        exe = read(os.path.join(program_dir, name)) or b""
        found = s.run(["wine", s.args.probe, "resources", install_dir + "\\" + name]).stdout
        check(b'level="asInvoker"' in exe and f'"version":"{FILE_VERSION}"' in found.replace(" ", ""),
              f"{name} carries its manifest (asInvoker) and version {FILE_VERSION}: {found.strip()}")
    rc, out, err = prefix.run(install_dir + "\\vorteda-contactos.exe", "--ayuda", timeout=60)
    text = out
    check(rc == 0 and "(por omisión, %LOCALAPPDATA%\\Vorteda)." in text,
          "vorteda-contactos --ayuda names %LOCALAPPDATA%\\Vorteda as the installed programs' folder: "
          + next((line for line in text.splitlines() if "(por omisión" in line), text[:200]))


def uninstall_while_running(s, prefix, entry, install_dir, data):
    """The registered QuietUninstallString, desinstalar.exe /S, while Vorteda is open:
    status 3 reaches the caller, and nothing is removed."""
    command = entry.get("QuietUninstallString", "")
    exe = command.split('"')[1] if command.startswith('"') else ""
    program_dir = prefix.unix(install_dir)
    names = sorted(os.listdir(program_dir))

    before = read(data)
    proc = s.wine(install_dir + "\\Vorteda.exe", stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        if not check(wait_for(lambda: s.window("Vorteda.frmPersonas"), 20, 0.1) is not None,
                     "the installed Vorteda.exe opens its main window"):
            return
        rc, _, _ = prefix.run(exe, "/S", timeout=120)
        time.sleep(1)  # what a copy left running might still remove
        check(rc == 3 and sorted(os.listdir(program_dir)) == names and prefix.registry() is not None
              and read(data) == before,
              f"desinstalar.exe /S while Vorteda is open ends with status 3 (status {rc}), removing nothing")
        window = s.out(["xdotool", "search", "--name", "Vorteda 1.3"]).split()
        if window:
            s.xdo("windowactivate", "--sync", window[0])
            s.key("F4")
    finally:
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait(10)


def main():
    args = harness_args("--setup", "--older-setup", "--probe", "--screenshots")
    started = time.monotonic()
    s = Session(args)
    # Wine would copy the Start-menu shortcut into the real desktop's menus.
    s.env["WINEDLLOVERRIDES"] = "mscoree,mshtml=;winemenubuilder.exe=d"
    # The arguments reach Wine as UTF-8 only under a UTF-8 locale.
    if not s.env.get("LC_ALL", "").lower().endswith(("utf-8", "utf8")):
        s.env["LC_ALL"] = "C.UTF-8"
    try:
        s.start()
        setups = []
        for given in (args.older_setup, args.setup):
            setups.append(os.path.join(s.tmp, os.path.basename(given)))
            shutil.copy(given, setups[-1])
            s.give(setups[-1])
        check(b'level="asInvoker"' in (read(setups[1]) or b""),
              "the installer asks for no administrator rights (asInvoker)")

        prefix = Prefix(s)
        local = prefix.variable("LOCALAPPDATA")
        # The older version where the user chose to put it; an update goes there too.
        # (Wine quotes an argument with a space, and NSIS takes /D= only unquoted.)
        install_dir = local + "\\Aplicaciones\\Vorteda"
        data = os.path.join(prefix.unix(local + "\\Vorteda"), "personas.dat")
        shortcut = prefix.unix(prefix.variable("APPDATA") + "\\Microsoft\\Windows\\Start Menu\\Programs\\Vorteda.lnk")

        install(s, prefix, windows_path(setups[0]), "the older version", "/D=" + install_dir)
        installed_files(s, prefix, install_dir, shortcut, "1.03.0002")
        def update_while_running():
            rc, _, _ = prefix.run(windows_path(setups[1]), "/S")
            check(rc == 3 and (prefix.registry() or {}).get("DisplayVersion") == "1.03.0002"
                  and read(data) == CONTACT,
                  f"an update while Vorteda is open stops (status {rc}), changing nothing")

        use_installed_program(s, install_dir + "\\Vorteda.exe", data, update_while_running)
        program_dir = prefix.unix(install_dir)
        check(not os.path.exists(os.path.join(program_dir, "personas.dat")),
              "nothing is written beside the installed program")
        before = read(data)
        names_in_every_script(s, prefix, install_dir + "\\vorteda-contactos.exe", data)

        install(s, prefix, windows_path(setups[1]), "the present version over the older one")
        entry = installed_files(s, prefix, install_dir, shortcut, "1.03.0003")
        exe = read(os.path.join(program_dir, "Vorteda.exe")) or b""
        check(b"Microsoft.Windows.Common-Controls" in exe and b">true</dpiAware>" in exe
              and b'level="asInvoker"' in exe, "Vorteda.exe carries its manifest")
        check(not os.path.exists(prefix.unix(local + "\\Programs\\Vorteda")),
              "the update went where the older version was, not to the default folder")
        check(read(data) == before, "the update leaves personas.dat as it was")
        installed_tools(s, prefix, install_dir)
        uninstall_while_running(s, prefix, entry, install_dir, data)

        uninstall(s, prefix, entry, program_dir, shortcut)
        check(before == CONTACT and read(data) == before,
              "uninstalling leaves %LOCALAPPDATA%\\Vorteda\\personas.dat byte for byte")
    except Overran as overran:
        # Each step needs the one before: the rest cannot be checked.
        check(False, str(overran))
    finally:
        s.stop()
    print(f"\n{len(failures)} failed; {time.monotonic() - started:.1f} s; screenshots in {args.screenshots}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
