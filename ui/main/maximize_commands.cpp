// The maximize commands of the Features menu: the question, the run, the report.

#include <QCoreApplication>
#include <QString>

#include "desktop.h"
#include "main/character_panel.h"
#include "main/main_window.h"
#include "main/maximize_commands.h"
#include "record_writes.h"
#include "text.h"

namespace thornwake {

#define THORNWAKE_MAXED_STATS "99 Strength, 99 Agility, 99 Constitution, 99 Intelligence and 99 Wisdom."

const std::array<MaximizeCommand, 4> MaximizeCommands = {{
    {"mnuMaxHero", "Maximize Hero's Level Stats", Qt::Key_F6,
     "Are you sure you want to Maximize the Hero's stats?  This cannot be undone!", "Max'd the Hero!",
     "All 99 of the Hero's Level Stats are set to 999 HP and " THORNWAKE_MAXED_STATS, CharacterId::Hero},
    {"mnuMaxSprite", "Maximize Sprite's Level Stats", Qt::Key_F7,
     "Are you sure you want to Maximize the Sprite's stats?  This cannot be undone!", "Max'd the Sprite!",
     "All 99 of the Sprite's Level Stats are set to 999 HP and " THORNWAKE_MAXED_STATS, CharacterId::Sprite},
    {"mnuMaxGirl", "Maximize Girl's Level Stats", Qt::Key_F8,
     "Are you sure you want to Maximize the Girl's stats?  This cannot be undone!", "Max'd the Girl!",
     "All 99 of the Girl's Level Stats are set to 999 HP / 99 MP and " THORNWAKE_MAXED_STATS, CharacterId::Girl},
    {"mnuMaxAll", "Maximize Everyone's Level Stats", Qt::Key_F9,
     "Are you sure you want to Maximize everyone's stats?  This cannot be undone!", "Max'd them all!",
     "All 99 of each of the character's Level Stats are set to 999 HP / 99 MP and " THORNWAKE_MAXED_STATS,
     std::nullopt},
}};

#undef THORNWAKE_MAXED_STATS

// ---- Features menu ---------------------------------------------------------

void Main::mnuMaxHero_Click() { RunMaximize(MaximizeCommands[0]); }
void Main::mnuMaxSprite_Click() { RunMaximize(MaximizeCommands[1]); }
void Main::mnuMaxGirl_Click() { RunMaximize(MaximizeCommands[2]); }
void Main::mnuMaxAll_Click() { RunMaximize(MaximizeCommands[3]); }

void Main::RunMaximize(const MaximizeCommand& command) {
    if (ended_) return;
    const auto answer = desktop_.showMessage(this, QMessageBox::Question, QStringLiteral("Are you sure about that?"),
                                             QString::fromLatin1(command.question), QMessageBox::Yes | QMessageBox::No,
                                             QMessageBox::Yes);
    if (ended_ || answer != QMessageBox::Yes) return;

    // Nothing is written unless the file is still the one opened and no
    // other program is writing it; the lock is held for the whole run.
    std::optional<WriterLock> lock(std::in_place, rom_);
    if (Status locked = lockForWriting(*lock); !locked) {
        warn(QStringLiteral("Cannot Maximize"), Text(locked.message()) + QStringLiteral("\n\nNothing was written."));
        return;
    }
    // Other commands run in between the records; none of them may write or
    // close the image meanwhile, and Quit waits for the record being written.
    maximizing_ = true;
    setRomCommandsEnabled(true);
    const std::vector<RecordWrite> writes = MaximizeWrites(command.character);
    const WriteReport report = WriteRecords(rom_, writes, [this] {
        QCoreApplication::processEvents();
        return !quitAfterRun_;
    });
    maximizing_ = false;
    setRomCommandsEnabled(rom_.IsOpen());
    lock.reset();  // released before any message box
    // The fields keep what they show; a level shown there that the run wrote
    // holds the maximum now, as far as a save is concerned.
    const std::vector<RecordWrite> written = WrittenPart(writes, report);
    for (const RecordWrite& write : written) {
        const auto index = static_cast<std::size_t>(write.character);
        if (shown_[index] && panel(write.character).levelList()->selectedRow() == write.levelIndex) {
            shown_[index] = DecodeLevelRecord(write.replacement);
        }
    }
    if (quitAfterRun_) {
        desktop_.showMessage(
            this, QMessageBox::Information, QStringLiteral("Maximize Stopped"),
            QStringLiteral("Quit stopped the maximize run.\n\n") + Text(WhatReachedTheFile(rom_, writes, report)),
            QMessageBox::Ok, QMessageBox::Ok);
        endProgram(0);
        return;
    }
    if (ended_) return;
    if (!report.ok()) {
        warn(QStringLiteral("Cannot Maximize"),
             Text(report.error.message()) + QStringLiteral("\n\n") + Text(WhatReachedTheFile(rom_, writes, report)));
        return;
    }
    desktop_.showMessage(this, QMessageBox::Information, QString::fromLatin1(command.doneTitle),
                         QString::fromLatin1(command.doneText), QMessageBox::Ok, QMessageBox::Ok);
}

}  // namespace thornwake
