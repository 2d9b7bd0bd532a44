#!/usr/bin/python3
"""End-to-end scenarios: the built editor in its own X server, driven with
the keyboard and the mouse, checked through window titles, the bytes of
the image file, the exit status and the texts the accessibility bus shows.

    test_editor.py --editor PATH --sample-maker PATH SCENARIO...
"""

import argparse
import os
import struct
import subprocess
import sys
import traceback

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from harness import (STARTUP_TITLE, VERSIONED_TITLE, Session, StepFailed, check,  # noqa: E402
                     describe_differences, read_bytes, wait_for)

# The level tables as the game stores them: 99 records of 8 bytes each,
# HP (signed, little-endian), MP, Strength, Agility, Constitution,
# Intelligence, Wisdom. Written out here, apart from the program's code.
TABLE_BASE = {"Hero": 0x104210, "Girl": 0x104528, "Sprite": 0x104840}
TABLES_BEGIN, TABLES_END = 0x104210, 0x104B58
ROWS = ["HP", "MP", "Strength", "Agility", "Constitution", "Intelligence", "Wisdom"]
HERO_ROWS = [row for row in ROWS if row != "MP"]
HEADERED_SIZE = 2097664

CONFIRM_TITLE = "Are you sure about that?"
ABOUT_TITLE = "About this program..."


def record_offset(character, level):
    return TABLE_BASE[character] + 8 * (level - 1)


def decode_record(data, offset):
    hp, mp, *stats = struct.unpack_from("<hB5B", data, offset)
    return dict(zip(ROWS, [hp, mp] + stats))


def encode_record(values):
    return struct.pack("<hB5B", *(values[row] for row in ROWS))


def expect_only(before, after, offset, new_bytes, what):
    """after must be before with new_bytes at offset and nothing else."""
    expected = before[:offset] + new_bytes + before[offset + len(new_bytes):]
    check(after == expected, "%s: expected only the %d bytes at 0x%06X to change; %s"
          % (what, len(new_bytes), offset, describe_differences(expected, after)))


def wait_file(path, expected, what):
    """The editor writes field by field: wait until the file holds what it
    should, then report the difference if it never does."""
    try:
        wait_for(what, lambda: read_bytes(path) == expected)
    except StepFailed:
        raise StepFailed("%s: %s" % (what, describe_differences(expected, read_bytes(path))))


def shown_values(s, rows):
    fields = s.stat_fields()
    return {row: s.text_of(fields[row]) for row in rows if row in fields}


def wait_fields_show(s, character, level, data):
    rows = ROWS if character != "Hero" else HERO_ROWS
    record = decode_record(data, record_offset(character, level))
    expected = {row: str(record[row]) for row in rows}
    wait_for(lambda: "the %s fields to show level %d %r (they show %r)"
             % (character, level, expected, shown_values(s, ROWS)),
             lambda: shown_values(s, ROWS) == expected)


def edit_field(s, field, text):
    s.click(field)
    s.keys(s.main_window, "ctrl+a")
    s.type_text(s.main_window, text)


def open_sample(s, path):
    s.open_file(path)
    s.wait_main_title(VERSIONED_TITLE)
    wait_fields_show(s, "Hero", 1, read_bytes(path))


def quit_with_ctrl_q(s):
    s.keys(s.main_window, "ctrl+q")
    code = s.wait_editor_exit()
    check(code == 0, "Ctrl+Q: the editor ended with status %d, not 0" % code)


def proves_no_modal_box(s, what):
    """Presses F1: the About window opens only if no modal box took the
    keyboard. Closes it again with Enter."""
    s.keys(s.main_window, "F1")
    about = s.wait_window(ABOUT_TITLE)
    check(s.find_window(CONFIRM_TITLE) is None, what + " asked for a confirmation")
    s.keys(about, "Return")
    s.wait_window_gone(ABOUT_TITLE)


