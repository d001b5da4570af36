// The practice record: the store on a folder of its own (round trip, the
// queries of the window, CSV bytes, files it must leave alone or cannot
// write), a writer killed mid-answer, and the real main window recording
// what the keys do — or nothing at all while the switch is off.

#include "TestSupport.h"

#include "app/Label.h"
#include "app/ListBox.h"
#include "app/MODUL1.h"
#include "app/Windows.h"
#include "game/fang.h"
#include "history/HistoryStore.h"
#include "history_window/HistoryWindow.h"
#include "history/Recording.h"
#include "main_window/Form1.h"

#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
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

private:
    QTemporaryDir dir_;
};

void TestHistory::initTestCase()
{
    // Settings and data go to the test folders of the standard paths, never the user's.
    QStandardPaths::setTestModeEnabled(true);
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
    QCOMPARE((std::pair{days[0].right, days[0].wrong}), (std::pair{4, 2}));
    QCOMPARE((std::pair{days[1].right, days[1].wrong}), (std::pair{1, 8}));
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
    const auto weakAll = store.WeakRows({}, 5);
    QCOMPARE((std::tuple{weakAll[1].calcRow, weakAll[1].wrong, weakAll[1].answers}),
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
    Instance<fang>().Bezeichnung6->SetCaption(QStringLiteral("17"));
    Instance<fang>().FinishGame();

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
                                    QStringLiteral("Tom|1|a+b|2|%1|%1|1").arg(second)}));
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
    QVERIFY(window.deleteButton->isEnabled());
    // The question defaults to No; answering Yes deletes the file.
    bool defaultNo = false;
    QTimer::singleShot(0, [&defaultNo] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            defaultNo = box->defaultButton() == box->button(QMessageBox::No);
            box->button(QMessageBox::Yes)->click();
        }
    });
    window.deleteButton->click();
    QVERIFY(defaultNo);
    QVERIFY(!QFileInfo::exists(DefaultHistoryPath()));
    QVERIFY(PausedReason().isEmpty());
    QVERIFY(window.notice->text().contains(QStringLiteral("noch keinen")));

    // Recording starts afresh, and the window shows the day's answer.
    Type(w, w.Bezeichnung3->Caption());
    window.Reload();
    QCOMPARE(window.operationTable->rowCount(), 1);
    QCOMPARE(window.operationTable->item(0, 1)->text(), QStringLiteral("1"));
}

int main(int argc, char** argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--schreiben") == 0)
        return WriteUntilKilled(argc, argv);
    // A home of its own: the switch this test turns on must not reach tests running beside it.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    TestHistory test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_history.moc"
