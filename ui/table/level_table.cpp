#include "table/level_table.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <numeric>
#include <set>

#include "desktop.h"
#include "main/fonts.h"
#include "table/curve_chart.h"
#include "table/fill_dialog.h"
#include "table/level_table_model.h"

namespace thornwake {

namespace {

// Fits an 800 x 600 screen with the window manager's frame around it.
constexpr QSize FirstSize(760, 520);
const QString SizeKey = QStringLiteral("LevelTable/size");

QSettings Settings() { return QSettings(QStringLiteral("thornwake"), QStringLiteral("thornwake-editor")); }

// Moves as a spreadsheet does: Enter commits a typed value and goes one level
// down, Tab one column right and Shift+Tab left, also without a value typed.
// Tab at Wisdom and Shift+Tab at HP leave the grid for the other controls.
class LevelGrid : public QTableView {
protected:
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override {
        const bool keep = hint == QAbstractItemDelegate::RevertModelCache;
        QTableView::closeEditor(editor, keep ? hint : QAbstractItemDelegate::NoHint);
        if (hint == QAbstractItemDelegate::SubmitModelCache) moveTo(moveCursor(MoveDown, Qt::NoModifier));
        if (hint == QAbstractItemDelegate::EditNextItem) moveTo(moveCursor(MoveNext, Qt::NoModifier));
        if (hint == QAbstractItemDelegate::EditPreviousItem) moveTo(moveCursor(MovePrevious, Qt::NoModifier));
    }
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override {
        const QModelIndex current = currentIndex();
        if (action == MoveNext) return current.siblingAtColumn(current.column() + 1);
        if (action == MovePrevious) return current.siblingAtColumn(current.column() - 1);
        return QTableView::moveCursor(action, modifiers);
    }
    void keyPressEvent(QKeyEvent* event) override {
        // An editor passes its Enter on to the grid after it committed.
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (enter && state() != EditingState && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            moveTo(moveCursor(MoveDown, Qt::NoModifier));
            return;
        }
        QTableView::keyPressEvent(event);
    }

private:
    void moveTo(const QModelIndex& index) {
        if (index.isValid()) setCurrentIndex(index);
    }
};

}  // namespace

LevelTableWindow::LevelTableWindow(RomFile& rom, Desktop& desktop, QUndoStack& history, CharacterId character,
                                   int levelIndex, QWidget* parent, std::chrono::milliseconds lockPatience)
    : QDialog(parent),
      desktop_(desktop),
      history_(history),
      model_(new LevelTableModel(rom, history_, character, this)) {
    model_->lockPatience = lockPatience;
    setObjectName(QStringLiteral("LevelTable"));
    setWindowTitle(QStringLiteral("Level Table"));
    setFont(ProgramFont(8.25));
    buildControls();
    addShortcuts();
    model_->setCharacter(character);
    // The grid as wide as its seven columns, the chart gets the rest.
    grid_->resizeColumnsToContents();
    int gridWidth = grid_->verticalHeader()->sizeHint().width() + grid_->verticalScrollBar()->sizeHint().width() +
                    2 * grid_->frameWidth();
    for (int column = 0; column < model_->columnCount(); ++column) gridWidth += grid_->columnWidth(column);
    grid_->setMinimumWidth(gridWidth);
    const QSize remembered = Settings().value(SizeKey).toSize();
    const QSize screen = (parent ? parent->screen() : QGuiApplication::primaryScreen())->availableSize();
    resize((remembered.isValid() ? remembered : FirstSize).boundedTo(screen));
    grid_->setCurrentIndex(model_->index(std::clamp(levelIndex, 0, LevelCount - 1), 0));
    grid_->scrollTo(grid_->currentIndex(), QAbstractItemView::PositionAtCenter);
    grid_->setFocus();
}

LevelTableWindow::~LevelTableWindow() = default;

void LevelTableWindow::done(int result) {
    Settings().setValue(SizeKey, size());
    QDialog::done(result);
}

void LevelTableWindow::buildControls() {
    characters_ = new QComboBox;
    characters_->setObjectName(QStringLiteral("CharacterCMB"));
    for (CharacterId character : AllCharacters) characters_->addItem(QString::fromLatin1(CharacterName(character)));
    auto* who = new QLabel(QStringLiteral("C&haracter:"));
    who->setBuddy(characters_);

    grid_ = new LevelGrid;
    grid_->setObjectName(QStringLiteral("LevelGRID"));
    grid_->setAccessibleName(QStringLiteral("Levels"));
    grid_->setModel(model_);
    grid_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed);
    grid_->horizontalHeader()->setMinimumSectionSize(grid_->fontMetrics().horizontalAdvance(QStringLiteral("-32768")) +
                                                     12);
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
    grid_->setTabKeyNavigation(true);

