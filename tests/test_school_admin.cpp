// The school's server as administrators run it (a throw-away one, tests/with_postgres.sh): [Schule]
// as written, one account per computer, what --schule-pruefen tells apart, the teacher's window.

#include "school/School.h"
#include "history_window/ClassWindow.h"

#include <QtCharts>
#include <QtSql>
#include <QtTest>
#include <unistd.h>

using namespace school;
using namespace Qt::Literals::StringLiterals;

namespace {

QString Host() { return qEnvironmentVariable("PGHOST"); }

// The first value of `sql` on that connection, -1 when it fails.
int Value(const QString& connection, const QString& sql)
{
    QSqlQuery q(QSqlDatabase::database(connection));
    return q.exec(sql) ? (q.next() ? q.value(0).toInt() : 0) : -1;
}

bool Login(const QString& name, const QString& user, const QString& password = u"pw"_s)
{
    return AddServerConnection(name, u"host=%1 dbname=rechenkov"_s.arg(Host()), user, password).open();
}

// Makes this process (and the programs it starts) a computer whose settings
// file holds `conf`, and runs rechenkov --schule-pruefen there: the exit
// code, a line break, what it wrote to stdout and stderr.
QString Check(const QTemporaryDir& pc, const QString& conf)
{
    QDir(pc.path()).mkpath(u"etc/Rechenkov"_s);
    QFile file(pc.filePath(u"etc/Rechenkov/Rechenkov.conf"_s));
    if (!file.open(QIODevice::WriteOnly) || file.write(conf.toUtf8()) < 0)
        return {};
    file.close();
    qputenv("XDG_CONFIG_DIRS", pc.filePath(u"etc"_s).toLocal8Bit());
    qputenv("XDG_DATA_HOME", pc.filePath(u"data"_s).toLocal8Bit());
    QProcess p;
    p.start(u"" RECHENKOV_BUILD_DIR "/rechenkov"_s, {u"--schule-pruefen"_s});
    return p.waitForFinished(30000) ? QString::number(p.exitCode()) + u'\n'
            + QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())
                                    : QString();
}

QString As(const QString& user, const QString& password = u"pw"_s)
{
    return u"[Schule]\nVerbindung=host=%1 dbname=rechenkov user=%2 password=%3\nKlasse=3b\n"_s.arg(Host(), user, password);
}

} // namespace

class TestSchoolAdmin : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(Login(u"admin"_s, u"postgres"_s, QString())); }
    void settingsAsWritten();
    void oneAccountPerComputer();
    void checkTellsApart();
    void teachersWindow();
};

void TestSchoolAdmin::settingsAsWritten()
{
    QCOMPARE(Value(u"admin"_s, u"CREATE ROLE komma LOGIN PASSWORD 'a,b\"c' IN ROLE rechenkov_kind"_s), 0);
    QTemporaryDir pc;
    // libpq's list of hosts (the first one absent), a password with a comma
    // and an unbalanced double quote, and a line after it.
    QString o = Check(pc, u"[Schule]\nVerbindung=host=%1/fehlt,%1 port=5432,5432 dbname=rechenkov user=komma "
                          "password=a,b\"c\nKlasse=3b\n"_s.arg(Host()));
    QVERIFY2(o.startsWith(u"0\n"_s) && o.contains(u"Klasse: 3b"_s), qPrintable(o));
    QVERIFY(o.contains(pc.filePath(u"etc/Rechenkov/Rechenkov.conf"_s)));
    // A section that cannot be used is told as such, naming the file read.
    o = Check(pc, u"[Schule]\nKlasse=3b\n"_s);
    QVERIFY2(o.startsWith(u"1\n"_s) && o.contains(u"steht ein Abschnitt [Schule]"_s) && o.contains(pc.path()), qPrintable(o));
    // A value written by QSettings (quoted) reads the same.
    QSettings(pc.filePath(u"b.conf"_s), QSettings::IniFormat).setValue(u"Schule/Verbindung"_s, u"host=a,b password='x\\'y'"_s);
    QCOMPARE(ReadSettingsFrom({pc.filePath(u"a.conf"_s), pc.filePath(u"b.conf"_s)}).connection, u"host=a,b password='x\\'y'"_s);
}

