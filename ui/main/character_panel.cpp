#include "main/character_panel.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>

#include <utility>

#include "main/fonts.h"
#include "main/twips.h"

namespace thornwake {

int LevelList::selectedRow() const {
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? -1 : row(selected.first());
}

void LevelList::mousePressEvent(QMouseEvent* event) {
    cursorPlacedByFocus_ = false;
    const int before = selectedRow();
    const int clicked = indexAt(event->position().toPoint()).row();
    QListWidget::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && clicked >= 0 && clicked == before && selectedRow() == before) {
        emit selectedEntryClicked();
    }
}

void LevelList::focusInEvent(QFocusEvent* event) {
    const bool hadCursor = currentIndex().isValid();
    QListWidget::focusInEvent(event);
    cursorPlacedByFocus_ = !hadCursor && currentIndex().isValid();
}

void LevelList::keyPressEvent(QKeyEvent* event) {
    const bool picksCursor =
        std::exchange(cursorPlacedByFocus_, false) && selectedRow() < 0 &&
        (event->key() == Qt::Key_Down || event->key() == Qt::Key_Up || event->key() == Qt::Key_Home) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (!picksCursor) {
        QListWidget::keyPressEvent(event);
        return;
    }
    setCurrentItem(currentItem(), QItemSelectionModel::ClearAndSelect);
    event->accept();
}

TypingLimit::TypingLimit(int limit, QLineEdit* field) : QValidator(field), limit_(limit) {
    connect(field, &QLineEdit::textChanged, this, [this](const QString& text) { current_ = text; });
}

void TypingLimit::allow(const QString& text) { current_ = text; }

QValidator::State TypingLimit::validate(QString& input, int&) const {
    if (input.size() <= limit_ || input.size() < current_.size() || input == current_) {
        return Acceptable;
    }
    return Invalid;
}

namespace {

struct RowLayout {
    StatField field;
    const char* caption;
    int top;          // of the label; the field sits 30 twips higher
    int typingLimit;  // characters
};

constexpr std::array<RowLayout, StatFields.size()> Rows = {{
    {StatField::HP, "HP:", 270, 3},
    {StatField::MP, "MP:", 630, 3},
    {StatField::STR, "Strength", 990, 2},
    {StatField::AGI, "Agility", 1350, 2},
    {StatField::CON, "Constitution:", 1710, 2},
    {StatField::INTL, "Intelligence:", 2070, 2},
    {StatField::WIS, "Wisdom:", 2430, 2},
}};

// The numbered names of the stat labels, in record order (HP, MP, STR, ...).
std::array<const char*, StatFields.size()> LabelNames(CharacterId character) {
    switch (character) {
        case CharacterId::Hero: return {"Label2", nullptr, "Label3", "Label5", "Label4", "Label1", "Label10"};
        case CharacterId::Sprite: return {"Label8", "Label19", "Label9", "Label11", "Label12", "Label7", "Label13"};
        case CharacterId::Girl: break;
    }
    return {"Label17", "Label20", "Label16", "Label15", "Label14", "Label18", "Label6"};
}

std::size_t IndexOf(StatField field) { return static_cast<std::size_t>(field); }

}  // namespace

CharacterPanel::CharacterPanel(CharacterId character, QWidget* parent) : QGroupBox(parent), character_(character) {
    const QString who = QString::fromLatin1(CharacterName(character));
    setObjectName(who + QStringLiteral("FRM"));
    setAccessibleName(who);

    list_ = new LevelList(this);
    list_->setObjectName(who + QStringLiteral("LevelLST"));
    list_->setAccessibleName(who + QStringLiteral(" levels"));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setGeometry(TwipsRect(180, 240, 1395, 3765));

    const auto labelNames = LabelNames(character);
    for (const RowLayout& row : Rows) {
        if (row.field == StatField::MP && !TableOf(character).HasMP) continue;
        const StatFieldInfo& info = InfoOf(row.field);

        auto* label = new QLabel(QString::fromLatin1(row.caption), this);
        label->setObjectName(QString::fromLatin1(labelNames[IndexOf(row.field)]));
        label->setGeometry(TwipsRect(1710, row.top, 1350, 285));
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);

        auto* field = new QLineEdit(this);
        field->setObjectName(who + QString::fromLatin1(info.stem) + QStringLiteral("TXT"));
        field->setAccessibleName(who + QLatin1Char(' ') + QString::fromLatin1(info.name));
        field->setGeometry(TwipsRect(3105, row.top - 30, 1600, 315));
        limits_[IndexOf(row.field)] = new TypingLimit(row.typingLimit, field);
        field->setValidator(limits_[IndexOf(row.field)]);
        QPalette white = field->palette();
        white.setColor(QPalette::Base, Qt::white);
        field->setPalette(white);
        label->setBuddy(field);
        fields_[IndexOf(row.field)] = field;
    }

    saved_ = new QLabel(QStringLiteral("Saved!"), this);
    saved_->setObjectName(who + QStringLiteral("SaveLBL"));
    saved_->setGeometry(TwipsRect(3300, 3300, 1350, 315));
    saved_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    saved_->setFont(ProgramFont(11.25, true));
    QPalette red = saved_->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    saved_->setPalette(red);
    saved_->hide();

    save_ = new QPushButton(QStringLiteral("Save Level"), this);
    save_->setObjectName(who + QStringLiteral("SaveCMD"));
    save_->setAccessibleName(QStringLiteral("Save ") + who + QStringLiteral(" level"));
    save_->setGeometry(TwipsRect(3180, 3750, 1545, 315));
    save_->setAutoDefault(false);
}

QLineEdit* CharacterPanel::field(StatField field) const { return fields_[IndexOf(field)]; }

void CharacterPanel::setEditingEnabled(bool enabled) {
    list_->setEnabled(enabled);
    for (QLineEdit* field : fields_) {
        if (field) field->setEnabled(enabled);
    }
    save_->setEnabled(enabled);
}

void CharacterPanel::showRecord(const LevelRecord& record) {
    for (const StatFieldInfo& info : StatFields) {
        QLineEdit* field = fields_[IndexOf(info.field)];
        if (!field) continue;
        const int value = GetField(record, info.field);
        const std::string text = info.field == StatField::HP ? FormatHP(static_cast<std::int16_t>(value))
                                                             : FormatStat(static_cast<std::uint8_t>(value));
        limits_[IndexOf(info.field)]->allow(QString::fromStdString(text));
        field->setText(QString::fromStdString(text));
    }
}

std::optional<CharacterPanel::FieldError> CharacterPanel::readRecord(LevelRecord& record) const {
    record = LevelRecord{};
    for (const StatFieldInfo& info : StatFields) {
        const QLineEdit* field = fields_[IndexOf(info.field)];
        if (!field) continue;  // the Hero's MP stays 0
        const auto value = ParseField(info.field, field->text().toStdString());
        if (!value) return FieldError{info.field};
        SetField(record, info.field, *value);
    }
    return std::nullopt;
}

QList<QWidget*> CharacterPanel::focusChain() const {
    QList<QWidget*> chain{list_};
    for (QLineEdit* field : fields_) {
        if (field) chain.append(field);
    }
    chain.append(save_);
    return chain;
}

}  // namespace thornwake
