// The window "Klassenverlauf". It reads the school's server and writes
// nothing there; its only file is the CSV a teacher asks for.

#include "history_window/ClassWindow.h"

#include "history_window/FigureViews.h"

#include "platform/FileWriter.h"
#include "record/HistoryStore.h"
#include "school/School.h"
#include "table/Operation.h"

#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QComboBox>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMutex>
#include <QMessageBox>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWaitCondition>

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <utility>

using namespace school;
using figures::Cell;
using figures::WeakText;

namespace {

// The period box's choices in days.
constexpr int kPeriods[] = {7, 30, 365};
// Longer periods are counted by weeks, so the bars stay readable.
constexpr int kMaxEveryDay = 62;
// The class box's mark of a class the server has no answer of.
constexpr int kWithoutAnswers = Qt::UserRole + 1;
// Room for the dates, written upright under a month of bars.
constexpr int kChartHeight = 340;

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

QString NextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("klassenverlauf-%1").arg(++counter);
}

// A silent network ends a query of the window within a minute (and with it
// the reader's thread): TCP keepalives, a bound on unanswered sending, and a
// statement timeout once connected. The administrator's own values stay.
QString Bounded(QString connection)
{
    for (const char* option : {"keepalives=1", "keepalives_idle=10", "keepalives_interval=5", "keepalives_count=3",
                               "tcp_user_timeout=30000"}) {
        const QString given = QString::fromLatin1(option);
        if (!connection.contains(given.left(given.indexOf(QLatin1Char('=')) + 1)))
            connection += QLatin1Char(' ') + given;
    }
    return connection;
}

QString ChartTitle(const char* what, bool byWeek)
{
    return QLatin1String(what) + (byWeek ? QStringLiteral(" pro Woche") : QStringLiteral(" pro Tag"));
}

} // namespace

namespace school {

// A thread with its own server connection (Qt SQL connections belong to the
// thread that made them) that runs the windows' queries one after another.
// Once finished it ends after the query at hand and deletes itself; at the
// program's end its last query is waited for a little while.
class ServerReader : public QThread {
public:
    ServerReader() : name_(NextConnectionName())
    {
        static bool once = false;
        if (!once) {
            once = true;
            qAddPostRoutine([] {
                for (ServerReader* r : std::set<ServerReader*>(Live()))
                    if (r->finishing_ && r->wait(5000))
                        delete r;
            });
        }
        Live().insert(this);
        start();
    }
    ~ServerReader() override
    {
        wait();
        Live().erase(this);
    }
    void Post(std::function<void(const QString&)> job)
    {
        const QMutexLocker lock(&mutex_);
        jobs_.push_back(std::move(job));
        wake_.wakeOne();
    }
    void Finish()
    {
        connect(this, &QThread::finished, this, &QObject::deleteLater);
        finishing_ = true;
        const QMutexLocker lock(&mutex_);
        finish_ = true;
        wake_.wakeOne();
    }

protected:
    void run() override
    {
        while (true) {
            std::function<void(const QString&)> job;
            {
                QMutexLocker lock(&mutex_);
                while (jobs_.empty() && !finish_)
                    wake_.wait(&mutex_);
                if (finish_)
                    break;
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
            job(name_);
        }
        if (QSqlDatabase::contains(name_)) {
            QSqlDatabase::database(name_, false).close();
            QSqlDatabase::removeDatabase(name_);
        }
    }

private:
    static std::set<ServerReader*>& Live()
    {
        static std::set<ServerReader*> live;
        return live;
    }
    const QString name_;
    QMutex mutex_;
    QWaitCondition wake_;
    std::deque<std::function<void(const QString&)>> jobs_;
    bool finish_ = false;
    bool finishing_ = false; // owned by no one but itself
};

} // namespace school

namespace school {

void FillDayChart(QChart* chart, const std::vector<history::DayCount>& bars, const QDate& first, const QDate& last, bool byWeek)
{
    std::vector<history::DayCount> shown;
    QStringList labels;
    // Every day (or week) of the period gets its place, so gaps show.
    std::size_t next = 0;
    const QDate start = byWeek ? first.addDays(1 - first.dayOfWeek()) : first;
    for (QDate d = start; d <= last; d = d.addDays(byWeek ? 7 : 1)) {
        history::DayCount bar{d, 0, 0};
        while (next < bars.size() && bars[next].day < d)
            ++next;
        if (next < bars.size() && bars[next].day == d)
            bar = bars[next];
        shown.push_back(bar);
        // A year's first and last week have the same number: the first bar
        // and the first week of each year also name the year.
        int year = 0;
        const int week = d.weekNumber(&year);
        QString label = byWeek ? QStringLiteral("KW %1").arg(week) : d.toString(QStringLiteral("dd.MM."));
        if (byWeek && (labels.isEmpty() || week == 1))
            label += QStringLiteral("/%1").arg(year % 100, 2, 10, QLatin1Char('0'));
        labels << label;
    }
    QString axisTitle;
    if (byWeek && !labels.isEmpty()) {
        // With a year of weeks the chart has no room for the labels at both
        // ends (this week's among them): the axis says which weeks they are.
        int firstYear = 0, lastYear = 0;
        const int firstWeek = start.weekNumber(&firstYear);
        const int lastWeek = last.weekNumber(&lastYear);
        axisTitle = QStringLiteral("KW %1/%2 bis KW %3/%4").arg(firstWeek).arg(firstYear).arg(lastWeek).arg(lastYear);
    }
    figures::FillBars(chart, shown, labels, axisTitle);
}

void ShowClassWindow()
{
    auto* window = new ClassWindow;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}

} // namespace school

ClassWindow::ClassWindow(QWidget* parent) : QWidget(parent)
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
    classBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    periodBox = new QComboBox(this);
    periodBox->setObjectName(QStringLiteral("periodBox"));
    periodBox->addItems({QStringLiteral("Letzte 7 Tage"), QStringLiteral("Letzte 30 Tage"), QStringLiteral("Letztes Jahr")});
    periodBox->setCurrentIndex(1);
    QHBoxLayout* selection = figures::SelectionRow(this, QStringLiteral("K&lasse:"), classBox, periodBox);

