// The school's record on a real PostgreSQL server (started through
// tests/with_postgres.sh when run bare). Prints:
//  1. a simulated school of 900,000 answers: the teacher's queries for one
//     class over 30 days and over a year, timed, with what EXPLAIN says of
//     their use of the indexes (targets: under 1 s and under 2 s);
//  2. 10,000 waiting answers sent to the server (target: under 5 s);
//  3. the child's thread per answer with recording and sending on, over
//     10,000 answers: p50, p99, p99.9, max (targets: p99.9 under 5 ms,
//     nothing over 16.7 ms), beside the same without a school (where SQLite
//     checkpoints in the child's thread);
//  4. the end of the program with a server that never answers (target: 2 s);
//  5. a room of 30 computers with 3,000 waiting answers each, sent while
//     the server resets the computers' connections every 200 ms: the time
//     until all arrived, each once, and the connections the programs hold
//     once all is sent (target 0).

#include "record/HistoryStore.h"
#include "record/Recording.h"
#include "school/School.h"
#include "school/SchoolQueries.h"
#include "school/SchoolSender.h"
#include "history_window/ClassWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <memory>
#include <thread>

#include <algorithm>
#include <cstdio>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

using namespace school;

namespace {

QString Host() { return qEnvironmentVariable("PGHOST"); }

QSqlDatabase Connect(const QString& name, const QString& options)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setConnectOptions(options);
    if (!db.open())
        std::fprintf(stderr, "%s: %s\n", qPrintable(name), qPrintable(db.lastError().text()));
    return db;
}

bool Exec(QSqlDatabase db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql)) {
        std::fprintf(stderr, "%s\n", qPrintable(q.lastError().text()));
        return false;
    }
    return true;
}

void SimulatedSchool(QSqlDatabase admin)
{
    QElapsedTimer t;
    t.start();
    // 3 classes x 25 children x 200 school days (the weekdays of the last 40
    // weeks) x 60 answers, over 12 calculation rows, some harder than others.
    Exec(admin, QStringLiteral(
        "INSERT INTO rechenkov.antworten (quelle, lokale_id, rechner, klasse, kind, zeit, rechenart, reihe, zeile, "
        "erwartet, eingegeben, richtig, ms) "
        "SELECT md5(c || k)::uuid, row_number() OVER (PARTITION BY c, k), 'pc-' || k, c, 'Kind ' || k, "
        "  d + time '08:00' + i * interval '25 seconds', 1 + i % 3, r.reihe, 1 + i % 9, '12', "
        "  CASE WHEN random() < r.fehler THEN '13' ELSE '12' END, false, (800 + random() * 6000)::int "
        "FROM (VALUES ('1a'), ('2b'), ('3c')) cl(c), generate_series(1, 25) k, "
        "  (SELECT d::date FROM generate_series(current_date - 279, current_date, interval '1 day') d "
        "   WHERE extract(isodow FROM d) < 6) days(d), generate_series(1, 60) i, "
        "  LATERAL (SELECT (ARRAY['a+b','c+e','e+f','b+d','a-b','c-e','e-f','b-d','a*b','c*f','e*f','d*e'])[1 + (i * 7 + k) % 12] AS reihe, "
        "                  0.05 + ((i * 7 + k) % 12) * 0.02 AS fehler) r"));
    Exec(admin, QStringLiteral("UPDATE rechenkov.antworten SET richtig = (erwartet = eingegeben)"));
    Exec(admin, QStringLiteral("VACUUM ANALYZE rechenkov.antworten"));
    QSqlQuery q(admin);
    q.exec(QStringLiteral("SELECT count(*), pg_size_pretty(pg_total_relation_size('rechenkov.antworten')) FROM rechenkov.antworten"));
    q.next();
    std::printf("simulated school: %lld answers loaded in %.1f s (table with indexes: %s)\n", q.value(0).toLongLong(),
                t.elapsed() / 1000.0, qPrintable(q.value(1).toString()));
}

