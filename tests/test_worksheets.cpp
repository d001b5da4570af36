// Worksheets read back from the PDF: one page per sheet, every page's values
// following its operation's column rules, pages unlike each other, copies of
// a table equal to the file; an existing file kept; and the real program
// writing a worksheet PDF without any display.

#include "TestSupport.h"
#include "WorkingDirectory.h"

#include "app/MODUL1.h"
#include "print/WorksheetDialog.h"
#include "print/Worksheets.h"
#include "rows/RowFileIO.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

#include <set>

namespace {

// Where a column's values start on the page, in points, and the one on a page with its values.
constexpr double ColumnLeft(int k) { return (1000.0 * k + 360) / 20.0; }

// Each page's values as pdftotext sees them: [page][column 0..6] = values top to bottom.
using PageValues = std::vector<std::array<std::vector<long long>, 7>>;

bool ReadPages(const QString& path, PageValues& pages)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return false;
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression pageRe(QStringLiteral("<page [^>]*>(.*?)</page>"),
                                           QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression wordRe(QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\"[^>]*>([^<]*)</word>"));
    for (auto pm = pageRe.globalMatch(html); pm.hasNext();) {
        auto& columns = pages.emplace_back();
        for (auto wm = wordRe.globalMatch(pm.next().captured(1)); wm.hasNext();) {
            const auto w = wm.next();
            bool number = false;
            const long long value = w.captured(3).toLongLong(&number);
            if (!number)
                continue; // a column head
            int k = 7;
            while (k > 1 && w.captured(1).toDouble() < ColumnLeft(k))
                --k;
            columns[static_cast<std::size_t>(k - 1)].push_back(value);
        }
    }
    return true;
}

// The values column k holds under an operation: digit 1..9 times the column's factor, plus its offset.
std::set<long long> RuleValues(int k, int operation)
{
    static constexpr std::array<std::pair<int, int>, 7> kPlusMinus = {
        {{100, 0}, {110, 0}, {111, 0}, {10, 0}, {11, 0}, {9, 10}, {1, 0}}};
    const auto [factor, offset] = operation == 3 ? std::pair{1, 0} : kPlusMinus[static_cast<std::size_t>(k - 1)];
    std::set<long long> values;
    for (int digit = 1; digit <= 9; ++digit)
        values.insert(factor * digit + offset);
    return values;
}

bool HavePdfToText() { return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(); }

} // namespace

class WorksheetsTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        FreshProgram();
        if (!HavePdfToText())
            QSKIP("pdftotext (poppler-utils) is not installed");
    }

    void randomPagesFollowTheRules_data()
    {
        QTest::addColumn<int>("operation");
        QTest::newRow("plus") << 1;
        QTest::newRow("minus") << 2;
        QTest::newRow("times") << 3;
    }

    void randomPagesFollowTheRules()
    {
        QFETCH(int, operation);
        ScopedWorkingDirectory folder;
        MODUL1::a[1] = 42;
        const auto before = MODUL1::a;
        const auto tables = worksheets::RandomTables(4, operation, 12345.0);

        QCOMPARE(worksheets::WritePdf(tables, QStringLiteral("blaetter.pdf"), false), worksheets::Outcome::Done);

        PageValues pages;
        QVERIFY(ReadPages(QStringLiteral("blaetter.pdf"), pages));
        QCOMPARE(pages.size(), std::size_t(4));
        for (const auto& page : pages)
            for (int k = 1; k <= 7; ++k) {
                const auto& column = page[static_cast<std::size_t>(k - 1)];
                QCOMPARE(column.size(), std::size_t(9));
                QCOMPARE(std::set<long long>(column.begin(), column.end()), RuleValues(k, operation));
            }
        // One seed for the stack, so the pages differ.
        for (std::size_t i = 1; i < pages.size(); ++i)
            QVERIFY(pages[i] != pages[i - 1]);
        QVERIFY(MODUL1::a == before); // the shared table is given back
        QCOMPARE(QDir::current().entryList(QDir::Files | QDir::Hidden), QStringList{"blaetter.pdf"});
    }

    void copiesOfATable()
    {
        ScopedWorkingDirectory folder;
        QVERIFY(CopyRowFixture(QStringLiteral("good.LST")));
        const rows::ReadResult read = rows::LoadRowFile(QStringLiteral("good.LST"));
        QVERIFY(read.ok);

        QCOMPARE(worksheets::WritePdf(worksheets::Copies(3, read.cells), QStringLiteral("t.pdf"), false),
                 worksheets::Outcome::Done);

        PageValues pages;
        QVERIFY(ReadPages(QStringLiteral("t.pdf"), pages));
        QCOMPARE(pages.size(), std::size_t(3));
        for (const auto& page : pages)
            for (int k = 1; k <= 7; ++k)
                for (int i = 1; i <= 9; ++i)
                    QCOMPARE(page[static_cast<std::size_t>(k - 1)].at(static_cast<std::size_t>(i - 1)),
                             10LL * k + i);
    }

    void existingFileIsKeptUnlessReplaced()
    {
        ScopedWorkingDirectory folder;
        QFile old(QStringLiteral("a.pdf"));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("alt") == 3);
        old.close();
        const auto tables = worksheets::RandomTables(1, 1, 1.0);

        QCOMPARE(worksheets::WritePdf(tables, QStringLiteral("a.pdf"), false), worksheets::Outcome::FileExists);
        QCOMPARE(FileBytes(QStringLiteral("a.pdf")), QByteArray("alt"));
        QCOMPARE(worksheets::WritePdf(tables, QStringLiteral("fehlt/b.pdf"), false), worksheets::Outcome::CannotWrite);
        QCOMPARE(worksheets::WritePdf(tables, QStringLiteral("a.pdf"), true), worksheets::Outcome::Done);
        QVERIFY(FileBytes(QStringLiteral("a.pdf")).startsWith("%PDF-"));
        QCOMPARE(QDir::current().entryList(QDir::Files | QDir::Hidden), QStringList{"a.pdf"});
    }

    // The window's choices reach the pages; a broken table is reported and writes nothing.
    void windowSavesItsChoices()
    {
        ScriptedDialogs& dialogs = FreshProgram();
        ScopedWorkingDirectory folder;
        QVERIFY(CopyRowFixture(QStringLiteral("letters.LST")));
        WorksheetDialog window(3);
        window.findChild<QSpinBox*>(QStringLiteral("pages"))->setValue(2);

        QVERIFY(window.SaveTo(QStringLiteral("mal.pdf")));
        PageValues pages;
        QVERIFY(ReadPages(QStringLiteral("mal.pdf"), pages));
        QCOMPARE(pages.size(), std::size_t(2));
        QCOMPARE(std::set<long long>(pages[1][3].begin(), pages[1][3].end()), RuleValues(4, 3));
        QCOMPARE(dialogs.calls.back().text, QStringLiteral("2 Arbeitsblätter sind in „mal.pdf“ gespeichert.\r"));

        window.findChild<QLineEdit*>(QStringLiteral("tableFile"))->setText(QStringLiteral("letters.LST"));
        QVERIFY(!window.findChild<QComboBox*>(QStringLiteral("operation"))->isEnabled());
        QVERIFY(!window.SaveTo(QStringLiteral("kaputt.pdf")));
        QVERIFY(dialogs.calls.back().text.contains(QStringLiteral("„letters.LST“")));
        QVERIFY(!QFile::exists(QStringLiteral("kaputt.pdf")));
    }

    // The real program, with no display and no platform chosen, as from a cron job or a terminal over ssh.
    void programWritesWorksheetsWithoutDisplay()
    {
        ScopedWorkingDirectory folder;
        QVERIFY(CopyRowFixture(QStringLiteral("good.LST")));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        const auto run = [&](const QStringList& args, QString* err = nullptr) {
            QProcess p;
            p.setProcessEnvironment(env);
            p.start(QStringLiteral(RECHENKOV_BUILD_DIR "/rechenkov"), args);
            if (!p.waitForFinished(60000))
                return -1;
            if (err)
                *err = QString::fromUtf8(p.readAllStandardError());
            return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };

        QCOMPARE(run({"--arbeitsblaetter", "3", "--rechenart", "mal", "--ausgabe", "mal.pdf"}), 0);
        PageValues pages;
        QVERIFY(ReadPages(QStringLiteral("mal.pdf"), pages));
        QCOMPARE(pages.size(), std::size_t(3));
        QCOMPARE(std::set<long long>(pages[2][0].begin(), pages[2][0].end()), RuleValues(1, 3));

        QString err;
        QCOMPARE(run({"--arbeitsblaetter", "1", "--ausgabe", "mal.pdf"}, &err), 1);
        QVERIFY2(err.contains(QStringLiteral("--ersetzen")), qPrintable(err));
        QCOMPARE(run({"--arbeitsblaetter", "2", "--tabelle", "fehlt.LST", "--ausgabe", "x.pdf"}, &err), 1);
        QVERIFY2(err.contains(QStringLiteral("fehlt.LST")), qPrintable(err));
        QCOMPARE(run({"--arbeitsblaetter", "zehn"}, &err), 2);
        QVERIFY2(err.contains(QStringLiteral("Aufruf: rechenkov")), qPrintable(err));
        QCOMPARE(run({"--arbeitsblaetter", "2", "--tabelle", "good.LST", "--ausgabe", "t.pdf"}), 0);
        QVERIFY(!QFile::exists(QStringLiteral("x.pdf")));
    }
};

QTEST_MAIN(WorksheetsTest)
#include "test_worksheets.moc"
