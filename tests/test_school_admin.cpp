// The school's server as its administrators run it, on a real PostgreSQL
// server (started through tests/with_postgres.sh like the school test):
// [Schule] taken as written, one account per computer, what
// "rechenkov --schule-pruefen" tells apart, and the teacher's window.

#include "history/School.h"
#include "history_window/ClassWindow.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <unistd.h>

using namespace school;

namespace {

QString Host() { return qEnvironmentVariable("PGHOST"); }

bool Sql(const QString& connection, const QString& sql)
{
    QSqlQuery q(QSqlDatabase::database(connection));
    const bool ok = q.exec(sql);
    if (!ok && connection == QLatin1String("admin"))
        qWarning("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    return ok;
}

// An open connection as `user` (the superuser without a password).
bool Login(const QString& name, const QString& user, const QString& password = QStringLiteral("pw"))
{
    return AddServerConnection(name, QStringLiteral("host=%1 dbname=rechenkov").arg(Host()), user, password).open();
}

struct Outcome {
    int code;
    QString out, err;
};

// "rechenkov --schule-pruefen" on a computer whose settings file says `conf`.
Outcome Check(const QTemporaryDir& pc, const QByteArray& conf)
{
    QDir(pc.path()).mkpath(QStringLiteral("etc/Rechenkov"));
    QFile file(pc.filePath(QStringLiteral("etc/Rechenkov/Rechenkov.conf")));
    file.open(QIODevice::WriteOnly);
    file.write(conf);
    file.close();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_DIRS"), pc.filePath(QStringLiteral("etc")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), pc.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), pc.filePath(QStringLiteral("config")));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(RECHENKOV_BUILD_DIR "/rechenkov"), {QStringLiteral("--schule-pruefen")});
    p.waitForFinished(30000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QByteArray As(const QString& user, const QString& password = QStringLiteral("pw"))
{
    return QStringLiteral("[Schule]\nVerbindung=host=%1 dbname=rechenkov user=%2 password=%3\nKlasse=3b\n")
        .arg(Host(), user, password)
        .toUtf8();
}

} // namespace

class TestSchoolAdmin : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(Login(QStringLiteral("admin"), QStringLiteral("postgres"), QString())); }
    void settingsAsWritten();
    void oneAccountPerComputer();
    void checkTellsApart();
    void teachersWindow();
};

void TestSchoolAdmin::settingsAsWritten()
{
    QVERIFY(Sql("admin", "CREATE ROLE komma LOGIN PASSWORD 'a,b\"c' IN ROLE rechenkov_kind"));
    QTemporaryDir pc;
    // libpq's own list of hosts (the first one absent), a password with a
    // comma and an unbalanced double quote, and a line after it.
    Outcome o = Check(pc, QStringLiteral("[Schule]\nVerbindung=host=%1/fehlt,%1 port=5432,5432 dbname=rechenkov "
                                         "user=komma password=a,b\"c\nKlasse=3b\n")
                              .arg(Host())
                              .toUtf8());
    QVERIFY2(o.code == 0, qPrintable(o.err));
    QVERIFY(o.out.contains(QStringLiteral("Klasse: 3b")));
    QVERIFY(o.out.contains(pc.filePath(QStringLiteral("etc/Rechenkov/Rechenkov.conf"))));

    // A section that cannot be used is told as such, naming the file read.
    o = Check(pc, "[Schule]\nKlasse=3b\n");
    QCOMPARE(o.code, 1);
    QVERIFY2(o.err.contains(QStringLiteral("steht ein Abschnitt [Schule]")), qPrintable(o.err));
    QVERIFY(o.err.contains(pc.filePath(QStringLiteral("etc/Rechenkov/Rechenkov.conf"))));
    o = Check(pc, "[Anderes]\nx=1\n");
    QVERIFY(o.err.contains(QStringLiteral("kein Schulserver")) && o.err.contains(pc.path()));

    // Across the folders of XDG_CONFIG_DIRS the first one's value wins, key
    // by key; a value QSettings wrote (quoted) reads the same.
    QTemporaryDir first, second;
    {
        QSettings(first.filePath(QStringLiteral("a.conf")), QSettings::IniFormat).setValue("Schule/Klasse", "4a");
        QSettings s(second.filePath(QStringLiteral("b.conf")), QSettings::IniFormat);
        s.setValue("Schule/Verbindung", "host=a,b password='x\\'y'");
        s.setValue("Schule/Klasse", "4b");
    }
    const Settings read = ReadSettingsFrom({first.filePath(QStringLiteral("a.conf")), second.filePath(QStringLiteral("b.conf"))});
    QCOMPARE(read.connection, QStringLiteral("host=a,b password='x\\'y'"));
    QCOMPARE(read.klasse, QStringLiteral("4a"));
    QCOMPARE(read.file, second.filePath(QStringLiteral("b.conf")));
}

void TestSchoolAdmin::oneAccountPerComputer()
{
    QSqlQuery room(QSqlDatabase::database(QStringLiteral("admin")));
    QVERIFY(room.exec(QStringLiteral("SELECT * FROM rechenkov.raum_anlegen('raum7', 2)")));
    QStringList accounts, passwords;
    while (room.next())
        accounts << room.value(0).toString(), passwords << room.value(1).toString();
    QCOMPARE(accounts, QStringList({"raum7_01", "raum7_02"}));
    QVERIFY(passwords[0].size() >= 20 && passwords[0] != passwords[1]);
    // Again: the accounts there keep their passwords.
    QVERIFY(room.exec(QStringLiteral("SELECT count(*) FROM rechenkov.raum_anlegen('raum7', 2) WHERE kennwort IS NULL")) && room.next());
    QCOMPARE(room.value(0).toInt(), 2);

    // Computer 2 in the middle of sending; its statement names the child.
    QVERIFY(Login(QStringLiteral("pc2"), accounts[1], passwords[1]));
    QVERIFY(QSqlDatabase::database(QStringLiteral("pc2")).transaction());
    QSqlQuery send(QSqlDatabase::database(QStringLiteral("pc2")));
    send.prepare(QStringLiteral("INSERT INTO rechenkov.spiele (quelle, lokale_id, rechner, klasse, kind, zeit, sekunden) "
                                "VALUES (gen_random_uuid(), 1, 'pc2', '7a', ?, now(), 30)"));
    send.addBindValue(QStringLiteral("Geheimkind"));
    QVERIFY(send.exec());
    const QString seen = QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE query LIKE '%Geheim' || 'kind%'");
    auto count = [&](const QString& connection, const QString& sql) {
        QSqlQuery q(QSqlDatabase::database(connection));
        return q.exec(sql) && q.next() ? q.value(0).toInt() : -1;
    };
    // Another session of the same account would read it; computer 1 reads nothing.
    QVERIFY(Login(QStringLiteral("pc2b"), accounts[1], passwords[1]));
    QCOMPARE(count(QStringLiteral("pc2b"), seen), 1);
    QVERIFY(Login(QStringLiteral("pc1"), accounts[0], passwords[0]));
    QCOMPARE(count(QStringLiteral("pc1"), seen), 0);
    QCOMPARE(count(QStringLiteral("pc1"), QStringLiteral("SELECT count(*) FROM rechenkov.spiele")), -1);
    QCOMPARE(count(QStringLiteral("pc1"), QStringLiteral("SELECT rechenkov.kind_loeschen('7a', 'Geheimkind')")), -1);
    QVERIFY(QSqlDatabase::database(QStringLiteral("pc2")).commit());

    // The teacher deletes one child's rows through the schema's function,
    // and neither deletes nor locks the tables directly.
    QVERIFY(Sql("admin", "CREATE ROLE lehrer7 LOGIN PASSWORD 'pw' IN ROLE rechenkov_lehrer"));
    QVERIFY(Login(QStringLiteral("lehrer7"), QStringLiteral("lehrer7")));
    QCOMPARE(count(QStringLiteral("lehrer7"), QStringLiteral("SELECT rechenkov.kind_loeschen('7a', 'Geheimkind')")), 1);
    QCOMPARE(count(QStringLiteral("admin"), QStringLiteral("SELECT count(*) FROM rechenkov.spiele WHERE kind = 'Geheimkind'")), 0);
    QVERIFY(!Sql("lehrer7", "DELETE FROM rechenkov.antworten"));
    QVERIFY(QSqlDatabase::database(QStringLiteral("lehrer7")).transaction());
    QVERIFY(!Sql("lehrer7", "LOCK TABLE rechenkov.antworten IN SHARE MODE"));
    QSqlDatabase::database(QStringLiteral("lehrer7")).rollback();
}

void TestSchoolAdmin::checkTellsApart()
{
    QVERIFY(Sql("admin", "CREATE ROLE leeren LOGIN PASSWORD 'pw' IN ROLE rechenkov_kind; "
                         "GRANT TRUNCATE ON rechenkov.spiele TO leeren; "
                         "CREATE ROLE spalte LOGIN PASSWORD 'pw' IN ROLE rechenkov_kind; "
                         "GRANT SELECT (kind) ON rechenkov.antworten TO spalte; "
                         "CREATE ROLE gesperrt NOLOGIN PASSWORD 'pw' IN ROLE rechenkov_kind; "
                         "CREATE ROLE voll LOGIN PASSWORD 'pw' CONNECTION LIMIT 1 IN ROLE rechenkov_kind; "
                         "CREATE ROLE langsam LOGIN PASSWORD 'pw' IN ROLE rechenkov_kind; "
                         "ALTER ROLE langsam SET statement_timeout = 300"));
    QVERIFY(Login(QStringLiteral("voll"), QStringLiteral("voll")));
    const std::pair<const char*, QString> cases[] = {
        {"leeren", QStringLiteral("ganz leeren (TRUNCATE)")},
        {"spalte", QStringLiteral("in einzelnen Spalten lesen")},
        {"gesperrt", QStringLiteral("Rolle ohne LOGIN")},
        {"voll", QStringLiteral("Der Schulserver ist voll")},
        {"langsam", QStringLiteral("Höchstdauer")},
    };
    QTemporaryDir pc;
    for (const auto& [user, words] : cases) {
        if (QLatin1String(user) == QLatin1String("langsam")) { // its first query waits for a lock
            QVERIFY(Login(QStringLiteral("sperre"), QStringLiteral("postgres"), QString()));
            QVERIFY(QSqlDatabase::database(QStringLiteral("sperre")).transaction());
            QVERIFY(Sql("sperre", "LOCK TABLE rechenkov.schema_version"));
        }
        const Outcome o = Check(pc, As(QLatin1String(user)));
        QCOMPARE(o.code, 1);
        QVERIFY2(o.err.contains(words), qPrintable(o.err));
    }
    QSqlDatabase::database(QStringLiteral("sperre")).rollback();

    // A teacher's account is told to be one, not to be given the children's role.
    Outcome o = Check(pc, As(QStringLiteral("lehrerin"), QStringLiteral("lehrer-kennwort")));
    QVERIFY2(o.err.contains(QStringLiteral("das einer Lehrkraft")) && !o.err.contains(QStringLiteral("GRANT")),
             qPrintable(o.err));

    // The account passes, but this computer's sending failed: not "all in order".
    SendState st;
    st.failingSince = QDateTime::currentDateTime();
    st.reason = QStringLiteral("Der Schulserver ist nicht erreichbar.");
    st.waiting = 12;
    QDir(pc.path()).mkpath(QStringLiteral("data/Rechenkov/Rechenkov"));
    QVERIFY(WriteState(pc.filePath(QStringLiteral("data/Rechenkov/Rechenkov/schule-versand.ini")), st));
    o = Check(pc, As(QStringLiteral("rechner"), QStringLiteral("kind-kennwort")));
    QCOMPARE(o.code, 1);
    QVERIFY(o.err.contains(QStringLiteral("12 Einträge warten")));
    QVERIFY(!o.out.contains(QStringLiteral("Alles in Ordnung")));
}

void TestSchoolAdmin::teachersWindow()
{
    QTemporaryDir pc;
    QVERIFY(Check(pc, As(QStringLiteral("rechner"), QStringLiteral("kind-kennwort")).replace("3b", "9z")).code == 0);
    qputenv("XDG_CONFIG_DIRS", pc.filePath(QStringLiteral("etc")).toLocal8Bit());
    QVERIFY(Sql("admin", "INSERT INTO rechenkov.antworten (quelle, lokale_id, rechner, klasse, zeit, kind, rechenart, "
                         "reihe, zeile, erwartet, eingegeben, richtig, ms) "
                         "VALUES (gen_random_uuid(), 1, 'pc', '8c', now(), 'Ida', 1, 'a+b', 1, '3', '3', true, 900)"));
    auto* window = new ClassWindow;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    // The computer's class has no answers yet: it is shown, empty, and said so.
    QVERIFY(window->ConnectAs(QStringLiteral("lehrerin"), QStringLiteral("lehrer-kennwort")));
    QCOMPARE(window->classBox->currentData().toString(), QStringLiteral("9z"));
    QCOMPARE(window->childTable->rowCount(), 0);
    QVERIFY2(window->notice->text().contains(QStringLiteral("noch keine Antwort")), qPrintable(window->notice->text()));

    // A year by weeks: this week's answer is the last bar, under a label of its own.
    window->ShowClass(QStringLiteral("8c"), 365);
    QChart* chart = window->chartView->chart();
    const QBarSet* right = static_cast<QBarSeries*>(chart->series().at(0))->barSets().at(0);
    QCOMPARE(static_cast<QBarCategoryAxis*>(chart->axes(Qt::Horizontal).at(0))->count(), right->count());
    QCOMPARE(right->at(right->count() - 1), 1.0);
    QVERIFY(chart->title().endsWith(QStringLiteral("pro Woche")));
    QVERIFY(window->SaveCsv(pc.filePath(QStringLiteral("klasse.csv"))));
    QFile csv(pc.filePath(QStringLiteral("klasse.csv")));
    QVERIFY(csv.open(QIODevice::ReadOnly) && csv.readAll().contains(";8c;Ida;plus;a+b;1;3;3;ja;900\r\n"));

    // The child's window: every header line fits its column.
    emit window->childTable->cellClicked(0, 0);
    QWidget* child = QApplication::topLevelWidgets().last();
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("KindVerlauf"))
            child = w;
    child->show();
    const QHeaderView* header = child->findChild<QTableWidget*>()->horizontalHeader();
    for (int i = 0; i < header->count(); ++i)
        for (const QString& line : header->model()->headerData(i, Qt::Horizontal).toString().split(QLatin1Char('\n')))
            QVERIFY2(header->fontMetrics().horizontalAdvance(line) < header->sectionSize(i), qPrintable(line));
    delete child;

