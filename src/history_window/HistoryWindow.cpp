// The window "Lernverlauf". It opens the record read-mostly: it never
// creates the file, and it writes only the switch and, on request, deletes.

#include "history_window/HistoryWindow.h"

#include "app/FileWriter.h"
#include "history/Recording.h"
#include "history/School.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QValueAxis>
#include <QVBoxLayout>

using namespace history;

namespace {

enum Period { kWeek, kMonth, kAll };

// Days shown one by one, also those without answers, up to this many.
constexpr int kMaxEveryDay = 62;

QLocale German() { return QLocale(QLocale::German, QLocale::Germany); }

void Inform(QWidget* parent, const QString& text, QMessageBox::Icon icon = QMessageBox::Information)
{
    QMessageBox box(icon, QStringLiteral("Lernverlauf"), text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace

HistoryWindow::HistoryWindow(QWidget* parent) : QWidget(parent), store_(DefaultHistoryPath())
{
    setObjectName(QStringLiteral("Lernverlauf"));
    setWindowTitle(QStringLiteral("Lernverlauf"));
    resize(860, 760);

    childBox = new QComboBox(this);
    childBox->setObjectName(QStringLiteral("childBox"));
    childBox->setMinimumContentsLength(16);
    periodBox = new QComboBox(this);
    periodBox->setObjectName(QStringLiteral("periodBox"));
    periodBox->addItems({QStringLiteral("Letzte 7 Tage"), QStringLiteral("Letzte 30 Tage"), QStringLiteral("Alles")});
    auto* childLabel = new QLabel(QStringLiteral("&Kind:"), this);
    childLabel->setBuddy(childBox);
    auto* periodLabel = new QLabel(QStringLiteral("&Zeitraum:"), this);
    periodLabel->setBuddy(periodBox);
    auto* selection = new QHBoxLayout;
    selection->addWidget(childLabel);
    selection->addWidget(childBox);
    selection->addSpacing(16);
    selection->addWidget(periodLabel);
    selection->addWidget(periodBox);
    selection->addStretch();

    notice = new QLabel(this);
    notice->setObjectName(QStringLiteral("notice"));
    notice->setWordWrap(true);
    notice->setTextFormat(Qt::PlainText);
    notice->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Antworten pro Tag"));
    chart->legend()->setAlignment(Qt::AlignBottom);
    chartView = new QChartView(chart, this);
    chartView->setObjectName(QStringLiteral("chartView"));
    chartView->setRenderHint(QPainter::Antialiasing);
    chartView->setMinimumHeight(280);

    operationTable = new QTableWidget(0, 4, this);
    operationTable->setObjectName(QStringLiteral("operationTable"));
    operationTable->setHorizontalHeaderLabels({QStringLiteral("Rechenart"), QStringLiteral("Antworten"),
                                               QStringLiteral("Davon richtig"),
                                               QStringLiteral("Sekunden je richtige Antwort (Median)")});
    operationTable->verticalHeader()->hide();
    operationTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    operationTable->horizontalHeader()->setSectionResizeMode(3, QHeaderView::ResizeToContents);
    operationTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    operationTable->setSelectionMode(QAbstractItemView::NoSelection);
    operationTable->setFixedHeight(operationTable->horizontalHeader()->sizeHint().height() + 3 * 30 + 4);

    weakRows = new QLabel(this);
    weakRows->setObjectName(QStringLiteral("weakRows"));
    weakRows->setTextFormat(Qt::PlainText);
    weakRows->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    auto* weakBox = new QGroupBox(QStringLiteral("Hier hakt es"), this);
    (new QVBoxLayout(weakBox))->addWidget(weakRows);

    games = new QLabel(this);
    games->setObjectName(QStringLiteral("games"));
    games->setTextFormat(Qt::PlainText);
    games->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    auto* gameBox = new QGroupBox(QStringLiteral("Belohnungsspiele"), this);
    (new QVBoxLayout(gameBox))->addWidget(games);

    auto* lower = new QHBoxLayout;
    lower->addWidget(weakBox, 1);
    lower->addWidget(gameBox, 1);

    recordButton = new QPushButton(QStringLiteral("Verlauf &aufzeichnen"), this);
    recordButton->setObjectName(QStringLiteral("recordButton"));
    recordButton->setCheckable(true);
    recordButton->setChecked(RecordingOn());
    csvButton = new QPushButton(QStringLiteral("Als &CSV speichern ..."), this);
    csvButton->setObjectName(QStringLiteral("csvButton"));
    deleteButton = new QPushButton(QStringLiteral("Verlauf &löschen ..."), this);
    deleteButton->setObjectName(QStringLiteral("deleteButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(recordButton);
    buttons->addStretch();
    buttons->addWidget(csvButton);
    buttons->addWidget(deleteButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(selection);
    layout->addWidget(notice);
    layout->addWidget(chartView, 1);
    layout->addWidget(operationTable);
    layout->addLayout(lower);
    layout->addLayout(buttons);

    connect(childBox, &QComboBox::currentIndexChanged, this, &HistoryWindow::ShowSelection);
    connect(periodBox, &QComboBox::currentIndexChanged, this, &HistoryWindow::ShowSelection);
    connect(recordButton, &QPushButton::toggled, this, &HistoryWindow::recordButton_Toggled);
    connect(csvButton, &QPushButton::clicked, this, &HistoryWindow::csvButton_Click);
    connect(deleteButton, &QPushButton::clicked, this, &HistoryWindow::deleteButton_Click);

    Reload();
}

bool HistoryWindow::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate && isVisible())
        Reload();
    return QWidget::event(e);
}

void HistoryWindow::Reload()
{
    store_.Open(false);
    const QString previous = childBox->currentText();
    {
        const QSignalBlocker block(childBox);
        childBox->clear();
        childBox->addItems(store_.Children());
        // The child chosen before, else the one who practised last.
        QString wanted = previous;
        if (childBox->findText(wanted) < 0)
            wanted = QSettings(QStringLiteral("Rechenkov"), QStringLiteral("Rechenkov"))
                         .value(QStringLiteral("Verlauf/Name"))
                         .toString();
        childBox->setCurrentIndex(std::max(0, childBox->findText(wanted)));
    }
    childBox->setEnabled(childBox->count() > 0);
    csvButton->setEnabled(store_.GetState() == HistoryStore::State::Ready && childBox->count() > 0);
    deleteButton->setEnabled(QFileInfo::exists(store_.Path()));
    ShowNotice();
    ShowSelection();
}

void HistoryWindow::ShowNotice()
{
    QStringList lines;
    const QString paused = PausedReason();
    if (!paused.isEmpty())
        lines << QStringLiteral("Die Aufzeichnung wurde angehalten. ") + paused;
    using State = HistoryStore::State;
    const State state = store_.GetState();
    if (state == State::Missing || (state == State::Ready && childBox->count() == 0))
        lines << QStringLiteral("Es gibt noch keinen Lernverlauf.");
    else if (state != State::Ready && store_.Problem() != paused)
        lines << store_.Problem();
    if (state == State::Corrupt || state == State::Foreign)
        lines << QStringLiteral("„Verlauf löschen ...“ entfernt die Datei; danach legt die Aufzeichnung eine neue an.");
    if (!recordButton->isChecked())
        lines << QStringLiteral("Die Aufzeichnung ist aus. „Verlauf aufzeichnen“ schaltet sie ein.");
    const QString sending = school::SendingProblem();
    if (!sending.isEmpty())
        lines << sending;
    notice->setText(lines.join(QLatin1Char('\n')));
    notice->setVisible(!lines.isEmpty());
}

Filter HistoryWindow::CurrentFilter() const
{
    Filter f;
    f.child = childBox->currentText();
    const QDate today = QDate::currentDate();
    if (periodBox->currentIndex() == kWeek)
        f.from = today.addDays(-6);
    else if (periodBox->currentIndex() == kMonth)
        f.from = today.addDays(-29);
    return f;
}

void HistoryWindow::ShowSelection()
{
    const Filter f = CurrentFilter();
    FillChart(f);
    FillOperations(f);
    FillWeakRows(f);
    FillGames(f);
}

void HistoryWindow::FillChart(const Filter& f)
{
    QChart* chart = chartView->chart();
    chart->removeAllSeries();
    // A removed axis goes back to its caller.
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }

    const std::vector<DayCount> counted = store_.Days(f);
    // Every day of the period gets its place, so gaps show; a long period
    // without a start shows only the days with answers.
    std::vector<DayCount> days;
    const QDate first = f.from.isValid() ? f.from : (counted.empty() ? QDate() : counted.front().day);
    const QDate today = QDate::currentDate();
    if (first.isValid() && first.daysTo(today) < kMaxEveryDay) {
        std::size_t next = 0;
        for (QDate d = first; d <= today; d = d.addDays(1)) {
            DayCount day{d, 0, 0};
            while (next < counted.size() && counted[next].day < d)
                ++next;
            if (next < counted.size() && counted[next].day == d)
                day = counted[next];
            days.push_back(day);
        }
    } else {
        days = counted;
    }

    auto* right = new QBarSet(QStringLiteral("richtig"));
    right->setColor(QColor(0x2e, 0x9d, 0x4a));
    auto* wrong = new QBarSet(QStringLiteral("falsch"));
    wrong->setColor(QColor(0xd0, 0x3a, 0x2f));
    QStringList labels;
    int highest = 0;
    for (const DayCount& d : days) {
        *right << d.right;
        *wrong << d.wrong;
        labels << d.day.toString(QStringLiteral("dd.MM."));
        highest = std::max({highest, d.right, d.wrong});
    }
    auto* series = new QBarSeries;
    series->append(right);
    series->append(wrong);
    chart->addSeries(series);

    auto* x = new QBarCategoryAxis;
    x->append(labels);
    if (labels.size() > 14)
        x->setLabelsAngle(-90);
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    auto* y = new QValueAxis;
    y->setLabelFormat(QStringLiteral("%d"));
    y->setRange(0, std::max(highest, 5));
    y->applyNiceNumbers();
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);
}

void HistoryWindow::FillOperations(const Filter& f)
{
    const QLocale de = German();
    const std::vector<OperationStats> ops = store_.Operations(f);
    operationTable->setRowCount(static_cast<int>(ops.size()));
    int row = 0;
    for (const OperationStats& op : ops) {
        const QString share = op.answers ? de.toString(100.0 * op.right / op.answers, 'f', 0) + QStringLiteral(" %")
                                         : QString();
        const QString median = op.medianSeconds ? de.toString(*op.medianSeconds, 'f', 1) : QStringLiteral("–");
        const QStringList cells{OperationName(op.operation), QString::number(op.answers), share, median};
        for (int column = 0; column < cells.size(); ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            if (column > 0)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            operationTable->setItem(row, column, item);
        }
        ++row;
    }
}

void HistoryWindow::FillWeakRows(const Filter& f)
{
    QStringList lines;
    for (const WeakRow& r : store_.WeakRows(f))
        lines << QStringLiteral("%1: %2 von %3 falsch").arg(r.calcRow).arg(r.wrong).arg(r.answers);
    if (lines.isEmpty())
        lines << QStringLiteral("Keine Rechenreihe mit mindestens fünf Antworten und Fehlern.");
    weakRows->setText(lines.join(QLatin1Char('\n')));
}

void HistoryWindow::FillGames(const Filter& f)
{
    const GameStats g = store_.Games(f);
    QString text = g.count == 1 ? QStringLiteral("1 Spiel") : QStringLiteral("%1 Spiele").arg(g.count);
    if (g.bestSeconds)
        text += QStringLiteral("\nBeste Zeit: %1 Sekunden").arg(*g.bestSeconds);
    games->setText(text);
}

void HistoryWindow::recordButton_Toggled(bool on)
{
    if (!SetRecordingOn(on))
        Inform(this, QStringLiteral("Die Einstellung konnte nicht gespeichert werden."), QMessageBox::Warning);
    ShowNotice();
}

void HistoryWindow::csvButton_Click()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Als CSV speichern"),
                                                      QDir::home().filePath(QStringLiteral("lernverlauf.csv")),
                                                      QStringLiteral("CSV-Dateien (*.csv)"));
    if (path.isEmpty())
        return;
    QString problem;
    const files::Error error = files::WriteFile(path, files::Replace::Always, [&](files::FileWriter& file) {
        return store_.WriteCsv([&](const QByteArray& piece) { return file.Write(piece); });
    }, &problem);
    if (error == files::Error::NoContent)
        problem = QStringLiteral("Der Lernverlauf konnte nicht vollständig gelesen werden; die Datei wurde nicht "
                                 "gespeichert.");
    if (error != files::Error::None)
        Inform(this, problem, QMessageBox::Warning);
}

void HistoryWindow::deleteButton_Click()
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Lernverlauf"),
                    QStringLiteral("Den ganzen Lernverlauf aller Kinder löschen?\n"
                                   "Das lässt sich nicht rückgängig machen."),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("&Ja"));
    box.button(QMessageBox::No)->setText(QStringLiteral("&Nein"));
    box.setDefaultButton(QMessageBox::No);
    if (box.exec() != QMessageBox::Yes)
        return;
    store_.Close();
    ResetRecorder();
    if (!HistoryStore::DeleteFile(store_.Path()))
        Inform(this, QStringLiteral("Die Datei des Lernverlaufs konnte nicht gelöscht werden."), QMessageBox::Warning);
    else
        ClearPausedReason();
    Reload();
}

namespace history {

void ShowHistoryWindow()
{
    auto* window = new HistoryWindow;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}

} // namespace history
