#include "table/level_table.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

#include "desktop.h"
#include "main/fonts.h"
#include "table/curve_chart.h"
#include "table/fill_dialog.h"
#include "table/level_table_model.h"

namespace thornwake {

LevelTableWindow::LevelTableWindow(RomFile& rom, Desktop& desktop, CharacterId character, QWidget* parent,
                                   std::chrono::milliseconds lockPatience)
    : QDialog(parent), desktop_(desktop), model_(new LevelTableModel(rom, history_, character, this)) {
    model_->lockPatience = lockPatience;
    setObjectName(QStringLiteral("LevelTable"));
    setWindowTitle(QStringLiteral("Level Table"));
    setFont(ProgramFont(8.25));
    resize(880, 540);
    buildControls();
    addShortcuts();
    model_->setCharacter(character);
    // The grid as wide as its seven columns, the chart gets the rest.
    grid_->resizeColumnsToContents();
    int gridWidth = grid_->verticalHeader()->sizeHint().width() + grid_->verticalScrollBar()->sizeHint().width() +
                    2 * grid_->frameWidth();
    for (int column = 0; column < model_->columnCount(); ++column) gridWidth += grid_->columnWidth(column);
    grid_->setMinimumWidth(gridWidth);
    grid_->setCurrentIndex(model_->index(0, 0));
    grid_->setFocus();
}

LevelTableWindow::~LevelTableWindow() = default;

void LevelTableWindow::buildControls() {
    characters_ = new QComboBox;
    characters_->setObjectName(QStringLiteral("CharacterCMB"));
    for (CharacterId character : AllCharacters) characters_->addItem(QString::fromLatin1(CharacterName(character)));
    auto* who = new QLabel(QStringLiteral("C&haracter:"));
    who->setBuddy(characters_);

    grid_ = new QTableView;
    grid_->setObjectName(QStringLiteral("LevelGRID"));
    grid_->setAccessibleName(QStringLiteral("Levels"));
    grid_->setModel(model_);
    grid_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed);
    grid_->horizontalHeader()->setMinimumSectionSize(grid_->fontMetrics().horizontalAdvance(QStringLiteral("-32768")) + 12);
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
    grid_->setTabKeyNavigation(false);

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
    undoButton->setEnabled(false);
    redoButton->setEnabled(false);

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

void LevelTableWindow::paste() { model_->paste(grid_->currentIndex(), QGuiApplication::clipboard()->text()); }

void LevelTableWindow::fill() {
    // The selected levels of one column, first to last; a single cell stands
    // for its whole column.
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
    int firstLevel = rows.empty() ? 0 : *rows.begin(), lastLevel = rows.empty() ? 0 : *rows.rbegin();
    if (firstLevel == lastLevel) firstLevel = 0, lastLevel = LevelCount - 1;
    const auto first = model_->value(firstLevel, field), last = model_->value(lastLevel, field);
    if (!first || !last) {
        say(QStringLiteral("Nothing was filled: the %1 has no %2 to fill there.")
                .arg(QString::fromLatin1(CharacterName(model_->character())), QString::fromLatin1(InfoOf(field).name)));
        return;
    }

    FillDialog dialog(QStringLiteral("The %1's %2, levels %3 to %4")
                          .arg(QString::fromLatin1(CharacterName(model_->character())),
                               QString::fromLatin1(InfoOf(field).name))
                          .arg(firstLevel + 1)
                          .arg(lastLevel + 1),
                      field, firstLevel, lastLevel, *first, *last, this);
    dialog.setFont(font());
    // Over the grid, so that the chart's preview stays in sight.
    dialog.adjustSize();
    dialog.move(grid_->mapToGlobal(grid_->rect().center()) - dialog.rect().center());
    chart_->setColumn(column);
    connect(&dialog, &FillDialog::previewChanged, this,
            [this, firstLevel](const std::vector<int>& values) { chart_->setPreview(firstLevel, values); });
    dialog.refresh();
    desktop_.runModal(dialog);
    chart_->setPreview(0, {});
    const auto wanted = dialog.request();
    if (dialog.result() != QDialog::Accepted || !wanted) {
        say(QStringLiteral("Nothing was filled."));
        return;
    }
    model_->fill(firstLevel, lastLevel, field, wanted->first, wanted->last, wanted->curve);
}

}  // namespace thornwake
