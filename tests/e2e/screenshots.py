#!/usr/bin/python3
"""Takes PNG screenshots of the built editor for the README and for review:
the main window with no image open, each character's tab with the sample
image open, and the About window.

    screenshots.py --editor PATH --sample-maker PATH OUTPUT_FOLDER
"""

import os
import sys

sys.dont_write_bytecode = True  # keep the source tree clean

from harness import read_bytes, session_from_arguments  # noqa: E402
from test_editor import ABOUT_TITLE, open_sample, show_level_list, wait_fields_show  # noqa: E402


def main():
    session, args = session_from_arguments(__doc__, ("folder", None))
    folder = os.path.abspath(args.folder)
    os.makedirs(folder, exist_ok=True)
    with session as s:
        s.screenshot(s.start_editor(), os.path.join(folder, "main-closed.png"))
        sample = s.make_sample()
        open_sample(s, sample)
        for character, level in [("Hero", 12), ("Sprite", 30), ("Girl", 45)]:
            show_level_list(s, "%s's Levels" % character)
            s.keys(s.main_window, "Home", *["Down"] * (level - 1))
            wait_fields_show(s, character, level, read_bytes(sample))
            s.screenshot(s.main_window, os.path.join(folder, "main-%s.png" % character.lower()))
        s.keys(s.main_window, "F1")
        about = s.wait_window(ABOUT_TITLE)
        s.screenshot(about, os.path.join(folder, "about.png"))
        s.keys(about, "Return")
        s.wait_window_gone(ABOUT_TITLE)
        s.keys(s.main_window, "ctrl+q")
        s.wait_exit()


if __name__ == "__main__":
    main()
