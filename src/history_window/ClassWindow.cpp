// The window "Klassenverlauf". It reads the school's server and writes
// nothing there; its only file is the CSV a teacher asks for.

#include "history_window/ClassWindow.h"

#include "history/HistoryStore.h"
#include "history/School.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QTableWidget>
#include <QValueAxis>
#include <QVBoxLayout>

#include <atomic>
#include <map>

using namespace school;

namespace {

// The period box's choices in days.
constexpr int kPeriods[] = {7, 30, 365};
// Longer periods are counted by weeks, so the bars stay readable.
constexpr int kMaxEveryDay = 62;

QLocale German() { return QLocale(QLocale::German, QLocale::Germany); }

QString Percent(qint64 part, qint64 whole)
{
    return whole ? German().toString(100.0 * double(part) / double(whole), 'f', 0) + QStringLiteral(" %") : QString();
}

QString Seconds(const std::optional<double>& s) { return s ? German().toString(*s, 'f', 1) : QStringLiteral("–"); }

QString WeakText(const WeakPair& w)
{
    return QStringLiteral("%1: %2 von %3 falsch").arg(w.calcRow).arg(w.wrong).arg(w.answers);
}

QLabel* TextLabel(const char* name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QChartView* DayChartView(const QString& title, QWidget* parent)
{
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->legend()->setAlignment(Qt::AlignBottom);
    auto* view = new QChartView(chart, parent);
    view->setObjectName(QStringLiteral("chartView"));
    view->setRenderHint(QPainter::Antialiasing);
    // Room for the dates, written upright under a month of bars.
    view->setMinimumHeight(340);
    return view;
}

QTableWidgetItem* Cell(const QString& text, bool number)
{
    auto* item = new QTableWidgetItem(text);
    if (number)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

QString NextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("klassenverlauf-%1").arg(++counter);
}

} // namespace

namespace school {

void FillDayChart(QChart* chart, const std::vector<DayBar>& bars, const QDate& first, const QDate& last, bool byWeek)
{
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    auto* right = new QBarSet(QStringLiteral("richtig"));
    right->setColor(QColor(0x2e, 0x9d, 0x4a));
    auto* wrong = new QBarSet(QStringLiteral("falsch"));
    wrong->setColor(QColor(0xd0, 0x3a, 0x2f));
    QStringList labels;
    qint64 highest = 0;
    // Every day (or week) of the period gets its place, so gaps show.
    std::size_t next = 0;
    const QDate start = byWeek ? first.addDays(1 - first.dayOfWeek()) : first;
    for (QDate d = start; d <= last; d = d.addDays(byWeek ? 7 : 1)) {
        DayBar bar{d, 0, 0};
        while (next < bars.size() && bars[next].day < d)
            ++next;
        if (next < bars.size() && bars[next].day == d)
            bar = bars[next];
        *right << double(bar.right);
        *wrong << double(bar.wrong);
        labels << (byWeek ? QStringLiteral("KW %1").arg(d.weekNumber()) : d.toString(QStringLiteral("dd.MM.")));
        highest = std::max({highest, bar.right, bar.wrong});
    }
    auto* series = new QBarSeries;
    series->append(right);
    series->append(wrong);
    chart->addSeries(series);
    auto* x = new QBarCategoryAxis;
    x->append(labels);
    if (labels.size() > 14) {
        x->setLabelsAngle(-90);
        x->setTruncateLabels(false);
    }
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    auto* y = new QValueAxis;
    y->setLabelFormat(QStringLiteral("%d"));
    y->setRange(0, double(std::max<qint64>(highest, 5)));
    y->applyNiceNumbers();
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);
}

void ShowClassWindow()
{
    auto* window = new ClassWindow;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}

} // namespace school