    chart_ = new CurveChart(*model_, this);  // the window's font from the start
    auto* split = new QSplitter(Qt::Horizontal);
    split->addWidget(grid_);
    split->addWidget(chart_);
    split->setStretchFactor(1, 1);
    split->setChildrenCollapsible(false);

    status_ = new QLabel;
    status_->setObjectName(QStringLiteral("StatusLBL"));
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto button = [this](const char* name, const QString& caption) {
        auto* made = new QPushButton(caption);
        made->setObjectName(QString::fromLatin1(name));
        made->setAutoDefault(false);  // Enter belongs to the grid
        return made;
    };
    QPushButton* fillButton = button("FillCMD", QStringLiteral("&Fill..."));
    QPushButton* undoButton = button("UndoCMD", QStringLiteral("&Undo"));
    QPushButton* redoButton = button("RedoCMD", QStringLiteral("&Redo"));
    QPushButton* closeButton = button("CloseCMD", QStringLiteral("&Close"));
    undoButton->setEnabled(history_.canUndo());
    redoButton->setEnabled(history_.canRedo());
    undoButton->setToolTip(history_.undoText());
    redoButton->setToolTip(history_.redoText());

    auto* top = new QHBoxLayout;
    top->addWidget(who);
    top->addWidget(characters_);
    top->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(status_, 1);
    for (QPushButton* each : {fillButton, undoButton, redoButton, closeButton}) bottom->addWidget(each);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(split, 1);
    layout->addLayout(bottom);
    setTabOrder(characters_, grid_);
    setTabOrder(grid_, fillButton);

    connect(characters_, &QComboBox::currentIndexChanged, this,
            [this](int index) { model_->setCharacter(AllCharacters[static_cast<std::size_t>(index)]); });
    connect(model_, &LevelTableModel::characterChanged, this, [this](CharacterId character) {
        const QSignalBlocker quiet(characters_);
        characters_->setCurrentIndex(static_cast<int>(character));
    });
    connect(model_, &LevelTableModel::statusChanged, this, &LevelTableWindow::say);
    connect(grid_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { chart_->setColumn(std::max(current.column(), 0)); });
    connect(grid_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &LevelTableWindow::followSelection);
    connect(&history_, &QUndoStack::canUndoChanged, undoButton, &QPushButton::setEnabled);
    connect(&history_, &QUndoStack::canRedoChanged, redoButton, &QPushButton::setEnabled);
    connect(&history_, &QUndoStack::undoTextChanged, undoButton, &QWidget::setToolTip);
    connect(&history_, &QUndoStack::redoTextChanged, redoButton, &QWidget::setToolTip);
    connect(fillButton, &QPushButton::clicked, this, &LevelTableWindow::fill);
    connect(undoButton, &QPushButton::clicked, model_, &LevelTableModel::undo);
    connect(redoButton, &QPushButton::clicked, model_, &LevelTableModel::redo);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
}