    notice = TextLabel("notice", this);

    childTable = new QTableWidget(0, 11, this);
    childTable->setObjectName(QStringLiteral("childTable"));
    QStringList headers{QStringLiteral("Kind")};
    for (int op = 1; op <= 3; ++op) {
        const QString name = rows::WordOfNumber(op);
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

    chartView = figures::BarChartView(QStringLiteral("Antworten der Klasse"), kChartHeight, this);
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
    const settings::School settings = ReadSettings();
    if (!settings.Configured()) {
        for (QWidget* w : std::initializer_list<QWidget*>{userEdit, passwordEdit, connectButton, periodBox})
            w->setEnabled(false);
        ShowNotice(!settings.problem.isEmpty()
                       ? settings.problem
                       : QStringLiteral("Auf diesem Rechner ist kein Schulserver eingerichtet: Abschnitt [Schule] mit "
                                        "Verbindung= in %1 (siehe „rechenkov --schule-pruefen“).")
                             .arg(settings.file));
    } else {
        ShowNotice(settings.problem);
    }
}

ClassWindow::~ClassWindow()
{
    if (reader_)
        reader_->Finish();
}

void ClassWindow::closeEvent(QCloseEvent* event)
{
    // Closed while a call waits for the server: the window goes at once, the
    // object once that call has returned (never under its feet).
    if (busy_ && testAttribute(Qt::WA_DeleteOnClose)) {
        setAttribute(Qt::WA_DeleteOnClose, false);
        deleteWhenDone_ = true;
    }
    QWidget::closeEvent(event);
}

bool ClassWindow::OnServer(const std::function<void(const QString&)>& job)
{
    if (deleteWhenDone_)
        return false;
    if (!reader_)
        reader_ = new ServerReader;
    busy_ = true;
    std::vector<std::pair<QWidget*, bool>> inputs;
    for (QWidget* w : std::initializer_list<QWidget*>{userEdit, passwordEdit, connectButton, classBox, periodBox,
                                                       childTable, csvButton}) {
        inputs.emplace_back(w, w->isEnabled());
        w->setEnabled(false);
    }
    QApplication::setOverrideCursor(Qt::BusyCursor);
    auto done = std::make_shared<std::atomic<bool>>(false);
    reader_->Post([job, done](const QString& connection) {
        job(connection);
        done->store(true);
    });
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done->load() || deleteWhenDone_)
            loop.quit();
    });
    poll.start(10);
    loop.exec();
    // Also left when the application quits: then the job may still be writing its results.
    const bool finished = done->load();
    QApplication::restoreOverrideCursor();
    for (const auto& [w, enabled] : inputs)
        w->setEnabled(enabled);
    busy_ = false;
    if (deleteWhenDone_) {
        deleteLater(); // the query, if still running, ends in the reader
        return false;
    }
    return finished;
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
    if (busy_)
        return false;
    if (reader_) // a new login, a new connection
        std::exchange(reader_, nullptr)->Finish();
    const QString connection = ReadSettings().connection;
    struct Result {
        QString problem;
        QStringList classes;
    };
    auto r = std::make_shared<Result>();
    if (!OnServer([r, connection, user, password](const QString& name) {
            QSqlDatabase db = AddServerConnection(name, Bounded(connection), user, password);
            if (!db.open()) {
                r->problem = GermanReason(db.lastError());
                return;
            }
            QSqlQuery(db).exec(QStringLiteral("SET statement_timeout = 60000"));
            ClassRecord record(name);
            r->classes = record.Classes();
            r->problem = record.Error();
        }))
        return false;
    if (!r->problem.isEmpty()) {
        ShowNotice(r->problem);
        return false;
    }
    {
        const QSignalBlocker block(classBox);
        classBox->clear();
        for (const QString& k : r->classes)
            classBox->addItem(k.isEmpty() ? QStringLiteral("(ohne Klasse)") : k, k);
        // The class this computer is set to first, with answers or not.
        const QString own = ReadSettings().klasse;
        classBox->setCurrentIndex(own.isEmpty() ? 0 : ClassIndex(own));
    }
    classBox->setEnabled(classBox->count() > 0);
    csvButton->setEnabled(classBox->count() > 0);
    if (classBox->count() == 0)
        ShowNotice(QStringLiteral("Auf dem Schulserver ist noch keine Antwort eingetroffen."));
    else
        ShowSelection();
    return true;
}