def message_texts(s, title):
    node = wait_for("the box %r on the accessibility bus" % title,
                    lambda: s.window_node(title))
    return s.texts_in(node)


# ------------------------------------------------------------ scenarios

def scenario_startup(s):
    s.start_editor()
    check(s.main_title() == STARTUP_TITLE, "start-up title is %r" % s.main_title())
    hints = s.window_size_hints(s.main_window)
    check("minimum size" in hints and "maximum size" in hints and
          hints.split("minimum size:")[1].split("\n")[0].strip() ==
          hints.split("maximum size:")[1].split("\n")[0].strip(),
          "the main window can be resized: %s" % hints.strip())

    for caption in ["Close ROM", "Maximize Hero's Level Stats", "Maximize Sprite's Level Stats",
                    "Maximize Girl's Level Stats", "Maximize Everyone's Level Stats"]:
        check(not s.is_enabled(s.menu_item(caption)), "%r is not greyed at start-up" % caption)
    for caption in ["Open ROM", "Quit", "About"]:
        check(s.is_enabled(s.menu_item(caption)), "%r is greyed at start-up" % caption)
    check(s.stat_fields() == {}, "stat fields are on show before an image is open")
    check(s.node("label", "Info goes here!!!", showing=True), "no information line")
    quit_button = s.node("push button", "Quit")
    check(s.is_focused(quit_button), "the Quit button does not have the focus at start-up")

    # The greyed items' shortcuts do nothing: Close ROM would set the
    # versioned title, Maximize would ask first.
    s.keys(s.main_window, "ctrl+u")
    s.keys(s.main_window, "F9")
    proves_no_modal_box(s, "F9 without an image")
    check(s.main_title() == STARTUP_TITLE,
          "Ctrl+U without an image changed the title to %r" % s.main_title())

    # The Quit button has the focus: Space presses it.
    s.keys(s.main_window, "space")
    code = s.wait_editor_exit()
    check(code == 0, "the Quit button ended the editor with status %d, not 0" % code)


def scenario_open(s):
    sample = s.make_sample()
    original = read_bytes(sample)
    s.start_editor()
    open_sample(s, sample)
    for caption in ["Close ROM", "Maximize Hero's Level Stats", "Maximize Everyone's Level Stats"]:
        check(s.is_enabled(s.menu_item(caption)), "%r is greyed with an image open" % caption)
    check(sorted(s.stat_fields()) == sorted(HERO_ROWS),
          "the Hero panel shows the rows %r" % sorted(s.stat_fields()))
    check(s.is_enabled(s.save_button()),
          "the Hero's Save Level button is disabled after opening")
    check(read_bytes(sample) == original,
          "opening changed the image: " + describe_differences(original, read_bytes(sample)))

    # Close ROM: versioned title, no panel, the maximize items greyed again.
    s.keys(s.main_window, "ctrl+u")
    wait_for("the panel to close", lambda: s.stat_fields() == {})
    check(s.main_title() == VERSIONED_TITLE, "after Close ROM the title is %r" % s.main_title())
    check(not s.is_enabled(s.menu_item("Maximize Everyone's Level Stats")),
          "Maximize Everyone's Level Stats is not greyed after Close ROM")
    s.keys(s.main_window, "F9")
    proves_no_modal_box(s, "F9 after Close ROM")

    open_sample(s, sample)
    quit_with_ctrl_q(s)
    check(read_bytes(sample) == original,
          "the session changed the image: " + describe_differences(original, read_bytes(sample)))


