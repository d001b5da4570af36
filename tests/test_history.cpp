// The practice record: the store on a folder of its own (round trip, the
// queries of the window, CSV bytes, files it must leave alone or cannot
// write), a writer killed mid-answer, and the real main window recording
// what the keys do — or nothing at all while the switch is off.

#include "TestSupport.h"

#include "compat/Label.h"
#include "compat/ListBox.h"
#include "table/MODUL1.h"
#include "compat/Windows.h"
#include "game/fang.h"
#include "record/HistoryStore.h"
#include "history_window/HistoryWindow.h"
#include "record/Recording.h"
#include "main_window/Form1.h"

#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableWidget>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QTemporaryDir>
#include <QtTest>

#include <QRandomGenerator>
#include <QSet>

#include <csignal>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace history;

namespace {

AnswerRecord Answer(const QString& child, const QDateTime& time, int op, const QString& row, bool right, qint64 ms = 1000)
{
    return {time, child, op, row, 1, QStringLiteral("12"), right ? QStringLiteral("12") : QStringLiteral("13"), right, ms};
}

QDateTime At(int day, int hour = 9) { return QDateTime(QDate(2026, 3, day), QTime(hour, 0)); }

QByteArray Bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QSettings Settings() { return QSettings(QStringLiteral("Rechenkov"), QStringLiteral("Rechenkov")); }

// Keys go to the focused operation menu, which passes the others up to the
// window. Delete first, as a wrong answer stays in the field.
void Type(Form1& w, const QString& text)
{
    QTest::keyClick(w.Liste1->Widget(), Qt::Key_Delete);
    for (QChar ch : text)
        QTest::keyClick(w.Liste1->Widget(), Qt::Key(ch.unicode()));
    QTest::keyClick(w.Liste1->Widget(), Qt::Key_Return);
}

// A writer for the kill test: records answers until it is killed, printing
// the number committed after each one.
int WriteUntilKilled(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    HistoryStore store(QString::fromLocal8Bit(argv[2]));
    if (!store.Open(true))
        return 2;
    for (qint64 i = 1;; ++i) {
        if (!store.RecordAnswer(Answer(QStringLiteral("Kind"), QDateTime::currentDateTime(), 1, QStringLiteral("a+b"), true, i)))
            return 3;
        std::printf("%lld\n", static_cast<long long>(i));
        std::fflush(stdout);
    }
}

// A child's program without windows, driving the real recording code: each
// "n" on standard input (after "bereit" on standard output) records one right answer and prints "ok" (or
// "angehalten" while recording is paused); "q" ends the program as its quit
// button does, anything else as the end of the application object.
int Practise(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::printf("bereit\n");
    std::fflush(stdout);
    char line[16] = "";
    while (std::fgets(line, sizeof line, stdin) && line[0] == 'n') {
        RecordAnswer(QStringLiteral("Kind"), 1, 1, 1, QStringLiteral("12"), QStringLiteral("12"));
        std::printf(RecordingPaused() ? "angehalten\n" : "ok\n");
        std::fflush(stdout);
    }
    if (line[0] == 'q') {
        CloseRecord();
        ::_exit(0);
    }
    return 0; // as the application ends when its last window closes
}

// An SQLite file with its last change still in the log: another program's
// ("--fremd"), or one of ours as a version with times without a zone left it.
int LeaveInLog(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(QString::fromLocal8Bit(argv[2]));
    QSqlQuery q(db.open() ? db : QSqlDatabase());
    const bool ours = qstrcmp(argv[1], "--alt") == 0;
    QStringList steps{QStringLiteral("PRAGMA journal_mode=WAL"), QStringLiteral("PRAGMA wal_autocheckpoint=0")};
    if (ours)
        steps << QStringLiteral("CREATE TABLE antworten (id INTEGER PRIMARY KEY, zeit TEXT, kind TEXT, rechenart INTEGER, "
                                "reihe TEXT, zeile INTEGER, erwartet TEXT, eingegeben TEXT, richtig INTEGER, ms INTEGER)")
              << QStringLiteral("CREATE TABLE spiele (id INTEGER PRIMARY KEY, zeit TEXT, kind TEXT, sekunden INTEGER)")
              << QStringLiteral("INSERT INTO antworten VALUES (7, '2026-03-10T23:30:00.000', 'Lena', 1, 'a+b', 1, '3', '3', 1, 900)")
              << QStringLiteral("PRAGMA application_id = 1380270923") << QStringLiteral("PRAGMA user_version = 1");
    else
        steps << QStringLiteral("CREATE TABLE x (y)") << QStringLiteral("INSERT INTO x VALUES (1)");
    for (const QString& step : steps)
        if (!q.exec(step))
            return 2;
    ::_exit(0); // no close: the log keeps the changes
}

// The answers in the record, read as the window reads them; -1 when it cannot be read.
int StoredAnswers(const QString& path = DefaultHistoryPath())
{
    HistoryStore store(path);
    int answers = store.OpenForReading() ? 0 : -1;
    for (const OperationStats& op : store.Operations({}))
        answers += op.answers;
    return answers;
}

// Prints the answers in the record at a path, read as a user without write permission.
int ReadAsOther(int argc, char** argv)
{
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
        return 2;
    QCoreApplication app(argc, argv);
    std::printf("%d\n", StoredAnswers(QString::fromLocal8Bit(argv[2])));
    return 0;
}

// A child's program in a process of its own.
struct Child {
    QProcess process;
    Child()
    {
        process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--ueben")});
        Read(); // "bereit": waiting for its first answer
    }
    QByteArray Read()
    {
        while (!process.canReadLine() && process.waitForReadyRead(10000)) {
        }
        return process.readLine().trimmed();
    }
    // Records `n` answers and returns what the last one printed.
    QByteArray Answer(int n = 1)
    {
        QByteArray last;
        for (int i = 0; i < n; ++i)
            last = (process.write("n\n"), Read());
        return last;
    }
    bool Quit(const char* how = "q\n")
    {
        process.write(how);
        return process.waitForFinished(10000) && process.exitCode() == 0;
    }
};

// How many threads the process `pid` runs.
int ThreadsOf(qint64 pid)
{
    return int(QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// The real program with the command line `args`; its exit code and standard error.
std::pair<int, QString> RunProgram(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(RECHENKOV_BUILD_DIR "/rechenkov"), args);
    p.waitForFinished(30000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardError())};
}

// The worksheets of a child the record does not know: the program opens,
// reads and closes the record, and says so.
bool AdultReadsTheRecord(const QString& pdf)
{
    const auto [code, error] = RunProgram({QStringLiteral("--arbeitsblaetter"), QStringLiteral("1"),
                                           QStringLiteral("--aus-verlauf"), QStringLiteral("Lena"),
                                           QStringLiteral("--ausgabe"), pdf});
    return code == 1 && error.contains(QStringLiteral("kein Kind"));
}

} // namespace

