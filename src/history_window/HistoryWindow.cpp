// The window "Lernverlauf". It opens the record for reading only and checks
// it for damage first; it never creates the file, and it writes only the
// switch and, on request, deletes the rows or sets a bad file aside.

#include "history_window/HistoryWindow.h"

#include "history_window/FigureViews.h"

#include "platform/FileWriter.h"
#include "record/Recording.h"
#include "school/School.h"
#include "table/Operation.h"

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
#include <QTableWidget>
#include <QVBoxLayout>

using namespace history;

namespace {

enum Period { kWeek, kMonth, kAll };

// Bars per day for up to a month (their labels stand upright), per week up
// to half a year, then per month; never more than five years of months.
constexpr int kMaxDays = 31;
constexpr int kMaxWeeks = 26;
constexpr int kMaxYears = 5;
// Answers dated this many days away from all others came from a clock that
// was wrong (a computer whose clock was reset): they are counted, but they
// do not stretch the chart over decades of empty bars.
constexpr int kOddGap = 365;

// A name as the lists show it: one line, never blank, at most `width` pixels.
QString DisplayName(const QString& name, const QFontMetrics& metrics, int width = 260)
{
    QString shown = name;
    for (QChar& c : shown)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    if (shown.trimmed().isEmpty())
        return name.isEmpty() ? QStringLiteral("(ohne Namen)")
                              : QStringLiteral("„%1“ (nur Leerzeichen)").arg(shown);
    // Blanks before or after a name would make two entries look alike.
    if (shown.trimmed() != shown)
        return QStringLiteral("„%1“").arg(metrics.elidedText(shown, Qt::ElideMiddle, width));
    return metrics.elidedText(shown, Qt::ElideMiddle, width);
}

using figures::German;

void Inform(QWidget* parent, const QString& text, QMessageBox::Icon icon = QMessageBox::Information)
{
    QMessageBox box(icon, QStringLiteral("Lernverlauf"), text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

// A question with "Ja" and "Nein", "Nein" the default: whether the answer was yes.
bool Ask(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Lernverlauf"), text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("&Ja"));
    box.button(QMessageBox::No)->setText(QStringLiteral("&Nein"));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
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
    // Long names are shortened, so the list never grows wider than this.
    childBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    periodBox = new QComboBox(this);
    periodBox->setObjectName(QStringLiteral("periodBox"));
    periodBox->addItems({QStringLiteral("Letzte 7 Tage"), QStringLiteral("Letzte 30 Tage"), QStringLiteral("Alles")});
    QHBoxLayout* selection = figures::SelectionRow(this, QStringLiteral("&Kind:"), childBox, periodBox);

    notice = new QLabel(this);
    notice->setObjectName(QStringLiteral("notice"));
    notice->setWordWrap(true);
    notice->setTextFormat(Qt::PlainText);
    notice->setTextInteractionFlags(Qt::TextSelectableByMouse);
    setAsideButton = new QPushButton(QStringLiteral("Kopie aufheben und &neu beginnen ..."), this);
    setAsideButton->setObjectName(QStringLiteral("setAsideButton"));
    auto* noticeRow = new QHBoxLayout;
    noticeRow->addWidget(notice, 1);
    noticeRow->addWidget(setAsideButton, 0, Qt::AlignTop);

    chartView = figures::BarChartView(QStringLiteral("Antworten pro Tag"), 280, this);
    chartNote = new QLabel(this);
    chartNote->setObjectName(QStringLiteral("chartNote"));
    chartNote->setWordWrap(true);
    chartNote->setTextFormat(Qt::PlainText);
    chartNote->hide();

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

    childTable = new QTableWidget(0, 4, this);
    childTable->setObjectName(QStringLiteral("childTable"));
    childTable->setHorizontalHeaderLabels({QStringLiteral("Kind"), QStringLiteral("Antworten"),
                                           QStringLiteral("Davon richtig"), QStringLiteral("Hier hakt es am meisten")});
    childTable->verticalHeader()->hide();
    childTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    childTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    childTable->setSelectionMode(QAbstractItemView::NoSelection);
    childTable->setMaximumHeight(160);
    childTable->setWordWrap(false);

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

    recordState = new QLabel(this);
    recordState->setObjectName(QStringLiteral("recordState"));
    recordButton = new QPushButton(this);
    recordButton->setObjectName(QStringLiteral("recordButton"));
    csvButton = new QPushButton(QStringLiteral("Als &CSV speichern ..."), this);
    csvButton->setObjectName(QStringLiteral("csvButton"));
    deleteButton = new QPushButton(QStringLiteral("Verlauf &löschen ..."), this);
    deleteButton->setObjectName(QStringLiteral("deleteButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(recordState);
    buttons->addWidget(recordButton);
    buttons->addStretch();
    buttons->addWidget(csvButton);
    buttons->addWidget(deleteButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(selection);
    layout->addLayout(noticeRow);
    layout->addWidget(chartView, 1);
    layout->addWidget(chartNote);
    layout->addWidget(operationTable);
    layout->addWidget(childTable);
    layout->addLayout(lower);
    layout->addLayout(buttons);

    connect(childBox, &QComboBox::currentIndexChanged, this, &HistoryWindow::ShowSelection);
    connect(periodBox, &QComboBox::currentIndexChanged, this, &HistoryWindow::ShowSelection);
    connect(recordButton, &QPushButton::clicked, this, &HistoryWindow::recordButton_Click);
    connect(setAsideButton, &QPushButton::clicked, this, &HistoryWindow::setAsideButton_Click);
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
    using State = HistoryStore::State;
    if (!store_.OpenForReading() && store_.GetState() == State::Corrupt)
        NoteDamagedRecord(store_.Path());
    const bool hadChoice = childBox->count() > 0;
    const QVariant previous = childBox->currentData();
    const QStringList children = store_.Children();
    {
        const QSignalBlocker block(childBox);
        childBox->clear();
        if (!children.isEmpty())
            childBox->addItem(QStringLiteral("Alle Kinder"));
        for (const QString& name : children) {
            childBox->addItem(DisplayName(name, childBox->fontMetrics()), name);
            childBox->setItemData(childBox->count() - 1, name, Qt::ToolTipRole);
        }
        // The child (or all) chosen before, else the one who practised last, else all.
        int index = hadChoice ? childBox->findData(previous) : -1;
        if (const QString last = LastName(); index < 0 && !last.isEmpty())
            index = childBox->findData(last);
        childBox->setCurrentIndex(std::max(0, index));
    }
    const bool figures = store_.GetState() == State::Ready && !children.isEmpty();
    childBox->setEnabled(figures);
    csvButton->setEnabled(figures);
    deleteButton->setEnabled(figures);
    ShowRecordState();
    ShowNotice();
    ShowSelection();
}

void HistoryWindow::ShowRecordState()
{
    const bool on = RecordingOn();
    // On a school's computer the school's setting holds; the user's switch
    // would change nothing.
    const bool bySchool = school::Configured();
    recordState->setText(bySchool ? QStringLiteral("Aufzeichnung: an (von der Schule eingestellt)")
                         : on     ? QStringLiteral("Aufzeichnung: an")
                                  : QStringLiteral("Aufzeichnung: aus"));
    recordButton->setText(on ? QStringLiteral("Aufzeichnung &ausschalten") : QStringLiteral("Aufzeichnung &einschalten"));
    recordButton->setEnabled(!bySchool);
}

void HistoryWindow::ShowNotice()
{
    QStringList lines;
    if (!keptNote_.isEmpty())
        lines << keptNote_;
    using State = HistoryStore::State;
    const State state = store_.GetState();
    // Why recording paused comes first; the notes after it (answers lost to
    // a full disk, a log set aside) say what happened while it recorded.
    const QString paused = PausedReason();
    const QString problem = PausedProblem();
    const bool pausedNow = !problem.isEmpty() && paused.startsWith(problem);
    if (pausedNow && problem != store_.Problem())
        lines << QStringLiteral("Die Aufzeichnung wurde angehalten. ") + problem;
    const QString notes = pausedNow ? paused.mid(problem.size()).trimmed() : paused;
    if (!notes.isEmpty())
        lines << notes;
    if (state == State::Missing || (state == State::Ready && childBox->count() == 0))
        lines << QStringLiteral("Es gibt noch keinen Lernverlauf.");
    else if (state != State::Ready)
        lines << store_.Problem();
    const bool setAside = state == State::Corrupt || state == State::Foreign;
    if (state == State::Corrupt)
        lines << QStringLiteral("Die Aufzeichnung schreibt nicht mehr in diese Datei. „Kopie aufheben und neu "
                                "beginnen ...“ legt sie unter neuem Namen beiseite; danach beginnt ein neuer "
                                "Lernverlauf.");
    else if (state == State::Foreign)
        lines << QStringLiteral("„Kopie aufheben und neu beginnen ...“ legt die Datei unter neuem Namen beiseite; "
                                "danach beginnt ein neuer Lernverlauf.");
    setAsideButton->setVisible(setAside);
    const QString sending = school::SendingProblem();
    if (!sending.isEmpty())
        lines << sending;
    notice->setText(lines.join(QLatin1Char('\n')));
    notice->setVisible(!lines.isEmpty());
}

Filter HistoryWindow::CurrentFilter() const
{
    Filter f;
    f.child = childBox->currentData().toString();
    const QDate today = QDate::currentDate();
    // Every period ends today: an answer dated later (a wrong clock) counts in none.
    f.to = today;
    if (periodBox->currentIndex() == kWeek)
        f.from = today.addDays(-6);
    else if (periodBox->currentIndex() == kMonth)
        f.from = today.addDays(-29);
    return f;
}

void HistoryWindow::ShowSelection()
{
    const Filter f = CurrentFilter();
    if (store_.GetState() == HistoryStore::State::Ready) {
        FillChart(f);
        FillOperations(f);
        FillChildren(f);
        FillWeakRows(f);
        FillGames(f);
    }
    // A query that failed leaves no figure standing.
    if (store_.GetState() != HistoryStore::State::Ready) {
        if (store_.GetState() == HistoryStore::State::Corrupt)
            NoteDamagedRecord(store_.Path());
        ClearFigures();
        childBox->setEnabled(false);
        csvButton->setEnabled(false);
        deleteButton->setEnabled(false);
        ShowNotice();
    }
}

void HistoryWindow::ClearFigures()
{
    figures::ClearBars(chartView->chart());
    chartNote->clear();
    chartNote->hide();
    operationTable->setRowCount(0);
    childTable->setRowCount(0);
    childTable->hide();
    weakRows->clear();
    games->clear();
}

void HistoryWindow::FillChart(const Filter& f)
{

    const std::vector<DayCount> counted = store_.Days(f);
    // Every day, week or month of the period gets its bar, so gaps show. A
    // period of many days is shown by week, of many weeks by month.
    QDate last = f.to.isValid() ? f.to : QDate::currentDate();
    QDate first = f.from.isValid() ? f.from : (counted.empty() ? last : counted.front().day);
    QStringList notes;
    const QLocale de = German();
    const auto answers = [&de](qint64 n) {
        return n == 1 ? QStringLiteral("Eine Antwort") : de.toString(n) + QStringLiteral(" Antworten");
    };
    if (!f.from.isValid() && !counted.empty()) {
        // "Alles" begins after the last long gap between answers; what lies
        // before it, or more than five years back, is named, not drawn.
        std::size_t begin = 0;
        for (std::size_t i = 1; i < counted.size(); ++i)
            if (counted[i - 1].day.daysTo(counted[i].day) > kOddGap)
                begin = i;
        if (counted.back().day.daysTo(last) > kOddGap)
            last = counted.back().day;
        while (begin < counted.size() && counted[begin].day < last.addYears(-kMaxYears))
            ++begin;
        first = counted[begin].day;
        qint64 odd = 0;
        for (std::size_t i = 0; i < begin; ++i)
            odd += counted[i].right + counted[i].wrong;
        if (odd > 0)
            notes << QStringLiteral("%1 vom %2 bis %3 %4 weit vor den übrigen (falsch gestellte Uhr?) und %5 "
                                    "nur in den Tabellen.")
                         .arg(answers(odd), counted.front().day.toString(QStringLiteral("d.M.yyyy")),
                              counted[begin - 1].day.toString(QStringLiteral("d.M.yyyy")),
                              odd == 1 ? QStringLiteral("liegt") : QStringLiteral("liegen"),
                              odd == 1 ? QStringLiteral("steht") : QStringLiteral("stehen"));
    }
    if (f.to.isValid()) {
        qint64 future = 0;
        for (const DayCount& d : store_.Days({f.child, f.to.addDays(1)}))
            future += d.right + d.wrong;
        if (future > 0)
            notes << QStringLiteral("%1 %2 ein Datum nach heute (falsch gestellte Uhr?) und %3 in keinem Zeitraum.")
                         .arg(answers(future), future == 1 ? QStringLiteral("trägt") : QStringLiteral("tragen"),
                              future == 1 ? QStringLiteral("zählt") : QStringLiteral("zählen"));
    }
    chartNote->setText(notes.join(QLatin1Char('\n')));
    chartNote->setVisible(!notes.isEmpty());
    enum class Step { Day, Week, Month } step = Step::Day;
    if (first.daysTo(last) >= kMaxWeeks * 7)
        step = Step::Month;
    else if (first.daysTo(last) >= kMaxDays)
        step = Step::Week;
    const auto bucketOf = [step](QDate d) {
        switch (step) {
        case Step::Day: return d;
        case Step::Week: return d.addDays(1 - d.dayOfWeek());
        case Step::Month: return QDate(d.year(), d.month(), 1);
        }
        return d;
    };
    const auto next = [step](QDate d) {
        return step == Step::Day ? d.addDays(1) : step == Step::Week ? d.addDays(7) : d.addMonths(1);
    };
    std::vector<DayCount> bars;
    for (QDate d = bucketOf(first); d <= last; d = next(d))
        bars.push_back({d, 0, 0});
    for (const DayCount& day : counted) {
        const QDate bucket = bucketOf(day.day);
        for (DayCount& bar : bars)
            if (bar.day == bucket) {
                bar.right += day.right;
                bar.wrong += day.wrong;
                break;
            }
    }
    chartView->chart()->setTitle(step == Step::Day    ? QStringLiteral("Antworten pro Tag")
                    : step == Step::Week ? QStringLiteral("Antworten pro Woche (ab Montag)")
                                         : QStringLiteral("Antworten pro Monat"));

    QStringList labels;
    for (const DayCount& d : bars)
        labels << d.day.toString(step == Step::Month ? QStringLiteral("MM.yyyy") : QStringLiteral("dd.MM."));
    figures::FillBars(chartView->chart(), bars, labels);
}

void HistoryWindow::FillOperations(const Filter& f)
{
    const std::vector<OperationStats> ops = store_.Operations(f);
    operationTable->setRowCount(static_cast<int>(ops.size()));
    int row = 0;
    for (const OperationStats& op : ops) {
        operationTable->setItem(row, 0, figures::Cell(rows::WordOfNumber(op.operation), false));
        operationTable->setItem(row, 1, figures::Cell(QString::number(op.answers), true));
        operationTable->setItem(row, 2, figures::Cell(figures::PercentText(op.right, op.answers), true));
        operationTable->setItem(row, 3, figures::Cell(figures::MedianText(op.medianSeconds), true));
        ++row;
    }
}

void HistoryWindow::FillChildren(const Filter& f)
{
    childTable->setVisible(f.child.isNull() && childBox->count() > 0);
    if (childTable->isHidden()) {
        childTable->setRowCount(0);
        return;
    }
    const std::vector<ChildStats> children = store_.ChildTable(f);
    childTable->setRowCount(static_cast<int>(children.size()));
    int row = 0;
    for (const ChildStats& c : children) {
        const QStringList cells{
            DisplayName(c.child, childTable->fontMetrics()), QString::number(c.answers),
            figures::PercentText(c.right, c.answers), c.weakest ? figures::WeakText(*c.weakest) : QStringLiteral("–")};
        for (int column = 0; column < cells.size(); ++column) {
            auto* item = figures::Cell(cells[column], column == 1 || column == 2);
            if (column == 0)
                item->setToolTip(c.child);
            childTable->setItem(row, column, item);
        }
        ++row;
    }
}

void HistoryWindow::FillWeakRows(const Filter& f)
{
    QStringList lines;
    for (const WeakRow& r : store_.WeakRows(f))
        lines << figures::WeakText(r);
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

void HistoryWindow::recordButton_Click()
{
    if (!SetRecordingOn(!RecordingOn()))
        Inform(this, QStringLiteral("Die Einstellung konnte nicht gespeichert werden."), QMessageBox::Warning);
    ShowRecordState();
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
                                 "gespeichert.\n")
            + store_.Problem();
    if (error != files::Error::None)
        Inform(this, problem.trimmed(), QMessageBox::Warning);
    if (store_.GetState() != HistoryStore::State::Ready)
        Reload();
}

void HistoryWindow::deleteButton_Click()
{
    if (!Ask(this, QStringLiteral("Den ganzen Lernverlauf aller Kinder löschen?\n"
                                  "Das lässt sich nicht rückgängig machen.")))
        return;
    // The rows go, the file stays: a child's program recording meanwhile
    // goes on writing into the same file, and nothing of it is lost.
    store_.Close();
    {
        HistoryStore writer(store_.Path());
        if (!writer.Open(false) || !writer.DeleteAll())
            Inform(this, QStringLiteral("Der Lernverlauf konnte nicht gelöscht werden.\n") + writer.Problem(),
                   QMessageBox::Warning);
        else
            ClearPausedReason();
    }
    Reload();
}

void HistoryWindow::setAsideButton_Click()
{
    if (!Ask(this, QStringLiteral("Die Datei bekommt einen neuen Namen und bleibt im selben Ordner liegen; "
                                  "die Aufzeichnung beginnt einen neuen Lernverlauf.\nFortfahren?")))
        return;
    store_.Close();
    QString kept;
    if (!HistoryStore::SetAside(store_.Path(), &kept)) {
        Inform(this, QStringLiteral("Die Datei konnte nicht umbenannt werden: %1").arg(QDir::toNativeSeparators(store_.Path())),
               QMessageBox::Warning);
    } else {
        ClearPausedReason();
        keptNote_ = QStringLiteral("Die alte Datei liegt jetzt hier: %1").arg(QDir::toNativeSeparators(kept));
    }
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
