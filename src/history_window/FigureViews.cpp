#include "history_window/FigureViews.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTableWidgetItem>
#include <QValueAxis>

#include <algorithm>

namespace figures {

QLocale German() { return QLocale(QLocale::German, QLocale::Germany); }

QString PercentText(qint64 part, qint64 whole)
{
    return whole ? German().toString(100.0 * double(part) / double(whole), 'f', 0) + QStringLiteral(" %") : QString();
}

QString MedianText(const std::optional<double>& seconds)
{
    return seconds ? German().toString(*seconds, 'f', 1) : QStringLiteral("–");
}

QString WeakText(const history::WeakRow& row)
{
    return QStringLiteral("%1: %2 von %3 falsch").arg(row.calcRow).arg(row.wrong).arg(row.answers);
}

QTableWidgetItem* Cell(const QString& text, bool number)
{
    auto* item = new QTableWidgetItem(text);
    if (number)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

QHBoxLayout* SelectionRow(QWidget* parent, const QString& whoseLabel, QComboBox* whose, QComboBox* period)
{
    auto* whoseCaption = new QLabel(whoseLabel, parent);
    whoseCaption->setBuddy(whose);
    auto* periodCaption = new QLabel(QStringLiteral("&Zeitraum:"), parent);
    periodCaption->setBuddy(period);
    auto* row = new QHBoxLayout;
    row->addWidget(whoseCaption);
    row->addWidget(whose);
    row->addSpacing(16);
    row->addWidget(periodCaption);
    row->addWidget(period);
    row->addStretch();
    return row;
}

QChartView* BarChartView(const QString& title, int minimumHeight, QWidget* parent)
{
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->legend()->setAlignment(Qt::AlignBottom);
    auto* view = new QChartView(chart, parent);
    view->setObjectName(QStringLiteral("chartView"));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(minimumHeight);
    return view;
}

void FillBars(QChart* chart, const std::vector<history::DayCount>& bars, const QStringList& labels,
              const QString& axisTitle)
{
    auto* right = new QBarSet(QStringLiteral("richtig"));
    right->setColor(QColor(0x2e, 0x9d, 0x4a));
    auto* wrong = new QBarSet(QStringLiteral("falsch"));
    wrong->setColor(QColor(0xd0, 0x3a, 0x2f));
    qint64 highest = 0;
    for (const history::DayCount& d : bars) {
        *right << double(d.right);
        *wrong << double(d.wrong);
        highest = std::max({highest, d.right, d.wrong});
    }
    auto* series = qobject_cast<QBarSeries*>(chart->series().value(0));
    auto* x = qobject_cast<QBarCategoryAxis*>(chart->axes(Qt::Horizontal).value(0));
    auto* y = qobject_cast<QValueAxis*>(chart->axes(Qt::Vertical).value(0));
    if (!series || !x || !y) {
        series = new QBarSeries;
        chart->addSeries(series);
        x = new QBarCategoryAxis;
        chart->addAxis(x, Qt::AlignBottom);
        series->attachAxis(x);
        y = new QValueAxis;
        y->setLabelFormat(QStringLiteral("%d"));
        chart->addAxis(y, Qt::AlignLeft);
        series->attachAxis(y);
    }
    series->clear();
    series->append(right);
    series->append(wrong);
    x->clear();
    x->append(labels);
    // Many labels are written upright, in full.
    x->setLabelsAngle(labels.size() > 14 ? -90 : 0);
    x->setTruncateLabels(labels.size() <= 14);
    x->setTitleText(axisTitle);
    y->setRange(0, double(std::max<qint64>(highest, 5)));
    y->applyNiceNumbers();
}

void ClearBars(QChart* chart)
{
    if (auto* series = qobject_cast<QBarSeries*>(chart->series().value(0)))
        series->clear();
    if (auto* x = qobject_cast<QBarCategoryAxis*>(chart->axes(Qt::Horizontal).value(0)))
        x->clear();
}

} // namespace figures
