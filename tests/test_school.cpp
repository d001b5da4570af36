// The school's record on a real PostgreSQL server (tests/with_postgres.sh
// starts a throw-away one; run without it, this program starts itself
// through that script): nothing loads without [Schule]; the sender carries
// every answer exactly once through a server stopped mid-send; a killed
// child's program sends at its next start; two computers send at once; the
// computers' account may only insert; and the teacher's queries.

#include "TestSupport.h"
#include "platform/Application.h"
#include "compat/PictureBox.h"
#include "compat/Windows.h"
#include "record/HistoryStore.h"
#include "record/Recording.h"
#include "school/School.h"
#include "school/SchoolSender.h"
#include "history_window/ClassWindow.h"
#include "history_window/HistoryWindow.h"
#include "main_window/Form1.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QLabel>
#include <QTableWidget>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace history;
using namespace school;

namespace {

const QString kHostile = QStringLiteral("Robert'); DROP TABLE antworten;--");

QString ComputerConnection()
{
    return QStringLiteral("host=%1 dbname=rechenkov user=rechner password=kind-kennwort")
        .arg(qEnvironmentVariable("PGHOST"));
}

// The server as its superuser sees it, to check what arrived.
QSqlDatabase Admin()
{
    if (QSqlDatabase::contains(QStringLiteral("admin")))
        return QSqlDatabase::database(QStringLiteral("admin"));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("admin"));
    db.setConnectOptions(QStringLiteral("host=%1 dbname=rechenkov user=postgres").arg(qEnvironmentVariable("PGHOST")));
    db.open();
    return db;
}

qint64 Scalar(const QString& sql)
{
    QSqlDatabase db = Admin();
    if (!db.isOpen())
        db.open();
    QSqlQuery q(db);
    return q.exec(sql) && q.next() ? q.value(0).toLongLong() : -1;
}

bool WaitFor(const std::function<bool()>& done, int ms = 30000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QTest::qWait(50);
    }
    return true;
}

void Server(const char* what)
{
    QCOMPARE(QProcess::execute(qEnvironmentVariable("RECHENKOV_PG_DIR") + QLatin1Char('/') + QLatin1String(what), {}), 0);
    if (QSqlDatabase::contains(QStringLiteral("admin")))
        Admin().close();
}

// A record of `answers` answers by `child`, made as the recording makes it.
void MakeRecord(const QString& path, int answers, const QString& child)
{
    HistoryStore store(path);
    QVERIFY(store.Open(true));
    for (int i = 0; i < answers; ++i)
        QVERIFY(store.RecordAnswer({QDateTime::currentDateTime(), child, 1, QStringLiteral("a+b"), 1, QStringLiteral("5"),
                                    QStringLiteral("5"), true, 700}));
}

SchoolSender::Options SenderOptions(const QString& record)
{
    return {record, StatePath(record), ComputerConnection(), QStringLiteral("2a"), QStringLiteral("pc"), 1};
}

qint64 Arrived(const QString& child)
{
    return Scalar(QStringLiteral("SELECT count(*) FROM rechenkov.antworten WHERE kind = '%1'").arg(child));
}

bool AllSent(const QString& record)
{
    const SendState st = ReadState(StatePath(record));
    return st.waiting == 0 && !st.failingSince.isValid();
}

// Runs a sender on the record until `done`.
void SendUntil(const QString& record, const std::function<bool()>& done)
{
    SchoolSender sender(SenderOptions(record));
    sender.start();
    sender.Wake();
    QVERIFY(WaitFor(done));
    QVERIFY(sender.StopWithin(5000));
}

// A computer of its own: a home with a record, and the system settings.
struct Computer {
    QTemporaryDir home;
    QProcessEnvironment Environment(const QString& connection) const
    {
        QDir(home.path()).mkpath(QStringLiteral("etc/Rechenkov"));
        QSettings system(home.filePath(QStringLiteral("etc/Rechenkov/Rechenkov.conf")), QSettings::IniFormat);
        system.setValue(QStringLiteral("Schule/Verbindung"), connection);
        system.setValue(QStringLiteral("Schule/Klasse"), QStringLiteral("3b"));
        system.sync();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_CONFIG_DIRS"), home.filePath(QStringLiteral("etc")));
        return env;
    }
    QString Record() const { return home.filePath(QStringLiteral("data/Rechenkov/Rechenkov/verlauf.sqlite")); }
};

// Starts this program as a child's program recording `answers` answers; then
// with "halten" it waits to be killed, with "knopf" it shows the main window
// and quits by its button at a line on standard input.
void StartChild(QProcess& p, const Computer& c, const QString& connection, int answers, const QString& then = QString())
{
    p.setProcessEnvironment(c.Environment(connection));
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("kind"), QString::number(answers), then});
    QVERIFY(p.waitForStarted());
}

