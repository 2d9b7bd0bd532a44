#!/usr/bin/python3
# End-to-end scenarios: the built editor in its own X server, driven with the
# keyboard and the mouse through the real open-file dialog and message boxes,
# checked through window titles, the bytes of the image file, the exit status
# and the accessibility bus. CMake makes one test of each scenario_ function.

import os, pathlib, pyatspi, re, struct, subprocess
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


def scenario_startup(s):
    s.start_editor()
    hints = subprocess.run(["xprop", "-id", s.main, "WM_NORMAL_HINTS"], capture_output=True, text=True).stdout
    assert len(set(re.findall(r"(?:minimum|maximum) size: (.*)", hints))) == 1 and "maximum" in hints, hints
    assert not s.find("menu item", "Close ROM").getState().contains(pyatspi.STATE_SENSITIVE), "Close ROM"
    s.keys(s.main, "space")  # the Quit button has the focus
    assert s.wait_exit() == 0, "the Quit button: status %d" % s.editor.returncode


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


def scenario_refused_size(s):
    original = bytes((i * 7 + 3) & 0xFF for i in range(2097664))  # 2 MiB and a 512 byte header
    pathlib.Path(image := s.dir + "/headered.smc").write_bytes(original)
    s.start_editor()
    s.open_file(image)
    s.keys(s.window("Cannot Proceed"), "Return")
    assert s.wait_exit() >= 0 and read(image) == original, "status %d" % s.editor.returncode


def scenario_level_table(s):
    s.start_editor()
    original = read(sample := open_sample(s))
    wait_fields_show(s, "Hero", 1, original)
    s.keys(s.main, "ctrl+t")  # the Hero's table; level 1's HP has the focus
    table = s.window("Level Table")
    s.find("table cell", "Hero level 1 HP")
    s.type(table, "1234")
    s.keys(table, "Return")
    at = TABLE_BASE["Hero"]
    typed = original[:at] + struct.pack("<h", 1234) + original[at + 2:]
    wait_for("the typed HP to be written", lambda: read(sample) == typed)
    s.keys(table, "ctrl+z")
    wait_for("Ctrl+Z to write the old HP back", lambda: read(sample) == original)
    s.keys(table, "ctrl+shift+z")
    wait_for("Ctrl+Shift+Z to write the typed HP again", lambda: read(sample) == typed)
    s.keys(table, "Escape")
    wait_for("the Level Table to close", lambda: "Level Table" not in s.windows().values())
    wait_fields_show(s, "Hero", 1, typed)  # the main window reads its level again
    s.keys(s.main, "ctrl+q")
    assert s.wait_exit() == 0 and read(sample) == typed, "status %d" % s.editor.returncode


if __name__ == "__main__":
    with Session("scenario") as s:
        globals()["scenario_" + s.args.scenario](s)
