// The table printout: the page the printer gets (heads, values at their fixed
// places, boxes, font and line width), the messages around it, a failing job,
// the PDF written when no printer is set up, and that printing leaves the
// table, the shared variables and the main window as they were.

#include "PrinterRecorder.h"
#include "TestSupport.h"

#include "table/MODUL1.h"
#include "compat/Windows.h"
#include "main_window/Form1.h"
#include "print/PrintTable.h"
#include "print/WorksheetDialog.h"

#include <QCheckBox>
#include <QDir>
#include <QPrinter>
#include <QSpinBox>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <array>
#include <map>

#include <sys/stat.h>

using namespace MODUL1;

namespace {

// Where each column's values start on the page, in twips.
constexpr std::array<int, 7> kValueX = {1000, 2000, 3000, 4200, 5200, 6200, 7400};

using Table = std::array<std::array<Cell, 9>, 7>; // [column][line]

void Load(const Table& table)
{
    for (int k = 1; k <= 7; ++k)
        for (int i = 1; i <= 9; ++i)
            ColumnAt(k)[i] = table[k - 1][i - 1];
}

// A table as the plus operation makes it: three-digit a to c, two-digit d to f, one-digit g.
Table PlusTable()
{
    Table t;
    const std::array<int, 7> digits = {3, 3, 3, 2, 2, 2, 1};
    for (int k = 0; k < 7; ++k)
        for (int i = 0; i < 9; ++i) {
            long long v = 0;
            for (int n = 0; n < digits[k]; ++n)
                v = v * 10 + 1 + (i + n + k) % 9;
            t[k][i] = v;
        }
    return t;
}

// The times operation: every column holds the digits 1 to 9.
Table TimesTable()
{
    Table t;
    for (int k = 0; k < 7; ++k)
        for (int i = 0; i < 9; ++i)
            t[k][i] = 1 + (i + k) % 9;
    return t;
}

// A loaded table with values of other lengths, a zero and a negative number.
Table OtherLengthsTable()
{
    Table t = TimesTable();
    t[0][0] = 123456789;
    t[3][4] = 7;
    t[6][8] = 4321;
    t[1][2] = 0;
    t[2][5] = -35;
    return t;
}

Table WithEmptyCells()
{
    Table t = PlusTable();
    t[0][0] = std::nullopt;
    t[4][3] = std::nullopt;
    for (int i = 0; i < 9; ++i)
        t[6][i] = std::nullopt;
    return t;
}

QString Describe(const PageOp& op)
{
    const QString where = op.kind == PageOp::Kind::Text
                              ? QStringLiteral("text '%1' at %2,%3").arg(op.text).arg(op.x1).arg(op.y1)
                              : QStringLiteral("box %1,%2-%3,%4").arg(op.x1).arg(op.y1).arg(op.x2).arg(op.y2);
    return where + QStringLiteral(" [%1 %2pt %3 dots]").arg(op.fontName).arg(op.fontSize).arg(op.lineWidth);
}

// The page the table should give, written out independently of the program's layout code.
QStringList ExpectedPage(const Table& t)
{
    QStringList out;
    const auto op = [](PageOp::Kind kind, int x1, int y1, int x2, int y2, const QString& text) {
        return Describe({kind, x1, y1, x2, y2, text, QStringLiteral("Verdana"), 20, 2});
    };
    for (int k = 1; k <= 7; ++k)
        out << op(PageOp::Kind::Text, 300 + 1000 * k, 800, 300 + 1000 * k, 800, QString(QChar(u'a' + k - 1)));
    for (int i = 1; i <= 9; ++i)
        for (int k = 1; k <= 7; ++k) {
            const int y = 800 + 500 * i;
            const Cell& cell = t[k - 1][i - 1];
            if (cell) {
                const QString text = *cell < 0 ? QString::number(*cell) : QStringLiteral(" %1").arg(*cell);
                out << op(PageOp::Kind::Text, kValueX[k - 1], y, kValueX[k - 1], y, text);
            }
            out << op(PageOp::Kind::Box, 1000 * k, y, 1000 * k + 1000, y + 500, QString());
        }
    return out;
}

QStringList Described(const RecordedPage& page)
{
    QStringList out;
    for (const PageOp& op : page.ops)
        out << Describe(op);
    return out;
}

// Everything of the shared state printing must leave alone, as one text.
QString SharedState()
{
    QString s;
    for (int k = 1; k <= 7; ++k)
        for (int i = 1; i <= 10; ++i)
            s += CellCaption(ColumnAt(k)[i]) + QLatin1Char(',');
    s += QStringLiteral("|%1 %2 %3 %4 %5 %6 %7 ")
             .arg(CalcRow)
             .arg(CurrentLine)
             .arg(Operation)
             .arg(GameOpened)
             .arg(SelectedList)
             .arg(ColIndex)
             .arg(LineIndex);
    for (int n = 1; n <= 30; ++n)
        s += QStringLiteral("%1/%2 ").arg(DigitCol[n]).arg(DigitLine[n]);
    return s + CatchText;
}

QString DisplayList(const Surface& surface)
{
    QString s;
    for (const DrawOp& op : surface.Operations())
        s += QStringLiteral("%1:%2,%3,%4,%5,%6,%7,%8;")
                 .arg(int(op.kind))
                 .arg(op.x1)
                 .arg(op.y1)
                 .arg(op.x2)
                 .arg(op.y2)
                 .arg(op.text, op.color.name())
                 .arg(op.width);
    return s;
}

struct Word {
    QString text;
    double xMin, yMin, xMax, yMax;
};

// The pages of a PDF as pdftotext sees them: page sizes and words with their boxes, in points.
bool ReadPdf(const QString& path, QList<QSizeF>& pages, QList<Word>& words)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return false;
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression pageRe(QStringLiteral("<page width=\"([\\d.]+)\" height=\"([\\d.]+)\">"));
    for (auto m = pageRe.globalMatch(html); m.hasNext();) {
        const auto match = m.next();
        pages << QSizeF(match.captured(1).toDouble(), match.captured(2).toDouble());
    }
    static const QRegularExpression wordRe(QStringLiteral(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    for (auto m = wordRe.globalMatch(html); m.hasNext();) {
        const auto match = m.next();
        words << Word{match.captured(5), match.captured(1).toDouble(), match.captured(2).toDouble(),
                      match.captured(3).toDouble(), match.captured(4).toDouble()};
    }
    return true;
}

} // namespace

class PrintTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        FreshProgram();
        InstallRecordingPrinters();
    }
    void cleanupTestCase() { Printing::SetPrinterFactory(nullptr); }

    void page_data()
    {
        QTest::addColumn<int>("which");
        QTest::newRow("plus table") << 0;
        QTest::newRow("times table") << 1;
        QTest::newRow("values of other lengths") << 2;
        QTest::newRow("empty cells") << 3;
    }

    void page()
    {
        QFETCH(int, which);
        const std::array<Table, 4> tables = {PlusTable(), TimesTable(), OtherLengthsTable(), WithEmptyCells()};
        ScriptedDialogs& dialogs = FreshProgram();
        RecordingPrinters& printers = InstallRecordingPrinters();
        Load(tables[which]);

        PrintTable();

        QCOMPARE(printers.pages.size(), std::size_t(1));
        QVERIFY(printers.pages[0]->ended);
        QCOMPARE(Described(*printers.pages[0]), ExpectedPage(tables[which]));
        QVERIFY(printers.pdfPaths.empty());
        // The job is on its way before the message is shown, and only it is shown.
        QCOMPARE(dialogs.calls.size(), std::size_t(1));
        QCOMPARE(dialogs.calls[0].text, QStringLiteral("Die Tabelle wird gedruckt ...\r"));
        QCOMPARE(dialogs.calls[0].title, QStringLiteral("Drucken"));
        QCOMPARE(dialogs.calls[0].style, MsgStyle::OkOnly);
    }

    void failingJobIsReported()
    {
        ScriptedDialogs& dialogs = FreshProgram();
        RecordingPrinters& printers = InstallRecordingPrinters();
        printers.jobsFail = true;
        Load(PlusTable());

        PrintTable();

        QCOMPARE(dialogs.calls.size(), std::size_t(1));
        QCOMPARE(dialogs.calls[0].text, QStringLiteral("Der Druck ist fehlgeschlagen ...\r"));
        QCOMPARE(dialogs.calls[0].title, QStringLiteral("Drucken"));
        QCOMPARE(dialogs.calls[0].style, MsgStyle::OkOnly);
    }

    // The queue's reason under the usual words (nothing printed, or the job
    // waits); queues but no default; a page range counted as printed.
    void printersTellTheTruth()
    {
        ScriptedDialogs& dialogs = FreshProgram();
        RecordingPrinters& printers = InstallRecordingPrinters();
        Load(PlusTable());
        for (const bool fails : {true, false}) {
            printers.jobsFail = fails;
            printers.queueSays = fails ? "Er nimmt gerade keine Aufträge an: Papierstau." : "Er wartet.";
            PrintTable();
        }
        printers.hasPrinter = false;
        printers.printerNames = {"Flur", "Keller"};
        dialogs.answers.push_back(MsgResult::No);
        PrintTable();
        QTemporaryDir dir;
        WorksheetDialog window;
        window.findChild<QSpinBox*>("pages")->setValue(5);
        window.findChild<QCheckBox*>("key")->setChecked(true);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFileName(dir.filePath("teil.pdf"));
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(3, 5);
        QVERIFY(window.PrintTo(printer));
        QCOMPARE(dialogs.calls[0].text,
                 "Der Druck ist fehlgeschlagen ...\rEr nimmt gerade keine Aufträge an: Papierstau.\r");
        QCOMPARE(dialogs.calls[1].text, "Die Tabelle wird gedruckt ...\rEr wartet.\r");
        QVERIFY(dialogs.calls[2].text.startsWith("Es ist kein Standarddrucker eingestellt; eingerichtet sind „Flur“, "
                                                 "„Keller“."));
        QCOMPARE(dialogs.calls[3].text, "Die Seiten 3 bis 5 von 10 sind in „" + dir.filePath("teil.pdf")
                                            + "“ gespeichert.\r");
    }

    void noPrinterAsksForPdf_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("written");
        QTest::newRow("No") << int(MsgResult::No) << QStringLiteral("KOVTAB.PDF") << false;
        QTest::newRow("Yes, empty name") << int(MsgResult::Yes) << QString() << false;
        QTest::newRow("Yes, blanks only") << int(MsgResult::Yes) << QStringLiteral("   ") << false;
        QTest::newRow("Yes, default name") << int(MsgResult::Yes) << QStringLiteral("KOVTAB.PDF") << true;
        QTest::newRow("Yes, own name") << int(MsgResult::Yes) << QStringLiteral("Tabelle Lisa.pdf") << true;
    }

    void noPrinterAsksForPdf()
    {
        QFETCH(int, answer);
        QFETCH(QString, name);
        QFETCH(bool, written);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString home = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        ScriptedDialogs& dialogs = FreshProgram();
        RecordingPrinters& printers = InstallRecordingPrinters();
        printers.hasPrinter = false;
        dialogs.answers.push_back(static_cast<MsgResult>(answer));
        dialogs.inputs.push_back(name);
        Load(PlusTable());

        PrintTable();
        QDir::setCurrent(home);

        QVERIFY(printers.pages.empty());
        QCOMPARE(dialogs.calls[0].kind, DialogCall::Kind::Message);
        QCOMPARE(dialogs.calls[0].text,
                 QStringLiteral("Es ist kein Drucker eingerichtet.\rDie Tabelle als PDF-Datei speichern?\r"));
        QCOMPARE(dialogs.calls[0].title, QStringLiteral("Drucken"));
        QCOMPARE(dialogs.calls[0].style, MsgStyle::YesNoQuestion);
        if (answer == int(MsgResult::No)) {
            QCOMPARE(dialogs.calls.size(), std::size_t(1));
        } else {
            QCOMPARE(dialogs.calls[1].kind, DialogCall::Kind::Input);
            QCOMPARE(dialogs.calls[1].text, QStringLiteral("Name der Datei:"));
            QCOMPARE(dialogs.calls[1].title, QStringLiteral("Drucken"));
            QCOMPARE(dialogs.calls[1].defaultText, QStringLiteral("KOVTAB.PDF"));
        }
        // Nothing but the named file is left in the folder, not even a half-written one.
        const QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        if (!written) {
            QVERIFY2(files.isEmpty(), qPrintable(files.join(u',')));
            QVERIFY(dialogs.calls.size() <= 2);
            return;
        }
        QCOMPARE(files, QStringList{name});
        QFile pdf(dir.filePath(name));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");
        QCOMPARE(dialogs.calls.size(), std::size_t(3));
        QCOMPARE(dialogs.calls[2].text, name + QStringLiteral(" wurde gespeichert.\r"));
        QCOMPARE(dialogs.calls[2].title, QStringLiteral("Drucken"));
        QCOMPARE(dialogs.calls[2].style, MsgStyle::OkOnly);
    }

    void failingPdfIsReported_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing folder") << QStringLiteral("fehlt/KOVTAB.PDF");
        QTest::newRow("name of a folder") << QStringLiteral("Ordner.PDF");
    }

    void failingPdfIsReported()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Ordner.PDF")));
        ScriptedDialogs& dialogs = FreshProgram();
        RecordingPrinters& printers = InstallRecordingPrinters();
        printers.hasPrinter = false;
        dialogs.answers.push_back(MsgResult::Yes);
        dialogs.inputs.push_back(dir.filePath(name));
        Load(PlusTable());

        PrintTable();

        QCOMPARE(dialogs.calls.size(), std::size_t(3));
        QCOMPARE(dialogs.calls[2].text, QStringLiteral("Der Druck ist fehlgeschlagen ...\r"));
        QCOMPARE(dialogs.calls[2].title, QStringLiteral("Drucken"));
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("Ordner.PDF"))).isDir());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
    }

    void pdfReplacesAnOlderFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("KOVTAB.PDF"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old table");
        old.close();
        ScriptedDialogs& dialogs = FreshProgram();
        RecordingPrinters& printers = InstallRecordingPrinters();
        printers.hasPrinter = false;
        // No keeps it and asks for the name again; a name without an extension
        // gets ".PDF" and the permissions of any new file, 0666 less the umask.
        dialogs.answers = {MsgResult::Yes, MsgResult::No};
        dialogs.inputs = {path, dir.filePath(QStringLiteral("Tabelle"))};
        Load(TimesTable());
        const mode_t mask = ::umask(027);
        PrintTable();
        ::umask(mask);
        QCOMPARE(dialogs.calls[2].text, "Die Datei " + path + " gibt es schon.\rSoll sie ersetzt werden?\r");
        QCOMPARE(dialogs.calls[2].style, MsgStyle::YesNoQuestion);
        QCOMPARE(dialogs.calls[3].defaultText, path);
        QVERIFY(old.open(QIODevice::ReadOnly) && old.readAll() == "old table");
        old.close();
        struct stat info {};
        QVERIFY(::stat(QFile::encodeName(dir.filePath(QStringLiteral("Tabelle.PDF"))).constData(), &info) == 0);
        QCOMPARE(int(info.st_mode & 0777), 0640);

        dialogs.answers = {MsgResult::Yes, MsgResult::Yes};
        dialogs.inputs = {path};
        PrintTable();

        QVERIFY(old.open(QIODevice::ReadOnly));
        QVERIFY(old.read(5) == "%PDF-");
        QCOMPARE(dialogs.calls.back().text, path + QStringLiteral(" wurde gespeichert.\r"));
    }

    // The PDF read back: one A4 page with the heads and values where the page layout puts them.
    void pdfPageHasTextsInPlace()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("KOVTAB.PDF"));
        ScriptedDialogs& dialogs = FreshProgram();
        RecordingPrinters& printers = InstallRecordingPrinters();
        printers.hasPrinter = false;
        dialogs.answers.push_back(MsgResult::Yes);
        dialogs.inputs.push_back(path);
        Table table = PlusTable();
        table[2][8] = 7; // a one-digit value in a three-digit column keeps its column's place
        Load(table);

        PrintTable();

        QList<QSizeF> pages;
        QList<Word> words;
        QVERIFY(ReadPdf(path, pages, words));
        QCOMPARE(pages.size(), 1);
        QVERIFY(qAbs(pages[0].width() - 595.3) < 1 && qAbs(pages[0].height() - 841.9) < 1);

        // Twips on the page, from the printable area a quarter inch inside the paper's edge.
        const auto points = [](int twips) { return (twips + Printing::kPdfMarginTwips) / 20.0; };
        std::map<QString, int> headsSeen;
        int valuesSeen = 0;
        for (const Word& w : words) {
            const int row = qRound((w.yMin - points(800)) / 25.0); // 0 for heads, 1..9 for lines
            QVERIFY2(qAbs(w.yMin - points(800 + 500 * row)) < 3, qPrintable(w.text));
            if (row == 0) {
                const int k = w.text.at(0).unicode() - 'a' + 1;
                QVERIFY2(w.text.size() == 1 && k >= 1 && k <= 7, qPrintable(w.text));
                QVERIFY2(qAbs(w.xMin - points(300 + 1000 * k)) < 2,
                         qPrintable(w.text));
                ++headsSeen[w.text];
                continue;
            }
            QVERIFY(row >= 1 && row <= 9);
            // The digits follow one blank's width (about 6 points at 20 points) after the value's place.
            int k = 7;
            while (k > 1 && w.xMin < points(kValueX[k - 1]))
                --k;
            const double inset = w.xMin - points(kValueX[k - 1]);
            QVERIFY2(inset > 4 && inset < 10, qPrintable(QStringLiteral("%1 at %2").arg(w.text).arg(w.xMin)));
            QCOMPARE(w.text, CellCaption(ColumnAt(k)[row]));
            QVERIFY(w.xMax < points(1000 * k + 1000));
            ++valuesSeen;
        }
        QCOMPARE(int(headsSeen.size()), 7);
        QCOMPARE(valuesSeen, 63);
    }

    void printingChangesNothingElse()
    {
        ScriptedDialogs& dialogs = FreshProgram();
        RecordingPrinters& printers = InstallRecordingPrinters();
        Form1& main = Instance<Form1>();
        const QString state = SharedState();
        const QString drawn = DisplayList(main.Drawing());
        QVERIFY(!drawn.isEmpty());

        dialogs.answers.push_back(MsgResult::Yes);
        main.Bild3_Click();
        QCOMPARE(printers.pages.size(), std::size_t(1));
        printers.jobsFail = true;
        dialogs.answers.push_back(MsgResult::Yes);
        main.Bild3_Click();
        QTemporaryDir dir;
        printers.hasPrinter = false;
        dialogs.answers.push_back(MsgResult::Yes);
        dialogs.answers.push_back(MsgResult::Yes);
        dialogs.inputs.push_back(dir.filePath(QStringLiteral("KOVTAB.PDF")));
        main.Bild3_Click();
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("KOVTAB.PDF"))));

        QCOMPARE(SharedState(), state);
        QCOMPARE(DisplayList(main.Drawing()), drawn);
    }
};

QTEST_MAIN(PrintTest)
#include "test_print.moc"