def scenario_save_level(s):
    sample = s.make_sample()
    # A Hero record keeps a stray MP byte: saving it must write 0 there.
    with open(sample, "r+b") as f:
        f.seek(record_offset("Hero", 1) + 2)
        f.write(b"\x5a")
    s.start_editor()
    open_sample(s, sample)

    # Hero, level 1, already selected by the opening.
    before = read_bytes(sample)
    old = decode_record(before, record_offset("Hero", 1))
    typed = {"HP": "-45", "Strength": "777", "Agility": "8", "Constitution": "90",
             "Intelligence": "12", "Wisdom": "3"}
    if str(old["Agility"]) == "8":
        typed["Agility"] = "9"
    fields = s.stat_fields()
    for row, text in typed.items():
        edit_field(s, fields[row], text)
    check(s.text_of(fields["Strength"]) == "77",
          "typing 777 into Strength left %r" % s.text_of(fields["Strength"]))
    s.click(s.save_button())
    saved = {"HP": -45, "MP": 0, "Strength": 77, "Agility": int(typed["Agility"]),
             "Constitution": 90, "Intelligence": 12, "Wisdom": 3}
    offset = record_offset("Hero", 1)
    expected = before[:offset] + encode_record(saved) + before[offset + 8:]
    wait_file(sample, expected, "Save Level of Hero level 1")

    # Sprite, level 99: the last record of the tables.
    s.click(s.node("page tab", "Sprite's Levels"))
    wait_for("the Sprite panel", lambda: "MP" in s.stat_fields())
    save = s.save_button()
    check(not s.is_enabled(save), "Sprite's Save Level is enabled right after the tab switch")
    sprite_list = [n for n in s.nodes(role="list") if s.is_showing(n)]
    check(len(sprite_list) == 1, "expected one level list on show, found %d" % len(sprite_list))
    s.click(sprite_list[0])
    s.keys(s.main_window, "End")
    wait_fields_show(s, "Sprite", 99, read_bytes(sample))
    check(s.is_enabled(save), "Sprite's Save Level stays disabled after choosing a level")

    before = read_bytes(sample)
    typed = {"HP": "999", "MP": "250", "Strength": "1", "Agility": "22", "Constitution": "33",
             "Intelligence": "44", "Wisdom": "55"}
    fields = s.stat_fields()
    for row, text in typed.items():
        edit_field(s, fields[row], text)
    s.click(save)
    saved = {row: int(text) for row, text in typed.items()}
    offset = record_offset("Sprite", 99)
    expected = before[:offset] + encode_record(saved) + before[offset + 8:]
    check(offset + 8 == TABLES_END, "test data: Sprite level 99 is not the last record")
    wait_file(sample, expected, "Save Level of Sprite level 99")

    # The Quit button, pressed while "Saved!" may still flash.
    s.click(s.node("push button", "Quit"))
    code = s.wait_editor_exit()
    check(code == 0, "the Quit button ended the editor with status %d, not 0" % code)
    after = read_bytes(sample)
    check(after == expected, "after quitting: " + describe_differences(expected, after))


def scenario_maximize(s):
    sample = s.make_sample()
    original = read_bytes(sample)
    s.start_editor()
    open_sample(s, sample)

    # Maximize the Hero, answered No (Escape).
    s.keys(s.main_window, "F6")
    box = s.wait_window(CONFIRM_TITLE)
    check("Are you sure you want to Maximize the Hero's stats?  This cannot be undone!"
          in message_texts(s, CONFIRM_TITLE), "F6 asks %r" % message_texts(s, CONFIRM_TITLE))
    s.keys(box, "Escape")
    s.wait_window_gone(CONFIRM_TITLE)
    proves_no_modal_box(s, "answering No")
    check(read_bytes(sample) == original,
          "answering No changed the image: " + describe_differences(original, read_bytes(sample)))

    # Maximize everyone: Enter on the question (Yes is the default), Enter
    # on the report.
    s.keys(s.main_window, "F9")
    box = s.wait_window(CONFIRM_TITLE)
    check("Are you sure you want to Maximize everyone's stats?  This cannot be undone!"
          in message_texts(s, CONFIRM_TITLE), "F9 asks %r" % message_texts(s, CONFIRM_TITLE))
    s.keys(box, "Return")
    report = s.wait_window("Max'd them all!")
    check(s.find_window(CONFIRM_TITLE) is None, "the question is still shown with the report")
    s.keys(report, "Return")
    s.wait_window_gone("Max'd them all!")

    hero = encode_record({"HP": 999, "MP": 0, "Strength": 99, "Agility": 99, "Constitution": 99,
                          "Intelligence": 99, "Wisdom": 99})
    others = encode_record({"HP": 999, "MP": 99, "Strength": 99, "Agility": 99,
                            "Constitution": 99, "Intelligence": 99, "Wisdom": 99})
    tables = hero * 99 + others * 198
    check(len(tables) == 2376 == TABLES_END - TABLES_BEGIN, "test data: table size")
    expect_only(original, read_bytes(sample), TABLES_BEGIN, tables, "Maximize Everyone")

    # The fields keep what they showed until a level is chosen again.
    wait_fields_show(s, "Hero", 1, original)
    quit_with_ctrl_q(s)
    expect_only(original, read_bytes(sample), TABLES_BEGIN, tables, "after quitting")


