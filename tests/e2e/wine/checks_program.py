"""Vorteda.exe as a file (its icons and version) and Wine's desktop process coming and
going under the probe."""
import json
import os
import threading
import time

from wine_session import ZAPATA, Program, check, wait_for
import version


def resources(s):
    """The executable's icons (16 colours, 32 x 32 and 16 x 16) and its version."""
    exe = "Z:" + os.path.abspath(s.args.exe).replace("/", "\\")
    text = s.run(["wine", s.args.probe, "resources", exe]).stdout
    try:
        found = json.loads(text)
    except json.JSONDecodeError:
        found = {}
    both = [[32, 32, 16, 4], [16, 16, 16, 4]]
    check(found.get("icons") == {"1": both, "2": both},
          f"Vorteda.exe holds its two icons, each 32 x 32 and 16 x 16 in 16 colours: {found.get('icons')}")
    check(found.get("version") == version.FILE_VERSION,
          f"Vorteda.exe's version is {version.FILE_VERSION}: {found.get('version')}")


def desktop_comes_and_goes(s):
    """Wine ends its desktop process once no window is left, and the next program that
    needs a desktop starts it again, handing it its own standard error. When that
    program is the probe and a window opened meanwhile keeps the desktop up, the
    probe's answer must come all the same."""
    if not check(wait_for(lambda: not s.desktop_running(), 60, 0.5),
                 "Wine's desktop process ends when no window is left"):
        return
    answers = []
    probe = threading.Thread(target=lambda: answers.append(s.windows()), daemon=True)
    probe.start()
    time.sleep(1)
    program = Program(s, "escritorio", ZAPATA)
    probe.join(120)
    check(answers != [], "the probe's answer comes while a window keeps up the desktop process it started")
    program.proc.kill()
    program.ended(10)