ClassWindow::ClassWindow(QWidget* parent) : QWidget(parent), connection_(NextConnectionName())
{
    setObjectName(QStringLiteral("Klassenverlauf"));
    setWindowTitle(QStringLiteral("Klassenverlauf"));
    resize(1100, 820);

    userEdit = new QLineEdit(qEnvironmentVariable("USER"), this);
    userEdit->setObjectName(QStringLiteral("userEdit"));
    passwordEdit = new QLineEdit(this);
    passwordEdit->setObjectName(QStringLiteral("passwordEdit"));
    passwordEdit->setEchoMode(QLineEdit::Password);
    connectButton = new QPushButton(QStringLiteral("&Anmelden"), this);
    connectButton->setObjectName(QStringLiteral("connectButton"));
    connectButton->setDefault(true);
    auto* userLabel = new QLabel(QStringLiteral("&Benutzer:"), this);
    userLabel->setBuddy(userEdit);
    auto* passwordLabel = new QLabel(QStringLiteral("&Kennwort:"), this);
    passwordLabel->setBuddy(passwordEdit);
    auto* login = new QHBoxLayout;
    login->addWidget(userLabel);
    login->addWidget(userEdit);
    login->addWidget(passwordLabel);
    login->addWidget(passwordEdit);
    login->addWidget(connectButton);
    login->addStretch();

    classBox = new QComboBox(this);
    classBox->setObjectName(QStringLiteral("classBox"));
    classBox->setMinimumContentsLength(8);
    periodBox = new QComboBox(this);
    periodBox->setObjectName(QStringLiteral("periodBox"));
    periodBox->addItems({QStringLiteral("Letzte 7 Tage"), QStringLiteral("Letzte 30 Tage"), QStringLiteral("Letztes Jahr")});
    periodBox->setCurrentIndex(1);
    auto* classLabel = new QLabel(QStringLiteral("K&lasse:"), this);
    classLabel->setBuddy(classBox);
    auto* periodLabel = new QLabel(QStringLiteral("&Zeitraum:"), this);
    periodLabel->setBuddy(periodBox);
    auto* selection = new QHBoxLayout;
    selection->addWidget(classLabel);
    selection->addWidget(classBox);
    selection->addSpacing(16);
    selection->addWidget(periodLabel);
    selection->addWidget(periodBox);
    selection->addStretch();

    notice = TextLabel("notice", this);

    childTable = new QTableWidget(0, 11, this);
    childTable->setObjectName(QStringLiteral("childTable"));
    QStringList headers{QStringLiteral("Kind")};
    for (int op = 1; op <= 3; ++op) {
        const QString name = OperationWord(op);
        headers << name + QStringLiteral("\nAntworten") << name + QStringLiteral("\nrichtig")
                << name + QStringLiteral("\nSekunden (Median)");
    }
    headers << QStringLiteral("Schwächste Reihe");
    childTable->setHorizontalHeaderLabels(headers);
    childTable->verticalHeader()->hide();
    childTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    childTable->horizontalHeader()->setStretchLastSection(true);
    childTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    childTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    childTable->setSelectionMode(QAbstractItemView::SingleSelection);
    childTable->setToolTip(QStringLiteral("Ein Klick auf ein Kind zeigt seinen Lernverlauf."));

    chartView = DayChartView(QStringLiteral("Antworten der Klasse"), this);
    classWeak = TextLabel("classWeak", this);
    auto* weakBox = new QGroupBox(QStringLiteral("Hier hakt die Klasse"), this);
    (new QVBoxLayout(weakBox))->addWidget(classWeak);
    auto* lower = new QHBoxLayout;
    lower->addWidget(chartView, 3);
    lower->addWidget(weakBox, 1);

    csvButton = new QPushButton(QStringLiteral("Als &CSV speichern ..."), this);
    csvButton->setObjectName(QStringLiteral("csvButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(csvButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(login);
    layout->addLayout(selection);
    layout->addWidget(notice);
    layout->addWidget(childTable, 1);
    layout->addLayout(lower, 1);
    layout->addLayout(buttons);

    connect(connectButton, &QPushButton::clicked, this, &ClassWindow::connectButton_Click);
    connect(passwordEdit, &QLineEdit::returnPressed, this, &ClassWindow::connectButton_Click);
    connect(classBox, &QComboBox::currentIndexChanged, this, &ClassWindow::ShowSelection);
    connect(periodBox, &QComboBox::currentIndexChanged, this, &ClassWindow::ShowSelection);
    connect(childTable, &QTableWidget::cellClicked, this, &ClassWindow::childTable_Click);
    connect(csvButton, &QPushButton::clicked, this, &ClassWindow::csvButton_Click);

    classBox->setEnabled(false);
    csvButton->setEnabled(false);
    if (!school::Configured()) {
        for (QWidget* w : std::initializer_list<QWidget*>{userEdit, passwordEdit, connectButton, periodBox})
            w->setEnabled(false);
        ShowNotice(QStringLiteral("Auf diesem Rechner ist kein Schulserver eingerichtet: Abschnitt [Schule] mit "
                                  "Verbindung= in /etc/xdg/Rechenkov/Rechenkov.conf (siehe „rechenkov --schule-pruefen“)."));
    } else {
        ShowNotice(QString());
    }
}

ClassWindow::~ClassWindow()
{
    if (QSqlDatabase::contains(connection_)) {
        QSqlDatabase::database(connection_, false).close();
        QSqlDatabase::removeDatabase(connection_);
    }
}

void ClassWindow::ShowNotice(const QString& problem)
{
    QStringList lines;
    if (!problem.isEmpty())
        lines << problem;
    // This computer's own answers that wait for the server.
    const QString sending = SendingProblem();
    if (!sending.isEmpty())
        lines << sending;
    notice->setText(lines.join(QLatin1Char('\n')));
    notice->setVisible(!lines.isEmpty());
}

bool ClassWindow::ConnectAs(const QString& user, const QString& password)
{
    if (QSqlDatabase::contains(connection_)) {
        QSqlDatabase::database(connection_, false).close();
        QSqlDatabase::removeDatabase(connection_);
    }
    QSqlDatabase db = AddServerConnection(connection_, ReadSettings().connection, user, password);
    if (!db.open()) {
        ShowNotice(GermanReason(db.lastError()));
        return false;
    }
    ClassRecord record(connection_);
    const QStringList classes = record.Classes();
    {
        const QSignalBlocker block(classBox);
        classBox->clear();
        for (const QString& k : classes)
            classBox->addItem(k.isEmpty() ? QStringLiteral("(ohne Klasse)") : k, k);
        // The class this computer is set to first, if it has answers.
        classBox->setCurrentIndex(std::max(0, classBox->findData(ReadSettings().klasse)));
    }
    classBox->setEnabled(!classes.isEmpty());
    csvButton->setEnabled(!classes.isEmpty());
    if (!record.Error().isEmpty())
        ShowNotice(record.Error());
    else if (classes.isEmpty())
        ShowNotice(QStringLiteral("Auf dem Schulserver ist noch keine Antwort eingetroffen."));
    else
        ShowSelection();
    return record.Error().isEmpty();
}

void ClassWindow::connectButton_Click() { ConnectAs(userEdit->text().trimmed(), passwordEdit->text()); }

void ClassWindow::ShowClass(const QString& klasse, int days)
{
    const QSignalBlocker blockClass(classBox);
    const QSignalBlocker blockPeriod(periodBox);
    classBox->setCurrentIndex(std::max(0, classBox->findData(klasse)));
    for (int i = 0; i < int(std::size(kPeriods)); ++i)
        if (kPeriods[i] == days)
            periodBox->setCurrentIndex(i);
    ShowSelection();
}

Period ClassWindow::CurrentPeriod(const QString& child) const
{
    // Whole days in the viewer's time zone, today included, nothing after it.
    const QDateTime end(QDate::currentDate().addDays(1), QTime(0, 0));
    const int days = kPeriods[std::clamp(periodBox->currentIndex(), 0, int(std::size(kPeriods)) - 1)];
    return {classBox->currentData().toString(), child, end.addDays(-days), end};
}

void ClassWindow::ShowSelection()
{
    if (!QSqlDatabase::contains(connection_) || classBox->count() == 0)
        return;
    ClassRecord record(connection_);
    const Period p = CurrentPeriod();
    FillTable(record, p);
    QString problem = record.Error();

    QStringList weak;
    for (const WeakPair& w : record.WeakPairs(p))
        weak << WeakText(w);
    classWeak->setText(weak.isEmpty() ? QStringLiteral("Keine Fehler in diesem Zeitraum.") : weak.join(QLatin1Char('\n')));
    if (problem.isEmpty())
        problem = record.Error();

    const QDate first = p.from.date();
    const QDate last = p.to.date().addDays(-1);
    const bool byWeek = first.daysTo(last) >= kMaxEveryDay;
    FillDayChart(chartView->chart(), record.Days(p, byWeek), first, last, byWeek);
    if (problem.isEmpty())
        problem = record.Error();
    ShowNotice(problem);
}

void ClassWindow::FillTable(ClassRecord& record, const Period& p)
{
    // Child by child: a row each, three columns per operation.
    std::map<QString, std::vector<ChildOperation>> byChild;
    for (const ChildOperation& op : record.Operations(p))
        byChild[op.child].push_back(op);
    std::map<QString, WeakPair> weakest;
    for (const WeakPair& w : record.WeakestPerChild(p))
        weakest[w.child] = w;
    childTable->setRowCount(int(byChild.size()));
    int row = 0;
    for (const auto& [child, ops] : byChild) {
        childTable->setItem(row, 0, Cell(child, false));
        for (int op = 1; op <= 3; ++op) {
            const int column = 1 + 3 * (op - 1);
            const auto it = std::find_if(ops.begin(), ops.end(), [&](const ChildOperation& o) { return o.operation == op; });
            const bool any = it != ops.end();
            childTable->setItem(row, column, Cell(any ? QString::number(it->answers) : QStringLiteral("–"), true));
            childTable->setItem(row, column + 1, Cell(any ? Percent(it->right, it->answers) : QString(), true));
            childTable->setItem(row, column + 2, Cell(any ? Seconds(it->medianSeconds) : QString(), true));
        }
        const auto w = weakest.find(child);
        childTable->setItem(row, 10, Cell(w == weakest.end() ? QString() : WeakText(w->second), false));
        ++row;
    }
}

void ClassWindow::childTable_Click(int row)
{
    const QTableWidgetItem* item = childTable->item(row, 0);
    if (!item)
        return;
    auto* window = new ClassChildWindow(connection_, CurrentPeriod(item->text()));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}

void ClassWindow::csvButton_Click()
{
    const Period p = CurrentPeriod();
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Als CSV speichern"),
        QDir::home().filePath(QStringLiteral("klasse-%1.csv").arg(p.klasse.isEmpty() ? QStringLiteral("ohne") : p.klasse)),
        QStringLiteral("CSV-Dateien (*.csv)"));
    if (path.isEmpty())
        return;
    ClassRecord record(connection_);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !record.WriteCsv(p, file) || !file.commit()) {
        file.cancelWriting();
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Klassenverlauf"),
                        QStringLiteral("Die Datei konnte nicht gespeichert werden.")
                            + (record.Error().isEmpty() ? QString() : QLatin1Char('\n') + record.Error()),
                        QMessageBox::Ok, this);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }
}

