"""The program's version as its windows show it, read from the project() line of the
top CMakeLists.txt, so that the end-to-end checks follow the project's version."""

import os
import re

_ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")

with open(os.path.join(_ROOT, "CMakeLists.txt"), encoding="utf-8") as _f:
    _match = re.search(r"^project\(\s*\w+\s+VERSION\s+(\d+)\.(\d+)\.(\d+)", _f.read(), re.MULTILINE)
if _match is None:
    raise RuntimeError("no project(... VERSION x.y.z) line in CMakeLists.txt")
MAJOR, MINOR, REVISION = (int(n) for n in _match.groups())

SHORT = f"{MAJOR}.{MINOR}"                         # the main and About windows
FULL = f"{MAJOR}.{MINOR}.{REVISION}"               # the splash window
FILE_VERSION = f"{MAJOR}.{MINOR:02d}.{REVISION:04d}"  # the executable's version
CAPTION = f"Vorteda {SHORT}"                       # the main window's caption