    // A query that waits on the server holds neither the window nor its closing.
    QProcess lock;
    lock.start(QStringLiteral("psql"), {"-X", "-q", "-h", Host(), "-U", "postgres", "-d", "rechenkov", "-c",
                                        "BEGIN; LOCK rechenkov.antworten; SELECT pg_sleep(4); COMMIT"});
    QTRY_VERIFY(Sql("admin", "SELECT 1") && [] {
        QSqlQuery q(QSqlDatabase::database(QStringLiteral("admin")));
        return q.exec(QStringLiteral("SELECT count(*) FROM pg_locks WHERE mode = 'AccessExclusiveLock' AND "
                                     "relation = 'rechenkov.antworten'::regclass")) && q.next() && q.value(0).toInt() == 1;
    }());
    QElapsedTimer t;
    t.start();
    qint64 closedAfter = -1;
    QTimer::singleShot(200, window, [&] {
        closedAfter = t.elapsed();
        window->close();
    });
    const QPointer<ClassWindow> alive(window);
    window->ShowClass(QStringLiteral("8c"), 30);
    QVERIFY2(closedAfter >= 0 && closedAfter < 1500, qPrintable(QString::number(closedAfter)));
    QVERIFY(!alive || !alive->isVisible());
    QVERIFY(lock.waitForFinished(10000));
}

int main(int argc, char** argv)
{
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
    TestSchoolAdmin test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_school_admin.moc"