int ClassWindow::ClassIndex(const QString& klasse)
{
    int index = classBox->findData(klasse);
    if (index < 0) {
        // A class the server has no answer of yet is shown as such, not replaced by another.
        classBox->addItem(QStringLiteral("%1 (noch keine Antworten)").arg(klasse), klasse);
        index = classBox->count() - 1;
        classBox->setItemData(index, true, kWithoutAnswers);
    }
    return index;
}

void ClassWindow::connectButton_Click() { ConnectAs(userEdit->text().trimmed(), passwordEdit->text()); }

void ClassWindow::ShowClass(const QString& klasse, int days)
{
    {
        const QSignalBlocker blockClass(classBox);
        const QSignalBlocker blockPeriod(periodBox);
        classBox->setCurrentIndex(ClassIndex(klasse));
        for (int i = 0; i < int(std::size(kPeriods)); ++i)
            if (kPeriods[i] == days)
                periodBox->setCurrentIndex(i);
    }
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
    if (!reader_ || busy_ || classBox->count() == 0)
        return;
    const Period p = CurrentPeriod();
    const QDate first = p.from.date();
    const QDate last = p.to.date().addDays(-1);
    const bool byWeek = first.daysTo(last) >= kMaxEveryDay;
    struct Result {
        std::vector<history::OperationStats> operations;
        std::vector<history::WeakRow> weakest, weak;
        std::vector<history::DayCount> days;
        QString problem;
    };
    auto r = std::make_shared<Result>();
    if (!OnServer([r, p, byWeek](const QString& name) {
            ClassRecord record(name);
            auto keep = [&] {
                if (r->problem.isEmpty())
                    r->problem = record.Error();
            };
            r->operations = record.Operations(p);
            keep();
            r->weakest = record.WeakestPerChild(p);
            keep();
            r->weak = record.WeakRows(p);
            keep();
            r->days = record.Days(p, byWeek);
            keep();
        }))
        return;
    FillTable(r->operations, r->weakest);
    QStringList weak;
    for (const history::WeakRow& w : r->weak)
        weak << WeakText(w);
    classWeak->setText(weak.isEmpty() ? QStringLiteral("Keine Fehler in diesem Zeitraum.") : weak.join(QLatin1Char('\n')));
    chartView->chart()->setTitle(ChartTitle("Antworten der Klasse", byWeek));
    FillDayChart(chartView->chart(), r->days, first, last, byWeek);
    QString problem = r->problem;
    if (problem.isEmpty() && r->operations.empty())
        problem = classBox->currentData(kWithoutAnswers).toBool()
            ? QStringLiteral("Von der Klasse %1 ist auf dem Schulserver noch keine Antwort eingetroffen.").arg(p.klasse)
            : QStringLiteral("Die Klasse „%1“ hat in diesem Zeitraum keine Antworten.").arg(classBox->currentText());
    ShowNotice(problem);
}

void ClassWindow::FillTable(const std::vector<history::OperationStats>& operations, const std::vector<history::WeakRow>& weakest)
{
    // Child by child: a row each, three columns per operation.
    std::map<QString, std::vector<history::OperationStats>> byChild;
    for (const history::OperationStats& op : operations)
        byChild[op.child].push_back(op);
    std::map<QString, history::WeakRow> weakestOf;
    for (const history::WeakRow& w : weakest)
        weakestOf[w.child] = w;
    childTable->setRowCount(int(byChild.size()));
    int row = 0;
    for (const auto& [child, ops] : byChild) {
        childTable->setItem(row, 0, Cell(child, false));
        for (int op = 1; op <= 3; ++op) {
            const int column = 1 + 3 * (op - 1);
            const auto it = std::find_if(ops.begin(), ops.end(), [&](const history::OperationStats& o) { return o.operation == op; });
            const bool any = it != ops.end();
            childTable->setItem(row, column, Cell(any ? QString::number(it->answers) : QStringLiteral("–"), true));
            childTable->setItem(row, column + 1, Cell(any ? figures::PercentText(it->right, it->answers) : QString(), true));
            childTable->setItem(row, column + 2, Cell(any ? figures::MedianText(it->medianSeconds) : QString(), true));
        }
        const auto w = weakestOf.find(child);
        childTable->setItem(row, 10, Cell(w == weakestOf.end() ? QString() : WeakText(w->second), false));
        ++row;
    }
}

