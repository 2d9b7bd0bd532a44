#pragma once
// The line chart of one column of the level table, levels 1 to 99 along the
// x axis: a view of the model, refilled whenever the model's cells change.
// It marks the selected levels and can show a fill's result before it is
// written.

#include <QChartView>

#include <vector>

#include "level_tables.h"

class QLineSeries;
class QScatterSeries;
class QValueAxis;

namespace thornwake {

class LevelTableModel;

class CurveChart : public QChartView {
    Q_OBJECT
public:
    CurveChart(const LevelTableModel& model, QWidget* parent = nullptr);

    void setColumn(int column);
    void setMarkedLevels(const std::vector<int>& levelIndexes);
    // The values a fill would give at `levelIndexes`; none to hide it.
    void setPreview(const std::vector<int>& levelIndexes, const std::vector<int>& values);
    void refill();

private:
    void fitAxis();

    const LevelTableModel& model_;
    int column_ = 0;
    std::vector<int> marked_;
    QLineSeries* stored_;
    QLineSeries* preview_;
    QScatterSeries* marks_;
    QValueAxis* levels_;
    QValueAxis* values_;
};

}  // namespace thornwake
