// The first answers after an update: a record of the first release with
// 657,000 answers (two years of three children at 300 answers a day) and
// 21,900 games is opened by the current program, which converts it in the
// background while the child answers every 20 ms. Prints the time of each
// answer's recording (target: the first no slower than any other, p99.9
// under 5 ms), how long the conversion took, and the file's size before and
// after.
// Run: bench_conversion (offscreen; needs no display).

#include "record/HistoryStore.h"
#include "record/Recording.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void FillFirstReleaseRecord(const QString& path)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery q(db);
        for (const char* step :
             {"PRAGMA journal_mode = WAL",
              "CREATE TABLE antworten (id INTEGER PRIMARY KEY, zeit TEXT, kind TEXT, rechenart INTEGER, reihe TEXT, "
              "zeile INTEGER, erwartet TEXT, eingegeben TEXT, richtig INTEGER, ms INTEGER)",
              "CREATE TABLE spiele (id INTEGER PRIMARY KEY, zeit TEXT, kind TEXT, sekunden INTEGER)",
              "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 656999) "
              "INSERT INTO antworten SELECT i + 1, strftime('%Y-%m-%dT%H:%M:%S.000', date('now', '-730 days'), "
              "'+' || (i / 900) || ' days', '+15 hours', '+' || (i % 300 * 12) || ' seconds'), "
              "CASE i / 300 % 3 WHEN 0 THEN 'Lena' WHEN 1 THEN 'Tom' ELSE 'Mia' END, 1 + i % 3, 'a+b', 1 + i % 9, "
              "'12', CASE WHEN i % 7 THEN '12' ELSE '13' END, i % 7 != 0, 1000 + i % 5000 FROM n",
              "INSERT INTO spiele SELECT id / 30, zeit, kind, 30 + id % 60 FROM antworten WHERE id % 30 = 0",
              "PRAGMA application_id = 1380270923", "PRAGMA user_version = 1", "PRAGMA wal_checkpoint(TRUNCATE)"})
            if (!q.exec(QLatin1String(step)))
                std::printf("fill failed: %s\n", step);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
}

bool Pending(const QString& path)
{
    history::HistoryStore store(path);
    return store.OpenForReading(false) && store.ConversionPending();
}

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/share")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    QCoreApplication app(argc, argv);
    const QString path = history::DefaultHistoryPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    FillFirstReleaseRecord(path);
    std::printf("record of the first release: 657000 answers, %.1f MB\n", double(QFileInfo(path).size()) / 1e6);

    history::SetRecordingOn(true);
    QElapsedTimer total;
    total.start();
    history::StartName(QStringLiteral("Lena")); // the program starts; the conversion begins
    QThread::msleep(20);                        // the child reads the first task
    // The answers while the conversion runs, and as many after it: any other answer.
    std::vector<qint64> during;
    std::vector<qint64> after;
    qint64 first = -1;
    qint64 convertedAfter = 0;
    qint64 largestLog = 0;
    for (int i = 0; after.size() < std::max<std::size_t>(during.size(), 1000); ++i) {
        QElapsedTimer t;
        t.start();
        history::RecordAnswer(QStringLiteral("Lena"), 1, 1, 1, QStringLiteral("12"), QStringLiteral("12"));
        const qint64 us = t.nsecsElapsed() / 1000;
        if (first < 0)
            first = us;
        (convertedAfter ? after : during).push_back(us);
        largestLog = std::max(largestLog, QFileInfo(path + QStringLiteral("-wal")).size());
        if (convertedAfter == 0 && i % 50 == 0 && !Pending(path))
            convertedAfter = total.elapsed();
        QThread::msleep(20);
    }
    const auto show = [](const char* what, std::vector<qint64> us) {
        std::sort(us.begin(), us.end());
        const auto at = [&](double q) { return static_cast<long long>(us[std::size_t(q * double(us.size() - 1))]); };
        std::printf("%s: %zu answers, median %lld us, p99 %lld us, p99.9 %lld us, max %lld us\n", what, us.size(),
                    at(0.5), at(0.99), at(0.999), at(1.0));
    };
    std::printf("first answer after the update: %lld us (target: p99.9 of all answers < 5000 us)\n",
                static_cast<long long>(first));
    show("while converting", during);
    show("after the conversion", after);
    std::printf("conversion finished after about %.1f s (seen at the next 50th answer); largest log %.1f MB\n",
                double(convertedAfter) / 1000.0, double(largestLog) / 1e6);
    history::CloseRecord();
    std::printf("file after the update and closing: %.1f MB (log %lld bytes)\n", double(QFileInfo(path).size()) / 1e6,
                static_cast<long long>(QFileInfo(path + QStringLiteral("-wal")).size()));
    {
        // The same rows in a file without a free page: the least the converted record can take.
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("least"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery(db).exec(QStringLiteral("VACUUM INTO '%1'").arg(home.filePath(QStringLiteral("least.sqlite"))));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("least"));
    std::printf("the same rows compacted: %.1f MB\n", double(QFileInfo(home.filePath(QStringLiteral("least.sqlite"))).size()) / 1e6);
    return 0;
}