def scenario_about(s):
    s.start_editor()
    for _ in range(2):  # built afresh each time: the text never piles up
        s.keys(s.main_window, "F1")
        about = s.wait_window(ABOUT_TITLE)
        texts = "\n".join(message_texts(s, ABOUT_TITLE))
        check(texts.count("Version: 0.22b") == 1,
              "the About window shows %r" % texts)
        s.keys(about, "Return")
        s.wait_window_gone(ABOUT_TITLE)
    check(s.editor_running(), "closing the About window ended the editor")
    quit_with_ctrl_q(s)


def scenario_refused_size(s):
    image = s.path("headered.smc")
    with open(image, "wb") as f:
        f.write(bytes((i * 7 + 3) & 0xFF for i in range(HEADERED_SIZE)))
    original = read_bytes(image)
    s.start_editor()
    s.open_file(image)
    box = s.wait_window("Cannot Proceed")
    check("This ROM has a 200 byte header that must be removed before using this program."
          in message_texts(s, "Cannot Proceed"),
          "the refusal says %r" % message_texts(s, "Cannot Proceed"))
    s.keys(box, "Return")
    code = s.wait_editor_exit()
    check(code >= 0, "the editor was killed by signal %d after the refusal" % -code)
    after = read_bytes(image)
    check(after == original, "the refused image changed: " + describe_differences(original, after))


SCENARIOS = {name[len("scenario_"):]: fn for name, fn in globals().items()
             if name.startswith("scenario_")}


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--editor", required=True)
    parser.add_argument("--sample-maker", required=True)
    parser.add_argument("--keep", action="store_true", help="keep the run's files")
    parser.add_argument("scenarios", nargs="*", help="default: all of %s" % sorted(SCENARIOS))
    args = parser.parse_args()
    names = args.scenarios or sorted(SCENARIOS)
    for name in names:
        if name not in SCENARIOS:
            parser.error("no scenario %r" % name)
    if len(names) > 1:
        # One process a scenario: each has its own display and buses.
        failed = []
        for name in names:
            command = [sys.executable, os.path.abspath(__file__), "--editor", args.editor,
                       "--sample-maker", args.sample_maker] + (["--keep"] if args.keep else [])
            if subprocess.run(command + [name]).returncode != 0:
                failed.append(name)
        print("e2e: %d of %d scenarios failed %s" % (len(failed), len(names), failed or ""))
        return 1 if failed else 0
    name = names[0]
    print("e2e: %s ..." % name, flush=True)
    try:
        with Session(args.editor, args.sample_maker, keep_dir=args.keep) as session:
            SCENARIOS[name](session)
    except StepFailed as error:
        print("e2e: %s FAILED: %s" % (name, error), flush=True)
        return 1
    except Exception:
        traceback.print_exc()
        print("e2e: %s FAILED" % name, flush=True)
        return 1
    print("e2e: %s passed" % name, flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