// The child's program as far as the record goes: the main window's start and its answers.
int RunChild(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QByteArray then = argc > 3 ? QByteArray(argv[3]) : QByteArray();
    if (then == "knopf") {
        PrepareApplication(app);
        auto dialogs = std::make_unique<ScriptedDialogs>();
        dialogs->answers.push_back(MsgResult::Yes); // to "Das Programm beenden?"
        SetDialogService(std::move(dialogs));
        Instance<Form1>().Show();
    }
    StartName(QStringLiteral("Kind"));
    const int answers = std::atoi(argv[2]);
    for (int i = 1; i <= answers; ++i) {
        MarkTaskSetUp();
        RecordAnswer(i % 7 ? QStringLiteral("Anna") : kHostile, 1 + i % 3, 3, 1 + i % 9, QStringLiteral("12"),
                     i % 5 ? QStringLiteral("12") : QStringLiteral("13"));
        QThread::usleep(2000);
    }
    std::printf("fertig\n");
    std::fflush(stdout);
    if (then == "halten")
        for (;;)
            pause();
    char line[8];
    if (then == "knopf" && std::fgets(line, sizeof line, stdin))
        QTest::mouseClick(Instance<Form1>().Bild1, Qt::LeftButton);
    return 0;
}

} // namespace

class TestSchool : public QObject {
    Q_OBJECT
private slots:
    void withoutSchoolNothingLoads();
    void everyAnswerOnceThroughAServerStop();
    void killedProgramSendsAtNextStart();
    void quitButtonSendsWhatWaits();
    void twoComputersAtOnce();
    void aRoomOfComputersOnASmallServer();
    void aSilentNetwork();
    void theRecordChangesUnderTheSender();
    void computersMayOnlyInsert();
    void teacherSeesTheClass();
    void administratorsCheck();
};

// Runs first, before anything in this process touches the PostgreSQL driver.
void TestSchool::withoutSchoolNothingLoads()
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_CONFIG_DIRS", home.filePath(QStringLiteral("etc")).toLocal8Bit());
    QVERIFY(SetRecordingOn(true));
    ResetRecorder();
    StartName(QStringLiteral("Kind"));
    for (int i = 0; i < 3; ++i)
        RecordAnswer(QStringLiteral("Kind"), 1, 3, 1, QStringLiteral("12"), QStringLiteral("12"));
    ResetRecorder();
    HistoryStore store(DefaultHistoryPath());
    QVERIFY(store.Open(false));
    QCOMPARE(store.Operations({}).at(0).answers, 3);
    store.Close();

    QVERIFY(!Configured());
    QVERIFY(!Sending());
    QVERIFY(!QFile::exists(StatePath(DefaultHistoryPath())));
    for (const QString& name : QSqlDatabase::connectionNames())
        QVERIFY2(QSqlDatabase::database(name, false).driverName() != QLatin1String("QPSQL"), qPrintable(name));
    QFile maps(QStringLiteral("/proc/self/maps"));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    const QByteArray mapped = maps.readAll();
    QVERIFY(mapped.contains("libqsqlite")); // the local record's driver is there, the server's is not
    QVERIFY(!mapped.contains("libqsqlpsql"));
    QVERIFY(!mapped.contains("libpq"));
}

