#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# What a screen reader is told over AT-SPI by the program itself, on a display and a
# session bus of its own (see CMakeLists.txt): each window is announced as a window, named
# by its title, and each Add of the rule editor names its row. 77, skipped, where there is
# no pyatspi (Debian's python3-pyatspi serves /usr/bin/python3) or no accessibility bus.
#   spoken_names.py PROGRAM
import os, subprocess, sys, tempfile, time

try:
    import pyatspi
    from gi.repository import Gio
    Gio.bus_get_sync(Gio.BusType.SESSION).call_sync(
        "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None, None, 0, 5000)
except Exception as missing:
    print("skipped:", missing)
    sys.exit(77)


# The program's windows by role and name, once there are at least count of them.
def windows(count):
    for _ in range(150):
        found = {(w.getRoleName(), w.name): w for app in pyatspi.Registry.getDesktop(0)
                 if app and app.name == "rulecraft" for w in app}
        if len(found) >= count:
            return found
        time.sleep(0.1)
    return found


with tempfile.TemporaryDirectory() as home:
    program = subprocess.Popen([sys.argv[1]], env=dict(os.environ, HOME=home, XDG_RUNTIME_DIR=home))
    try:
        for button in windows(1).get(("frame", "Rulecraft V1"), []):
            if button.name in ("Create TD:", "Create H#:", "Create Custom", "About"):
                button.queryAction().doAction(0)
        told = sorted(windows(5)), [c.name for c in windows(5).get(
            ("dialog", "td { PROPERTY : VALUE }"), []) if c.name.startswith("Add")]
    finally:
        program.terminate()
        program.wait()
print("told:", told)
sys.exit(told != ([("dialog", "Custom Tag"), ("dialog", "H#"), ("dialog", "Rulecraft About"),
                   ("dialog", "td { PROPERTY : VALUE }"), ("frame", "Rulecraft V1")],
                  ["Add Font", "Add Text", "Add Padding", "Add Border", "Add Margin",
                   "Add Background", "Add Color", "Add Selection"]))
