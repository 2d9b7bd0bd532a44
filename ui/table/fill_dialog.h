#pragma once
// The Fill dialog: the values at the first and the last level of a range and
// the curve between them. It reports the values while they are typed, for a
// preview, and offers OK only while both are whole numbers in the column's
// range.

#include <QDialog>

#include <optional>
#include <vector>

#include "level_edits.h"

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;

namespace thornwake {

struct FillRequest {
    int first, last;
    Curve curve;
};

class FillDialog : public QDialog {
    Q_OBJECT
public:
    // `title` names the levels ("The Sprite's Strength, levels 1 to 99"),
    // given as ascending level indexes; the fields start with the values
    // stored at the first and the last of them.
    FillDialog(const QString& title, StatField field, const std::vector<int>& levels, int first, int last,
               QWidget* parent);

    std::optional<FillRequest> request() const;
    // Checks the texts and reports the preview again.
    void refresh();

signals:
    // The values the fill would write at the levels; empty while a text is bad.
    void previewChanged(const std::vector<int>& values);

private:
    StatField field_;
    std::vector<int> levels_;
    QLineEdit* first_;
    QLineEdit* last_;
    QComboBox* curve_;
    QLabel* rule_;
    QDialogButtonBox* buttons_;
};

}  // namespace thornwake
