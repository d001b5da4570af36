// The one file writer: a file appears whole or not at all, with the mode a
// user expects, never over anything but a regular file, and nothing of ours
// stays in the folder when the work stops half-way.

#include "platform/FileWriter.h"
#include "record/HistoryStore.h"
#include "table/RowFileIO.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using files::Error;
using files::Replace;

class TestFileWriter : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

    QString Path(const QString& name) const { return dir_.filePath(name); }
    static unsigned Mode(const QString& path)
    {
        struct stat s {};
        return ::stat(QFile::encodeName(path).constData(), &s) == 0 ? (s.st_mode & 07777) : 0;
    }
    static QByteArray Read(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static Error Put(const QString& path, Replace replace, const QByteArray& content, QString* problem = nullptr)
    {
        return files::WriteFile(path, replace, [&](files::FileWriter& w) { return w.Write(content); }, problem);
    }
    // The names in the folder, hidden ones included.
    QStringList Names() const
    {
        return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                                           QDir::Name);
    }

private slots:
    // Every case begins in an empty folder, so each runs alone as well.
    void init()
    {
        for (const QString& name : Names())
            QVERIFY(QFileInfo(Path(name)).isDir() ? QDir(Path(name)).removeRecursively() : QFile::remove(Path(name)));
    }

    void modesOfNewAndReplacedFiles()
    {
        const mode_t old = ::umask(027);
        QCOMPARE(Put(Path("neu.csv"), Replace::Never, "eins"), Error::None);
        ::umask(old);
        QCOMPARE(Mode(Path("neu.csv")), 0640u);

        QVERIFY(QFile::setPermissions(Path("neu.csv"), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        QCOMPARE(Put(Path("neu.csv"), Replace::Always, "zwei"), Error::None);
        QCOMPARE(Read(Path("neu.csv")), QByteArray("zwei"));
        QCOMPARE(Mode(Path("neu.csv")), 0604u);
        QCOMPARE(Names(), QStringList{"neu.csv"});
    }

    void refusesWhatItMustNotReplace()
    {
        QCOMPARE(Put(Path("neu.csv"), Replace::Never, "zwei"), Error::None);
        QString problem;
        QCOMPARE(Put(Path("neu.csv"), Replace::Never, "drei", &problem), Error::Exists);
        QVERIFY(problem.contains("gibt es schon"));
        QCOMPARE(Read(Path("neu.csv")), QByteArray("zwei"));

        QVERIFY(QDir(dir_.path()).mkdir("ordner"));
        QCOMPARE(Put(Path("ordner"), Replace::Always, "x", &problem), Error::IsFolder);
        QVERIFY(problem.contains("ist ein Ordner"));
        QCOMPARE(Put("/dev/null", Replace::Always, "x", &problem), Error::NotRegular);
        QVERIFY(problem.contains("keine gewöhnliche Datei"));
        QCOMPARE(Put(Path("fehlt/x.pdf"), Replace::Never, "x", &problem), Error::FolderMissing);
        QCOMPARE(problem, QString("Den Ordner „%1“ gibt es nicht.").arg(Path("fehlt")));

        // A link keeps being a link; the file it points to gets the content.
        QVERIFY(QFile::link(Path("neu.csv"), Path("link.csv")));
        QCOMPARE(Put(Path("link.csv"), Replace::Always, "vier"), Error::None);
        QVERIFY(QFileInfo(Path("link.csv")).isSymLink());
        QCOMPARE(Read(Path("neu.csv")), QByteArray("vier"));
        QVERIFY(QFile::remove(Path("link.csv")));
        QVERIFY(QDir(Path("ordner")).removeRecursively());
    }

    void failuresLeaveTheOldFileAndNothingElse()
    {
        QCOMPARE(Put(Path("neu.csv"), Replace::Never, "vier"), Error::None);
        // A producer that gives up part-way.
        QCOMPARE(files::WriteFile(Path("neu.csv"), Replace::Always,
                                  [](files::FileWriter& w) { return w.Write("halb") && false; }),
                 Error::NoContent);
        QCOMPARE(Read(Path("neu.csv")), QByteArray("vier"));

        // A disk that fills up: the file size limit cuts the write short.
        struct rlimit saved {};
        getrlimit(RLIMIT_FSIZE, &saved);
        struct rlimit small = saved;
        small.rlim_cur = 8192;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        QString problem;
        const Error error = files::WriteFile(Path("neu.csv"), Replace::Always, [](files::FileWriter& w) {
            const QByteArray piece(4096, 'x');
            for (int i = 0; i < 10; ++i)
                if (!w.Write(piece))
                    return false;
            return true;
        }, &problem);
        setrlimit(RLIMIT_FSIZE, &saved);
        QCOMPARE(error, Error::WriteFailed);
        QVERIFY2(problem.contains("größer als erlaubt"), qPrintable(problem));
        QCOMPARE(Read(Path("neu.csv")), QByteArray("vier"));
        QCOMPARE(Names(), QStringList{"neu.csv"});
    }

    void aKilledWriterLeavesNothingBehind()
    {
        QCOMPARE(Put(Path("neu.csv"), Replace::Never, "vier"), Error::None);
        for (const int signal : {SIGKILL, SIGTERM}) {
            const pid_t child = fork();
            if (child == 0) {
                files::FileWriter w(Path("neu.csv"), Replace::Always);
                if (w.Open() && w.Write(QByteArray(100000, 'y')))
                    raise(signal);
                _exit(3);
            }
            int status = 0;
            QCOMPARE(waitpid(child, &status, 0), child);
            QVERIFY(WIFSIGNALED(status));
            QCOMPARE(Read(Path("neu.csv")), QByteArray("vier"));
            QCOMPARE(Names(), QStringList{"neu.csv"});
        }
    }

    // The practice record's CSV on a disk that fills up: the command says so
    // and leaves no cut-off file.
    void csvCommandOnAFullDisk()
    {
        const QString data = Path("data");
        history::HistoryStore store(data + "/Rechenkov/Rechenkov/verlauf.sqlite");
        QVERIFY(store.Open(true));
        for (int i = 0; i < 2000; ++i)
            QVERIFY(store.RecordAnswer({QDateTime::currentDateTime(), "Lena", 1, "a+b", 1 + i % 9, "123", "123",
                                        true, 1000}));
        store.Close();
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", data);
        env.insert("XDG_CONFIG_HOME", Path("config"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dir_.path());
        p.start("/bin/sh", {"-c", "ulimit -f 64; exec \"$0\" --verlauf-csv lang.csv",
                            QStringLiteral(RECHENKOV_BUILD_DIR "/rechenkov")});
        QVERIFY(p.waitForFinished(60000));
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        QCOMPARE(p.exitCode(), 1);
        QVERIFY2(err.contains("konnte nicht geschrieben werden"), qPrintable(err));
        QVERIFY(!QFileInfo::exists(Path("lang.csv")));
        QVERIFY(QDir(data).removeRecursively());
    }

    // A link to nothing is taken, unless replacing is asked for: then the link itself gives
    // way. A folder that takes no files: the system's words only on the second line.
    void aLinkToNothingAndAFolderForNothing()
    {
        QVERIFY(QFile::link(Path("weg/ziel.csv"), Path("lose.csv")));
        QString problem;
        QCOMPARE(Put(Path("lose.csv"), Replace::Never, "x", &problem), Error::Exists);
        QVERIFY2(problem.contains("Verknüpfung"), qPrintable(problem));
        QCOMPARE(Put(Path("lose.csv"), Replace::Always, "fünf"), Error::None);
        QCOMPARE(Read(Path("lose.csv")), QByteArray("fünf"));
        QVERIFY(!QFileInfo(Path("lose.csv")).isSymLink() && !QFileInfo::exists(Path("weg")));
        QVERIFY(Put("/proc/rechenkov.csv", Replace::Never, "x", &problem) != Error::None);
        for (int e = 1; e < 134; ++e)
            QVERIFY2(!problem.section('\n', 0, 0).contains(QString::fromLocal8Bit(std::strerror(e))),
                     qPrintable(problem));
    }

    // On a FAT or FUSE mount made by tests/filesystems.sh: CSV and row files, new and replaced.
    void onTheFileSystemGiven()
    {
        const QString folder = qEnvironmentVariable("RECHENKOV_FOLDER_UNDER_TEST");
        if (folder.isEmpty())
            QSKIP("runs from tests/filesystems.sh on a mounted file system");
        QCOMPARE(Put(folder + "/verlauf.csv", Replace::Never, "a;b\n"), Error::None); // new, then replaced
        QCOMPARE(Put(folder + "/verlauf.csv", Replace::Always, "c;d\n"), Error::None);
        QStringList items(63, QString("7"));
        QVERIFY(rows::SaveRowFile(folder + "/reihe.LST", items));
        items[0] = "8";
        QVERIFY(rows::SaveRowFile(folder + "/reihe.LST", items));
        QCOMPARE(rows::LoadRowFile(folder + "/reihe.LST").cells.front(), std::optional<long long>(8));
        QCOMPARE(Read(folder + "/verlauf.csv"), QByteArray("c;d\n"));
    }

    void extensionForABareName()
    {
        QCOMPARE(files::WithExtension("Klasse 3b", ".pdf"), QString("Klasse 3b.pdf"));
        QCOMPARE(files::WithExtension("/tmp/x.y/Klasse", ".pdf"), QString("/tmp/x.y/Klasse.pdf"));
        QCOMPARE(files::WithExtension("blatt.PDF", ".pdf"), QString("blatt.PDF"));
        QCOMPARE(files::WithExtension(".klasse", ".pdf"), QString(".klasse.pdf"));
    }
};

QTEST_GUILESS_MAIN(TestFileWriter)
#include "test_filewriter.moc"