void TestSchoolAdmin::oneAccountPerComputer()
{
    QSqlQuery room(QSqlDatabase::database(u"admin"_s));
    QVERIFY(room.exec(u"SELECT * FROM rechenkov.raum_anlegen('raum7', 2)"_s));
    QStringList accounts, passwords;
    while (room.next())
        accounts << room.value(0).toString(), passwords << room.value(1).toString();
    QCOMPARE(accounts, QStringList({"raum7_01", "raum7_02"}));
    QVERIFY(passwords[0].size() >= 20 && passwords[0] != passwords[1]);
    // Again: the accounts there keep their passwords.
    QCOMPARE(Value(u"admin"_s, u"SELECT count(*) FROM rechenkov.raum_anlegen('raum7', 2) WHERE kennwort IS NULL"_s), 2);
    // Computer 2 in the middle of sending: its statement names the child
    // (Qt's driver puts even bound values into the statement's text).
    QVERIFY(Login(u"pc2"_s, accounts[1], passwords[1]) && QSqlDatabase::database(u"pc2"_s).transaction());
    QCOMPARE(Value(u"pc2"_s, u"INSERT INTO rechenkov.spiele (quelle, lokale_id, rechner, klasse, kind, zeit, sekunden) "
                             "VALUES (gen_random_uuid(), 1, 'pc2', '7a', 'Geheimkind', now(), 30)"_s),
             0);
    // Another session of the same account would read it; computer 1 reads nothing.
    const QString seen = u"SELECT count(*) FROM pg_stat_activity WHERE query LIKE '%Geheim' || 'kind%'"_s;
    QVERIFY(Login(u"pc2b"_s, accounts[1], passwords[1]) && Login(u"pc1"_s, accounts[0], passwords[0]));
    QCOMPARE(Value(u"pc2b"_s, seen), 1);
    QCOMPARE(Value(u"pc1"_s, seen), 0);
    QCOMPARE(Value(u"pc1"_s, u"SELECT count(*) FROM rechenkov.spiele"_s), -1);
    QCOMPARE(Value(u"pc1"_s, u"SELECT rechenkov.kind_loeschen('7a', 'Geheimkind')"_s), -1);
    QVERIFY(QSqlDatabase::database(u"pc2"_s).commit());
    // A teacher deletes one child's rows through the schema's function, and
    // can neither delete nor lock in the tables directly.
    QVERIFY(Login(u"lehrer7"_s, u"lehrerin"_s, u"lehrer-kennwort"_s));
    QCOMPARE(Value(u"lehrer7"_s, u"SELECT rechenkov.kind_loeschen('7a', 'Geheimkind')"_s), 1);
    QCOMPARE(Value(u"admin"_s, u"SELECT count(*) FROM rechenkov.spiele WHERE kind = 'Geheimkind'"_s), 0);
    QCOMPARE(Value(u"lehrer7"_s, u"DELETE FROM rechenkov.antworten"_s), -1);
    QVERIFY(QSqlDatabase::database(u"lehrer7"_s).transaction());
    QCOMPARE(Value(u"lehrer7"_s, u"LOCK TABLE rechenkov.antworten IN SHARE MODE"_s), -1);
    QSqlDatabase::database(u"lehrer7"_s).rollback();
}

void TestSchoolAdmin::checkTellsApart()
{
    // Each account, what else it gets, and what the check must say.
    const char* const cases[][4] = {
        {"leeren", "LOGIN", "GRANT TRUNCATE ON rechenkov.spiele TO leeren", "ganz leeren (TRUNCATE)"},
        {"spalte", "LOGIN", "GRANT SELECT (kind) ON rechenkov.antworten TO spalte", "in einzelnen Spalten lesen"},
        {"gesperrt", "NOLOGIN", "", "Rolle ohne LOGIN"},
        {"voll", "LOGIN CONNECTION LIMIT 1", "", "Der Schulserver ist voll"}, // its one connection is taken
        {"langsam", "LOGIN", "ALTER ROLE langsam SET statement_timeout = 300", "Höchstdauer"}, // waits for a lock
    };
    QTemporaryDir pc;
    QVERIFY(Login(u"sperre"_s, u"postgres"_s, QString()) && QSqlDatabase::database(u"sperre"_s).transaction());
    for (const auto& [user, login, more, words] : cases) {
        QCOMPARE(Value(u"admin"_s, u"CREATE ROLE %1 %2 PASSWORD 'pw' IN ROLE rechenkov_kind; %3"_s.arg(user, login, more)), 0);
        QVERIFY(QLatin1String(user) != "voll"_L1 || Login(u"voll"_s, u"voll"_s));
        QVERIFY(QLatin1String(user) != "langsam"_L1 || Value(u"sperre"_s, u"LOCK rechenkov.schema_version"_s) == 0);
        const QString o = Check(pc, As(QLatin1String(user)));
        QVERIFY2(o.startsWith(u"1\n"_s) && o.contains(QString::fromUtf8(words)), qPrintable(o));
    }
    QSqlDatabase::database(u"sperre"_s).rollback();
    // A teacher's account is told to be one, not to be given the children's role.
    QString o = Check(pc, As(u"lehrerin"_s, u"lehrer-kennwort"_s));
    QVERIFY2(o.contains(u"das einer Lehrkraft"_s) && !o.contains(u"GRANT"_s), qPrintable(o));
    // The account passes, but this computer's sending failed: not "all in order".
    const SendState failing{{}, 0, {}, 0, {}, QDateTime::currentDateTime(), {}, 12};
    QVERIFY(WriteState(pc.filePath(u"data/Rechenkov/Rechenkov/schule-versand.ini"_s), failing));
    o = Check(pc, As(u"rechner"_s, u"kind-kennwort"_s));
    QVERIFY(o.startsWith(u"1\n"_s) && o.contains(u"12 Einträge warten"_s) && !o.contains(u"Alles in Ordnung"_s));
}