void TestSchool::everyAnswerOnceThroughAServerStop()
{
    QTemporaryDir dir;
    const QString record = dir.filePath(QStringLiteral("verlauf.sqlite"));
    {
        HistoryStore store(record);
        QVERIFY(store.Open(true));
        for (int i = 0; i < 3000; ++i)
            QVERIFY(store.RecordAnswer({QDateTime(QDate(2026, 3, 2), QTime(9, 0)).addSecs(i), i % 2 ? kHostile : QStringLiteral("Ben"),
                                        1, QStringLiteral("c+e"), 1, QStringLiteral("7"), QStringLiteral("7"), true, 900}));
        QVERIFY(store.RecordGame({QDateTime(QDate(2026, 3, 2), QTime(9, 30)), QStringLiteral("Ben"), 42}));
    }
    // A row in the newer form, with its offset from UTC.
    QSqlDatabase local = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("lokal"));
    local.setDatabaseName(record);
    QVERIFY(local.open());
    QVERIFY(QSqlQuery(local).exec(QStringLiteral(
        "INSERT INTO antworten (zeit, utc, kind, rechenart, reihe, zeile, erwartet, eingegeben, richtig, ms) "
        "VALUES ('2026-03-03T10:00:00.000+05:00', %1, 'Ben', 2, 'c-e', 2, '3', '4', 0, 1500)")
        .arg(QDateTime(QDate(2026, 3, 3), QTime(5, 0), Qt::UTC).toMSecsSinceEpoch())));

    SchoolSender::Options o;
    o.recordPath = record;
    o.statePath = StatePath(record);
    o.connection = ComputerConnection();
    o.klasse = QStringLiteral("4a");
    o.computer = QStringLiteral("pc-07");
    o.retrySeconds = 1;
    o.batch = 25;
    SchoolSender sender(o);
    sender.start();
    sender.Wake();
    const QString arrived = QStringLiteral("SELECT count(*) FROM rechenkov.antworten WHERE klasse = '4a'");
    QVERIFY2(WaitFor([&] { return Scalar(arrived) > 0; }), qPrintable(ReadState(o.statePath).reason));
    {
        // A lock holds the sender in the middle of a batch; then the server stops.
        QSqlDatabase blocker = QSqlDatabase::cloneDatabase(Admin(), QStringLiteral("sperre"));
        QVERIFY(blocker.open() && blocker.transaction());
        QVERIFY(QSqlQuery(blocker).exec(QStringLiteral("LOCK TABLE rechenkov.antworten IN SHARE MODE")));
        QVERIFY(WaitFor([&] {
            return Scalar(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE application_name = 'rechenkov' "
                                         "AND wait_event_type = 'Lock'")) == 1;
        }));
        QVERIFY(Scalar(arrived) < 3000);
        Server("stop");
    }
    QSqlDatabase::removeDatabase(QStringLiteral("sperre"));
    for (int i = 0; i < 5; ++i) // answers go on while the server is down
        QVERIFY(QSqlQuery(local).exec(QStringLiteral(
            "INSERT INTO antworten (zeit, utc, kind, rechenart, reihe, zeile, erwartet, eingegeben, richtig, ms) "
            "VALUES ('2026-03-04T08:00:00.000', %1, 'Ben', 3, 'a*b', 1, '6', '6', 1, 800)")
            .arg(QDateTime(QDate(2026, 3, 4), QTime(8, 0)).toMSecsSinceEpoch())));
    sender.Wake();
    QVERIFY(WaitFor([&] { return ReadState(o.statePath).failingSince.isValid(); }));
    const SendState down = ReadState(o.statePath);
    QVERIFY2(down.reason.startsWith(QStringLiteral("Der Schulserver ist nicht erreichbar.")), qPrintable(down.reason));
    QVERIFY(down.waiting > 0);
    Server("start");
    QVERIFY(WaitFor([&] { return Scalar(arrived) == 3006; }));
    QVERIFY(WaitFor([&] { return !ReadState(o.statePath).failingSince.isValid(); }));
    QVERIFY(sender.StopWithin(5000));
    QCOMPARE(ReadState(o.statePath).waiting, 0);

    QCOMPARE(Scalar(QStringLiteral("SELECT count(DISTINCT lokale_id) FROM rechenkov.antworten WHERE klasse = '4a'")), 3006);
    QCOMPARE(Scalar(QStringLiteral("SELECT max(lokale_id) FROM rechenkov.antworten WHERE klasse = '4a'")), 3006);
    QCOMPARE(Scalar(QStringLiteral("SELECT count(*) FROM rechenkov.spiele WHERE klasse = '4a' AND sekunden = 42")), 1);
    // The name is stored as a name, and the table is still there.
    QCOMPARE(Scalar(QStringLiteral("SELECT count(*) FROM rechenkov.antworten WHERE kind = 'Robert''); DROP TABLE antworten;--'")), 1500);
    // Both forms of time are the same instants on the server.
    const QDateTime oldForm(QDate(2026, 3, 2), QTime(9, 0));
    QCOMPARE(Scalar(QStringLiteral("SELECT extract(epoch FROM zeit)::bigint FROM rechenkov.antworten WHERE klasse = '4a' AND lokale_id = 1")),
             oldForm.toSecsSinceEpoch());
    QCOMPARE(Scalar(QStringLiteral("SELECT extract(epoch FROM zeit)::bigint FROM rechenkov.antworten WHERE klasse = '4a' AND lokale_id = 3001")),
             QDateTime(QDate(2026, 3, 3), QTime(5, 0), Qt::UTC).toSecsSinceEpoch());

    // Everything sent again, as after a reply lost with the commit: stored once.
    SendState lost = ReadState(o.statePath);
    lost.answersUpTo = 0;
    lost.answersTime.clear();
    QVERIFY(WriteState(o.statePath, lost));
    {
        SchoolSender again(o);
        again.start();
        again.Wake();
        QVERIFY(WaitFor([&] { return ReadState(o.statePath).answersUpTo == 3006; }));
        QVERIFY(again.StopWithin(5000));
    }
    QVERIFY2(!ReadState(o.statePath).failingSince.isValid(), qPrintable(ReadState(o.statePath).reason));
    QCOMPARE(Scalar(arrived), 3006);

    // The record emptied by a parent and begun anew still arrives.
    QVERIFY(QSqlQuery(local).exec(QStringLiteral("DELETE FROM antworten")));
    QVERIFY(QSqlQuery(local).exec(QStringLiteral("DELETE FROM spiele")));
    QVERIFY(QSqlQuery(local).exec(QStringLiteral(
        "INSERT INTO antworten (zeit, utc, kind, rechenart, reihe, zeile, erwartet, eingegeben, richtig, ms) "
        "VALUES ('2026-03-05T09:00:00.000+01:00', %1, 'Ben', 1, 'a+b', 1, '3', '3', 1, 700)")
        .arg(QDateTime(QDate(2026, 3, 5), QTime(8, 0), Qt::UTC).toMSecsSinceEpoch())));
    QVERIFY(QSqlQuery(local).exec(QStringLiteral(
        "INSERT INTO spiele (zeit, utc, kind, sekunden) VALUES ('2026-03-05T09:01:00.000+01:00', %1, 'Ben', 77)")
        .arg(QDateTime(QDate(2026, 3, 5), QTime(8, 1), Qt::UTC).toMSecsSinceEpoch())));
    {
        SchoolSender anew(o);
        anew.start();
        anew.Wake();
        QVERIFY(WaitFor([&] { return Scalar(QStringLiteral("SELECT count(*) FROM rechenkov.spiele WHERE sekunden = 77")) == 1; }));
        QVERIFY(anew.StopWithin(5000));
    }
    QCOMPARE(Scalar(arrived), 3007);
    QCOMPARE(Scalar(QStringLiteral("SELECT count(DISTINCT quelle) FROM rechenkov.antworten WHERE klasse = '4a'")), 2);
    local.close();
}