class TestHistory : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void offWritesNothingAndKeepsTheGuestName();
    void answersAndGamesRoundTripThroughTheQueries();
    void csvBytes();
    void filesOfOthersAreLeftAlone();
    void writeFailuresAreReportedNotFatal();
    void aKilledWriterKeepsEveryCommittedAnswer();
    void theMainWindowRecordsEveryCheckedAnswer();
    void aCorruptRecordPausesAndTheWindowOffersToDeleteIt();
    void aDamagedPageIsReportedAndNoLongerWritten();
    void aRunningChildsProgramFollowsTheParents();
    void twoFirstStartsAtOnce();
    void foreignFilesAndFoldersAreNeverOpened();
    void aReadOnlyFolderIsRead();
    void timesCarryTheirOffsetAndPeriodsEndToday();
    void theWindowForParents();
    void anAdultsToolBesideThePractiseKeepsEveryAnswer();
    void earlierRecordsAreConvertedBesideThePractice();
    void aFullDiskLeavesANoticeOfTheGapAndRecordingGoesOn();
    void aLogBesideARestoredBackupIsSetAside();
    void aSharedFolderReachedThroughALinkKeepsItsRights();
    void aRecordOnAFuseFolderKeepsEveryAnswer();

private:
    QTemporaryDir dir_;
};

