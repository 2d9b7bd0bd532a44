#!/usr/bin/python3
"""End-to-end scenarios: the built editor in its own X server, driven with
the keyboard and the mouse, checked through window titles, the bytes of the
image file, the exit status and what the accessibility bus shows."""

import struct
import sys

sys.dont_write_bytecode = True  # keep the source tree clean

from harness import (STARTUP_TITLE, VERSIONED_TITLE, StepFailed, check,  # noqa: E402
                     differences, read_bytes, session_from_arguments, wait_for)

# The level tables as the game stores them, written out here apart from the
# program's code: 99 records of 8 bytes each, HP (signed, little-endian),
# MP, Strength, Agility, Constitution, Intelligence, Wisdom.
TABLE_BASE = {"Hero": 0x104210, "Girl": 0x104528, "Sprite": 0x104840}
TABLES_BEGIN, TABLES_END = 0x104210, 0x104B58
ROWS = ["HP", "MP", "Strength", "Agility", "Constitution", "Intelligence", "Wisdom"]
CONFIRM_TITLE = "Are you sure about that?"
ABOUT_TITLE = "About this program..."


def record_offset(character, level):
    return TABLE_BASE[character] + 8 * (level - 1)


def record(*values):
    return struct.pack("<hB5B", *values)


def check_file(path, expected, what):
    """The editor writes field by field: waits until the file holds what it
    should."""
    try:
        wait_for(what, lambda: read_bytes(path) == expected)
    except StepFailed:
        raise StepFailed("%s: %s" % (what, differences(expected, read_bytes(path))))


def wait_fields_show(s, character, level, data):
    """The panel on show has exactly the character's rows, with the values
    of the record in data."""
    values = struct.unpack_from("<hB5B", data, record_offset(character, level))
    expected = {row: str(v) for row, v in zip(ROWS, values) if character != "Hero" or row != "MP"}

    def shown():
        return {row: s.text_of(field) for row, field in s.stat_fields().items()}
    wait_for(lambda: "the %s fields to show level %d %r (they show %r)"
             % (character, level, expected, shown()), lambda: shown() == expected)


def open_sample(s, path):
    s.open_file(path)
    wait_for(lambda: "the versioned title (it is %r)" % s.main_title(),
             lambda: s.main_title() == VERSIONED_TITLE)
    wait_fields_show(s, "Hero", 1, read_bytes(path))


def quit_with_ctrl_q(s):
    s.keys(s.main_window, "ctrl+q")
    check(s.wait_exit() == 0, "Ctrl+Q: the editor ended with status %d" % s.editor_proc.returncode)


def show_level_list(s, tab):
    s.click(s.node("page tab", tab))
    lists = wait_for("the level list of " + tab, lambda: s.nodes("list"))
    s.click(lists[0])


# ------------------------------------------------------------ scenarios

def scenario_startup(s):
    s.start_editor()
    check(s.main_title() == STARTUP_TITLE, "start-up title is %r" % s.main_title())
    limits = s.size_limits(s.main_window)
    check(len(limits) == 2 and limits[0] == limits[1], "the window is resizable: %r" % limits)
    for caption in ["Close ROM", "Maximize Hero's Level Stats", "Maximize Sprite's Level Stats",
                    "Maximize Girl's Level Stats", "Maximize Everyone's Level Stats"]:
        check(not s.has(s.node("menu item", caption, showing=False), "SENSITIVE"),
              "%r is not greyed at start-up" % caption)
    check(s.has(s.node("push button", "Quit"), "FOCUSED"), "the Quit button has no focus")
    s.keys(s.main_window, "space")
    check(s.wait_exit() == 0, "the Quit button: status %d" % s.editor_proc.returncode)


def scenario_open(s):
    sample = s.make_sample()
    original = read_bytes(sample)
    s.start_editor()
    open_sample(s, sample)
    quit_with_ctrl_q(s)
    check(read_bytes(sample) == original, "opening changed the image: "
          + differences(original, read_bytes(sample)))


