#pragma once
// One character's panel: level list, stat fields, Save button, Saved label.
// The window builds it three times, the Hero's without the MP row.

#include <QGroupBox>
#include <QListWidget>
#include <QValidator>

#include <array>
#include <optional>

#include "level_tables.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace thornwake {

// The level list. It also reports a mouse click on the entry that is already
// selected, which the list's own signals do not. Focus arriving in a list
// that has no current entry puts the cursor on Level 1 without picking it;
// the first Down, Up or Home then picks Level 1, where Qt would move on.
class LevelList : public QListWidget {
    Q_OBJECT
public:
    using QListWidget::QListWidget;

    // The entry the user or the program picked, or -1; the current row only
    // marks where the keyboard is.
    int selectedRow() const;

signals:
    void selectedEntryClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool cursorPlacedByFocus_ = false;
};

// Limits what the user types to `limit` characters while leaving longer text
// that the program put there intact: it can be shortened, not lengthened or
// overtyped, as with the typing limit of a classic edit control.
class TypingLimit : public QValidator {
    Q_OBJECT
public:
    TypingLimit(int limit, QLineEdit* field);
    State validate(QString& input, int& pos) const override;
    // The program is about to put `text` into the field: let it pass.
    void allow(const QString& text);

private:
    int limit_;
    QString current_;  // the field's text before the edit being validated
};

class CharacterPanel : public QGroupBox {
    Q_OBJECT
public:
    CharacterPanel(CharacterId character, QWidget* parent);

    CharacterId character() const { return character_; }
    LevelList* levelList() const { return list_; }
    // nullptr for the Hero's MP.
    QLineEdit* field(StatField field) const;
    QPushButton* saveButton() const { return save_; }
    QLabel* savedLabel() const { return saved_; }

    // Enables or disables the list, the fields and the Save button.
    void setEditingEnabled(bool enabled);
    void showRecord(const LevelRecord& record);

    // The record the fields hold, or the first field whose text does not
    // convert.
    struct FieldError {
        StatField field;
    };
    std::optional<FieldError> readRecord(LevelRecord& record) const;

    // The focus order inside the panel.
    QList<QWidget*> focusChain() const;

private:
    CharacterId character_;
    LevelList* list_;
    std::array<QLineEdit*, StatFields.size()> fields_{};
    std::array<TypingLimit*, StatFields.size()> limits_{};
    QPushButton* save_;
    QLabel* saved_;
};

}  // namespace thornwake
