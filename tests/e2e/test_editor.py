#!/usr/bin/python3
# End-to-end scenarios: the built editor in its own X server, driven with the
# keyboard and the mouse through the real open-file dialog and message boxes,
# checked through window titles, the bytes of the image file, the exit status
# and the accessibility bus. CMake makes one test of each scenario_ function.

import os, struct, subprocess
from harness import Session, read, wait_for

# The level tables as the game stores them, written out apart from the
# program's code: 99 records of 8 bytes each, HP (signed, little-endian), MP,
# Strength, Agility, Constitution, Intelligence, Wisdom. The Hero has no MP.
TABLE_BASE, TABLES_END = {"Hero": 0x104210, "Girl": 0x104528, "Sprite": 0x104840}, 0x104B58
ROWS = ["HP", "MP", "Strength", "Agility", "Constitution", "Intelligence", "Wisdom"]
RECORD = struct.Struct("<hB5B")


def wait_fields_show(s, character, level, data):
    # Waits until the character's fields show the level's record in data; gives them by row.
    values = dict(zip(ROWS, RECORD.unpack_from(data, TABLE_BASE[character] + 8 * (level - 1))))
    texts = wait_for("the text fields", lambda: s.nodes("text"))
    fields = {row: texts[character + " " + row] for row in ROWS if character + " " + row in texts}
    wait_for(lambda: "%s level %d to show %s" % (character, level, values),
             lambda: all(s.text(field) == str(values[row]) for row, field in fields.items()))
    return fields


def open_sample(s):
    subprocess.run([s.args.sample_maker, sample := s.dir + "/sample.sfc"], check=True)
    s.open_file(sample)
    return sample


def show_level(s, character, level, data):
    # Chooses the level on the character's tab; waits until the fields show it and gives them.
    s.click(s.find("page tab", character + "'s Levels"))
    s.click(s.find("list", character + " levels"))
    s.keys(s.main, "Home", *["Down"] * (level - 1))
    return wait_fields_show(s, character, level, data)


def scenario_edit(s):
    s.start_editor()
    original = read(sample := open_sample(s))
    fields = show_level(s, "Sprite", 99, original)  # the last record of the tables
    for row, typed in zip(ROWS, ["-45", "250", "777", "22", "33", "44", "55"]):
        s.click(fields[row])
        s.keys(s.main, "ctrl+a")
        s.type(s.main, typed)
    assert s.text(fields["Strength"]) == "77", "Strength took more than two digits"
    s.click(s.find("push button", "Save Sprite level"))
    saved = original[:TABLES_END - 8] + RECORD.pack(-45, 250, 77, 22, 33, 44, 55) + original[TABLES_END:]
    wait_for("Save Level to write the record", lambda: read(sample) == saved)
    s.keys(s.main, "F9")  # Maximize everyone: Yes is the default, then the report
    s.keys(s.window("Are you sure about that?"), "Return")
    s.keys(s.window("Max'd them all!"), "Return")
    wait_for("the report to close", lambda: "Max'd them all!" not in s.windows().values())
    tables = RECORD.pack(999, 0, 99, 99, 99, 99, 99) * 99 + RECORD.pack(999, 99, 99, 99, 99, 99, 99) * 198
    assert read(sample) == original[:TABLE_BASE["Hero"]] + tables + original[TABLES_END:], "Maximize Everyone"
    s.keys(s.main, "ctrl+q")
    assert s.wait_exit() == 0, "Ctrl+Q: status %d" % s.editor.returncode


def scenario_command_line(s):
    empty = subprocess.run([s.args.editor, ""], capture_output=True, text=True, timeout=20)
    assert (empty.returncode, empty.stderr.splitlines()[-1:]) == (2, [
        "thornwake-editor: the FILE argument is empty; name a ROM image or leave FILE out."]), empty
    subprocess.run([s.args.sample_maker, sample := s.dir + os.fsdecode(b"/\xe9t\xe9.sfc")], check=True)
    s.start_editor(sample, title="Thornwake Level & Stat Editor (v0.22b)")  # a name that is not UTF-8
    wait_fields_show(s, "Hero", 1, read(sample))
    s.keys(s.main, "ctrl+q")
    assert s.wait_exit() == 0, "Ctrl+Q: status %d" % s.editor.returncode


if __name__ == "__main__":
    with Session("scenario") as s:
        globals()["scenario_" + s.args.scenario](s)