void TestSchool::killedProgramSendsAtNextStart()
{
    Computer pc;
    const QString nowhere = QStringLiteral("host=%1/fehlt dbname=rechenkov user=rechner password=kind-kennwort")
                                .arg(qEnvironmentVariable("PGHOST"));
    QProcess child;
    StartChild(child, pc, nowhere, 20, QStringLiteral("halten"));
    QVERIFY(child.waitForReadyRead(20000));
    QCOMPARE(child.readAll(), QByteArray("fertig\n"));
    QVERIFY(WaitFor([&] { return ReadState(StatePath(pc.Record())).waiting == 20; }));
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    QVERIFY(child.waitForFinished());
    const SendState st = ReadState(StatePath(pc.Record()));
    QVERIFY(st.failingSince.isValid());
    QVERIFY2(st.reason.startsWith(QStringLiteral("Der Schulserver ist nicht erreichbar.")), qPrintable(st.reason));

    {
        // The parents' window on that computer says since when and why.
        const QProcessEnvironment env = pc.Environment(nowhere);
        for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"})
            qputenv(name, env.value(QLatin1String(name)).toLocal8Bit());
        HistoryWindow window;
        QVERIFY2(window.notice->text().contains(QStringLiteral("konnte nichts an den Schulserver gesendet werden; 20 "
                                                               "Einträge warten")),
                 qPrintable(window.notice->text()));
        QVERIFY(window.notice->text().contains(QStringLiteral("Der Schulserver ist nicht erreichbar.")));
    }
    const QString sent = QStringLiteral("SELECT count(*) FROM rechenkov.antworten WHERE quelle = '%1'").arg(st.source);
    QCOMPARE(Scalar(sent), 0);
    QProcess next;
    StartChild(next, pc, ComputerConnection(), 0);
    QVERIFY(next.waitForFinished(20000));
    QCOMPARE(next.exitCode(), 0);
    QCOMPARE(Scalar(sent), 20);
    QVERIFY(!ReadState(StatePath(pc.Record())).failingSince.isValid());
}

void TestSchool::quitButtonSendsWhatWaits()
{
    Computer pc;
    Server("stop");
    QProcess child;
    StartChild(child, pc, ComputerConnection(), 6, QStringLiteral("knopf"));
    QVERIFY(child.waitForReadyRead(20000));
    QVERIFY(WaitFor([&] { return ReadState(StatePath(pc.Record())).failingSince.isValid(); }));
    // Said as such in any language the program and the client library speak.
    const SendState st = ReadState(StatePath(pc.Record()));
    QVERIFY2(st.reason.startsWith(QStringLiteral("Der Schulserver ist nicht erreichbar.")), qPrintable(st.reason));
    Server("start");
    // Rows already on the server when the process has ended: the last attempt comes before the end.
    child.write("q\n");
    QVERIFY(child.waitForFinished(3000));
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(Scalar(QStringLiteral("SELECT count(*) FROM rechenkov.antworten WHERE quelle = '%1'").arg(st.source)), 6);
}