void TestHistory::initTestCase()
{
    // Settings and data go to the test folders of the standard paths, never
    // the user's; the processes started by the test find them there too.
    QStandardPaths::setTestModeEnabled(true);
    QCOMPARE(DefaultHistoryPath(), qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Rechenkov/Rechenkov/verlauf.sqlite"));
    QVERIFY(dir_.isValid());
}

void TestHistory::init()
{
    ResetRecorder();
    QSettings s = Settings();
    s.clear();
    s.sync();
    QFile::remove(s.fileName());
    QDir(QFileInfo(DefaultHistoryPath()).absolutePath()).removeRecursively();
}

void TestHistory::offWritesNothingAndKeepsTheGuestName()
{
    FreshProgram();
    Form1& w = Instance<Form1>();
    w.Show();
    QCOMPARE(w.Bezeichnung1->Caption(), QStringLiteral("Freund+Gast"));
    Type(w, QStringLiteral("0"));
    Type(w, w.Bezeichnung3->Caption());
    RememberName(QStringLiteral("Lena"));
    RecordGame(30);
    QCOMPARE(w.Bezeichnung5->Caption(), QStringLiteral("1"));
    QVERIFY(!QFileInfo::exists(QFileInfo(DefaultHistoryPath()).absolutePath()));
    QVERIFY(!QFileInfo::exists(Settings().fileName()));
}

void TestHistory::answersAndGamesRoundTripThroughTheQueries()
{
    const QString path = dir_.filePath(QStringLiteral("rt/verlauf.sqlite"));
    {
        HistoryStore store(path);
        QVERIFY(store.Open(true));
        // Lena: plus a+b 4 of 6 right; minus c-e 1 of 5; times b*f 0 of 4 (too few to count as weak).
        for (qint64 ms : {1000, 3000, 2000, 4000})
            QVERIFY(store.RecordAnswer(Answer(QStringLiteral("Lena"), At(10), 1, QStringLiteral("a+b"), true, ms)));
        for (int i = 0; i < 2; ++i)
            QVERIFY(store.RecordAnswer(Answer(QStringLiteral("Lena"), At(10, 10), 1, QStringLiteral("a+b"), false, 700)));
        QVERIFY(store.RecordAnswer(Answer(QStringLiteral("Lena"), At(11), 2, QStringLiteral("c-e"), true, 5000)));
        for (int i = 0; i < 4; ++i) {
            QVERIFY(store.RecordAnswer(Answer(QStringLiteral("Lena"), At(11), 2, QStringLiteral("c-e"), false)));
            QVERIFY(store.RecordAnswer(Answer(QStringLiteral("Lena"), At(11), 3, QStringLiteral("b*f"), false)));
        }
        for (int i = 0; i < 5; ++i)
            QVERIFY(store.RecordAnswer(Answer(QStringLiteral("Tom"), At(9), 1, QStringLiteral("a+b"), false)));
        QVERIFY(store.RecordGame({At(10), QStringLiteral("Lena"), 40}));
        QVERIFY(store.RecordGame({At(11), QStringLiteral("Lena"), 35}));
        QVERIFY(store.RecordGame({At(9), QStringLiteral("Tom"), 20}));
    }
    HistoryStore store(path);
    QVERIFY(store.Open(false));
    QCOMPARE(store.Children(), QStringList({QStringLiteral("Lena"), QStringLiteral("Tom")}));

    const Filter lena{QStringLiteral("Lena"), QDate()};
    const auto days = store.Days(lena);
    QCOMPARE(days.size(), std::size_t(2));
    QCOMPARE(days[0].day, QDate(2026, 3, 10));
    QCOMPARE((std::pair{days[0].right, days[0].wrong}), (std::pair<qint64, qint64>{4, 2}));
    QCOMPARE((std::pair{days[1].right, days[1].wrong}), (std::pair<qint64, qint64>{1, 8}));
    QCOMPARE(store.Days({QStringLiteral("Lena"), QDate(2026, 3, 11)}).size(), std::size_t(1));

    const auto ops = store.Operations(lena);
    QCOMPARE(ops.size(), std::size_t(3));
    QCOMPARE((std::tuple{ops[0].operation, ops[0].answers, ops[0].right}), (std::tuple{1, 6, 4}));
    QCOMPARE(ops[0].medianSeconds, std::optional<double>(2.5)); // wrong answers' times do not count
    QCOMPARE(ops[1].medianSeconds, std::optional<double>(5.0));
    QCOMPARE((std::tuple{ops[2].operation, ops[2].answers, ops[2].right}), (std::tuple{3, 4, 0}));
    QVERIFY(!ops[2].medianSeconds);

    const auto weak = store.WeakRows(lena);
    QCOMPARE(weak.size(), std::size_t(2));
    QCOMPARE((std::tuple{weak[0].calcRow, weak[0].wrong, weak[0].answers}), (std::tuple{QStringLiteral("c-e"), 4, 5}));
    QCOMPARE((std::tuple{weak[1].calcRow, weak[1].wrong, weak[1].answers}), (std::tuple{QStringLiteral("a+b"), 2, 6}));
    // Ranked by the number of wrong answers: 7 of 11 comes before 4 of 5.
    const auto weakAll = store.WeakRows({}, 5);
    QCOMPARE((std::tuple{weakAll[0].calcRow, weakAll[0].wrong, weakAll[0].answers}),
             (std::tuple{QStringLiteral("a+b"), 7, 11}));
    QCOMPARE(store.WeakRows({}, 1).size(), std::size_t(1));

    QCOMPARE(store.Games(lena).count, 2);
    QCOMPARE(store.Games(lena).bestSeconds, std::optional<qint64>(35));
    QCOMPARE(store.Games({}).bestSeconds, std::optional<qint64>(20));
    QCOMPARE(store.Games({QStringLiteral("Lena"), QDate(2026, 3, 11)}).count, 1);
}

void TestHistory::csvBytes()
{
    HistoryStore store(dir_.filePath(QStringLiteral("csv.sqlite")));
    QVERIFY(store.Open(true));
    AnswerRecord a{QDateTime(QDate(2026, 3, 10), QTime(8, 5, 9, 123)), QStringLiteral("=Max;\"Ö\""), 2,
                   QStringLiteral("c-e"), 3, QStringLiteral("12"), QStringLiteral("07"), false, 1500};
    QVERIFY(store.RecordAnswer(a));
    QVERIFY(store.RecordGame({QDateTime(QDate(2026, 3, 10), QTime(8, 6)), QStringLiteral("-1\nB"), 42}));
    QByteArray csv;
    QVERIFY(store.WriteCsv([&](const QByteArray& piece) { csv += piece; return true; }));
    QCOMPARE(csv,
             QByteArray("\xEF\xBB\xBFZeit;Kind;Art;Rechenart;Reihe;Zeile;Erwartet;Eingegeben;Richtig;Millisekunden;"
                        "Sekunden\r\n"
                        "2026-03-10 08:05:09;\"'=Max;\"\"\xC3\x96\"\"\";Antwort;minus;c-e;3;12;07;nein;1500;\r\n"
                        "2026-03-10 08:06:00;\"'-1\nB\";Spiel;;;;;;;;42\r\n"));
    // Blanks, a tab or a carriage return before a formula do not hide it.
    QCOMPARE(CsvTextField(QStringLiteral("\t=1+1")), QStringLiteral("'\t=1+1"));
    QCOMPARE(CsvTextField(QStringLiteral("\r=1+1")), QStringLiteral("\"'\r=1+1\""));
    QCOMPARE(CsvTextField(QStringLiteral("  @A1")), QStringLiteral("'  @A1"));
}

void TestHistory::filesOfOthersAreLeftAlone()
{
    const auto check = [this](const QString& name, HistoryStore::State expected) {
        const QString path = dir_.filePath(name);
        const QByteArray before = Bytes(path);
        HistoryStore store(path);
        QVERIFY(!store.Open(true));
        QCOMPARE(store.GetState(), expected);
        QVERIFY(!store.Problem().isEmpty());
        QVERIFY(!store.RecordAnswer(Answer(QStringLiteral("A"), At(1), 1, QStringLiteral("a+b"), true)));
        store.Close();
        QCOMPARE(Bytes(path), before);
    };
    {
        QFile f(dir_.filePath(QStringLiteral("garbage.sqlite")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
    }
    check(QStringLiteral("garbage.sqlite"), HistoryStore::State::Corrupt);

    for (const char* file : {"foreign.sqlite", "newer.sqlite"}) {
        const QString path = dir_.filePath(QLatin1String(file));
        if (QLatin1String(file) == QLatin1String("newer.sqlite")) {
            HistoryStore ours(path);
            QVERIFY(ours.Open(true));
        }
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QLatin1String(file) == QLatin1String("newer.sqlite") ? QStringLiteral("PRAGMA user_version = 99")
                                                                             : QStringLiteral("CREATE TABLE x (y)")));
        q = QSqlQuery();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    }
    check(QStringLiteral("foreign.sqlite"), HistoryStore::State::Foreign);
    check(QStringLiteral("newer.sqlite"), HistoryStore::State::Newer);
}

void TestHistory::writeFailuresAreReportedNotFatal()
{
    // No folder can be made below a plain file.
    QFile blocker(dir_.filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    HistoryStore nowhere(dir_.filePath(QStringLiteral("blocker/verlauf.sqlite")));
    QVERIFY(!nowhere.Open(true));
    QCOMPARE(nowhere.GetState(), HistoryStore::State::CannotOpen);

    // A file without write permission; root writes regardless, so only others check it.
    if (geteuid() != 0) {
        const QString path = dir_.filePath(QStringLiteral("readonly.sqlite"));
        {
            HistoryStore ours(path);
            QVERIFY(ours.Open(true));
        }
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
        HistoryStore readOnly(path);
        QVERIFY(!(readOnly.Open(true) && readOnly.RecordAnswer(Answer(QStringLiteral("A"), At(1), 1, QStringLiteral("a+b"), true))));
        QCOMPARE(readOnly.GetState(), HistoryStore::State::WriteFailed);
    }

    // A full disk, made with the file-size limit (which binds root too).
    HistoryStore store(dir_.filePath(QStringLiteral("full.sqlite")));
    QVERIFY(store.Open(true));
    QVERIFY(store.RecordAnswer(Answer(QStringLiteral("A"), At(1), 1, QStringLiteral("a+b"), true)));
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit none = old;
    none.rlim_cur = 0;
    setrlimit(RLIMIT_FSIZE, &none);
    const bool written = store.RecordAnswer(Answer(QStringLiteral("A"), At(1), 1, QStringLiteral("a+b"), true));
    setrlimit(RLIMIT_FSIZE, &old);
    QVERIFY(!written);
    QCOMPARE(store.GetState(), HistoryStore::State::WriteFailed);
    QVERIFY(store.Problem().contains(QStringLiteral("nicht geschrieben")));
}

void TestHistory::aKilledWriterKeepsEveryCommittedAnswer()
{
    const QString path = dir_.filePath(QStringLiteral("killed.sqlite"));
    QProcess writer;
    writer.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--schreiben"), path});
    QVERIFY(writer.waitForStarted());
    qint64 committed = 0;
    while (committed < 300 && writer.waitForReadyRead(10000))
        while (writer.canReadLine())
            committed = writer.readLine().trimmed().toLongLong();
    QVERIFY(committed >= 300);
    ::kill(static_cast<pid_t>(writer.processId()), SIGKILL);
    QVERIFY(writer.waitForFinished());
    QCOMPARE(writer.exitStatus(), QProcess::CrashExit);
    for (const QByteArray& line : writer.readAllStandardOutput().split('\n'))
        if (!line.isEmpty())
            committed = line.toLongLong();

    HistoryStore store(path);
    QVERIFY(store.Open(false));
    const int stored = store.Operations({}).at(0).answers;
    QVERIFY2(stored == committed || stored == committed + 1, qPrintable(QString::number(stored)));
}

void TestHistory::theMainWindowRecordsEveryCheckedAnswer()
{
    QVERIFY(SetRecordingOn(true));
    Settings().setValue(QStringLiteral("Verlauf/Name"), QStringLiteral("Lena"));
    ScriptedDialogs& dialogs = FreshProgram();
    Form1& w = Instance<Form1>();
    w.Show();
    QCOMPARE(w.Bezeichnung1->Caption(), QStringLiteral("Lena"));
    const QString first = w.Bezeichnung3->Caption();
    Type(w, QString());
    Type(w, QStringLiteral("0") + first);
    Type(w, first);
    dialogs.inputs.push_back(QStringLiteral("Tom"));
    w.Bezeichnung1_Click();
    const QString second = w.Bezeichnung3->Caption();
    Type(w, second);
    QElapsedTimer sinceSecond;
    sinceSecond.start();
    Instance<fang>().Bezeichnung6->SetCaption(QStringLiteral("17"));
    Instance<fang>().FinishGame();
    // Back from a game that took its time, the next answer is timed from the
    // game's end. Time must pass here: over a second since the task before
    // the game, so that an answer timed from that task would show it.
    QTRY_VERIFY_WITH_TIMEOUT(sinceSecond.hasExpired(1000), 5000);
    MODUL1::GameOpened = true;
    w.Form_Activate();
    const QString third = w.Bezeichnung3->Caption();
    Type(w, third);

    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(DefaultHistoryPath());
        QVERIFY(db.open());
        QSqlQuery q(QStringLiteral("SELECT kind, rechenart, reihe, zeile, erwartet, eingegeben, richtig FROM antworten "
                                   "ORDER BY id"),
                    db);
        QStringList rows;
        while (q.next()) {
            QStringList fields;
            for (int i = 0; i < 7; ++i)
                fields << q.value(i).toString();
            rows << fields.join(QLatin1Char('|'));
        }
        QCOMPARE(rows, QStringList({QStringLiteral("Lena|1|a+b|1|%1||0").arg(first),
                                    QStringLiteral("Lena|1|a+b|1|%1|0%1|0").arg(first),
                                    QStringLiteral("Lena|1|a+b|1|%1|%1|1").arg(first),
                                    QStringLiteral("Tom|1|a+b|2|%1|%1|1").arg(second),
                                    QStringLiteral("Tom|1|a+b|3|%1|%1|1").arg(third)}));
        QVERIFY(q.exec(QStringLiteral("SELECT ms FROM antworten ORDER BY id DESC")) && q.next());
        QVERIFY2(q.value(0).toLongLong() < 1000, qPrintable(q.value(0).toString()));
        QVERIFY(q.exec(QStringLiteral("SELECT kind, sekunden FROM spiele")) && q.next());
        QCOMPARE(q.value(0).toString() + q.value(1).toString(), QStringLiteral("Tom17"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));

    // The next start begins with the name used last; with recording off, with the guest again.
    FreshProgram();
    QCOMPARE(Instance<Form1>().Bezeichnung1->Caption(), QStringLiteral("Tom"));
    QVERIFY(SetRecordingOn(false));
    FreshProgram();
    QCOMPARE(Instance<Form1>().Bezeichnung1->Caption(), QStringLiteral("Freund+Gast"));
}

void TestHistory::aCorruptRecordPausesAndTheWindowOffersToDeleteIt()
{
    QVERIFY(QDir().mkpath(QFileInfo(DefaultHistoryPath()).absolutePath()));
    {
        QFile f(DefaultHistoryPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(2048, '\x07'));
    }
    QVERIFY(SetRecordingOn(true));
    FreshProgram();
    Form1& w = Instance<Form1>();
    w.Show();
    Type(w, w.Bezeichnung3->Caption());
    QCOMPARE(w.Bezeichnung5->Caption(), QStringLiteral("1")); // practice goes on
    QVERIFY(RecordingPaused());
    QVERIFY(PausedReason().contains(QStringLiteral("beschädigt")));

    HistoryWindow window;
    QVERIFY(window.notice->text().contains(QStringLiteral("beschädigt")));
    QVERIFY(!window.deleteButton->isEnabled());
    QVERIFY(!window.setAsideButton->isHidden());
    // The question defaults to No; answering Yes sets the file aside under a new name.
    bool defaultNo = false;
    QTimer::singleShot(0, [&defaultNo] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            defaultNo = box->defaultButton() == box->button(QMessageBox::No);
            box->button(QMessageBox::Yes)->click();
        }
    });
    window.setAsideButton->click();
    QVERIFY(defaultNo);
    QVERIFY(!QFileInfo::exists(DefaultHistoryPath()));
    const QStringList kept = QFileInfo(DefaultHistoryPath()).dir().entryList({QStringLiteral("verlauf-*.sqlite")});
    QCOMPARE(kept.size(), 1);
    QCOMPARE(Bytes(QFileInfo(DefaultHistoryPath()).dir().filePath(kept.front())), QByteArray(2048, '\x07'));
    QVERIFY(PausedReason().isEmpty());
    QVERIFY(window.notice->text().contains(QStringLiteral("noch keinen")));

    // Recording starts afresh, and the window shows the day's answer.
    Type(w, w.Bezeichnung3->Caption());
    window.Reload();
    QCOMPARE(window.operationTable->rowCount(), 1);
    QCOMPARE(window.operationTable->item(0, 1)->text(), QStringLiteral("1"));
}

