"""The installed program (run_e2e.py --installed-home): a user with a fresh home
starts it from the system's folders and adds a contact, which lands in that
user's own data folder."""

import os
import pwd
import stat

from harness import UNPRIVILEGED, check, click_centre, expect, extents
from program import Program, record, type_fields


@check
def installed_program_keeps_contacts_in_the_users_home(s):
    program = Program(s, "installed", user=UNPRIVILEGED)
    expect(not os.path.exists(os.path.dirname(program.data_path)), "the home is not fresh")
    program.main_window()
    folder = os.path.dirname(program.data_path)
    program.wait_data(b"", "the first start creates an empty personas.dat in the user's data folder")
    typed = ("Ruiz", "Marta", "Calle Luna 9", "600999000", "marta@example.com")
    type_fields(program, typed)
    click_centre(extents(program.button("Agregar contacto")))
    program.wait_data(record(*typed), "after 'Agregar contacto'")
    program.stop()
    info = os.stat(folder)
    owner = pwd.getpwuid(info.st_uid).pw_name
    expect(stat.S_IMODE(info.st_mode) == 0o700, f"{folder} has mode {stat.S_IMODE(info.st_mode):o}, not 700")
    expect(owner == (UNPRIVILEGED or pwd.getpwuid(os.getuid()).pw_name), f"{folder} belongs to {owner}")
    return f"as user {owner}: {program.data_path}"
