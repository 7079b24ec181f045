#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# What a screen reader is told over AT-SPI by the program itself, on a display and a
# session bus of its own (see CMakeLists.txt): each window is announced as a window, named
# by its title; each Add of the rule editor names its row; each box its row or section, and
# only the holder and the credits are read-only. CMake skips it where pyatspi (Debian's
# python3-pyatspi, for /usr/bin/python3) or the accessibility bus is missing.
#   spoken_names.py PROGRAM
import os, pyatspi, subprocess, sys, tempfile, time


# The program's windows by role and name, once there are at least count of them.
def windows(count):
    for _ in range(150):
        found = {(w.getRoleName(), w.name): w for app in pyatspi.Registry.getDesktop(0)
                 if app and app.name == "rulecraft" for w in app}
        if len(found) >= count:
            break
        time.sleep(0.1)
    return found


with tempfile.TemporaryDirectory() as home:
    program = subprocess.Popen(sys.argv[1:], env=dict(os.environ, HOME=home, XDG_RUNTIME_DIR=home))
    for button in windows(1).get(("frame", "Rulecraft V1"), []):
        if button.name in ("Create TD:", "Create H#:", "Create Custom", "About"):
            button.queryAction().doAction(0)
    found = windows(5)
    # The Adds by name; every box by its name and whether it is read-only (Qt calls a
    # read-only line edit editable too).
    told = (sorted(found), [c.name for w in found.values() for c in w if c.name.startswith("Add ")],
            sorted(b.name + (" read-only" if b.getState().contains(pyatspi.STATE_READ_ONLY) else "")
                   for w in found.values() for b in pyatspi.findAllDescendants(
                       w, lambda n: n.getRoleName() in ("text", "combo box"))))
    program.terminate()
    program.wait()
rows = "Font Text Padding Border Margin Background".split()
expected = ([("dialog", t) for t in ("Custom Tag", "H#", "Rulecraft About", "td { PROPERTY : VALUE }")]
            + [("frame", "Rulecraft V1")], ["Add " + name for name in rows + ["Color", "Selection"]],
            sorted([s + " section" for s in "body a table hr headings custom".split()]
                   + [r + k for r in rows for k in (" sub-property", " sub-property", " value")]
                   + ["Color value", "Heading size", "Heading size", "Tag name",
                      "Declarations read-only", "Credits read-only"]))
sys.exit(0 if told == expected else f"told: {told}")
