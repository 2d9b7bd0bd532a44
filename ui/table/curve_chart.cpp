#include "table/curve_chart.h"

#include <QLineSeries>
#include <QPen>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

#include "table/level_table_model.h"

namespace thornwake {

CurveChart::CurveChart(const LevelTableModel& model, QWidget* parent)
    : QChartView(parent),
      model_(model),
      stored_(new QLineSeries),
      preview_(new QLineSeries),
      marks_(new QScatterSeries),
      levels_(new QValueAxis),
      values_(new QValueAxis) {
    setObjectName(QStringLiteral("CurveCHART"));
    setRenderHint(QPainter::Antialiasing);
    setFocusPolicy(Qt::NoFocus);
    auto* chart = new QChart;
    chart->legend()->hide();
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setBackgroundRoundness(0);
    QPen dashed(QColor(200, 90, 30), 2, Qt::DashLine);
    preview_->setPen(dashed);
    marks_->setMarkerSize(7);
    marks_->setColor(QColor(200, 40, 40));
    marks_->setBorderColor(Qt::transparent);
    levels_->setRange(1, LevelCount);
    levels_->setTickType(QValueAxis::TicksDynamic);  // at levels 10, 20, ... 90
    levels_->setTickAnchor(0);
    levels_->setTickInterval(10);
    levels_->setLabelFormat(QStringLiteral("%d"));
    values_->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(levels_, Qt::AlignBottom);
    chart->addAxis(values_, Qt::AlignLeft);
    for (QXYSeries* series : std::initializer_list<QXYSeries*>{stored_, preview_, marks_}) {
        chart->addSeries(series);
        series->attachAxis(levels_);
        series->attachAxis(values_);
    }
    // The window's font: setFont on the view does not reach the chart's texts.
    chart->setTitleFont(font());
    for (QValueAxis* axis : {levels_, values_}) axis->setLabelsFont(font());
    setChart(chart);
    connect(&model, &QAbstractItemModel::dataChanged, this, &CurveChart::refill);
    // A level number every 10 levels where there is room, else every 20:
    // the axis shortens numbers that do not fit to "...".
    connect(chart, &QChart::plotAreaChanged, this, [this](const QRectF& area) {
        const double room = area.width() * 10 / (LevelCount - 1);
        levels_->setTickInterval(room >= 2 * fontMetrics().horizontalAdvance(QStringLiteral("00")) ? 10 : 20);
    });
}

void CurveChart::setColumn(int column) {
    column_ = column;
    refill();
}

void CurveChart::setMarkedLevels(const std::vector<int>& levelIndexes) {
    marked_ = levelIndexes;
    refill();
}

void CurveChart::setPreview(const std::vector<int>& levelIndexes, const std::vector<int>& values) {
    QList<QPointF> points;
    for (std::size_t i = 0; i < values.size(); ++i) points.append(QPointF(levelIndexes[i] + 1, values[i]));
    preview_->replace(points);
    fitAxis();
}

void CurveChart::refill() {
    const StatField field = LevelTableModel::fieldOf(column_);
    QList<QPointF> line, marks;
    for (int level = 0; level < LevelCount; ++level) {
        if (const auto value = model_.value(level, field)) line.append(QPointF(level + 1, *value));
    }
    for (int level : marked_) {
        if (const auto value = model_.value(level, field)) marks.append(QPointF(level + 1, *value));
    }
    stored_->replace(line);
    marks_->replace(marks);
    const QString who = QString::fromLatin1(CharacterName(model_.character()));
    chart()->setTitle(field == StatField::MP && !TableOf(model_.character()).HasMP
                          ? QStringLiteral("The %1 has no MP.").arg(who)
                          : QStringLiteral("%1's %2 by level").arg(who, QString::fromLatin1(InfoOf(field).name)));
    fitAxis();
}

void CurveChart::fitAxis() {
    double low = 0, high = 1;
    bool any = false;
    for (const QXYSeries* series : {static_cast<QXYSeries*>(stored_), static_cast<QXYSeries*>(preview_)}) {
        for (const QPointF& point : series->points()) {
            low = any ? std::min(low, point.y()) : point.y();
            high = any ? std::max(high, point.y()) : point.y();
            any = true;
        }
    }
    if (high - low < 10) high = low + 10;
    const double margin = (high - low) / 20;
    // No negative values on the axis of a column that holds none.
    values_->setRange(low >= 0 ? std::max(0.0, std::floor(low - margin)) : std::floor(low - margin),
                      std::ceil(high + margin));
    values_->applyNiceNumbers();
}

}  // namespace thornwake
