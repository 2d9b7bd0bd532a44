#!/usr/bin/python3
# Takes PNG screenshots of the built editor for the README and for review: the
# main window with no image open, each character's tab with the sample image
# open, the Level Table with a fill previewed (docs/screenshot-table.png) and
# the About window, through the end-to-end tests' driver (tests/e2e/).
#     packaging/screenshots.py --editor PATH --sample-maker PATH OUTPUT_FOLDER

import os, subprocess, sys
sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from harness import Session, read, wait_for, xdotool  # noqa: E402
from test_editor import open_sample, show_level  # noqa: E402

with Session("folder") as s:
    def shoot(window, name):
        s.keys(window, "shift")  # the round trip lets the editor finish drawing
        # From the screen, with a dialog open over the window.
        box = dict(line.split("=") for line in xdotool("getwindowgeometry", "--shell", window).split())
        subprocess.run(["import", "-window", "root", "-crop", "{WIDTH}x{HEIGHT}+{X}+{Y}".format(**box), "+repage",
                        os.path.join(s.args.folder, name)], check=True)
    os.makedirs(s.args.folder, exist_ok=True)
    s.start_editor()
    shoot(s.main, "main-closed.png")
    sample = open_sample(s)
    for character, level in [("Hero", 12), ("Sprite", 30), ("Girl", 45)]:
        show_level(s, character, level, read(sample))
        shoot(s.main, "main-%s.png" % character.lower())
    show_level(s, "Sprite", 30, read(sample))  # its levels 1 to 30 of Strength from 5 to 60 along an S-curve
    s.keys(s.main, "ctrl+t")
    s.keys(table := s.window("Level Table"), "Right", "Right", *["shift+Up"] * 29, "ctrl+f")
    s.keys(fill := s.window("Fill"), "ctrl+a")
    s.type(fill, "5")
    s.keys(fill, "Tab", "ctrl+a")
    s.type(fill, "60")
    s.keys(fill, "Tab", "End")
    shoot(table, "table.png")
    s.keys(fill, "Escape")
    s.keys(table, "Escape")
    wait_for("the Level Table to close", lambda: "Level Table" not in s.windows().values())
    s.keys(s.main, "F1")
    shoot(s.window("About this program..."), "about.png")
