#!/usr/bin/python3
"""Takes PNG screenshots of the built editor for the README and for review:
the main window with no image open, each character's tab with the sample
image open, and the About window.

    screenshots.py --editor PATH --sample-maker PATH OUTPUT_FOLDER
"""

import argparse
import os
import sys

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import Session, StepFailed, wait_for  # noqa: E402
from test_editor import ABOUT_TITLE, open_sample, wait_fields_show  # noqa: E402
from harness import read_bytes  # noqa: E402

# The level each tab shows, reached with the Down key from Level 1.
TABS = [("Hero", "Hero's Levels", 12), ("Sprite", "Sprite's Levels", 30),
        ("Girl", "Girl's Levels", 45)]


def settle(s, wid):
    """Waits until the X server has drawn what the editor asked for: a
    round trip through the editor's event loop (xdotool --sync waits for the
    focus change to be seen) is enough for Qt's synchronous repaint."""
    s.focus(wid)


def take(s, wid, folder, name):
    settle(s, wid)
    path = os.path.join(folder, name)
    s.screenshot(wid, path)
    print("wrote", path)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--editor", required=True)
    parser.add_argument("--sample-maker", required=True)
    parser.add_argument("folder")
    args = parser.parse_args()
    folder = os.path.abspath(args.folder)
    os.makedirs(folder, exist_ok=True)

    with Session(args.editor, args.sample_maker) as s:
        s.start_editor()
        take(s, s.main_window, folder, "main-closed.png")

        sample = s.make_sample()
        open_sample(s, sample)
        data = read_bytes(sample)
        for character, tab, level in TABS:
            s.click(s.node("page tab", tab))
            lists = wait_for("the %s level list" % character,
                             lambda: [n for n in s.nodes(role="list") if s.is_showing(n)])
            s.click(lists[0])
            s.keys(s.main_window, "Home", *(["Down"] * (level - 1)))
            wait_fields_show(s, character, level, data)
            take(s, s.main_window, folder, "main-%s.png" % character.lower())

        s.keys(s.main_window, "F1")
        about = s.wait_window(ABOUT_TITLE)
        take(s, about, folder, "about.png")
        s.keys(about, "Return")
        s.wait_window_gone(ABOUT_TITLE)
        s.keys(s.main_window, "ctrl+q")
        s.wait_editor_exit()
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except StepFailed as error:
        print("screenshots: " + str(error), file=sys.stderr)
        sys.exit(1)
