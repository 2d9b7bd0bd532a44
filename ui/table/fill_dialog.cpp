#include "table/fill_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace thornwake {

FillDialog::FillDialog(const QString& title, StatField field, const std::vector<int>& levels, int first, int last,
                       QWidget* parent)
    : QDialog(parent),
      field_(field),
      levels_(levels),
      first_(new QLineEdit(QString::number(first))),
      last_(new QLineEdit(QString::number(last))),
      curve_(new QComboBox),
      rule_(new QLabel),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel)) {
    setObjectName(QStringLiteral("FillDLG"));
    setWindowTitle(QStringLiteral("Fill"));
    first_->setObjectName(QStringLiteral("FirstTXT"));
    last_->setObjectName(QStringLiteral("LastTXT"));
    curve_->setObjectName(QStringLiteral("CurveCMB"));
    for (const CurveInfo& info : Curves) curve_->addItem(QString::fromLatin1(info.name));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&From (level %1):").arg(levels.front() + 1), first_);
    form->addRow(QStringLiteral("&To (level %1):").arg(levels.back() + 1), last_);
    form->addRow(QStringLiteral("&Curve:"), curve_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(title));
    layout->addLayout(form);
    layout->addWidget(rule_);
    layout->addWidget(buttons_);

    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(first_, &QLineEdit::textChanged, this, &FillDialog::refresh);
    connect(last_, &QLineEdit::textChanged, this, &FillDialog::refresh);
    connect(curve_, &QComboBox::currentIndexChanged, this, &FillDialog::refresh);
    refresh();
}

std::optional<FillRequest> FillDialog::request() const {
    const auto first = ParseField(field_, first_->text().toStdString());
    const auto last = ParseField(field_, last_->text().toStdString());
    if (!first || !last) return std::nullopt;
    return FillRequest{*first, *last, Curves[static_cast<std::size_t>(curve_->currentIndex())].curve};
}

void FillDialog::refresh() {
    const auto wanted = request();
    rule_->setText(wanted ? QString() : QString::fromStdString(WholeNumberRule(field_)));
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(wanted.has_value());
    emit previewChanged(wanted ? CurveValuesAt(wanted->curve, wanted->first, wanted->last, levels_)
                               : std::vector<int>());
}

}  // namespace thornwake
