#include "main/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <QUrl>

#include <optional>

#include "about/about.h"
#include "desktop.h"
#include "main/character_panel.h"
#include "main/fonts.h"
#include "main/maximize_commands.h"
#include "main/menu_shortcuts.h"
#include "main/on_screen.h"
#include "main/pause.h"
#include "main/rom_file_dialog.h"
#include "main/twips.h"
#include "program_info.h"
#include "table/level_table.h"
#include "writer_wait.h"
#include "record_writes.h"
#include "text.h"

namespace thornwake {

QString StartupCaption() { return QStringLiteral("Thornwake Level Stat Editor"); }

QString VersionedCaption() {
    return QStringLiteral("Thornwake Level & Stat Editor (v") + VersionText() + QLatin1Char(')');
}

namespace {

constexpr double FlashStep = 0.25;  // seconds; the flash is five of them
constexpr int RefusedImageExitCode = 1;

const QString InfoText = QStringLiteral("Info goes here!!!");

QString TabKey(CharacterId character) { return QString::fromLatin1(CharacterName(character)) + QStringLiteral("LVLs"); }

}  // namespace

Main::Main(Desktop& desktop, QWidget* parent) : QMainWindow(parent), desktop_(desktop) {
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(StartupCaption());
    // A close box, but no minimize or maximize box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFont(ProgramFont(8.25));

    QIcon icon;
    for (const char* file : {":/icons/thornwake.png", ":/icons/thornwake-32.png", ":/icons/thornwake-48.png"}) {
        if (QFile::exists(QString::fromLatin1(file))) icon.addFile(QString::fromLatin1(file));
    }
    if (!icon.isNull()) setWindowIcon(icon);

    buildMenus();
    buildControls();
    new MenuShortcuts(this);
    setFocusOrder();
    // Fixed size: the client area below the menu bar is 353 x 360 pixels.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    LoadLevels();
    CloseROM();
    // Until the first Open or Close ROM the caption carries no version.
    setWindowTitle(StartupCaption());
}

Main::~Main() = default;

void Main::buildMenus() {
    auto addItem = [](QMenu* menu, const char* name, const QString& caption, const QKeySequence& keys) {
        QAction* item = menu->addAction(caption);
        item->setObjectName(QString::fromLatin1(name));
        item->setShortcut(keys);
        return item;
    };
    auto addSeparator = [](QMenu* menu, const char* name) {
        menu->addSeparator()->setObjectName(QString::fromLatin1(name));
    };
    auto addMenu = [this](const char* name, const QString& caption) {
        QMenu* menu = menuBar()->addMenu(caption);
        menu->setObjectName(QString::fromLatin1(name));
        menu->setFont(font());
        return menu;
    };
    menuBar()->setObjectName(QStringLiteral("MenuBar"));

    QMenu* file = addMenu("mnuFile", QStringLiteral("&File"));
    QAction* open = mnuOpen_ =
        addItem(file, "mnuOpen", QStringLiteral("&Open ROM"), QKeySequence(Qt::CTRL | Qt::Key_O));
    addSeparator(file, "nmuSep1");
    mnuClose_ = addItem(file, "mnuClose", QStringLiteral("&Close ROM"), QKeySequence(Qt::CTRL | Qt::Key_U));
    addSeparator(file, "mnuSep2");
    QAction* quit = addItem(file, "mnuQuit", QStringLiteral("&Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(open, &QAction::triggered, this, &Main::LoadROM);
    connect(mnuClose_, &QAction::triggered, this, &Main::CloseROM);
    connect(quit, &QAction::triggered, this, &Main::Quit);

    QMenu* features = addMenu("mnuFeatures", QStringLiteral("Fea&tures"));
    for (std::size_t i = 0; i < MaximizeCommands.size(); ++i) {
        const MaximizeCommand& command = MaximizeCommands[i];
        if (i == 3) addSeparator(features, "mnuSep3");
        maximizeItems_[i] =
            addItem(features, command.item, QString::fromLatin1(command.caption), QKeySequence(command.key));
        connect(maximizeItems_[i], &QAction::triggered, this, [this, &command] { RunMaximize(command); });
    }
    addSeparator(features, "mnuSep5");
    mnuLevelTable_ =
        addItem(features, "mnuLevelTable", QStringLiteral("Level &Table..."), QKeySequence(Qt::CTRL | Qt::Key_T));
    connect(mnuLevelTable_, &QAction::triggered, this, &Main::mnuLevelTable_Click);

    QMenu* help = addMenu("mnuHelp", QStringLiteral("&Help"));
    QAction* www =
        addItem(help, "mnuWWW", QStringLiteral("Visit ") + QString::fromLatin1(WebPageHost), QKeySequence(Qt::Key_F12));
    addSeparator(help, "mnuSep4");
    QAction* about = addItem(help, "mnuAbout", QStringLiteral("&About"), QKeySequence(Qt::Key_F1));
    connect(www, &QAction::triggered, this, [this] {
        if (!ended_) desktop_.openUrl(QUrl(QString::fromLatin1(WebPageAddress)));
    });
    connect(about, &QAction::triggered, this, [this] {
        if (!ended_) ShowAbout(desktop_, this);
    });
}

void Main::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(Px(5295), Px(5400));
    setCentralWidget(client);

    // The tab strip only chooses a panel; the panels lie in front of it as
    // separate frames, since the shown panel need not follow the selected tab.
    tabs_ = new QTabWidget(client);
    tabs_->setObjectName(QStringLiteral("SelectLevelsTAB"));
    tabs_->setGeometry(TwipsRect(90, 60, 5085, 4815));
    for (CharacterId character : AllCharacters) {
        const QString who = QString::fromLatin1(CharacterName(character));
        const int index = tabs_->addTab(new QWidget(tabs_), who + QStringLiteral("'s Levels"));
        tabs_->tabBar()->setTabData(index, TabKey(character));
    }
    connect(tabs_, &QTabWidget::currentChanged, this, &Main::SelectLevelsTAB_Click);
    // A click on a tab takes the focus, as a desktop tab control does, so that
    // hiding the panel that held it does not pass it on to Quit.
    tabs_->tabBar()->setFocusPolicy(Qt::StrongFocus);

    // Back to front: Hero, Sprite, Girl.
    for (CharacterId character : AllCharacters) {
        auto* characterPanel = new CharacterPanel(character, client);
        characterPanel->setGeometry(TwipsRect(210, 540, 4845, 4185));
        panels_[static_cast<std::size_t>(character)] = characterPanel;
        // The selection, not the current row: focus arriving in a list makes a
        // row current without the user picking it.
        connect(characterPanel->levelList(), &QListWidget::itemSelectionChanged, this,
                [this, character] { LevelChosen(character); });
        connect(characterPanel->levelList(), &LevelList::selectedEntryClicked, this,
                [this, character] { LevelChosen(character); });
        connect(characterPanel->saveButton(), &QPushButton::clicked, this, [this, character] { SaveLV(character); });
    }

    quit_ = new QPushButton(QStringLiteral("&Quit"), client);
    quit_->setObjectName(QStringLiteral("QuitCMD"));
    quit_->setGeometry(TwipsRect(3630, 4980, 1545, 315));
    quit_->setAutoDefault(false);
    connect(quit_, &QPushButton::clicked, this, &Main::Quit);

    auto* infoImage = new QLabel(client);
    infoImage->setObjectName(QStringLiteral("InfoIMG"));
    infoImage->setGeometry(TwipsRect(90, 5010, 240, 240));
    infoImage->setPixmap(QPixmap(QStringLiteral(":/icons/info.png")));

    info_ = new QLabel(InfoText, client);
    info_->setObjectName(QStringLiteral("InfoLBL"));
    info_->setGeometry(TwipsRect(420, 5010, 3135, 255));
    info_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void Main::setFocusOrder() {
    QList<QWidget*> chain;
    for (CharacterPanel* characterPanel : panels_) chain += characterPanel->focusChain();
    chain << quit_ << tabs_;
    for (qsizetype i = 1; i < chain.size(); ++i) setTabOrder(chain[i - 1], chain[i]);
}

CharacterPanel& Main::panel(CharacterId character) const { return *panels_[static_cast<std::size_t>(character)]; }

void Main::showPanel(CharacterId shown) {
    for (CharacterId character : AllCharacters) panel(character).setVisible(character == shown);
}

void Main::setRomCommandsEnabled(bool enabled) {
    // While a maximize run writes, nothing else may write or close the image.
    const bool writable = enabled && !maximizing_;
    mnuOpen_->setEnabled(!maximizing_);
    mnuClose_->setEnabled(writable);
    for (QAction* item : maximizeItems_) item->setEnabled(writable);
    mnuLevelTable_->setEnabled(writable);
    for (CharacterId character : AllCharacters) {
        panel(character).saveButton()->setEnabled(saveWanted_[static_cast<std::size_t>(character)] && !maximizing_);
    }
}

void Main::setSaveEnabled(CharacterId character, bool enabled) {
    saveWanted_[static_cast<std::size_t>(character)] = enabled;
    panel(character).saveButton()->setEnabled(enabled && !maximizing_);
}

Status Main::lockForWriting(WriterLock& lock) {
    return AcquireShowingWait(lock, writerLockPatience, [this](const QString& text) {
        info_->setText(text.isEmpty() ? InfoText : text);
        info_->repaint();
    });
}

// ---- File menu -------------------------------------------------------------

void Main::CloseROM() {
    if (ended_) return;
    setWindowTitle(VersionedCaption());
    rom_.Close();
    levelTableHistory_.clear();
    tabs_->setEnabled(false);
    for (CharacterId character : AllCharacters) {
        panel(character).hide();
        panel(character).setEditingEnabled(false);
        saveWanted_[static_cast<std::size_t>(character)] = false;
    }
    setRomCommandsEnabled(false);
    // Quit is the one control left, as at start.
    quit_->setFocus();
}

void Main::LoadROM() {
    if (ended_) return;
    CloseROM();
    setWindowTitle(VersionedCaption());

    const OpenFileRequest request{RomFileFilters(), PreselectedRomFilter, QString::fromStdString(dlgFileName_)};
    const QString chosen = desktop_.chooseFileToOpen(this, request);
    if (ended_) return;
    // A cancel opens the file of the last completed use again.
    OpenChosenROM(chosen.isEmpty() ? dlgFileName_ : ChosenFileName(chosen));
}

void Main::OpenAtStart(const std::string& localPath) {
    // Shown before the window manager has placed the window, a box would
    // stand in the screen's corner rather than over the window.
    WhenOnScreen(*this, [this, localPath] {
        if (ended_) return;
        CloseROM();
        setWindowTitle(VersionedCaption());
        OpenChosenROM(localPath);
    });
}

void Main::OpenChosenROM(const std::string& localPath) {
    if (localPath.empty()) return;  // nothing chosen yet: stay closed
    dlgFileName_ = localPath;

    if (Status opened = rom_.Open(localPath); !opened) {
        warn(QStringLiteral("Cannot Open ROM"), QString::fromStdString(opened.message()));
        return;
    }
    const Result<SizeCheck> size = rom_.LoadROMFileSize(localPath);
    if (!size) {
        rom_.Close();
        warn(QStringLiteral("Cannot Open ROM"), QString::fromStdString(size.message()));
        return;
    }
    if (size.value() == SizeCheck::Refused) {
        desktop_.showMessage(this, QMessageBox::Warning, QString::fromLatin1(RefusedROMTitle),
                             QString::fromLatin1(RefusedROMMessage), QMessageBox::Ok, QMessageBox::Ok);
        endProgram(RefusedImageExitCode);
        return;
    }

    for (CharacterId character : AllCharacters) {
        panel(character).setEditingEnabled(true);
        saveWanted_[static_cast<std::size_t>(character)] = true;
    }
    setRomCommandsEnabled(true);
    tabs_->setEnabled(true);
    {
        // The program's own choice of tab is not the user's click.
        const QSignalBlocker quiet(tabs_);
        tabs_->setCurrentIndex(static_cast<int>(CharacterId::Hero));
    }
    showPanel(CharacterId::Hero);
    CharacterPanel& hero = panel(CharacterId::Hero);
    setSaveEnabled(CharacterId::Hero, false);
    {
        const QSignalBlocker quiet(hero.levelList());
        hero.levelList()->setCurrentRow(0);
    }
    // Level 1 is read afresh even when it was selected already.
    LevelChosen(CharacterId::Hero);
    // The focus leaves Quit, where closing the last image put it, so that a
    // Space meant for the list cannot end the program.
    if (!ended_) hero.levelList()->setFocus();
}

void Main::Quit() {
    // A maximize run stops after its current record and says what it wrote;
    // then the program ends.
    if (maximizing_) {
        quitAfterRun_ = true;
        return;
    }
    endProgram(0);
}

void Main::closeEvent(QCloseEvent* event) {
    Quit();
    // During a maximize run the window stays until the run has said what it wrote.
    event->setAccepted(!maximizing_);
}

void Main::endProgram(int exitCode) {
    if (ended_) return;
    ended_ = true;
    rom_.Close();
    desktop_.endProgram(exitCode);
}

void Main::warn(const QString& title, const QString& text) {
    desktop_.showMessage(this, QMessageBox::Warning, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

// ---- Level lists and stat fields ------------------------------------------

void Main::LoadLevels() {
    for (CharacterPanel* characterPanel : panels_) {
        for (int level = 1; level <= LevelCount; ++level) {
            characterPanel->levelList()->addItem(QStringLiteral("Level %1").arg(level));
            QCoreApplication::processEvents();
        }
    }
}

bool Main::LoadLV(CharacterId character) {
    if (ended_) return false;
    CharacterPanel& shown = panel(character);
    const int level = shown.levelList()->selectedRow();
    if (level < 0) return false;
    const Result<LevelRecord> record = ReadLevelRecord(rom_, character, level);
    shown_[static_cast<std::size_t>(character)].reset();
    if (!record) {
        warn(QStringLiteral("Cannot Read Level"),
             QStringLiteral("Level %1 of the %2 could not be read.\n\n%3")
                 .arg(level + 1)
                 .arg(QString::fromLatin1(CharacterName(character)), QString::fromStdString(record.message())));
        return false;
    }
    shown.showRecord(record.value());
    shown_[static_cast<std::size_t>(character)] = record.value();
    return true;
}

void Main::LevelChosen(CharacterId character) {
    // The fields may still hold another level's values after a failed read;
    // saving them would write them into the selected level. With the selection
    // cleared (Ctrl+click) there is no level to save into.
    const bool loaded = LoadLV(character);
    if (!ended_) setSaveEnabled(character, loaded);
}

void Main::SaveLV(CharacterId character) {
    if (ended_) return;
    CharacterPanel& shown = panel(character);
    const int level = shown.levelList()->selectedRow();
    if (level < 0) return;

    LevelRecord record;
    if (const auto error = shown.readRecord(record)) {
        warn(QStringLiteral("Cannot Save Level"), QString::fromStdString(WholeNumberRule(error->field)));
        if (QLineEdit* field = shown.field(error->field)) {
            field->setFocus();
            field->selectAll();
        }
        return;
    }
    // The record must still hold what was read when the level was picked:
    // another program may have changed it since.
    std::optional<LevelRecord>& believed = shown_[static_cast<std::size_t>(character)];
    if (!believed) return;
    const std::vector<RecordWrite> writes{{character, level, EncodeLevelRecord(AsStored(character, *believed)),
                                           EncodeLevelRecord(AsStored(character, record))}};
    WriteReport report;
    {
        // Held for the write and the flush only, not for the flash.
        WriterLock lock(rom_);
        const Status locked = lockForWriting(lock);
        if (!locked) {
            report.end = WriteEnd::Failed;
            report.error = locked;
        } else {
            report = WriteRecords(rom_, writes);
        }
    }
    if (ended_) return;
    if (report.end == WriteEnd::FlushFailed || report.ok()) believed = AsStored(character, record);
    const QString which = Text(LevelName(character, level));
    if (report.end == WriteEnd::Changed) {
        warn(QStringLiteral("Cannot Save Level"),
             which.left(1).toUpper() + which.mid(1) +
                 QStringLiteral(" was changed by another program since you picked it. Pick the level again to "
                                "see what the file holds."));
        return;
    }
    if (!report.ok()) {
        warn(QStringLiteral("Cannot Save Level"), which.left(1).toUpper() + which.mid(1) +
                                                      QStringLiteral(" could not be saved.\n\n") +
                                                      Text(report.error.message()) + QStringLiteral("\n\n") +
                                                      Text(WhatReachedTheFile(rom_, writes, report)));
        return;
    }
    FlashSaveLabel(*shown.savedLabel());
}

void Main::FlashSaveLabel(QLabel& label) {
    label.show();
    for (int step = 1; step <= 5; ++step) {
        Pause(FlashStep);
        if (ended_) break;
        label.setVisible(step % 2 == 0);
    }
    label.hide();
}

// ---- Tabs ------------------------------------------------------------------

std::optional<CharacterId> Main::selectedTab() const {
    const QString key = tabs_->tabBar()->tabData(tabs_->currentIndex()).toString();
    for (CharacterId character : AllCharacters) {
        if (key == TabKey(character)) return character;
    }
    return std::nullopt;
}

void Main::SelectLevelsTAB_Click() {
    if (ended_) return;
    if (const auto character = selectedTab()) {
        showPanel(*character);
        setSaveEnabled(*character, false);
    }
}

// ---- Level Table window -----------------------------------------------------

void Main::mnuLevelTable_Click() {
    if (ended_ || !rom_.IsOpen()) return;
    const CharacterId character = selectedTab().value_or(CharacterId::Hero);
    std::set<RecordKey> written;
    {
        LevelTableWindow table(rom_, desktop_, levelTableHistory_, character,
                               panel(character).levelList()->selectedRow(), this, writerLockPatience);
        desktop_.runModal(table);
        written = table.writtenRecords();
    }
    // Typed but unsaved values of a panel the table did not write stay.
    for (CharacterId each : AllCharacters) {
        if (!ended_ && written.count({each, panel(each).levelList()->selectedRow()})) LevelChosen(each);
    }
}

}  // namespace thornwake