ClassChildWindow::ClassChildWindow(const QString& connection, const Period& p, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("KindVerlauf"));
    setWindowTitle(QStringLiteral("Lernverlauf – %1 (%2)").arg(p.child, p.klasse));
    resize(820, 640);
    notice = TextLabel("notice", this);
    chartView = DayChartView(QStringLiteral("Antworten pro Tag"), this);
    operationTable = new QTableWidget(0, 4, this);
    operationTable->setObjectName(QStringLiteral("operationTable"));
    operationTable->setHorizontalHeaderLabels({QStringLiteral("Rechenart"), QStringLiteral("Antworten"),
                                               QStringLiteral("Davon richtig"),
                                               QStringLiteral("Sekunden je richtige Antwort (Median)")});
    operationTable->verticalHeader()->hide();
    operationTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    operationTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    operationTable->setFixedHeight(operationTable->horizontalHeader()->sizeHint().height() + 3 * 30 + 4);
    weakRows = TextLabel("weakRows", this);
    games = TextLabel("games", this);
    auto* weakBox = new QGroupBox(QStringLiteral("Hier hakt es"), this);
    (new QVBoxLayout(weakBox))->addWidget(weakRows);
    auto* gameBox = new QGroupBox(QStringLiteral("Belohnungsspiele"), this);
    (new QVBoxLayout(gameBox))->addWidget(games);
    auto* lower = new QHBoxLayout;
    lower->addWidget(weakBox, 1);
    lower->addWidget(gameBox, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(notice);
    layout->addWidget(chartView, 1);
    layout->addWidget(operationTable);
    layout->addLayout(lower);

    ClassRecord record(connection);
    QStringList problems;
    const QDate first = p.from.date();
    const QDate last = p.to.date().addDays(-1);
    const bool byWeek = first.daysTo(last) >= kMaxEveryDay;
    FillDayChart(chartView->chart(), record.Days(p, byWeek), first, last, byWeek);
    problems << record.Error();
    const std::vector<ChildOperation> ops = record.Operations(p);
    problems << record.Error();
    operationTable->setRowCount(int(ops.size()));
    for (int row = 0; row < int(ops.size()); ++row) {
        const ChildOperation& op = ops[std::size_t(row)];
        operationTable->setItem(row, 0, Cell(OperationWord(op.operation), false));
        operationTable->setItem(row, 1, Cell(QString::number(op.answers), true));
        operationTable->setItem(row, 2, Cell(Percent(op.right, op.answers), true));
        operationTable->setItem(row, 3, Cell(Seconds(op.medianSeconds), true));
    }
    QStringList weak;
    for (const WeakPair& w : record.WeakPairs(p))
        weak << WeakText(w);
    problems << record.Error();
    weakRows->setText(weak.isEmpty() ? QStringLiteral("Keine Fehler in diesem Zeitraum.") : weak.join(QLatin1Char('\n')));
    const GameFigures g = record.Games(p);
    problems << record.Error();
    QString text = g.count == 1 ? QStringLiteral("1 Spiel") : QStringLiteral("%1 Spiele").arg(g.count);
    if (g.bestSeconds)
        text += QStringLiteral("\nBeste Zeit: %1 Sekunden").arg(*g.bestSeconds);
    games->setText(text);
    problems.removeAll(QString());
    problems.removeDuplicates();
    notice->setText(problems.join(QLatin1Char('\n')));
    notice->setVisible(!problems.isEmpty());
}
