// The practice record's costs. First the answer path: the main window's call
// after a check, with recording on (one committed row in WAL mode) and off;
// the target is at most 1 ms per answer. Then a record of two years of three
// children at 300 answers a day (657,000 answers): the CSV of the real
// program (target: under 3 s and under 64 MB peak RSS) and the window
// "Lernverlauf" opening and showing "Alles".
// Run: bench_history [answers] (offscreen; needs no display).

#include "record/HistoryStore.h"
#include "record/Recording.h"
#include "history_window/HistoryWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

double ThreadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

void Measure(const char* what, int n)
{
    std::vector<qint64> ns;
    ns.reserve(static_cast<std::size_t>(n));
    QElapsedTimer t;
    const double cpuBefore = ThreadCpuSeconds();
    for (int i = 0; i < n; ++i) {
        history::MarkTaskSetUp();
        t.start();
        history::RecordAnswer(QStringLiteral("Lena"), 1 + i % 3, 1 + i % 21, 1 + i % 9, QStringLiteral("12"),
                              i % 4 ? QStringLiteral("12") : QStringLiteral("13"));
        ns.push_back(t.nsecsElapsed());
    }
    const double cpuPerAnswer = (ThreadCpuSeconds() - cpuBefore) / n * 1e6;
    std::sort(ns.begin(), ns.end());
    const auto at = [&](double q) { return double(ns[static_cast<std::size_t>(q * (n - 1))]) / 1000.0; };
    // On a busy machine the wall-clock tail holds the scheduler's time slices
    // (4 ms each); the CPU time is the cost itself.
    std::printf("%-28s n=%d  median %.1f us  p99 %.1f us  max %.1f us  cpu %.1f us/answer\n", what, n, at(0.5),
                at(0.99), at(1.0), cpuPerAnswer);
}

// Two years of three children, 300 answers each a day between 15 and 16 o'clock.
void FillLargeRecord(const QString& path)
{
    {
        history::HistoryStore store(path);
        store.Open(true);
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
    db.setDatabaseName(path);
    db.open();
    QSqlQuery q(db);
    q.exec(QStringLiteral("BEGIN"));
    q.prepare(QStringLiteral("INSERT INTO antworten (zeit, utc, kind, rechenart, reihe, zeile, erwartet, eingegeben, "
                             "richtig, ms) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const QStringList children{QStringLiteral("Lena"), QStringLiteral("Tom"), QStringLiteral("Mia")};
    const QDate first = QDate::currentDate().addDays(-729);
    int n = 0;
    for (int day = 0; day < 730; ++day)
        for (const QString& child : children)
            for (int i = 0; i < 300; ++i, ++n) {
                const QDateTime t(first.addDays(day), QTime(15, 0).addSecs(i * 12));
                q.addBindValue(t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODateWithMs));
                q.addBindValue(t.toMSecsSinceEpoch());
                q.addBindValue(child);
                q.addBindValue(1 + n % 3);
                q.addBindValue(QStringLiteral("a+b"));
                q.addBindValue(1 + n % 9);
                q.addBindValue(QStringLiteral("12"));
                q.addBindValue(n % 7 ? QStringLiteral("12") : QStringLiteral("13"));
                q.addBindValue(n % 7 ? 1 : 0);
                q.addBindValue(1000 + n % 5000);
                q.exec();
            }
    q.exec(QStringLiteral("COMMIT"));
    q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    q = QSqlQuery();
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    std::printf("record: %d answers, %.1f MB\n", n, double(QFileInfo(path).size()) / 1e6);
}

// Runs the real program's CSV export; its wall time and peak RSS.
void MeasureCsv(const QString& csv)
{
    QElapsedTimer t;
    t.start();
    const pid_t pid = fork();
    if (pid == 0) {
        execl(RECHENKOV_BINARY, RECHENKOV_BINARY, "--verlauf-csv", QFile::encodeName(csv).constData(), nullptr);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    std::printf("rechenkov --verlauf-csv: exit %d, %.2f s, peak RSS %.1f MB, CSV %.1f MB   (target: < 3 s, < 64 MB)\n",
                WEXITSTATUS(status), double(t.nsecsElapsed()) / 1e9, double(usage.ru_maxrss) / 1024.0,
                double(QFileInfo(csv).size()) / 1e6);
}

void MeasureWindow(const QString& path)
{
    QElapsedTimer t;
    t.start();
    history::HistoryStore check(path);
    check.OpenForReading(true);
    std::printf("damage check (quick_check) alone: %.2f s\n", double(t.nsecsElapsed()) / 1e9);
    check.Close();
    t.start();
    HistoryWindow window;
    std::printf("window opened (check, children, last 7 days): %.2f s\n", double(t.nsecsElapsed()) / 1e9);
    t.start();
    window.periodBox->setCurrentIndex(2);
    std::printf("\"Alles\" for %s: %.2f s\n", qPrintable(window.childBox->currentText()), double(t.nsecsElapsed()) / 1e9);
    t.start();
    window.childBox->setCurrentIndex(1);
    std::printf("\"Alles\" for %s: %.2f s\n", qPrintable(window.childBox->currentText()), double(t.nsecsElapsed()) / 1e9);
}

} // namespace

int main(int argc, char** argv)
{
    // A home of its own, shared with the program started here: never the user's record.
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/share")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString path = history::DefaultHistoryPath();
    const int n = argc > 1 ? QByteArray(argv[1]).toInt() : 2000;

    history::SetRecordingOn(false);
    Measure("recording off", n);
    history::SetRecordingOn(true);
    history::RecordAnswer(QStringLiteral("Lena"), 1, 1, 1, QString(), QString()); // opens the file
    Measure("recording on (one commit)", n);
    history::HistoryStore check(path);
    check.OpenForReading(false);
    int rows = 0;
    for (const auto& op : check.Operations({}))
        rows += op.answers;
    std::printf("rows stored: %d of %d\n", rows, n + 1);
    check.Close();
    history::SetRecordingOn(false);
    history::ResetRecorder();
    history::HistoryStore::DeleteFile(path);

    FillLargeRecord(path);
    MeasureCsv(home.filePath(QStringLiteral("verlauf.csv")));
    MeasureWindow(path);
    // For looking closer at the large record: BENCH_KEEP=file keeps a copy.
    if (!qEnvironmentVariableIsEmpty("BENCH_KEEP"))
        QFile::copy(path, qEnvironmentVariable("BENCH_KEEP"));
    return 0;
}