void TestSchool::twoComputersAtOnce()
{
    Computer first, second;
    QProcess a, b;
    StartChild(a, first, ComputerConnection(), 400);
    StartChild(b, second, ComputerConnection(), 400);
    QVERIFY(a.waitForFinished(60000));
    QVERIFY(b.waitForFinished(60000));
    QCOMPARE(a.exitCode(), 0);
    QCOMPARE(b.exitCode(), 0);
    for (const Computer* pc : {&first, &second}) {
        const QString source = ReadState(StatePath(pc->Record())).source;
        QCOMPARE(Scalar(QStringLiteral("SELECT count(DISTINCT lokale_id) FROM rechenkov.antworten WHERE quelle = '%1' AND klasse = '3b'").arg(source)), 400);
    }
}

void TestSchool::aRoomOfComputersOnASmallServer()
{
    QVERIFY(QSqlQuery(Admin()).exec(QStringLiteral("ALTER SYSTEM SET max_connections = 20")));
    Server("stop");
    Server("start");
    // 25 computers, each record in a folder of its own, meet a server whose slots are all taken.
    QStringList held;
    while (held.size() < 30 && AddServerConnection(QStringLiteral("platz%1").arg(held.size()), ComputerConnection()).open())
        held << QStringLiteral("platz%1").arg(held.size());
    QTemporaryDir dir;
    std::vector<std::unique_ptr<SchoolSender>> room;
    for (int i = 0; i < 25; ++i) {
        const QString record = dir.filePath(QStringLiteral("pc%1/verlauf.sqlite").arg(i));
        MakeRecord(record, 40, QStringLiteral("Raum"));
        room.push_back(std::make_unique<SchoolSender>(SenderOptions(record)));
        room.back()->start();
        room.back()->Wake();
    }
    QVERIFY(WaitFor([&] { return ReadState(StatePath(dir.filePath(QStringLiteral("pc0/verlauf.sqlite")))).reason.startsWith(QStringLiteral("Der Schulserver ist voll")); }));
    for (const QString& name : held)
        QSqlDatabase::removeDatabase(name);
    // Every row arrives, and the programs, still running, hold no connection: a teacher logs in.
    QVERIFY(WaitFor([&] { return Arrived(QStringLiteral("Raum")) == 25 * 40; }, 60000));
    QVERIFY(WaitFor([&] { return Scalar(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE application_name = 'rechenkov'")) == 0; }));
    QVERIFY(AddServerConnection(QStringLiteral("lehrerin"), ComputerConnection(), QStringLiteral("lehrerin"), QStringLiteral("lehrer-kennwort")).open());
}

void TestSchool::aSilentNetwork()
{
    // The server's process for the sender stops while a lock holds its
    // batch: no word comes back, and the line stays up.
    QTemporaryDir dir;
    const QString record = dir.filePath(QStringLiteral("verlauf.sqlite"));
    MakeRecord(record, 300, QStringLiteral("Still"));
    pid_t pid = 0;
    auto silence = [&](SchoolSender& sender) {
        QSqlDatabase blocker = QSqlDatabase::cloneDatabase(Admin(), QStringLiteral("sperre"));
        QVERIFY(blocker.open() && blocker.transaction());
        QVERIFY(QSqlQuery(blocker).exec(QStringLiteral("LOCK TABLE rechenkov.antworten IN SHARE MODE")));
        sender.start();
        sender.Wake();
        const QString waiting = QStringLiteral("SELECT pid FROM pg_stat_activity WHERE wait_event_type = 'Lock'");
        QVERIFY(WaitFor([&] { return Scalar(waiting) > 0; }));
        pid = static_cast<pid_t>(Scalar(waiting));
        ::kill(pid, SIGSTOP);
        blocker.rollback();
    };
    {
        // The sender can still be stopped.
        SchoolSender sender(SenderOptions(record));
        silence(sender);
        QVERIFY(!sender.StopWithin(1000));
        QVERIFY(sender.wait(10000));
        ::kill(pid, SIGCONT);
    }
    // The state says so within a minute, and everything arrives after.
    SchoolSender sender(SenderOptions(record));
    silence(sender);
    QVERIFY(WaitFor([&] { return ReadState(StatePath(record)).reason.contains(QStringLiteral("wartet seit")); }, 60000));
    ::kill(pid, SIGCONT);
    QVERIFY(WaitFor([&] { return AllSent(record) && Arrived(QStringLiteral("Still")) == 300; }));
}

void TestSchool::theRecordChangesUnderTheSender()
{
    // Copies of one record with its state (a roaming profile), each with answers of its own.
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a/verlauf.sqlite")), b = dir.filePath(QStringLiteral("b/verlauf.sqlite"));
    MakeRecord(a, 7, QStringLiteral("Kopie"));
    SendUntil(a, [&] { return AllSent(a) && Arrived(QStringLiteral("Kopie")) == 7; });
    QVERIFY(QDir().mkpath(QFileInfo(b).path()) && QFile::copy(a, b) && QFile::copy(StatePath(a), StatePath(b)));
    MakeRecord(a, 3, QStringLiteral("Kopie"));
    MakeRecord(b, 4, QStringLiteral("Kopie"));
    SendUntil(a, [&] { return AllSent(a); });
    SendUntil(b, [&] { return AllSent(b) && Arrived(QStringLiteral("Kopie")) == 7 + 3 + 4; });

    // Answers given on a 3b computer while the server was away keep their
    // class and computer when they are sent from a computer now set to 2a.
    const QString moved = dir.filePath(QStringLiteral("c/verlauf.sqlite"));
    {
        HistoryStore store(moved);
        QVERIFY(store.Open(true));
        store.SetOrigin(QStringLiteral("3b"), QStringLiteral("pc-3b"));
        QVERIFY(store.RecordAnswer({QDateTime::currentDateTime(), QStringLiteral("Umzug"), 1, QStringLiteral("a+b"), 1,
                                    QStringLiteral("5"), QStringLiteral("5"), true, 700}));
    }
    SendUntil(moved, [&] { return Arrived(QStringLiteral("Umzug")) == 1; });
    QSqlQuery origin(Admin());
    QVERIFY(origin.exec(QStringLiteral("SELECT klasse || '/' || rechner FROM rechenkov.antworten WHERE kind = 'Umzug'"))
            && origin.next());
    QCOMPARE(origin.value(0).toString(), QStringLiteral("3b/pc-3b"));

    // A record of the first format whose 7 answers that release sent, keyed by
    // record and row number; then the update converts it and one more comes.
    const QString old = dir.filePath(QStringLiteral("verlauf.sqlite"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("alt"));
        db.setDatabaseName(old);
        QSqlQuery q(db.open() ? db : QSqlDatabase());
        for (const char* sql : {"CREATE TABLE antworten (id INTEGER PRIMARY KEY, zeit TEXT, kind TEXT, rechenart INTEGER, reihe TEXT, "
                                "zeile INTEGER, erwartet TEXT, eingegeben TEXT, richtig INTEGER, ms INTEGER)",
                                "CREATE TABLE spiele (id INTEGER PRIMARY KEY, zeit TEXT, kind TEXT, sekunden INTEGER)",
                                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 7) INSERT INTO antworten "
                                "SELECT i, '2026-01-12T08:0' || i || ':00.000', 'Alt', 1, 'a+b', 1, '3', '3', 1, 900 FROM n",
                                "PRAGMA application_id = 1380270923", "PRAGMA user_version = 1"})
            QVERIFY2(q.exec(QLatin1String(sql)), sql);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("alt"));
    // That release sent 5 of them.
    SendState sent;
    sent.source = QUuid::createUuid().toString(QUuid::WithoutBraces);
    sent.answersUpTo = 5;
    sent.answersTime = QStringLiteral("2026-01-12T08:05:00.000");
    QVERIFY(WriteState(StatePath(old), sent));
    QVERIFY(QSqlQuery(Admin()).exec(QStringLiteral(
        "INSERT INTO rechenkov.antworten (quelle, lokale_id, rechner, klasse, zeit, kind, rechenart, reihe, zeile, erwartet, "
        "eingegeben, richtig, ms) SELECT '%1', i, 'pc', '2a', now(), 'Alt', 1, 'a+b', 1, '3', '3', true, 900 "
        "FROM generate_series(1, 5) i").arg(sent.source)));
    MakeRecord(old, 1, QStringLiteral("Alt"));
    {
        // Until the rows of the earlier form have moved over (with their
        // lower ids) nothing is sent: the newer row would carry the sender past them.
        SchoolSender sender(SenderOptions(old));
        sender.start();
        sender.Wake();
        QVERIFY(WaitFor([&] { return ReadState(StatePath(old)).waiting > 0; }));
        HistoryStore store(old);
        QVERIFY(store.Open(false));
        while (store.ConvertStep(1000) > 0) {
        }
        sender.Wake();
        QVERIFY(WaitFor([&] { return AllSent(old) && Arrived(QStringLiteral("Alt")) >= 8; }));
        QVERIFY(sender.StopWithin(5000));
    }
    QCOMPARE(Arrived(QStringLiteral("Alt")), 8);

    // The record set aside by a parent and begun anew, under a running sender: the new one is sent.
    SchoolSender sender(SenderOptions(old));
    sender.start();
    QString kept;
    QVERIFY(HistoryStore::SetAside(old, &kept));
    MakeRecord(old, 2, QStringLiteral("Neu"));
    sender.Wake();
    QVERIFY(WaitFor([&] { return Arrived(QStringLiteral("Neu")) == 2; }));
    QCOMPARE(Arrived(QStringLiteral("Alt")), 8);
}

void TestSchool::computersMayOnlyInsert()
{
    QSqlDatabase db = AddServerConnection(QStringLiteral("kind"), ComputerConnection());
    QVERIFY2(db.open(), qPrintable(db.lastError().text()));
    QSqlQuery q(db);
    for (const char* sql : {"SELECT count(*) FROM rechenkov.antworten", "SELECT kind FROM rechenkov.spiele",
                            "UPDATE rechenkov.antworten SET richtig = true", "DELETE FROM rechenkov.antworten",
                            "DELETE FROM rechenkov.spiele", "TRUNCATE rechenkov.antworten", "DROP TABLE rechenkov.antworten"}) {
        QVERIFY2(!q.exec(QLatin1String(sql)), sql);
        QVERIFY(GermanReason(q.lastError()).startsWith(QStringLiteral("Dem Konto fehlt ein Recht")));
    }
    QVERIFY(Scalar(QStringLiteral("SELECT count(*) FROM rechenkov.antworten")) > 0);

    // A wrong password is told as such.
    QSqlDatabase wrong = AddServerConnection(QStringLiteral("falsch"), ComputerConnection() + QStringLiteral("x"));
    QVERIFY(!wrong.open());
    QVERIFY2(GermanReason(wrong.lastError()).startsWith(QStringLiteral("Der Schulserver hat die Anmeldung abgelehnt")),
             qPrintable(GermanReason(wrong.lastError())));
}

void TestSchool::teacherSeesTheClass()
{
    // Class 5c, by hand: Anna plus 3 of 4 right (right ones 1, 2, 4 s),
    // minus 0 of 2; Ben a+b 7 of 10, e*f 0 of 2; outside the period one
    // answer 40 days ago and one tomorrow.
    QStringList rows;
    auto add = [&](const char* child, int op, const char* row, bool right, int ms, const char* when = "now() - interval '1 hour'") {
        rows << QStringLiteral("(gen_random_uuid(), %1, 'pc', '5c', %2, '%3', %4, '%5', 1, '1', '1', %6, %7)")
                    .arg(rows.size())
                    .arg(QLatin1String(when), QLatin1String(child))
                    .arg(op)
                    .arg(QLatin1String(row), right ? QStringLiteral("true") : QStringLiteral("false"))
                    .arg(ms);
    };
    add("Anna", 1, "a+b", true, 1000);
    add("Anna", 1, "a+b", true, 4000);
    add("Anna", 1, "a+b", true, 2000);
    add("Anna", 1, "a+b", false, 9000);
    add("Anna", 2, "c-e", false, 3000);
    add("Anna", 2, "c-e", false, 3000);
    for (int i = 0; i < 10; ++i)
        add("Ben", 1, "a+b", i >= 3, 1500);
    add("Ben", 3, "e*f", false, 5000);
    add("Ben", 3, "e*f", false, 5000);
    add("Anna", 3, "e*f", false, 5000, "now() - interval '40 days'");
    add("Anna", 3, "e*f", false, 5000, "now() + interval '1 day'");
    QVERIFY(QSqlQuery(Admin()).exec(QStringLiteral("INSERT INTO rechenkov.antworten (quelle, lokale_id, rechner, klasse, zeit, kind, "
                                                   "rechenart, reihe, zeile, erwartet, eingegeben, richtig, ms) VALUES ")
                                    + rows.join(QLatin1Char(','))));

    QTemporaryDir etc;
    QDir(etc.path()).mkpath(QStringLiteral("Rechenkov"));
    QSettings system(etc.filePath(QStringLiteral("Rechenkov/Rechenkov.conf")), QSettings::IniFormat);
    system.setValue(QStringLiteral("Schule/Verbindung"), ComputerConnection());
    system.setValue(QStringLiteral("Schule/Klasse"), QStringLiteral("5c"));
    system.sync();
    qputenv("XDG_CONFIG_DIRS", etc.path().toLocal8Bit());

    ClassWindow window;
    // The computer's own account reads nothing.
    QVERIFY(!window.ConnectAs(QString(), QString()));
    QVERIFY2(window.notice->text().startsWith(QStringLiteral("Dem Konto fehlt ein Recht")), qPrintable(window.notice->text()));
    QVERIFY(window.ConnectAs(QStringLiteral("lehrerin"), QStringLiteral("lehrer-kennwort")));
    QVERIFY(window.classBox->findText(QStringLiteral("5c")) >= 0);
    window.ShowClass(QStringLiteral("5c"), 30);
    QCOMPARE(window.childTable->rowCount(), 2);
    QCOMPARE(window.childTable->item(0, 0)->text(), QStringLiteral("Anna"));
    const QStringList anna{window.childTable->item(0, 1)->text(), window.childTable->item(0, 2)->text(),
                           window.childTable->item(0, 3)->text(), window.childTable->item(0, 4)->text(),
                           window.childTable->item(0, 5)->text(), window.childTable->item(0, 10)->text()};
    QCOMPARE(anna, QStringList({"4", "75 %", "2,0", "2", "0 %", "c-e: 2 von 2 falsch"}));
    QCOMPARE(window.childTable->item(1, 10)->text(), QStringLiteral("a+b: 3 von 10 falsch"));
    // The class: most wrong answers first, whatever their share.
    QCOMPARE(window.classWeak->text(), QStringLiteral("a+b: 4 von 14 falsch\nc-e: 2 von 2 falsch\ne*f: 2 von 2 falsch"));
    QVERIFY(window.notice->text().isEmpty());

    QSqlDatabase teacher = AddServerConnection(QStringLiteral("lehrer"), ComputerConnection(), QStringLiteral("lehrerin"),
                                               QStringLiteral("lehrer-kennwort"));
    QVERIFY(teacher.open());
    ClassRecord record(QStringLiteral("lehrer"));
    qint64 counted = 0;
    for (const history::DayCount& d : record.Days(window.CurrentPeriod(), false))
        counted += d.right + d.wrong;
    QCOMPARE(counted, 18);
    QBuffer csv;
    csv.open(QIODevice::WriteOnly);
    QVERIFY(record.WriteCsv(window.CurrentPeriod(QStringLiteral("Ben")), csv));
    QCOMPARE(csv.data().count("\r\n"), 13);
    QVERIFY(csv.data().contains(";5c;Ben;mal;e*f;1;1;1;nein;5000\r\n"));

    // A click on a child: that child's own view.
    emit window.childTable->cellClicked(0, 3);
    ClassChildWindow* child = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* c = qobject_cast<ClassChildWindow*>(w))
            child = c;
    QVERIFY(child);
    QCOMPARE(child->windowTitle(), QStringLiteral("Lernverlauf – Anna (5c)"));
    QCOMPARE(child->operationTable->rowCount(), 2);
    QCOMPARE(child->weakRows->text(), QStringLiteral("c-e: 2 von 2 falsch\na+b: 1 von 4 falsch"));
    delete child;
}

void TestSchool::administratorsCheck()
{
    Computer pc;
    QProcess check;
    check.setProcessEnvironment(pc.Environment(ComputerConnection()));
    check.start(QStringLiteral(RECHENKOV_BUILD_DIR "/rechenkov"), {QStringLiteral("--schule-pruefen")});
    QVERIFY(check.waitForFinished(20000));
    QCOMPARE(check.exitCode(), 0);
    QVERIFY(check.readAllStandardOutput().contains("Alles in Ordnung"));

    // A teacher's account on a child's computer could read every record.
    check.setProcessEnvironment(pc.Environment(QStringLiteral("host=%1 dbname=rechenkov user=lehrerin password=lehrer-kennwort")
                                                   .arg(qEnvironmentVariable("PGHOST"))));
    check.start(QStringLiteral(RECHENKOV_BUILD_DIR "/rechenkov"), {QStringLiteral("--schule-pruefen")});
    QVERIFY(check.waitForFinished(20000));
    QCOMPARE(check.exitCode(), 1);
    QVERIFY(QString::fromUtf8(check.readAllStandardError()).contains(QStringLiteral("darf keine Antworten eintragen")));
}

int main(int argc, char** argv)
{
    if (argc > 2 && QByteArray(argv[1]) == "kind")
        return RunChild(argc, argv);
    // Without a server of its own this program starts one and runs again inside.
    if (qEnvironmentVariableIsEmpty("RECHENKOV_PG_DIR")) {
        std::vector<char*> args{const_cast<char*>("/bin/bash"), const_cast<char*>(RECHENKOV_WITH_POSTGRES)};
        for (int i = 0; i < argc; ++i)
            args.push_back(argv[i]);
        args.push_back(nullptr);
        execv("/bin/bash", args.data());
        std::perror("with_postgres.sh");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestSchool test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_school.moc"
