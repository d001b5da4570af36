// Tests for row files: the exact bytes written, what the streaming reader
// accepts and rejects (and which cells it keeps), where it stops reading, and
// saving/loading on disk.
#include "table/RowFile.h"
#include "table/RowFileIO.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using rows::ReadResult;

namespace {

std::string_view view(const QByteArray& a) { return {a.constData(), static_cast<std::size_t>(a.size())}; }

// Cells as one readable string, "1|2||4": an empty cell shows as nothing, 0 as "0".
QString describe(const std::vector<Cell>& cells)
{
    QStringList parts;
    for (const Cell& c : cells)
        parts << QString::fromStdString(rows::CellText(c));
    return parts.join(QLatin1Char('|'));
}

QString numberedCells(int count)
{
    QStringList parts;
    for (int i = 1; i <= count; ++i)
        parts << QString::number(i);
    return parts.join(QLatin1Char('|'));
}

// A row file with the lines "1".."63", line `line` (1-based) replaced by `field`.
QByteArray numberedFile(int line = 0, const QByteArray& field = {})
{
    QByteArray out;
    for (int i = 1; i <= rows::kFieldCount; ++i)
        out += (i == line ? field : QByteArray::number(i)) + "\r\n";
    return out;
}

QStringList numberedItems() { return QString(numberedCells(rows::kFieldCount)).split(QLatin1Char('|')); }

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Serves `bytes` one at a time and counts every request, those past the end too.
struct CountingSource {
    QByteArray bytes;
    int calls = 0;
    int endsReported = 0;
    int operator()()
    {
        const int i = calls++;
        if (i < bytes.size())
            return static_cast<unsigned char>(bytes[i]);
        ++endsReported;
        return -1;
    }
};

} // namespace

class TestRowFile : public QObject {
    Q_OBJECT

private slots:
    void writing()
    {
        std::vector<std::string> items(rows::kFieldCount, "5");
        items[0] = "007";
        items[1] = "";
        items[2] = "0";
        items[9] = "-12"; // line 1 of column b
        items[62] = "42";
        const std::string bytes = rows::FormatRowFile(items);
        QVERIFY(bytes.starts_with("007\r\n\r\n0\r\n5\r\n"));
        QVERIFY(bytes.ends_with("5\r\n42\r\n"));
        QVERIFY(bytes.find("\r\n5\r\n-12\r\n5\r\n") != std::string::npos);
        QCOMPARE(bytes.size(), std::size_t(3 + 0 + 1 + 3 + 2 + 58) + 63 * 2);
        QCOMPARE(std::count(bytes.begin(), bytes.end(), '\n'), 63);
        QCOMPARE(std::count(bytes.begin(), bytes.end(), '\r'), 63);

        // Leading zeros are written as they are but not kept when reading;
        // an empty line is an empty cell, not 0.
        const ReadResult r = rows::ReadRowFields(bytes);
        QVERIFY(r.ok);
        QCOMPARE(describe({r.cells.begin(), r.cells.begin() + 4}), QString("7||0|5"));
        QCOMPARE(r.cells[9], Cell(-12));
        QCOMPARE(r.cells[62], Cell(42));
        std::vector<std::string> texts;
        for (const Cell& c : r.cells)
            texts.push_back(rows::CellText(c));
        QCOMPARE(texts[0], std::string("7"));
        QCOMPARE(texts[1], std::string());
        QCOMPARE(texts[9], std::string("-12"));
        QCOMPARE(describe(rows::ReadRowFields(rows::FormatRowFile(texts)).cells), describe(r.cells));

        // Anything that would not give 63 lines is refused.
        QVERIFY(rows::FormatRowFile(std::vector<std::string>(62, "1")).empty());
        QVERIFY(rows::FormatRowFile(std::vector<std::string>(64, "1")).empty());
        for (const char* broken : {"1\n", "\r", "3\r\n4"}) {
            items[30] = broken;
            QVERIFY2(rows::FormatRowFile(items).empty(), broken);
        }
    }

    // One field placed on line 7 of an otherwise ordinary file.
    void acceptedField_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QString>("cell"); // as describe() shows it

