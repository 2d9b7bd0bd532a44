#pragma once
// The editor's main window: the ROM file commands, the three character panels
// with their level lists and stat fields, the tabs and the maximize commands.

#include <QMainWindow>
#include <QString>
#include <QUndoStack>

#include <array>
#include <optional>
#include <chrono>
#include <string>

#include "level_tables.h"
#include "maximize.h"
#include "rom_file.h"

class QAction;
class QLabel;
class QPushButton;
class QTabWidget;

namespace thornwake {

class CharacterPanel;
class Desktop;
struct MaximizeCommand;

// The captions the window shows before and after the first Open or Close ROM.
QString StartupCaption();
QString VersionedCaption();

class Main : public QMainWindow {
    Q_OBJECT
public:
    // `desktop` shows every dialog and message box and ends the program; it
    // must outlive the window.
    explicit Main(Desktop& desktop, QWidget* parent = nullptr);
    ~Main() override;

    // File menu.
    void LoadROM();
    // Opens the file named on the command line as if it had been chosen in the
    // Open ROM dialog: the same checks and messages, the end of the program
    // for a refused image, and the dialog remembers the name. `localPath` is
    // the name as the system's bytes, kept as given, UTF-8 or not. While the
    // window is not yet on the screen the file waits for it, so that a box it
    // shows stands over the window.
    void OpenAtStart(const std::string& localPath);
    void CloseROM();
    void Quit();

    // Level lists and stat fields.
    void LoadLevels();
    void LoadHeroLV() { LoadLV(CharacterId::Hero); }
    void LoadSpriteLV() { LoadLV(CharacterId::Sprite); }
    void LoadGirlLV() { LoadLV(CharacterId::Girl); }
    void SaveHeroLV() { SaveLV(CharacterId::Hero); }
    void SaveSpriteLV() { SaveLV(CharacterId::Sprite); }
    void SaveGirlLV() { SaveLV(CharacterId::Girl); }
    void FlashSaveLabel(QLabel& label);

    void SelectLevelsTAB_Click();

    // Features menu.
    void mnuMaxHero_Click();
    void mnuMaxSprite_Click();
    void mnuMaxGirl_Click();
    void mnuMaxAll_Click();
    // Opens the Level Table window on the selected tab's character and its
    // selected level; afterwards a panel whose shown record the table wrote
    // reads it again, and only such a panel.
    void mnuLevelTable_Click();

    // True once the program was told to end; nothing runs after that.
    bool hasEnded() const { return ended_; }

    // How long a save or a maximize run waits for another program that is
    // writing the image before it gives up and says so.
    std::chrono::milliseconds writerLockPatience = WriterLockPatience;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void buildControls();
    void setFocusOrder();

    CharacterPanel& panel(CharacterId character) const;
    void showPanel(CharacterId character);
    void setRomCommandsEnabled(bool enabled);
    // The character whose tab is selected, told by the tab's key.
    std::optional<CharacterId> selectedTab() const;
    // What LoadROM does once the dialog has answered `localPath`, the file's
    // name as the system's bytes (empty: stay closed).
    void OpenChosenROM(const std::string& localPath);

    // Reads the selected level into the fields; false when nothing was read.
    bool LoadLV(CharacterId character);
    void LevelChosen(CharacterId character);
    void SaveLV(CharacterId character);
    void RunMaximize(const MaximizeCommand& command);

    // The Save button's state as the level list wants it; a maximize run
    // keeps it disabled while it writes.
    void setSaveEnabled(CharacterId character, bool enabled);
    // The writer's lock, with the busy cursor and InfoLBL telling of a wait.
    Status lockForWriting(WriterLock& lock);

    void warn(const QString& title, const QString& text);
    void endProgram(int exitCode);

    Desktop& desktop_;
    RomFile rom_;
    std::string dlgFileName_;  // of the last completed Open ROM dialog, as the system's bytes
    bool ended_ = false;
    // Each character's record as read when its level was picked (or as this
    // window wrote it since): what a save expects the file to hold.
    std::array<std::optional<LevelRecord>, 3> shown_{};
    std::array<bool, 3> saveWanted_{};
    bool maximizing_ = false;
    bool quitAfterRun_ = false;
    // The Level Table's steps to undo and redo, for as long as the image is open.
    QUndoStack levelTableHistory_;

    QTabWidget* tabs_ = nullptr;
    std::array<CharacterPanel*, 3> panels_{};
    QPushButton* quit_ = nullptr;
    QLabel* info_ = nullptr;
    QAction* mnuOpen_ = nullptr;
    QAction* mnuClose_ = nullptr;
    std::array<QAction*, 4> maximizeItems_{};
    QAction* mnuLevelTable_ = nullptr;
};

}  // namespace thornwake