void TeacherQueries()
{
    QSqlDatabase teacher = AddServerConnection(QStringLiteral("lehrerin"),
                                               QStringLiteral("host=%1 dbname=rechenkov").arg(Host()),
                                               QStringLiteral("lehrerin"), QStringLiteral("lehrer-kennwort"));
    if (!teacher.open()) {
        std::fprintf(stderr, "%s\n", qPrintable(teacher.lastError().text()));
        return;
    }
    ClassRecord record(QStringLiteral("lehrerin"));
    const QDateTime end = QDateTime(QDate::currentDate().addDays(1), QTime(0, 0));
    for (int days : {30, 365}) {
        const Period p{QStringLiteral("2b"), QString(), end.addDays(-days), end};
        // The second run is the one a teacher meets after the first look.
        for (int run = 0; run < 2; ++run) {
            QElapsedTimer t;
            t.start();
            const auto ops = record.Operations(p);
            const auto weakest = record.WeakestPerChild(p);
            const auto pairs = record.WeakRows(p);
            const auto bars = record.Days(p, days > 62);
            const double queries = t.nsecsElapsed() / 1e6;
            qint64 answers = 0;
            for (const auto& op : ops)
                answers += op.answers;
            std::printf("class 2b, %3d days (%s): %lld answers, queries %.0f ms%s\n", days, run ? "again" : "first",
                        answers, queries, record.Error().isEmpty() ? "" : qPrintable(QStringLiteral(" ERROR ") + record.Error()));
        }
        // The whole window: the same queries and filling the table and chart.
        ClassWindow window;
        window.resize(1100, 800);
        window.show();
        QElapsedTimer t;
        t.start();
        window.ConnectAs(QStringLiteral("lehrerin"), QStringLiteral("lehrer-kennwort"));
        window.ShowClass(QStringLiteral("2b"), days);
        QApplication::processEvents();
        std::printf("class 2b, %3d days: the window connected, filled and painted in %.0f ms (target %s)\n", days,
                    t.nsecsElapsed() / 1e6, days <= 30 ? "under 1000 ms" : "under 2000 ms");
        for (const auto& [sql, values] : record.Queries(p)) {
            // EXPLAIN cannot be prepared: the values go in as the driver quotes them.
            QString text = sql;
            for (const QVariant& v : values) {
                QSqlField field(QString(), v.metaType());
                field.setValue(v);
                text.replace(text.indexOf(QLatin1Char('?')), 1, teacher.driver()->formatValue(field));
            }
            QSqlQuery q(teacher);
            if (!q.exec(QStringLiteral("EXPLAIN (ANALYZE, BUFFERS) ") + text)) {
                std::fprintf(stderr, "%s\n", qPrintable(q.lastError().text()));
                continue;
            }
            QStringList scans;
            QString total;
            while (q.next()) {
                const QString line = q.value(0).toString();
                if (line.contains(QLatin1String("Scan")))
                    scans << line.section(QLatin1String("  (cost"), 0, 0).remove(QLatin1String("->")).trimmed();
                if (line.startsWith(QLatin1String("Execution Time")))
                    total = line;
            }
            std::printf("    %-24s %s; %s\n", qPrintable(sql.section(QLatin1Char(' '), 1, 3).left(24)),
                        qPrintable(scans.join(QStringLiteral(", "))), qPrintable(total));
        }
    }
}

double Percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, static_cast<std::size_t>(p * v.size()))];
}

void Sending(const QString& folder)
{
    const QString record = folder + QStringLiteral("/senden.sqlite");
    {
        history::HistoryStore store(record);
        store.Open(true);
        for (int i = 0; i < 10000; ++i)
            store.RecordAnswer({QDateTime::currentDateTime(), QStringLiteral("Kind"), 1 + i % 3, QStringLiteral("c+e"), 1,
                                QStringLiteral("7"), QStringLiteral("7"), true, 900});
    }
    SchoolSender::Options o;
    o.recordPath = record;
    o.statePath = StatePath(record);
    o.connection = QStringLiteral("host=%1 dbname=rechenkov user=rechner password=kind-kennwort").arg(Host());
    o.klasse = QStringLiteral("senden");
    o.computer = QStringLiteral("bench");
    SchoolSender sender(o);
    QElapsedTimer t;
    t.start();
    sender.start();
    sender.Wake();
    QSqlDatabase admin = QSqlDatabase::database(QStringLiteral("admin"));
    qint64 arrived = 0;
    while (arrived < 10000 && t.elapsed() < 300000) {
        QThread::msleep(5);
        QSqlQuery q(admin);
        q.exec(QStringLiteral("SELECT count(*) FROM rechenkov.antworten WHERE klasse = 'senden'"));
        q.next();
        arrived = q.value(0).toLongLong();
    }
    std::printf("sending: %lld of 10000 waiting answers on the server after %.2f s (target under 5 s)\n", arrived,
                t.elapsed() / 1000.0);
    sender.StopWithin(5000);
}

