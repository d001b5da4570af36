// The window "Lernverlauf" on records a parent really meets: answers from a
// computer whose clock was wrong, a few weeks of practice, an answer given
// without a name, and names that differ only in case, accents or blanks.

#include "record/HistoryStore.h"
#include "record/Recording.h"
#include "history_window/ClassWindow.h"
#include "history_window/HistoryWindow.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace history;

namespace {

AnswerRecord Answer(const QString& child, const QDateTime& time, const QString& row, bool right)
{
    return {time, child, 1, row, 1, QStringLiteral("12"), right ? QStringLiteral("12") : QStringLiteral("13"), right,
            1000};
}

int Bars(const HistoryWindow& w)
{
    const auto* series = qobject_cast<QBarSeries*>(w.chartView->chart()->series().value(0));
    return series ? int(series->barSets().at(0)->count()) : 0;
}

int Shown(const HistoryWindow& w)
{
    const auto* series = qobject_cast<QBarSeries*>(w.chartView->chart()->series().value(0));
    int n = 0;
    for (int i = 0; series && i < series->barSets().at(0)->count(); ++i)
        n += int(series->barSets().at(0)->at(i) + series->barSets().at(1)->at(i));
    return n;
}

QStringList Entries(const QComboBox* box)
{
    QStringList entries;
    for (int i = 0; i < box->count(); ++i)
        entries << box->itemText(i);
    return entries;
}

} // namespace

class TestHistoryWindow : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        QDir(QFileInfo(DefaultHistoryPath()).absolutePath()).removeRecursively();
        QVERIFY(SetRecordingOn(false));
    }

    void oddDatesKeepTheChartReadable()
    {
        const QDateTime now = QDateTime::currentDateTime();
        {
            HistoryStore store(DefaultHistoryPath());
            QVERIFY(store.Open(true));
            // Ten answers of a computer whose clock stood in 2001, twenty of
            // the last 51 days, two dated next year.
            for (int i = 0; i < 10; ++i)
                QVERIFY(store.RecordAnswer(Answer(QStringLiteral("Lena"), QDateTime(QDate(2001, 1, 1 + i), QTime(9, 0)),
                                                  QStringLiteral("a+b"), true)));
            for (int i = 0; i < 20; ++i)
                QVERIFY(store.RecordAnswer(
                    Answer(QStringLiteral("Lena"), now.addDays(-i * 50 / 19), QStringLiteral("a+b"), i % 2)));
            for (int i = 0; i < 2; ++i)
                QVERIFY(store.RecordAnswer(Answer(QStringLiteral("Lena"), now.addYears(1), QStringLiteral("a+b"), true)));
        }
        HistoryWindow window;
        window.show();
        window.periodBox->setCurrentIndex(2);
        // The chart covers the 51 days in readable bars, by week with upright
        // labels; the answers of 2001 are counted in the table and named
        // under the chart, as are those after today.
        QCOMPARE(Shown(window), 20);
        QVERIFY2(Bars(window) >= 8 && Bars(window) <= 9, qPrintable(QString::number(Bars(window))));
        const auto* x = qobject_cast<QBarCategoryAxis*>(window.chartView->chart()->axes(Qt::Horizontal).value(0));
        QVERIFY(x && x->labelsAngle() == 0);
        QCOMPARE(window.operationTable->item(0, 1)->text(), QStringLiteral("30"));
        QVERIFY(window.chartNote->isVisibleTo(&window));
        QVERIFY2(window.chartNote->text().contains(QStringLiteral("10 Antworten vom 1.1.2001 bis 10.1.2001")),
                 qPrintable(window.chartNote->text()));
        QVERIFY(window.chartNote->text().contains(QStringLiteral("2 Antworten tragen ein Datum nach heute")));
        window.periodBox->setCurrentIndex(1);
        QVERIFY(!window.chartNote->text().contains(QStringLiteral("2001")));
    }

    void anEmptyNameIsOneChildAndNamesSortAsPeopleRead()
    {
        const QDateTime now = QDateTime::currentDateTime();
        {
            HistoryStore store(DefaultHistoryPath());
            QVERIFY(store.Open(true));
            const QStringList names{QStringLiteral("özlem"), QStringLiteral("lena"), QStringLiteral("Mia"),
                                    QStringLiteral("Lena"), QStringLiteral(" Lena")};
            for (const QString& name : names)
                for (int i = 0; i < 6; ++i)
                    QVERIFY(store.RecordAnswer(Answer(name, now, QStringLiteral("a+b"), false)));
            for (int i = 0; i < 5; ++i)
                QVERIFY(store.RecordAnswer(Answer(QString(), now, QStringLiteral("c+d"), i < 2)));
        }
        HistoryWindow window;
        window.show();
        QCOMPARE(Entries(window.childBox),
                 QStringList({QStringLiteral("Alle Kinder"), QStringLiteral("(ohne Namen)"), QStringLiteral("„ Lena“"),
                              QStringLiteral("lena"), QStringLiteral("Lena"), QStringLiteral("Mia"),
                              QStringLiteral("özlem")}));
        window.periodBox->setCurrentIndex(2);
        window.childBox->setCurrentIndex(0);
        QCOMPARE(window.childTable->rowCount(), 6);
        QCOMPARE(window.childTable->item(0, 3)->text(), QStringLiteral("c+d: 3 von 5 falsch"));
        window.childBox->setCurrentIndex(1);
        QVERIFY(!window.childTable->isVisibleTo(&window));
        QCOMPARE(window.operationTable->item(0, 1)->text(), QStringLiteral("5"));
        QCOMPARE(window.operationTable->item(0, 2)->text(), QStringLiteral("40 %"));
    }

    void aClassChartRefilledKeepsOneSeriesAndItsAxes()
    {
        // A year of weeks, then a month of days, in the same shown chart:
        // the weeks' axis title and labels must not stay behind.
        QChartView view(new QChart);
        view.resize(800, 400);
        view.show();
        const std::vector<DayCount> weeks{{QDate(2026, 1, 5), 4, 1}, {QDate(2026, 12, 7), 2, 3}};
        school::FillDayChart(view.chart(), weeks, QDate(2025, 12, 10), QDate(2026, 12, 10), true);
        auto* x = qobject_cast<QBarCategoryAxis*>(view.chart()->axes(Qt::Horizontal).value(0));
        QVERIFY(x);
        QCOMPARE(x->titleText(), QStringLiteral("KW 50/2025 bis KW 50/2026"));
        QCOMPARE(x->categories().value(3), QStringLiteral("KW 1/26"));
        const std::vector<DayCount> days{{QDate(2026, 12, 1), 7, 2}};
        school::FillDayChart(view.chart(), days, QDate(2026, 11, 11), QDate(2026, 12, 10), false);
        QCOMPARE(view.chart()->axes().size(), 2);
        QCOMPARE(view.chart()->series().size(), 1);
        QCOMPARE(view.chart()->axes(Qt::Horizontal).value(0), x);
        QVERIFY(x->titleText().isEmpty());
        QCOMPARE(x->count(), 30);
        const auto* series = qobject_cast<QBarSeries*>(view.chart()->series().value(0));
        QCOMPARE(series->barSets().at(0)->at(20), 7.0); // the 1st of December
        QCOMPARE(series->barSets().at(1)->sum(), 2.0);
    }
};

int main(int argc, char** argv)
{
    // A home of its own, so the record and the switch of this test reach no other.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/share")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    QApplication app(argc, argv);
    TestHistoryWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_history_window.moc"