void TestHistory::aDamagedPageIsReportedAndNoLongerWritten()
{
    // A record of 4,000 answers with one page inside overwritten by noise, as a failing disk leaves it.
    {
        HistoryStore store(DefaultHistoryPath());
        QVERIFY(store.Open(true));
        for (int i = 0; i < 4000; ++i)
            QVERIFY(store.RecordAnswer(Answer(i % 2 ? QStringLiteral("Lena") : QStringLiteral("Tom"),
                                              QDateTime::currentDateTime().addSecs(-i * 60), 1 + i % 3,
                                              QStringLiteral("a+b"), i % 5 != 0)));
    }
    QVERIFY(SetRecordingOn(true));
    {
        QFile f(DefaultHistoryPath());
        QByteArray noise(4096, '\0');
        QRandomGenerator(79).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        QVERIFY(f.size() > 80 * 4096 && f.open(QIODevice::ReadWrite) && f.seek(79 * 4096) && f.write(noise) == 4096);
    }
    // The child's program finds it damaged and stops writing into it.
    Child first;
    for (int i = 0; i < 100 && first.Answer() != "angehalten"; ++i)
        QTest::qWait(20);
    QVERIFY(first.Quit());
    QVERIFY(PausedReason().contains(QStringLiteral("beschädigt")));
    const QByteArray damaged = Bytes(DefaultHistoryPath());
    const QString csv = dir_.filePath(QStringLiteral("damaged.csv"));
    const auto [code, error] = RunProgram({QStringLiteral("--verlauf-csv"), csv});
    QCOMPARE(code, 1);
    QVERIFY2(error.contains(QStringLiteral("beschädigt")), qPrintable(error));
    QVERIFY(!QFileInfo::exists(csv));

    // The window shows no figures, only what is wrong and what can be done.
    HistoryWindow window;
    QVERIFY(window.notice->text().contains(QStringLiteral("beschädigt")));
    const auto* bars = qobject_cast<QBarSeries*>(window.chartView->chart()->series().value(0));
    QVERIFY(!bars || bars->count() == 0);
    QVERIFY(window.operationTable->rowCount() == 0 && window.games->text().isEmpty() && !window.csvButton->isEnabled());

    // Once a reader found it damaged, a child's program writes not even its first answer into it.
    Child child;
    QCOMPARE(child.Answer(), QByteArray("angehalten"));
    QVERIFY(child.Quit());
    QCOMPARE(Bytes(DefaultHistoryPath()), damaged);
}