        QTest::newRow("leading zeros") << QByteArray("007") << "7";
        QTest::newRow("13 digits, 1 significant") << QByteArray("0000000000007") << "7";
        QTest::newRow("9 significant after zeros") << QByteArray("000999999999") << "999999999";
        QTest::newRow("zeros") << QByteArray("0000") << "0";
        QTest::newRow("plus") << QByteArray("+5") << "5";
        QTest::newRow("minus zero") << QByteArray("-0") << "0";
        QTest::newRow("largest negative") << QByteArray("-999999999") << "-999999999";
        QTest::newRow("blanks around") << QByteArray(" \t 42\t ") << "42";
        QTest::newRow("quoted, blanks inside") << QByteArray("\" -12 \"") << "-12";
        QTest::newRow("quoted, blanks outside") << QByteArray("  \"+3\"\t ") << "3";
        QTest::newRow("empty") << QByteArray("") << "";
        QTest::newRow("blanks only") << QByteArray(" \t ") << "";
        QTest::newRow("empty quotes") << QByteArray("\"\"") << "";
        QTest::newRow("quoted blanks") << QByteArray(" \"  \" ") << "";
        QTest::newRow("256 bytes") << QByteArray(255, '0') + "7" << "7";
        QTest::newRow("256 bytes, blanks and quotes")
            << QByteArray(100, ' ') + "\"" + QByteArray(50, ' ') + "-8" + QByteArray(50, ' ') + "\"" + QByteArray(52, ' ')
            << "-8";
    }

    void acceptedField()
    {
        QFETCH(QByteArray, field);
        QFETCH(QString, cell);
        const ReadResult r = rows::ReadRowFields(view(numberedFile(7, field)));
        QVERIFY(r.ok);
        QCOMPARE(describe(r.cells), QString(numberedCells(6) + "|" + cell + "|" + numberedCells(63).section('|', 7)));
    }

    // A bad field on line `line`: reading fails, keeping the cells before it.
    void rejectedField_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QByteArray>("field");

        const std::pair<const char*, QByteArray> bad[] = {
            {"letters", "abc"}, {"digit then letter", "1a"}, {"exponent", "1e3"}, {"decimal point", "1.5"},
            {"decimal comma in quotes", "\"1,5\""}, {"10 significant", "1000000000"},
            {"10 significant after zeros", "-0001234567890"}, {"10 significant, quoted", "\"1234567890\""},
            {"sign alone", "+"}, {"quoted sign alone", "\" - \""}, {"two signs", "--5"}, {"blank after sign", "- 5"},
            {"blank inside number", "1 2"}, {"blank inside quoted number", "\"1 2\""},
            {"257 bytes", QByteArray(256, '0') + "7"}, {"257 blanks", QByteArray(257, ' ')},
            {"unterminated quote", "\"7"}, {"quote open at line end", "\""}, {"text after closing quote", "\"7\"x"},
            {"number after closing quote", "\"7\" 8"}, {"doubled quotes", "\"\"\"\""}, {"quote after number", "7\""},
            {"NUL", QByteArray("7\0", 2)}, {"vertical tab", "\v7"}, {"DEL", "\x7f"}, {"UTF-8 letter", "\xc3\xa4"},
            {"byte 0xFF", "5\xff"}, {"semicolon", "5;6"}, {"byte order mark inside", "\xef\xbb\xbf" "7"}};
        for (const auto& [name, field] : bad)
            QTest::newRow(name) << 5 << field;
        // An error in the last field leaves 62 cells.
        for (const auto& [name, field] : {bad[0], bad[3], bad[5], bad[16]})
            QTest::addRow("line 63: %s", name) << 63 << field;
    }

    void rejectedField()
    {
        QFETCH(int, line);
        QFETCH(QByteArray, field);
        const ReadResult r = rows::ReadRowFields(view(numberedFile(line, field)));
        QVERIFY(!r.ok);
        QCOMPARE(describe(r.cells), numberedCells(line - 1));
    }

    void fieldCount()
    {
        const QByteArray full = numberedFile();
        const QByteArray first62 = full.left(full.size() - 4);

        ReadResult r = rows::ReadRowFields(view(first62));
        QVERIFY(!r.ok);
        QCOMPARE(describe(r.cells), numberedCells(62));
        r = rows::ReadRowFields(view(full + "64\r\n65\r\n"));
        QVERIFY(r.ok);
        QCOMPARE(describe(r.cells), numberedCells(63));

        // How the data may end after line 62, and what the 63rd cell is then.
        const std::pair<QByteArray, QString> endings[] = {
            {"63", "63"}, {"  ", ""}, {"\r\n", ""}, {"\"63\"", "63"}};
        for (const auto& [ending, cell] : endings) {
            r = rows::ReadRowFields(view(first62 + ending));
            QVERIFY2(r.ok, ending.constData());
            QCOMPARE(describe({r.cells[62]}), cell);
        }
        r = rows::ReadRowFields(view(full.left(full.size() - 8) + "62,")); // a final comma opens one more field
        QVERIFY(r.ok);
        QCOMPARE(describe({r.cells[61], r.cells[62]}), QString("62|"));

        // Too short; a field ended by the end of the data is the last one.
        const std::pair<const char*, QString> shortData[] = {
            {"", ""}, {"\r\n", ""}, {"1,2", "1|2"}, {"1,", "1|"}, {"1\r 2,3", "1|2|3"}, {",", "|"}};
        for (const auto& [bytes, cells] : shortData) {
            r = rows::ReadRowFields(bytes);
            QVERIFY2(!r.ok, bytes);
            QCOMPARE(describe(r.cells), cells);
        }
        QVERIFY(rows::ReadRowFields("").cells.empty());
        QCOMPARE(rows::ReadRowFields("\r\n").cells.size(), std::size_t(1));
    }

    // The first bytes of a file and the cells they give; plain "1" lines follow.
    void separatorsAndLineEnds_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("cells");

        QTest::newRow("comma splits a line") << QByteArray("3,4\r\n") << "3|4";
        QTest::newRow("blanks around commas") << QByteArray(" 3 ,\t4\t,  5\r\n") << "3|4|5";
        QTest::newRow("quoted with commas") << QByteArray("\"3\",\" 4 \",\"\"\r\n") << "3|4|";
        QTest::newRow("comma before line end") << QByteArray("3,\r\n7\r\n") << "3||7";
        QTest::newRow("empty line") << QByteArray("3\r\n\r\n4\r\n") << "3||4";
        QTest::newRow("lone LF") << QByteArray("3\n4\n\n5\n") << "3|4||5";
        QTest::newRow("lone CR") << QByteArray("3\r4\r\r5\r") << "3|4||5";
        QTest::newRow("LF CR is two line ends") << QByteArray("3\n\r4\r\n") << "3||4";
        QTest::newRow("CR CR LF") << QByteArray("3\r\r\n4\n") << "3||4";
    }

    void separatorsAndLineEnds()
    {
        QFETCH(QByteArray, head);
        QFETCH(QString, cells);
        const int headFields = int(cells.count(QLatin1Char('|'))) + 1;
        const QByteArray bytes = head + QByteArray("1\r\n").repeated(rows::kFieldCount - headFields);

        const ReadResult r = rows::ReadRowFields(view(bytes));
        QVERIFY(r.ok);
        QCOMPARE(describe(r.cells), cells + QString("|1").repeated(rows::kFieldCount - headFields));
        QCOMPARE(rows::ReadRowFields(view(bytes.left(bytes.size() - 3))).cells.size(), std::size_t(62));
    }

    // Field 63 as written and how many of its bytes are read: up to and
    // including its separator. No byte after that may be requested.
    void stopsRightAfterField63_data()
    {
        QTest::addColumn<QByteArray>("end");
        QTest::addColumn<int>("used");
        QTest::newRow("CR LF: the LF is not looked for") << QByteArray("63\r\n") << 3;
        QTest::newRow("LF") << QByteArray("63\n") << 3;
        QTest::newRow("quoted, comma") << QByteArray("\"63\" ,") << 6;
    }

    void stopsRightAfterField63()
    {
        QFETCH(QByteArray, end);
        QFETCH(int, used);
        const QByteArray first62 = numberedFile().chopped(4);
        for (const QByteArray& garbage : {QByteArray("\n"), QByteArray("x\xff\0\"", 4), QByteArray(5000, 'z')}) {
            CountingSource source{first62 + end + garbage};
            const ReadResult r = rows::ReadRowFields(std::function<int()>(std::ref(source)));
            QVERIFY(r.ok);
            QCOMPARE(r.cells[62], Cell(63));
            QCOMPARE(source.calls, int(first62.size()) + used);
        }

        // Ended by the end of the data: that end is asked for once, and last.
        CountingSource source{first62 + "63"};
        QVERIFY(rows::ReadRowFields(std::function<int()>(std::ref(source))).ok);
        QCOMPARE(source.endsReported, 1);
        QCOMPARE(source.calls, int(source.bytes.size()) + 1);
    }

    void endlessSourcesAreBounded()
    {
        // A field that never ends is cut off at its 257th byte.
        for (const int fill : {int('0'), int(' ')}) {
            int calls = 0;
            const ReadResult r = rows::ReadRowFields(std::function<int()>([&] { return ++calls, fill; }));
            QVERIFY(!r.ok);
            QCOMPARE(calls, rows::kMaxFieldBytes + 1);
        }
        // Endless line ends: 63 empty cells after exactly 63 bytes.
        int calls = 0;
        const ReadResult r = rows::ReadRowFields(std::function<int()>([&] { return ++calls, int('\n'); }));
        QVERIFY(r.ok);
        QCOMPARE(calls, rows::kFieldCount);
        QVERIFY(!r.cells[62]);
        // A value outside the byte range is no digit.
        const ReadResult wide = rows::ReadRowFields(std::function<int()>([n = 0]() mutable { return n++ ? -1 : '1' + 256; }));
        QVERIFY(!wide.ok);
        QVERIFY(wide.cells.empty());
    }

    void loadFromDisk()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());

        // Padded fields span many read blocks and straddle their edges;
        // the megabyte of garbage after field 63 is ignored.
        QByteArray padded;
        for (int i = 1; i <= rows::kFieldCount; ++i)
            padded += QByteArray(i * 3 % 200, ' ') + "\"" + QByteArray::number(i * 11) + "\"" + QByteArray(i % 7, '\t') + "\r\n";
        QVERIFY(writeBytes(dir.filePath("padded"), padded + QByteArray(1 << 20, '\xff')));
        ReadResult r = rows::LoadRowFile(dir.filePath("padded"));
        QVERIFY(r.ok);
        for (int i = 1; i <= rows::kFieldCount; ++i)
            QCOMPARE(r.cells[std::size_t(i - 1)], Cell(i * 11));

        QVERIFY(writeBytes(dir.filePath("bad"), numberedFile(40, "4O")));
        r = rows::LoadRowFile(dir.filePath("bad"));
        QVERIFY(!r.ok);
        QCOMPARE(describe(r.cells), numberedCells(39));

        QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600) == 0);
        QVERIFY(!rows::LoadRowFile(dir.filePath("fifo")).ok); // not read, and opening it does not wait
        QVERIFY(writeBytes(dir.filePath("empty"), {}));
        for (const QString& name : {QString("empty"), QString("no-such-file"), QString()}) { // the last is the directory
            r = rows::LoadRowFile(name.isEmpty() ? dir.path() : dir.filePath(name));
            QVERIFY(!r.ok);
            QVERIFY(r.cells.empty());
        }
    }

    void saveReplacesExistingFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("row.txt");
        QVERIFY(writeBytes(path, "old contents, longer than the new first lines\r\n"));

        QStringList items = numberedItems();
        items[0] = "007";
        items[1] = "";
        items[62] = "0";
        QVERIFY(rows::SaveRowFile(path, items));
        const QByteArray onDisk = readAll(path);
        QVERIFY(onDisk.startsWith("007\r\n\r\n3\r\n"));
        QVERIFY(onDisk.endsWith("62\r\n0\r\n"));
        QCOMPARE(onDisk.count("\r\n"), 63);
        QCOMPARE(onDisk.count('\n'), 63);
        const ReadResult r = rows::LoadRowFile(path);
        QVERIFY(r.ok);
        QCOMPARE(describe({r.cells[0], r.cells[1], r.cells[2], r.cells[62]}), QString("7||3|0"));
        // No temporary file is left behind.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"row.txt"});
    }

    void failedSaveKeepsOldFile_data()
    {
        QTest::addColumn<QString>("how");
        for (const char* how : {"62 items", "64 items", "line break", "read-only directory", "target is a directory",
                                "parent missing", "disk full"})
            QTest::newRow(how) << QString(how);
    }

    // The last three fail for root too, where permission bits stop nothing.
    void failedSaveKeepsOldFile()
    {
        QFETCH(QString, how);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QString path = dir.filePath("row.txt");
        const QByteArray old = numberedFile(1, "old");
        QVERIFY(writeBytes(path, old));

        QStringList items = numberedItems();
        if (how == "62 items")
            items.removeLast();
        else if (how == "64 items")
            items << "64";
        else if (how == "line break")
            items[20] = "2\n1";
        else if (how == "target is a directory")
            path = dir.path();
        else if (how == "parent missing")
            path = dir.filePath("missing/row.txt");
        else if (how == "read-only directory") {
            QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
            QFile probe(dir.filePath("probe"));
            if (probe.open(QIODevice::WriteOnly)) {
                probe.remove();
                QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
                QSKIP("permission bits do not stop writes for this user");
            }
            QVERIFY(!QFileInfo(dir.path()).isWritable());
        }

        // A child process may write at most 100 bytes to a file; a longer write fails.
        const auto save = [&] {
            if (how != "disk full")
                return rows::SaveRowFile(path, items);
            const pid_t child = ::fork();
            if (child == 0) {
                ::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{100, 100};
                ::_exit(::setrlimit(RLIMIT_FSIZE, &limit) != 0 || rows::SaveRowFile(path, items));
            }
            int status = -1;
            return ::waitpid(child, &status, 0) != child || WEXITSTATUS(status) != 0;
        };
        const bool saved = save();
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(!saved);
        QCOMPARE(readAll(dir.filePath("row.txt")), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"row.txt"});
    }
};

QTEST_GUILESS_MAIN(TestRowFile)
#include "test_rowfile.moc"