void TestSchoolAdmin::teachersWindow()
{
    QTemporaryDir pc;
    QVERIFY(Check(pc, As(u"rechner"_s, u"kind-kennwort"_s).replace(u"3b"_s, u"9z"_s)).startsWith(u"0\n"_s));
    QCOMPARE(Value(u"admin"_s, u"INSERT INTO rechenkov.antworten (quelle, lokale_id, rechner, klasse, zeit, kind, rechenart, "
                               "reihe, zeile, erwartet, eingegeben, richtig, ms) VALUES "
                               "(gen_random_uuid(), 1, 'pc', '8c', now(), 'Ida', 1, 'a+b', 1, '3', '3', true, 900)"_s),
             0);
    auto* window = new ClassWindow;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    // The computer's class has no answers yet: it is shown, empty, and said so.
    QVERIFY(window->ConnectAs(u"lehrerin"_s, u"lehrer-kennwort"_s));
    QCOMPARE(window->classBox->currentData().toString(), u"9z"_s);
    QCOMPARE(window->childTable->rowCount(), 0);
    QVERIFY2(window->notice->text().contains(u"noch keine Antwort"_s), qPrintable(window->notice->text()));
    // A year by weeks: this week's answer is the last bar, under a label of its own.
    window->ShowClass(u"8c"_s, 365);
    QChart* chart = window->chartView->chart();
    const QBarSet* right = static_cast<QBarSeries*>(chart->series().at(0))->barSets().at(0);
    QCOMPARE(static_cast<QBarCategoryAxis*>(chart->axes(Qt::Horizontal).at(0))->count(), right->count());
    QCOMPARE(right->at(right->count() - 1), 1.0);
    QVERIFY(chart->title().endsWith(u"pro Woche"_s));
    QVERIFY(window->SaveCsv(pc.filePath(u"klasse.csv"_s)));
    QFile csv(pc.filePath(u"klasse.csv"_s));
    QVERIFY(csv.open(QIODevice::ReadOnly) && csv.readAll().contains(";8c;Ida;plus;a+b;1;3;3;ja;900\r\n"));
    // The child's window: every header line fits its column.
    ClassChildWindow child(window->CurrentPeriod(u"Ida"_s), {});
    child.show();
    const QHeaderView* header = child.operationTable->horizontalHeader();
    for (int i = 0; i < header->count(); ++i)
        for (const QString& line : header->model()->headerData(i, Qt::Horizontal).toString().split(u'\n'))
            QVERIFY2(header->fontMetrics().horizontalAdvance(line) < header->sectionSize(i), qPrintable(line));
    // A query that waits on the server holds neither the window nor its closing.
    QProcess lock;
    lock.start(u"psql"_s, {u"-Xqh"_s, Host(), u"-Upostgres"_s, u"-drechenkov"_s, u"-c"_s,
                           u"BEGIN; LOCK rechenkov.antworten; SELECT pg_sleep(4); COMMIT"_s});
    QTRY_COMPARE(Value(u"admin"_s, u"SELECT count(*) FROM pg_locks WHERE mode = 'AccessExclusiveLock' "
                                   "AND relation = 'rechenkov.antworten'::regclass"_s),
                 1);
    QTimer::singleShot(200, window, &QWidget::close);
    const QPointer<ClassWindow> alive(window);
    QElapsedTimer t;
    t.start();
    window->ShowClass(u"8c"_s, 30); // returns at the closing, not when the lock goes
    QVERIFY2(t.elapsed() < 1500, qPrintable(QString::number(t.elapsed())));
    QTRY_VERIFY(!alive);
    QVERIFY(lock.waitForFinished(10000));
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("RECHENKOV_PG_DIR")) { // no server of its own: start one, run again inside
        std::vector<char*> args{const_cast<char*>("/bin/bash"), const_cast<char*>(RECHENKOV_WITH_POSTGRES)};
        args.insert(args.end(), argv, argv + argc + 1); // with argv's closing null pointer
        return execv("/bin/bash", args.data());
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestSchoolAdmin test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_school_admin.moc"