void TestHistory::aRunningChildsProgramFollowsTheParents()
{
    QVERIFY(SetRecordingOn(true));
    Child child;
    QCOMPARE(child.Answer(3), QByteArray("ok"));
    // The switch holds from the next answer on.
    QCOMPARE(RunProgram({QStringLiteral("--aufzeichnung"), QStringLiteral("aus")}).first, 0);
    child.Answer(4);
    QCOMPARE(StoredAnswers(), 3);
    QCOMPARE(RunProgram({QStringLiteral("--aufzeichnung"), QStringLiteral("an")}).first, 0);
    child.Answer(1);
    QCOMPARE(StoredAnswers(), 4);
    // Deleting the record keeps every answer given afterwards.
    {
        HistoryWindow window;
        QCOMPARE(window.operationTable->item(0, 1)->text(), QStringLiteral("4"));
        QTimer::singleShot(0, [] { qobject_cast<QMessageBox*>(QApplication::activeModalWidget())->button(QMessageBox::Yes)->click(); });
        window.deleteButton->click();
        QVERIFY(window.notice->text().contains(QStringLiteral("noch keinen")));
    }
    QCOMPARE(child.Answer(2), QByteArray("ok"));
    QVERIFY(child.Quit("x\n"));
    QCOMPARE(StoredAnswers(), 2);
    // At the end everything is in the file itself: a copy of it alone is whole.
    const QString copy = dir_.filePath(QStringLiteral("copy.sqlite"));
    QVERIFY(QFile::copy(DefaultHistoryPath(), copy));
    QCOMPARE(StoredAnswers(copy), 2);
    // Names of children: the record, its folder and the settings are the user's alone.
    for (const QString& name : {DefaultHistoryPath(), QFileInfo(DefaultHistoryPath()).absolutePath(), Settings().fileName()})
        QCOMPARE(QFileInfo(name).permissions() & 0x0077, QFileDevice::Permissions());
}

void TestHistory::twoFirstStartsAtOnce()
{
    QVERIFY(SetRecordingOn(true));
    for (int trial = 0; trial < 5; ++trial) {
        QDir(QFileInfo(DefaultHistoryPath()).absolutePath()).removeRecursively();
        Child first;
        Child second;
        // Both first answers are on their way before either is written.
        first.process.write("n\n");
        second.process.write("n\n");
        for (Child* c : {&first, &second}) {
            QCOMPARE(c->Read() + c->Answer(4), QByteArray("okok"));
            QVERIFY(c->Quit());
        }
        QCOMPARE(StoredAnswers(), 10);
        QVERIFY(Bytes(DefaultHistoryPath() + QStringLiteral("-wal")).isEmpty());
        QCOMPARE(PausedReason(), QString());
    }
}