void PerAnswer(const QString& folder, bool withSchool)
{
    // The child's program as the main window drives it: the recording's call per answer.
    const QString home = folder + (withSchool ? QStringLiteral("/mit") : QStringLiteral("/ohne"));
    QDir().mkpath(home + QStringLiteral("/etc/Rechenkov"));
    qputenv("XDG_DATA_HOME", (home + QStringLiteral("/data")).toLocal8Bit());
    QSettings system(home + QStringLiteral("/etc/Rechenkov/Rechenkov.conf"), QSettings::IniFormat);
    if (withSchool) {
        system.setValue(QStringLiteral("Schule/Verbindung"),
                        QStringLiteral("host=%1 dbname=rechenkov user=rechner password=kind-kennwort").arg(Host()));
        system.setValue(QStringLiteral("Schule/Klasse"), QStringLiteral("zeit"));
    }
    system.sync();
    qputenv("XDG_CONFIG_DIRS", (home + QStringLiteral("/etc")).toLocal8Bit());
    history::ResetRecorder();
    history::SetRecordingOn(true);
    history::StartName(QStringLiteral("Kind"));
    std::vector<double> ms;
    for (int i = 0; i < 10000; ++i) {
        history::MarkTaskSetUp();
        QElapsedTimer t;
        t.start();
        history::RecordAnswer(QStringLiteral("Kind"), 1 + i % 3, 3, 1 + i % 9, QStringLiteral("12"),
                              i % 5 ? QStringLiteral("12") : QStringLiteral("13"));
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::vector<std::size_t> order(ms.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::partial_sort(order.begin(), order.begin() + 5, order.end(), [&](auto a, auto b) { return ms[a] > ms[b]; });
    std::printf("    slowest answers:");
    for (int i = 0; i < 5; ++i)
        std::printf(" #%zu %.1f ms", order[i] + 1, ms[order[i]]);
    std::printf("\n");
    std::printf("child's thread per answer, %s: p50 %.3f ms, p99 %.3f ms, p99.9 %.3f ms, max %.3f ms, over 16.7 ms: %lld\n",
                withSchool ? "recording and sending to the school" : "recording only, no school",
                Percentile(ms, 0.5), Percentile(ms, 0.99), Percentile(ms, 0.999), Percentile(ms, 1.0),
                static_cast<long long>(std::count_if(ms.begin(), ms.end(), [](double v) { return v > 16.7; })));
    if (withSchool) {
        QElapsedTimer t;
        t.start();
        StopSending();
        std::printf("    the end of that run (sending what is left): %.2f s\n", t.elapsed() / 1000.0);
    }
    history::ResetRecorder();
}

void SilentServerAtExit(const QString& folder)
{
    // A socket that takes the connection and never says a word.
    const int silent = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = (folder + QStringLiteral("/.s.PGSQL.5432")).toLocal8Bit();
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.constData());
    if (bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(silent, 8) != 0)
        std::perror("silent server");
    const QString home = folder + QStringLiteral("/still");
    QDir().mkpath(home + QStringLiteral("/etc/Rechenkov"));
    qputenv("XDG_DATA_HOME", (home + QStringLiteral("/data")).toLocal8Bit());
    QSettings system(home + QStringLiteral("/etc/Rechenkov/Rechenkov.conf"), QSettings::IniFormat);
    system.setValue(QStringLiteral("Schule/Verbindung"), QStringLiteral("host=%1 dbname=rechenkov user=rechner").arg(folder));
    system.sync();
    qputenv("XDG_CONFIG_DIRS", (home + QStringLiteral("/etc")).toLocal8Bit());
    history::ResetRecorder();
    history::RecordAnswer(QStringLiteral("Kind"), 1, 3, 1, QStringLiteral("12"), QStringLiteral("12"));
    // Let the sender get stuck in the connection, then end.
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QElapsedTimer t;
    t.start();
    StopSending();
    std::printf("end of the program with a server that never answers: %.2f s (target at most 2 s)\n", t.elapsed() / 1000.0);
}

void RoomUnderResets(const QString& folder)
{
    constexpr int kComputers = 30, kAnswers = 3000;
    QElapsedTimer made;
    made.start();
    std::vector<std::unique_ptr<SchoolSender>> room;
    for (int c = 0; c < kComputers; ++c) {
        const QString record = folder + QStringLiteral("/raum%1/verlauf.sqlite").arg(c);
        history::HistoryStore store(record);
        store.Open(true);
        for (int i = 0; i < kAnswers; ++i)
            store.RecordAnswer({QDateTime::currentDateTime(), QStringLiteral("Kind %1").arg(c), 1 + i % 3,
                                QStringLiteral("c+e"), 1, QStringLiteral("7"), QStringLiteral("7"), true, 900});
        SchoolSender::Options o;
        o.recordPath = record;
        o.statePath = StatePath(record);
        o.connection = QStringLiteral("host=%1 dbname=rechenkov user=rechner password=kind-kennwort").arg(Host());
        o.klasse = QStringLiteral("raum");
        o.computer = QStringLiteral("pc-%1").arg(c);
        room.push_back(std::make_unique<SchoolSender>(o));
    }
    std::printf("room: %d records of %d answers made in %.1f s\n", kComputers, kAnswers, made.elapsed() / 1000.0);
    std::atomic<bool> done{false};
    std::atomic<int> resets{0};
    std::thread resetter([&] {
        QSqlDatabase db = Connect(QStringLiteral("resetter"), QStringLiteral("host=%1 dbname=rechenkov user=postgres").arg(Host()));
        while (!done) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity WHERE application_name = 'rechenkov'"));
            if (q.next())
                resets += q.value(0).toInt();
            QThread::msleep(200);
        }
    });
    QSqlDatabase admin = QSqlDatabase::database(QStringLiteral("admin"));
    auto scalar = [&](const QString& sql) {
        QSqlQuery q(admin);
        return q.exec(sql) && q.next() ? q.value(0).toLongLong() : -1;
    };
    QElapsedTimer t;
    t.start();
    for (auto& sender : room) {
        sender->start();
        sender->Wake();
    }
    const QString arrived = QStringLiteral("SELECT count(*) FROM rechenkov.antworten WHERE klasse = 'raum'");
    while (scalar(arrived) < kComputers * kAnswers && t.elapsed() < 300000)
        QThread::msleep(20);
    const double seconds = t.elapsed() / 1000.0;
    done = true;
    resetter.join();
    QThread::msleep(1000);
    std::printf("room under resets: %lld of %d answers arrived in %.1f s (%lld distinct, %d connections reset); "
                "connections held once all was sent: %lld (target 0)\n",
                scalar(arrived), kComputers * kAnswers, seconds,
                scalar(QStringLiteral("SELECT count(DISTINCT uid) FROM rechenkov.antworten WHERE klasse = 'raum'")),
                resets.load(),
                scalar(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE application_name = 'rechenkov'")));
    for (int c = 0; c < kComputers; ++c) {
        const qint64 got = scalar(QStringLiteral("SELECT count(*) FROM rechenkov.antworten WHERE rechner = 'pc-%1'").arg(c));
        const SendState st = ReadState(StatePath(folder + QStringLiteral("/raum%1/verlauf.sqlite").arg(c)));
        if (got != kAnswers)
            std::printf("    pc-%d: %lld arrived, state: %lld waiting, up to row %lld, %s\n", c, got, st.waiting,
                        st.answersUpTo, qPrintable(st.reason.simplified()));
    }
    for (auto& sender : room)
        sender->StopWithin(5000);
}

// The README's picture: a generated class of 25 children over the last 30 days.
int Screenshot(const QString& file)
{
    QSqlDatabase admin = Connect(QStringLiteral("admin"), QStringLiteral("host=%1 dbname=rechenkov user=postgres").arg(Host()));
    Exec(admin, QStringLiteral(
        "INSERT INTO rechenkov.antworten (quelle, lokale_id, rechner, klasse, kind, zeit, rechenart, reihe, zeile, "
        "erwartet, eingegeben, richtig, ms) "
        "SELECT gen_random_uuid(), 0, 'pc', '3b', n.name, d + time '08:30' + i * interval '40 seconds', 1 + (i / 20) % 3, "
        "  r.reihe, 1 + i % 9, '12', '12', random() > r.fehler * n.schwer, (1500 + random() * 5000 * n.schwer)::int "
        "FROM (SELECT name, 0.6 + (row_number() OVER ()) % 5 * 0.2 AS schwer FROM unnest(ARRAY['Anna','Ben','Clara','David',"
        "  'Emil','Finja','Greta','Hannes','Ida','Jonas','Karla','Leon','Mia','Noah','Ole','Paula','Quentin','Rosa','Samuel',"
        "  'Tilda','Umut','Vera','Willi','Yusuf','Zoe']) name) n, "
        "  (SELECT d::date FROM generate_series(current_date - 29, current_date, interval '1 day') d "
        "   WHERE extract(isodow FROM d) < 6) days(d), generate_series(1, 45) i, "
        "  LATERAL (SELECT (ARRAY['a+b','c+e','e+f','a-b','c-e','e-f','a*b','c*f','e*f'])[1 + (i / 20) % 3 * 3 + i % 3] AS reihe, "
        "                  0.04 + (i % 3) * 0.05 + (i / 20) % 3 * 0.04 AS fehler) r "
        "WHERE random() < 0.9"));
    QTemporaryDir etc;
    QDir(etc.path()).mkpath(QStringLiteral("Rechenkov"));
    QSettings system(etc.filePath(QStringLiteral("Rechenkov/Rechenkov.conf")), QSettings::IniFormat);
    system.setValue(QStringLiteral("Schule/Verbindung"), QStringLiteral("host=%1 dbname=rechenkov").arg(Host()));
    system.setValue(QStringLiteral("Schule/Klasse"), QStringLiteral("3b"));
    system.sync();
    qputenv("XDG_CONFIG_DIRS", etc.path().toLocal8Bit());
    ClassWindow window;
    window.resize(1100, 820);
    window.userEdit->setText(QStringLiteral("frau.meier"));
    window.ConnectAs(QStringLiteral("lehrerin"), QStringLiteral("lehrer-kennwort"));
    window.ShowClass(QStringLiteral("3b"), 30);
    window.show();
    QApplication::processEvents();
    return window.grab().save(file) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("RECHENKOV_PG_DIR")) {
        std::vector<char*> args{const_cast<char*>("/bin/bash"), const_cast<char*>(RECHENKOV_WITH_POSTGRES)};
        for (int i = 0; i < argc; ++i)
            args.push_back(argv[i]);
        args.push_back(nullptr);
        execv("/bin/bash", args.data());
        std::perror("with_postgres.sh");
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--bild")
        return Screenshot(QString::fromLocal8Bit(argv[2]));
    QTemporaryDir folder;
    QSqlDatabase admin = Connect(QStringLiteral("admin"), QStringLiteral("host=%1 dbname=rechenkov user=postgres").arg(Host()));
    // The room alone: bench_school --raum
    if (argc == 2 && QByteArray(argv[1]) == "--raum") {
        RoomUnderResets(folder.path());
        std::fflush(stdout);
        _exit(0);
    }
    SimulatedSchool(admin);
    TeacherQueries();
    Sending(folder.path());
    PerAnswer(folder.path(), false);
    PerAnswer(folder.path(), true);
    RoomUnderResets(folder.path());
    SilentServerAtExit(folder.path());
    // The sender left waiting on the silent server ends with the process.
    std::fflush(stdout);
    _exit(0);
}