void ClassWindow::childTable_Click(int row)
{
    const QTableWidgetItem* item = childTable->item(row, 0);
    if (!item || !reader_ || busy_)
        return;
    const Period p = CurrentPeriod(item->text());
    auto figures = std::make_shared<ChildFigures>();
    if (!OnServer([figures, p](const QString& name) {
            ClassRecord record(name);
            ChildFigures& f = *figures;
            f.byWeek = p.from.date().daysTo(p.to.date().addDays(-1)) >= kMaxEveryDay;
            f.days = record.Days(p, f.byWeek);
            f.problems << record.Error();
            f.operations = record.Operations(p);
            f.problems << record.Error();
            f.weakRows = record.WeakRows(p);
            f.problems << record.Error();
            f.games = record.Games(p);
            f.problems << record.Error();
        }))
        return;
    auto* window = new ClassChildWindow(p, *figures);
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
    if (!path.isEmpty())
        SaveCsv(path);
}

bool ClassWindow::SaveCsv(const QString& path)
{
    if (!reader_ || busy_)
        return false;
    const Period p = CurrentPeriod();
    auto problem = std::make_shared<QString>();
    if (!OnServer([problem, p, path](const QString& name) {
            ClassRecord record(name);
            // Through the program's one file writer: the file appears only when complete.
            const files::Error error = files::WriteFile(
                path, files::Replace::Always, [&](files::FileWriter& file) { return record.WriteCsv(p, file.Device()); },
                problem.get());
            if (error == files::Error::NoContent)
                *problem = QStringLiteral("„%1“ wurde nicht geschrieben.\n").arg(QDir::toNativeSeparators(path))
                    + record.Error();
        }))
        return false;
    if (problem->isEmpty())
        return true;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Klassenverlauf"), *problem, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
    return false;
}

ClassChildWindow::ClassChildWindow(const Period& p, const ChildFigures& f, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("KindVerlauf"));
    setWindowTitle(QStringLiteral("Lernverlauf – %1 (%2)").arg(p.child, p.klasse));
    resize(820, 640);
    notice = TextLabel("notice", this);
    chartView = figures::BarChartView(ChartTitle("Antworten", f.byWeek), kChartHeight, this);
    operationTable = new QTableWidget(0, 4, this);
    operationTable->setObjectName(QStringLiteral("operationTable"));
    operationTable->setHorizontalHeaderLabels({QStringLiteral("Rechenart"), QStringLiteral("Antworten"),
                                               QStringLiteral("Davon richtig"),
                                               QStringLiteral("Sekunden je richtige\nAntwort (Median)")});
    operationTable->verticalHeader()->hide();
    operationTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    operationTable->horizontalHeader()->setMinimumSectionSize(
        operationTable->horizontalHeader()->fontMetrics().horizontalAdvance(QStringLiteral("Sekunden je richtige")) + 24);
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

    FillDayChart(chartView->chart(), f.days, p.from.date(), p.to.date().addDays(-1), f.byWeek);
    operationTable->setRowCount(int(f.operations.size()));
    for (int row = 0; row < int(f.operations.size()); ++row) {
        const history::OperationStats& op = f.operations[std::size_t(row)];
        operationTable->setItem(row, 0, Cell(rows::WordOfNumber(op.operation), false));
        operationTable->setItem(row, 1, Cell(QString::number(op.answers), true));
        operationTable->setItem(row, 2, Cell(figures::PercentText(op.right, op.answers), true));
        operationTable->setItem(row, 3, Cell(figures::MedianText(op.medianSeconds), true));
    }
    QStringList weak;
    for (const history::WeakRow& w : f.weakRows)
        weak << WeakText(w);
    weakRows->setText(weak.isEmpty() ? QStringLiteral("Keine Fehler in diesem Zeitraum.") : weak.join(QLatin1Char('\n')));
    QString text = f.games.count == 1 ? QStringLiteral("1 Spiel") : QStringLiteral("%1 Spiele").arg(f.games.count);
    if (f.games.bestSeconds)
        text += QStringLiteral("\nBeste Zeit: %1 Sekunden").arg(*f.games.bestSeconds);
    games->setText(text);
    QStringList problems = f.problems;
    problems.removeAll(QString());
    problems.removeDuplicates();
    notice->setText(problems.join(QLatin1Char('\n')));
    notice->setVisible(!problems.isEmpty());
}