def scenario_save_level(s):
    sample = s.make_sample()
    with open(sample, "r+b") as f:  # a stray MP byte in a Hero record: saving writes 0
        f.seek(record_offset("Hero", 1) + 2)
        f.write(b"\x5a")
    s.start_editor()
    open_sample(s, sample)
    hero_agility = read_bytes(sample)[record_offset("Hero", 1) + 4]
    agility = "9" if hero_agility == 8 else "8"  # a change whatever the sample holds
    # Hero level 1, selected by the opening; Strength takes two digits only.
    # Sprite level 99, the last record of the tables.
    for character, typed, saved in [
            ("Hero", {"HP": "-45", "Strength": "777", "Agility": agility, "Constitution": "90",
                      "Intelligence": "12", "Wisdom": "3"},
             record(-45, 0, 77, int(agility), 90, 12, 3)),
            ("Sprite", dict(zip(ROWS, ["999", "250", "1", "22", "33", "44", "55"])),
             record(999, 250, 1, 22, 33, 44, 55))]:
        level = 1
        if character == "Sprite":
            show_level_list(s, "Sprite's Levels")
            s.keys(s.main_window, "End")
            level = 99
            wait_fields_show(s, character, level, read_bytes(sample))
        before = read_bytes(sample)
        fields = s.stat_fields()
        for row, text in typed.items():
            s.click(fields[row])
            s.keys(s.main_window, "ctrl+a")
            s.type_text(s.main_window, text)
        check(character != "Hero" or s.text_of(fields["Strength"]) == "77",
              "typing 777 into Strength left %r" % s.text_of(fields["Strength"]))
        s.click(s.node("push button", "Save %s level" % character))
        offset = record_offset(character, level)
        expected = before[:offset] + saved + before[offset + 8:]
        check_file(sample, expected, "Save Level of %s level %d" % (character, level))
    check(offset + 8 == TABLES_END, "test data: Sprite level 99 is not the last record")

    # The Quit button, pressed while "Saved!" may still flash.
    s.click(s.node("push button", "Quit"))
    check(s.wait_exit() == 0, "the Quit button: status %d" % s.editor_proc.returncode)
    check(read_bytes(sample) == expected, "after quitting: "
          + differences(expected, read_bytes(sample)))


def scenario_maximize(s):
    sample = s.make_sample()
    original = read_bytes(sample)
    s.start_editor()
    open_sample(s, sample)

    s.keys(s.main_window, "F6")  # Maximize the Hero, answered No
    s.keys(s.wait_window(CONFIRM_TITLE), "Escape")
    s.wait_window_gone(CONFIRM_TITLE)
    check(read_bytes(sample) == original, "answering No changed the image: "
          + differences(original, read_bytes(sample)))

    s.keys(s.main_window, "F9")  # Maximize everyone: Yes is the default, then the report
    s.keys(s.wait_window(CONFIRM_TITLE), "Return")
    s.keys(s.wait_window("Max'd them all!"), "Return")
    s.wait_window_gone("Max'd them all!")
    tables = record(999, 0, 99, 99, 99, 99, 99) * 99 + record(999, 99, 99, 99, 99, 99, 99) * 198
    check(len(tables) == 2376 == TABLES_END - TABLES_BEGIN, "test data: table size")
    expected = original[:TABLES_BEGIN] + tables + original[TABLES_END:]
    check(read_bytes(sample) == expected, "Maximize Everyone: "
          + differences(expected, read_bytes(sample)))
    wait_fields_show(s, "Hero", 1, original)  # kept until a level is chosen again
    quit_with_ctrl_q(s)
    check(read_bytes(sample) == expected, "after quitting: "
          + differences(expected, read_bytes(sample)))


def scenario_about(s):
    s.start_editor()
    s.keys(s.main_window, "F1")
    s.keys(s.wait_window(ABOUT_TITLE), "Return")
    s.wait_window_gone(ABOUT_TITLE)
    check(s.editor_proc.poll() is None, "closing the About window ended the editor")
    quit_with_ctrl_q(s)


def scenario_refused_size(s):
    image = s.path("headered.smc")
    original = bytes((i * 7 + 3) & 0xFF for i in range(2097664))  # 2 MiB and a 512 byte header
    with open(image, "wb") as f:
        f.write(original)
    s.start_editor()
    s.open_file(image)
    s.keys(s.wait_window("Cannot Proceed"), "Return")
    code = s.wait_exit()
    check(code >= 0, "the editor was killed by signal %d after the refusal" % -code)
    check(read_bytes(image) == original, "the refused image changed: "
          + differences(original, read_bytes(image)))


def scenario_level_table(s):
    sample = s.make_sample()
    original = read_bytes(sample)
    s.start_editor()
    open_sample(s, sample)
    s.keys(s.main_window, "ctrl+t")  # the Hero's table; level 1's HP has the focus
    table = s.wait_window("Level Table")
    check(s.node("table cell", "Hero level 1 HP") is not None, "no cell named Hero level 1 HP")
    s.type_text(table, "1234")
    s.keys(table, "Return")
    offset = record_offset("Hero", 1)
    typed = original[:offset] + struct.pack("<h", 1234) + original[offset + 2:]
    check_file(sample, typed, "typing 1234 into the Hero's level 1 HP")
    s.keys(table, "ctrl+z")
    check_file(sample, original, "Ctrl+Z in the Level Table")
    s.keys(table, "Escape")
    s.wait_window_gone("Level Table")
    wait_fields_show(s, "Hero", 1, original)
    quit_with_ctrl_q(s)
    check(read_bytes(sample) == original, "after quitting: " + differences(original, read_bytes(sample)))


SCENARIOS = {name[len("scenario_"):]: fn for name, fn in globals().items()
             if name.startswith("scenario_")}


if __name__ == "__main__":
    session, args = session_from_arguments(__doc__, ("scenario", sorted(SCENARIOS)))
    with session:
        SCENARIOS[args.scenario](session)
    print("e2e: %s passed" % args.scenario)
