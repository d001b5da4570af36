// The cost recording adds to the answer path: the main window's call after a
// check, with recording on (one committed row in WAL mode) and off. The
// target is at most 1 ms per answer. Run: bench_history (needs no display).

#include "history/HistoryStore.h"
#include "history/Recording.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>
#include <ctime>
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The test folders of the standard paths, never the user's record.
    QStandardPaths::setTestModeEnabled(true);
    const QString path = history::DefaultHistoryPath();
    history::HistoryStore::DeleteFile(path);
    const int n = argc > 1 ? QByteArray(argv[1]).toInt() : 2000;

    history::SetRecordingOn(false);
    Measure("recording off", n);
    history::SetRecordingOn(true);
    history::RecordAnswer(QStringLiteral("Lena"), 1, 1, 1, QString(), QString()); // opens the file
    Measure("recording on (one commit)", n);
    history::HistoryStore check(path);
    check.Open(false);
    const auto ops = check.Operations({});
    int rows = 0;
    for (const auto& op : ops)
        rows += op.answers;
    std::printf("rows stored: %d of %d\n", rows, n + 1);
    check.Close();

    history::SetRecordingOn(false);
    history::ResetRecorder();
    history::HistoryStore::DeleteFile(path);
    QDir(QFileInfo(path).absolutePath()).removeRecursively();
    QFile::remove(QSettings(QStringLiteral("Rechenkov"), QStringLiteral("Rechenkov")).fileName());
    return 0;
}