void LevelTableWindow::addShortcuts() {
    auto add = [this](const QKeySequence& keys, auto slot) {
        auto* action = new QAction(this);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(action, &QAction::triggered, this, slot);
        addAction(action);
    };
    add(QKeySequence(Qt::CTRL | Qt::Key_C), [this] { copy(); });
    add(QKeySequence(Qt::CTRL | Qt::Key_V), [this] { paste(); });
    add(QKeySequence(Qt::CTRL | Qt::Key_F), [this] { fill(); });
    add(QKeySequence(Qt::CTRL | Qt::Key_Z), [this] { model_->undo(); });
    add(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), [this] { model_->redo(); });
    add(QKeySequence(Qt::CTRL | Qt::Key_Y), [this] { model_->redo(); });
    // An editor takes Delete for its own text before this.
    add(QKeySequence(Qt::Key_Delete),
        [this] { say(QStringLiteral("Cells cannot be emptied: type a new value instead.")); });
}

void LevelTableWindow::say(const QString& text) {
    status_->setText(text);
    status_->setToolTip(text);  // the whole of a long message
}

void LevelTableWindow::followSelection() {
    const int column = grid_->currentIndex().column();
    std::vector<int> levels;
    for (const QModelIndex& index : grid_->selectionModel()->selectedIndexes()) {
        if (index.column() == column) levels.push_back(index.row());
    }
    chart_->setMarkedLevels(levels);
}

void LevelTableWindow::copy() {
    const QString text = model_->copy(grid_->selectionModel()->selectedIndexes());
    if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
}

void LevelTableWindow::paste() {
    const QModelIndexList selected = grid_->selectionModel()->selectedIndexes();
    QModelIndex topLeft = selected.isEmpty() ? grid_->currentIndex() : selected.front();
    for (const QModelIndex& index : selected) {
        topLeft = model_->index(std::min(topLeft.row(), index.row()), std::min(topLeft.column(), index.column()));
    }
    model_->paste(topLeft, QGuiApplication::clipboard()->text());
}

void LevelTableWindow::fill() {
    const QModelIndex current = grid_->currentIndex();
    std::set<int> columns, rows;
    for (const QModelIndex& index : grid_->selectionModel()->selectedIndexes()) {
        columns.insert(index.column());
        rows.insert(index.row());
    }
    if (columns.size() > 1) {
        say(QStringLiteral("Nothing was filled: select levels in one column."));
        return;
    }
    const int column = columns.empty() ? current.column() : *columns.begin();
    const StatField field = LevelTableModel::fieldOf(std::max(column, 0));
    std::vector<int> levels(rows.begin(), rows.end());
    if (levels.size() < 2) {
        levels.resize(LevelCount);
        std::iota(levels.begin(), levels.end(), 0);
    }
    const QString who = QString::fromLatin1(CharacterName(model_->character()));
    if (field == StatField::MP && !TableOf(model_->character()).HasMP) {
        say(QStringLiteral("Nothing was filled: the %1 has no MP.").arg(who));
        return;
    }
    for (int level : levels) {
        if (const QString unread = model_->whyUnread(level); !unread.isEmpty()) {
            say(QStringLiteral("Nothing was filled: ") + unread);
            return;
        }
    }
    FillDialog dialog(
        QStringLiteral("The %1's %2, %3")
            .arg(who, QString::fromLatin1(InfoOf(field).name), QString::fromStdString(LevelNumbers(levels))),
        field, levels, *model_->value(levels.front(), field), *model_->value(levels.back(), field), this);
    dialog.setFont(font());
    // Over the grid, so that the chart's preview stays in sight.
    dialog.adjustSize();
    dialog.move(grid_->mapToGlobal(grid_->rect().center()) - dialog.rect().center());
    chart_->setColumn(column);
    connect(&dialog, &FillDialog::previewChanged, this,
            [this, &levels](const std::vector<int>& values) { chart_->setPreview(levels, values); });
    dialog.refresh();
    desktop_.runModal(dialog);
    chart_->setPreview({}, {});
    const auto wanted = dialog.request();
    if (dialog.result() != QDialog::Accepted || !wanted) {
        say(QStringLiteral("Nothing was filled."));
        return;
    }
    model_->fill(levels, field, wanted->first, wanted->last, wanted->curve);
}

}  // namespace thornwake
