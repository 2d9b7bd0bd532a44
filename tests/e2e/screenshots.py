#!/usr/bin/python3
# Takes PNG screenshots of the built editor for the README and for review: the
# main window with no image open, each character's tab with the sample image
# open, and the About window.
#     screenshots.py --editor PATH --sample-maker PATH OUTPUT_FOLDER

import os, subprocess, sys
sys.dont_write_bytecode = True  # keep the source tree clean
from harness import Session, read  # noqa: E402
from test_editor import open_sample, show_level  # noqa: E402

with Session("folder") as s:
    def shoot(window, name):
        s.keys(window, "shift")  # the round trip lets the editor finish drawing
        subprocess.run(["import", "-window", window, os.path.join(s.args.folder, name)], check=True)
    os.makedirs(s.args.folder, exist_ok=True)
    s.start_editor()
    shoot(s.main, "main-closed.png")
    sample = open_sample(s)
    for character, level in [("Hero", 12), ("Sprite", 30), ("Girl", 45)]:
        show_level(s, character, level, read(sample))
        shoot(s.main, "main-%s.png" % character.lower())
    s.keys(s.main, "F1")
    shoot(s.window("About this program..."), "about.png")