void TestHistory::foreignFilesAndFoldersAreNeverOpened()
{
    QVERIFY(QDir().mkpath(QFileInfo(DefaultHistoryPath()).absolutePath()));
    const QString log = DefaultHistoryPath() + QStringLiteral("-wal");
    QCOMPARE(QProcess::execute(QCoreApplication::applicationFilePath(), {QStringLiteral("--fremd"), DefaultHistoryPath()}), 0);
    const QByteArray file = Bytes(DefaultHistoryPath());
    const QByteArray pending = Bytes(log);
    QVERIFY(!pending.isEmpty());
    const auto [code, error] = RunProgram({QStringLiteral("--verlauf-csv"), dir_.filePath(QStringLiteral("f.csv"))});
    QCOMPARE(code, 1);
    QVERIFY2(error.contains(QStringLiteral("fremde Datei")), qPrintable(error));
    QVERIFY(HistoryWindow().notice->text().contains(QStringLiteral("fremde Datei")));
    QCOMPARE(Bytes(DefaultHistoryPath()), file);
    QCOMPARE(Bytes(log), pending);

    // A record of ours whose mark is still in the log, as the first version
    // left it, is ours; its times without a zone are read as local time.
    QVERIFY(HistoryStore::DeleteFile(DefaultHistoryPath()));
    QCOMPARE(QProcess::execute(QCoreApplication::applicationFilePath(), {QStringLiteral("--alt"), DefaultHistoryPath()}), 0);
    {
        HistoryStore store(DefaultHistoryPath());
        QVERIFY2(store.OpenForReading(), qPrintable(store.Problem()));
        QCOMPARE(store.Days({}).at(0).day, QDate(2026, 3, 10));
        QVERIFY(store.Open(true));
        QVERIFY(store.RecordAnswer(Answer(QStringLiteral("Lena"), QDateTime::currentDateTime(), 1, QStringLiteral("a+b"), true)));
        QVERIFY(store.DeleteAll());
        QVERIFY(store.RecordAnswer(Answer(QStringLiteral("Lena"), QDateTime::currentDateTime(), 1, QStringLiteral("a+b"), true)));
    }
    {
        // The old row kept its id 7, and ids are never given twice, also after a deletion.
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("ids"));
        db.setDatabaseName(DefaultHistoryPath());
        QSqlQuery ids(db.open() ? QStringLiteral("SELECT group_concat(id) FROM antworten") : QString(), db);
        QVERIFY(ids.next());
        QCOMPARE(ids.value(0).toString(), QStringLiteral("9"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("ids"));

    // A folder where the record belongs is named as such, and nothing offers to remove it.
    QVERIFY(HistoryStore::DeleteFile(DefaultHistoryPath()) && QDir().mkpath(DefaultHistoryPath()));
    HistoryWindow window;
    QVERIFY(window.notice->text().contains(QStringLiteral("Ordner")) && window.setAsideButton->isHidden());
    QVERIFY(!window.deleteButton->isEnabled());
    QVERIFY(RunProgram({QStringLiteral("--verlauf-csv"), dir_.filePath(QStringLiteral("d.csv"))}).second.contains(QStringLiteral("Ordner")));
    QVERIFY(!HistoryStore::DeleteFile(DefaultHistoryPath()));
}

void TestHistory::aReadOnlyFolderIsRead()
{
    // A folder others may read but nobody may write, with an intact record and no log index.
    const QString folder = dir_.filePath(QStringLiteral("readonly"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/verlauf.sqlite");
    {
        HistoryStore store(path);
        QVERIFY(store.Open(true));
        for (int i = 0; i < 3; ++i)
            QVERIFY(store.RecordAnswer(Answer(QStringLiteral("Lena"), At(10), 1, QStringLiteral("a+b"), true)));
    }
    QVERIFY(!QFileInfo::exists(path + QStringLiteral("-shm")));
    for (QString d = folder; d.startsWith(QDir::tempPath() + QLatin1Char('/')); d = QFileInfo(d).absolutePath())
        ::chmod(QFile::encodeName(d).constData(), 0755);
    ::chmod(QFile::encodeName(path).constData(), 0644);
    ::chmod(QFile::encodeName(folder).constData(), 0555);
    QProcess reader;
    reader.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--lesen"), path});
    QVERIFY(reader.waitForFinished(10000));
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    QCOMPARE(reader.readAllStandardOutput().trimmed(), QByteArray("3"));
}

void TestHistory::timesCarryTheirOffsetAndPeriodsEndToday()
{
    const QByteArray zone = qgetenv("TZ");
    const QString path = dir_.filePath(QStringLiteral("tz.sqlite"));
    HistoryStore::DeleteFile(path);
    // Recorded in Berlin at 23:30 on 10 March, and an answer dated into the future by a wrong clock.
    qputenv("TZ", "Europe/Berlin");
    tzset();
    {
        HistoryStore store(path);
        QVERIFY(store.Open(true));
        QVERIFY(store.RecordAnswer(Answer(QStringLiteral("Lena"), QDateTime(QDate(2026, 3, 10), QTime(23, 30)), 1, QStringLiteral("a+b"), true)));
        QVERIFY(store.RecordAnswer(Answer(QStringLiteral("Lena"), QDateTime::currentDateTime().addDays(3), 1, QStringLiteral("a+b"), true)));
        QByteArray csv;
        QVERIFY(store.WriteCsv([&](const QByteArray& piece) { csv += piece; return true; }));
        QVERIFY(csv.contains("2026-03-10 23:30:00;Lena"));
    }
    // Read in London it is 22:30 the same day; in Tokyo, 07:30 the next.
    for (const auto& [tz, day] : {std::pair{"Europe/London", 10}, std::pair{"Asia/Tokyo", 11}}) {
        qputenv("TZ", tz);
        tzset();
        HistoryStore store(path);
        QVERIFY(store.OpenForReading());
        const Filter thatDay{QString(), QDate(2026, 3, day), QDate(2026, 3, day)};
        QCOMPARE(store.Days(thatDay).size(), std::size_t(1));
        QCOMPARE(store.Days(thatDay).at(0).day, QDate(2026, 3, day));
        QCOMPARE(store.Operations(thatDay).at(0).answers, 1);
        QCOMPARE(store.Operations({QString(), QDate(), QDate::currentDate()}).at(0).answers, 1);
    }
    zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
    tzset();
}

void TestHistory::theWindowForParents()
{
    const QString longName(300, QLatin1Char('A'));
    {
        HistoryStore store(DefaultHistoryPath());
        QVERIFY(store.Open(true));
        const QDateTime now = QDateTime::currentDateTime();
        for (int day = 0; day < 400; day += 3)
            QVERIFY(store.RecordAnswer(Answer(QStringLiteral("Lena"), now.addDays(-day), 1, QStringLiteral("a+b"), day % 2)));
        QVERIFY(store.RecordAnswer(Answer(QStringLiteral("   "), now, 2, QStringLiteral("c-e"), true)));
        QVERIFY(store.RecordAnswer(Answer(longName, now, 3, QStringLiteral("b*f"), true)));
    }
    QVERIFY(SetRecordingOn(false));
    HistoryWindow window;
    window.show();
    QCOMPARE(window.recordState->text(), QStringLiteral("Aufzeichnung: aus"));
    window.recordButton->click();
    QCOMPARE(window.recordState->text(), QStringLiteral("Aufzeichnung: an"));
    QVERIFY(RecordingOn());

    // "Alle Kinder" first, with a line per child; no name is blank or as wide as the screen.
    QCOMPARE(window.childBox->itemText(0), QStringLiteral("Alle Kinder"));
    QCOMPARE(window.childBox->count(), 4);
    for (int i = 1; i < window.childBox->count(); ++i)
        QVERIFY(!window.childBox->itemText(i).trimmed().isEmpty());
    QVERIFY(window.childBox->sizeHint().width() < 400);
    window.periodBox->setCurrentIndex(2);
    QVERIFY(window.childTable->isVisible());
    QCOMPARE(window.childTable->rowCount(), 3);
    QCOMPARE(window.childTable->item(2, 0)->text() + window.childTable->item(2, 1)->text(), QStringLiteral("Lena134"));
    QCOMPARE(window.childTable->item(2, 3)->text(), QStringLiteral("a+b: 67 von 134 falsch"));
    // 400 days are shown by month: no more bars than can be read.
    const auto* series = qobject_cast<QBarSeries*>(window.chartView->chart()->series().value(0));
    QVERIFY(series && series->barSets().at(0)->count() >= 13 && series->barSets().at(0)->count() <= 15);
    int shown = 0;
    for (int i = 0; i < series->barSets().at(0)->count(); ++i)
        shown += int(series->barSets().at(0)->at(i) + series->barSets().at(1)->at(i));
    QCOMPARE(shown, 136);
}

// The child's program practises while an adult's tool reads the record in
// another process; then the child's program is killed. Its locks on the file
// must hold throughout, or the tool takes itself for the last user and
// removes the log still being written into.
void TestHistory::anAdultsToolBesideThePractiseKeepsEveryAnswer()
{
    QVERIFY(SetRecordingOn(true));
    Child child;
    QCOMPARE(child.Answer(2), QByteArray("ok"));
    // The child's own check of the whole file has run: its thread is gone.
    QTRY_COMPARE_WITH_TIMEOUT(ThreadsOf(child.process.processId()), 1, 10000);
    QVERIFY(AdultReadsTheRecord(dir_.filePath(QStringLiteral("x.pdf"))));
    QCOMPARE(child.Answer(2), QByteArray("ok"));
    for (const QFileInfo& fd : QDir(QStringLiteral("/proc/%1/fd").arg(child.process.processId())).entryInfoList(QDir::System))
        QVERIFY2(!fd.symLinkTarget().contains(QStringLiteral("(deleted)")), qPrintable(fd.symLinkTarget()));
    ::kill(static_cast<pid_t>(child.process.processId()), SIGKILL);
    QVERIFY(child.process.waitForFinished());
    QCOMPARE(StoredAnswers(), 4);
}

// Every row's uid: 16 bytes, version 7, its first 48 bits the row's
// milliseconds, no two alike; "" when all are, else what is wrong.
QString CheckUids(QSqlDatabase db)
{
    QSet<QByteArray> seen;
    for (const char* table : {"antworten", "spiele"}) {
        QSqlQuery q(QStringLiteral("SELECT uid, utc FROM %1").arg(QLatin1String(table)), db);
        while (q.next()) {
            const QByteArray uid = q.value(0).toByteArray();
            if (uid.size() != 16 || (uchar(uid[6]) >> 4) != 7 || (uchar(uid[8]) >> 6) != 2
                || uid.left(6).toHex().toLongLong(nullptr, 16) != q.value(1).toLongLong() || seen.contains(uid))
                return QStringLiteral("%1: %2").arg(QLatin1String(table), QString::fromLatin1(uid.toHex()));
            seen.insert(uid);
        }
    }
    return seen.isEmpty() ? QStringLiteral("keine Zeilen") : QString();
}

// A record of the first release with thousands of answers, while that
// release still runs beside the new one: the new program converts it while
// the child practises, the old program's later answers are kept and
// completed, and every row keeps its id and gets a uid of its own.
void TestHistory::earlierRecordsAreConvertedBesideThePractice()
{
    QVERIFY(QDir().mkpath(QFileInfo(DefaultHistoryPath()).absolutePath()));
    QSqlDatabase old = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("alt"));
    old.setDatabaseName(DefaultHistoryPath());
    QVERIFY(old.open());
    QSqlQuery q(old);
    for (const char* step :
         {"CREATE TABLE antworten (id INTEGER PRIMARY KEY, zeit TEXT, kind TEXT, rechenart INTEGER, reihe TEXT, "
          "zeile INTEGER, erwartet TEXT, eingegeben TEXT, richtig INTEGER, ms INTEGER)",
          "CREATE TABLE spiele (id INTEGER PRIMARY KEY, zeit TEXT, kind TEXT, sekunden INTEGER)",
          "WITH RECURSIVE n(i) AS (SELECT 7 UNION ALL SELECT i + 1 FROM n WHERE i < 5006) INSERT INTO antworten "
          "SELECT i, datetime('2025-01-01', '+' || i || ' minutes'), 'Lena', 1, 'a+b', 1, '3', '3', 1, 900 FROM n",
          "INSERT INTO spiele VALUES (3, '2025-01-02 10:00:00', 'Lena', 40)", "PRAGMA application_id = 1380270923",
          "PRAGMA user_version = 1", "PRAGMA journal_mode = WAL"})
        QVERIFY2(q.exec(QLatin1String(step)), qPrintable(q.lastError().text()));
    q.finish();
    QSqlQuery oldInsert(old);
    QVERIFY(oldInsert.prepare(QStringLiteral("INSERT INTO antworten (zeit, kind, rechenart, reihe, zeile, erwartet, "
                                             "eingegeben, richtig, ms) VALUES ('2026-03-10 08:00:00', 'Mia', 2, "
                                             "'c-e', 1, '4', '5', 0, 700)")));

    QVERIFY(SetRecordingOn(true));
    Child child;
    QVERIFY2(child.Answer() == "ok", qPrintable(PausedReason()));
    QVERIFY2(oldInsert.exec(), qPrintable(oldInsert.lastError().text()));
    QTRY_VERIFY_WITH_TIMEOUT(!QSqlQuery(QStringLiteral("SELECT 1 FROM sqlite_master WHERE name = 'umstellung'"), old).next(),
                             20000);
    QCOMPARE(child.Answer(), QByteArray("ok"));
    QVERIFY(child.Quit());
    QCOMPARE(StoredAnswers(), 5003);
    QCOMPARE(CheckUids(old), QString());
    QVERIFY(q.exec(QStringLiteral("SELECT min(id), count(DISTINCT id) FROM antworten")) && q.next());
    QCOMPARE(q.value(0).toInt() * 10000 + q.value(1).toInt(), 7 * 10000 + 5003);
    QVERIFY(q.exec(QStringLiteral("SELECT zeit, utc FROM antworten WHERE kind = 'Mia'")) && q.next());
    QCOMPARE(QDateTime::fromString(q.value(0).toString(), Qt::ISODateWithMs).toMSecsSinceEpoch(), q.value(1).toLongLong());
    QCOMPARE(q.value(1).toLongLong(), QDateTime(QDate(2026, 3, 10), QTime(8, 0)).toMSecsSinceEpoch());

    // A record of the second release: its rows get their uids in steps, and
    // the previous release, still running, writes on.
    q.finish(), oldInsert.finish(), old.close();
    QVERIFY(HistoryStore::DeleteFile(DefaultHistoryPath()) && old.open());
    for (const char* step :
         {"CREATE TABLE antworten (id INTEGER PRIMARY KEY AUTOINCREMENT, zeit TEXT NOT NULL, utc INTEGER NOT NULL, "
          "kind TEXT NOT NULL, rechenart INTEGER NOT NULL, reihe TEXT NOT NULL, zeile INTEGER NOT NULL, erwartet TEXT "
          "NOT NULL, eingegeben TEXT NOT NULL, richtig INTEGER NOT NULL, ms INTEGER NOT NULL)",
          "CREATE TABLE spiele (id INTEGER PRIMARY KEY AUTOINCREMENT, zeit TEXT, utc INTEGER, kind TEXT, sekunden INTEGER)",
          "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 25) INSERT INTO antworten "
          "SELECT i * 2, '2025-01-01T10:00:00.000+01:00', 1735722000000 + i, 'Lena', 1, 'a+b', 1, '3', '3', 1, 900 FROM n",
          "PRAGMA application_id = 1380270923", "PRAGMA user_version = 2"})
        QVERIFY2(q.exec(QLatin1String(step)), qPrintable(q.lastError().text()));
    QVERIFY(oldInsert.prepare(QStringLiteral("INSERT INTO antworten (zeit, utc, kind, rechenart, reihe, zeile, erwartet, "
                                             "eingegeben, richtig, ms) VALUES ('2026-03-10T08:00:00.000+01:00', "
                                             "1773126000000, 'Mia', 2, 'c-e', 1, '4', '5', 0, 700)")));
    {
        HistoryStore store(DefaultHistoryPath());
        QVERIFY(store.Open(false) && store.ConversionPending());
        QVERIFY(oldInsert.exec());
        int steps = 0;
        while (store.ConvertStep(4) > 0)
            ++steps;
        QVERIFY2(steps >= 7 && !store.ConversionPending(), qPrintable(QString::number(steps) + store.Problem()));
    }
    QCOMPARE(CheckUids(old), QString());
    QVERIFY(q.exec(QStringLiteral("SELECT group_concat(id) FROM (SELECT id FROM antworten ORDER BY id LIMIT 3)")) && q.next());
    QCOMPARE(q.value(0).toString(), QStringLiteral("2,4,6"));
}

void TestHistory::aFullDiskLeavesANoticeOfTheGapAndRecordingGoesOn()
{
    QVERIFY(SetRecordingOn(true));
    const auto answer = [] { RecordAnswer(QStringLiteral("Lena"), 1, 1, 1, QStringLiteral("12"), QStringLiteral("12")); };
    answer();
    QVERIFY(QFileInfo(Settings().fileName()).exists());
    // The disk is full for the record's log from here on (the settings stay smaller).
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit full = old;
    full.rlim_cur = rlim_t(QFileInfo(DefaultHistoryPath() + QStringLiteral("-wal")).size());
    setrlimit(RLIMIT_FSIZE, &full);
    answer(), answer();
    setrlimit(RLIMIT_FSIZE, &old);
    answer(), answer(), answer();
    QCOMPARE(StoredAnswers(), 4);
    // The next start records on, and the parents still learn of the gap; once.
    ResetRecorder();
    answer();
    QCOMPARE(StoredAnswers(), 5);
    const QString notice = PausedReason();
    QVERIFY2(notice.contains(QStringLiteral("2 Antworten fehlen")) && !notice.contains(QStringLiteral("Speicher voll oder schreibgeschützt?")),
             qPrintable(notice));
    QVERIFY(Settings().value(QStringLiteral("Verlauf/Luecken")).isNull());
}

// A backup copied back while the log of a later, killed run lies beside it.
void TestHistory::aLogBesideARestoredBackupIsSetAside()
{
    const QString path = DefaultHistoryPath();
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    const QString backup = dir_.filePath(QStringLiteral("sicherung.sqlite"));
    for (int answers : {3, 200}) {
        HistoryStore store(path);
        QVERIFY(store.Open(true));
        for (int i = 0; i < answers; ++i)
            QVERIFY(store.RecordAnswer(Answer(QStringLiteral("Lena"), At(10), 1, QStringLiteral("a+b"), true)));
        store.Close();
        if (answers == 3)
            QVERIFY(!QFileInfo::exists(backup) && QFile::copy(path, backup));
    }
    QProcess writer;
    writer.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--schreiben"), path});
    for (qint64 committed = 0; committed < 300 && writer.waitForReadyRead(10000);)
        while (writer.canReadLine())
            committed = writer.readLine().trimmed().toLongLong();
    ::kill(static_cast<pid_t>(writer.processId()), SIGKILL);
    QVERIFY(writer.waitForFinished());
    QVERIFY(QFileInfo(path + QStringLiteral("-wal")).size() > 0);
    QVERIFY(QFile::remove(path) && QFile::copy(backup, path));

    QVERIFY(SetRecordingOn(true));
    RecordAnswer(QStringLiteral("Lena"), 1, 1, 1, QStringLiteral("12"), QStringLiteral("12"));
    QVERIFY(!RecordingPaused());
    CloseRecord();
    QCOMPARE(StoredAnswers(), 4);
    QCOMPARE(HistoryStore::LogsSetAside(path).size(), 1);
    const QString notice = PausedReason();
    QVERIFY2(notice.contains(QStringLiteral("beiseitegelegt")) && !notice.contains(QStringLiteral("Technische")),
             qPrintable(notice));
    // The parents read it as what happened, not as a recording that stopped.
    const QString shown = HistoryWindow().notice->text();
    QVERIFY2(shown.contains(QStringLiteral("beiseitegelegt")) && !shown.contains(QStringLiteral("angehalten")),
             qPrintable(shown));
}

void TestHistory::aSharedFolderReachedThroughALinkKeepsItsRights()
{
    const QString shared = dir_.filePath(QStringLiteral("geteilt"));
    QVERIFY(QDir().mkpath(shared) && ::chmod(QFile::encodeName(shared).constData(), 02775) == 0);
    const QString folder = QFileInfo(DefaultHistoryPath()).absolutePath();
    QVERIFY(QDir().mkpath(QFileInfo(folder).absolutePath()) && QFile::link(shared, folder));
    QVERIFY(SetRecordingOn(true));
    RecordAnswer(QStringLiteral("Lena"), 1, 1, 1, QStringLiteral("12"), QStringLiteral("12"));
    CloseRecord();
    QCOMPARE(StoredAnswers(), 1);
    struct stat st {};
    QVERIFY(::stat(QFile::encodeName(shared).constData(), &st) == 0);
    QCOMPARE(st.st_mode & 07777, mode_t(02775));
    QVERIFY(QFile::remove(folder));
}

// The record in a home on a FUSE file system (a pass-through mount made
// with bindfs): the child practises, an adult's tool reads, the child is killed.
void TestHistory::aRecordOnAFuseFolderKeepsEveryAnswer()
{
    if (geteuid() != 0 || !QFileInfo::exists(QStringLiteral("/dev/fuse"))
        || QStandardPaths::findExecutable(QStringLiteral("bindfs")).isEmpty())
        QSKIP("Needs root, /dev/fuse and bindfs (Debian package bindfs) to mount a FUSE folder.");
    const QString source = dir_.filePath(QStringLiteral("fuse-quelle"));
    const QString mount = dir_.filePath(QStringLiteral("fuse"));
    QVERIFY(QDir().mkpath(source) && QDir().mkpath(mount));
    QCOMPARE(QProcess::execute(QStringLiteral("bindfs"), {source, mount}), 0);
    const QByteArray data = qgetenv("XDG_DATA_HOME");
    const auto restore = qScopeGuard([&] {
        qputenv("XDG_DATA_HOME", data);
        QProcess::execute(QStringLiteral("fusermount"), {QStringLiteral("-u"), mount});
    });
    // The processes started from here keep their record on the mount.
    qputenv("XDG_DATA_HOME", QFile::encodeName(mount));
    const QString path = mount + QStringLiteral("/Rechenkov/Rechenkov/verlauf.sqlite");
    QVERIFY(SetRecordingOn(true));
    Child child;
    QCOMPARE(child.Answer(2), QByteArray("ok"));
    QVERIFY(AdultReadsTheRecord(dir_.filePath(QStringLiteral("f.pdf"))));
    QCOMPARE(child.Answer(2), QByteArray("ok"));
    ::kill(static_cast<pid_t>(child.process.processId()), SIGKILL);
    QVERIFY(child.process.waitForFinished());
    QCOMPARE(StoredAnswers(path), 4);
    // Kept with a rollback journal: no log that needs memory shared over the mount.
    QCOMPARE(int(Bytes(path).at(18)), 1);
}

int main(int argc, char** argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--schreiben") == 0)
        return WriteUntilKilled(argc, argv);
    if (argc == 2 && qstrcmp(argv[1], "--ueben") == 0)
        return Practise(argc, argv);
    if (argc == 3 && (qstrcmp(argv[1], "--fremd") == 0 || qstrcmp(argv[1], "--alt") == 0))
        return LeaveInLog(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--lesen") == 0)
        return ReadAsOther(argc, argv);
    // A home of its own: the switch this test turns on must not reach tests
    // running beside it. The processes it starts inherit it.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/.qttest/share")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.qttest/config")).toLocal8Bit());
    QApplication app(argc, argv);
    TestHistory test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_history.moc"
