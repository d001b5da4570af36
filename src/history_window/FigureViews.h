#pragma once
// The parts the adults' windows "Lernverlauf" and "Klassenverlauf" show alike:
// how a share, a median and a weak row are written, a table cell, the row
// that chooses whose figures over which period, and the bar chart of right
// and wrong answers.

#include "record/Figures.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class QChart;
class QChartView;
class QComboBox;
class QHBoxLayout;
class QTableWidgetItem;
class QWidget;

namespace figures {

QLocale German();

// "83 %"; empty without a whole.
QString PercentText(qint64 part, qint64 whole);
// Seconds with one decimal, "–" without any.
QString MedianText(const std::optional<double>& seconds);
// "c*f: 5 von 9 falsch".
QString WeakText(const history::WeakRow& row);
// A table cell; numbers right-aligned.
QTableWidgetItem* Cell(const QString& text, bool number);

// "<whose> [box]   Zeitraum: [box]", the labels being the boxes' buddies.
QHBoxLayout* SelectionRow(QWidget* parent, const QString& whoseLabel, QComboBox* whose, QComboBox* period);

// An empty chart with its title and the legend below, in a view named "chartView".
QChartView* BarChartView(const QString& title, int minimumHeight, QWidget* parent);

// Shows right and wrong answers as bars, one pair per entry of `bars` with
// the label of the same index, and `axisTitle` under the labels. The chart
// keeps one series and its two axes for its life and refills them: axes
// taken out of a chart whose view changes size meanwhile leave their labels
// standing in the scene.
void FillBars(QChart* chart, const std::vector<history::DayCount>& bars, const QStringList& labels,
              const QString& axisTitle = QString());
// Empties the chart's bars and labels, keeping series and axes.
void ClearBars(QChart* chart);

} // namespace figures
