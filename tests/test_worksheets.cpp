// Worksheets read back from the PDF (pdftotext -bbox) and from the rendered
// page (pdftoppm): heads, name line, sheet numbers, every column's values
// following the operation's rules and right-aligned, the task headings with
// nine empty boxes each, answer keys equal to the pairs' results, white
// margins; copies of a table; an existing file kept; the window's choices,
// its print path and its Enter key; and the real program without a display:
// the options, their bad values, the record's pairs, file modes, a full disk,
// signals in the middle of a stack, a device node, a bare name.

#include "PrinterRecorder.h"
#include "TestSupport.h"
#include "WorkingDirectory.h"

#include "app/MODUL1.h"
#include "history/HistoryStore.h"
#include "print/WorksheetDialog.h"
#include "print/Worksheets.h"
#include "rows/RowFileIO.h"

#include <QImage>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

#include <csignal>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Word {
    QRectF box; // points
    QString text;
};

// One page as read back: its words, and the numbers under each column head
// ("a".."g") and task heading ("a+b", "c−e", ...), top to bottom.
struct Page {
    std::vector<Word> words;
    QString text;
    std::map<QString, std::vector<long long>> columns;
    std::map<QString, std::set<long>> rightEdges; // rounded right edges of the numbers, per column
    std::map<QString, QRectF> heads;
};

const QRegularExpression kHeading(QStringLiteral("^[a-g][+−·][a-g]$"));

Page Analyse(std::vector<Word> words)
{
    Page page;
    page.words = words;
    for (const Word& w : words)
        page.text += w.text + QLatin1Char(' ');
    double headY = 1e9;
    for (const Word& w : words)
        if (w.text == QStringLiteral("a"))
            headY = w.box.top();
    for (const Word& w : words)
        if (std::abs(w.box.top() - headY) < 3 &&
            ((w.text.size() == 1 && w.text[0] >= QLatin1Char('a') && w.text[0] <= QLatin1Char('g')) ||
             kHeading.match(w.text).hasMatch()))
            page.heads[w.text] = w.box;
    double footY = 1e9;
    for (const Word& w : words)
        if (w.text == QStringLiteral("Blatt") && w.box.top() > headY)
            footY = w.box.top();
    static const QRegularExpression number(QStringLiteral("^\\d+$"));
    std::sort(words.begin(), words.end(), [](const Word& x, const Word& y) { return x.box.top() < y.box.top(); });
    for (const Word& w : words) {
        if (!number.match(w.text).hasMatch() || w.box.top() <= headY + 3 || w.box.top() >= footY - 3)
            continue;
        QString nearest;
        double best = 1e9;
        for (const auto& [name, box] : page.heads)
            if (const double d = std::abs(box.center().x() - w.box.center().x()); d < best) {
                best = d;
                nearest = name;
            }
        page.columns[nearest].push_back(w.text.toLongLong());
        page.rightEdges[nearest].insert(std::lround(w.box.right()));
    }
    return page;
}

bool ReadPages(const QString& path, std::vector<Page>& pages)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return false;
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression pageRe(QStringLiteral("<page [^>]*>(.*?)</page>"),
                                           QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression wordRe(QStringLiteral(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    for (auto pm = pageRe.globalMatch(html); pm.hasNext();) {
        std::vector<Word> words;
        for (auto wm = wordRe.globalMatch(pm.next().captured(1)); wm.hasNext();) {
            const auto w = wm.next();
            words.push_back({QRectF(QPointF(w.captured(1).toDouble(), w.captured(2).toDouble()),
                                    QPointF(w.captured(3).toDouble(), w.captured(4).toDouble())),
                             w.captured(5)});
        }
        pages.push_back(Analyse(words));
    }
    return true;
}

// Page `page` rendered in grey at 144 dots per inch (2 dots a point).
QImage Render(const QString& path, int page)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("p"));
    QProcess::execute(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("144"), QStringLiteral("-gray"),
                                                   QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                                   QString::number(page), QStringLiteral("-singlefile"), path, out});
    return QImage(out + QStringLiteral(".pgm"));
}

// The lengths of the dark runs' gaps down a vertical line: each box is a top
// edge, white, a bottom edge. Returns the boxes' heights in points.
std::vector<double> BoxesDown(const QImage& image, double xPoints, double fromPoints, double toPoints)
{
    std::vector<int> edges; // y of each dark run's first dot
    bool dark = false;
    const int x = static_cast<int>(xPoints * 2);
    for (int y = static_cast<int>(fromPoints * 2); y < static_cast<int>(toPoints * 2) && y < image.height(); ++y) {
        const bool now = qGray(image.pixel(x, y)) < 160;
        if (now && !dark)
            edges.push_back(y);
        dark = now;
    }
    std::vector<double> heights;
    for (std::size_t i = 0; i + 1 < edges.size(); i += 2)
        heights.push_back((edges[i + 1] - edges[i]) / 2.0);
    return heights;
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

const QString kColumns = QStringLiteral("abcdefg");

// The result of a heading's pair on line i of a page's table, as a pupil works it out.
long long Expected(const Page& page, const QString& heading, std::size_t i)
{
    const long long x = page.columns.at(heading.left(1))[i];
    const long long y = page.columns.at(heading.right(1))[i];
    if (heading[1] == QChar(0x2212))
        return x > y ? x - y : y - x;
    return heading[1] == QLatin1Char('+') ? x + y : x * y;
}

QStringList Headings(const Page& page)
{
    QStringList out;
    for (const auto& [name, box] : page.heads)
        if (name.size() == 3)
            out << name;
    return out;
}

bool HaveTools()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty();
}

worksheets::Job PdfJob(int pages, int operation, const QString& output)
{
    worksheets::Job job;
    job.pages = pages;
    job.operation = operation;
    job.output = output;
    job.seed = 12345.0;
    return job;
}

// The real program with no display and no platform chosen, as from a cron job or a terminal over ssh.
struct Program {
    QProcessEnvironment env = [] {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            e.remove(QString::fromLatin1(name));
        return e;
    }();
    QString err;

    // Runs it through the shell after `shell` ("umask 027", "ulimit -f 8"); the exit code, -1 when it crashed.
    int Run(const QStringList& args, const QString& shell = QStringLiteral(":"))
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("/bin/sh"), QStringList{QStringLiteral("-c"), shell + QStringLiteral("; exec \"$@\""),
                                                       QStringLiteral("sh"),
                                                       QStringLiteral(RECHENKOV_BUILD_DIR "/rechenkov")} + args);
        if (!p.waitForFinished(60000))
            return -1;
        err = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
};

// Whether the process has a file open in `folder` (the unnamed file of a PDF being written).
bool WritingInto(qint64 pid, const QString& folder)
{
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::Files | QDir::System))
        if (fd.symLinkTarget().startsWith(folder + QLatin1Char('/')))
            return true;
    return false;
}

} // namespace

class WorksheetsTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        FreshProgram();
        if (!HaveTools())
            QSKIP("pdftotext and pdftoppm (poppler-utils) are not installed");
    }

    void sheetsAndKeysReadBack_data()
    {
        QTest::addColumn<int>("operation");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("sign");
        QTest::newRow("plus") << 1 << "Arbeitsblatt Plus" << "+";
        QTest::newRow("minus") << 2 << "Arbeitsblatt Minus" << "−";
        QTest::newRow("times") << 3 << "Arbeitsblatt Mal" << "·";
    }

    // Each sheet: head, name line, number, 63 values under the rules, three
    // distinct pairs with nothing in their boxes; each key: the same table
    // with every box holding its pair's result.
    void sheetsAndKeysReadBack()
    {
        QFETCH(int, operation);
        QFETCH(QString, title);
        QFETCH(QString, sign);
        ScopedWorkingDirectory folder;
        MODUL1::a[1] = 42;
        const auto before = MODUL1::a;
        worksheets::Job job = PdfJob(4, operation, QStringLiteral("blaetter.pdf"));
        job.key = true;

        QCOMPARE(worksheets::Run(job, worksheets::MakeSheets(job)).outcome, worksheets::Outcome::Done);

        std::vector<Page> pages;
        QVERIFY(ReadPages(QStringLiteral("blaetter.pdf"), pages));
        QCOMPARE(pages.size(), std::size_t(8));
        for (std::size_t n = 0; n < 4; ++n) {
            Page& sheet = pages[n];
            Page& key = pages[n + 4];
            const QString number = QStringLiteral("Blatt %1 von 4").arg(n + 1);
            QVERIFY2(sheet.text.startsWith(title + QStringLiteral(" Name: ")), qPrintable(sheet.text));
            QVERIFY(sheet.text.contains(QStringLiteral(" Datum: ")));
            QVERIFY2(sheet.text.contains(number), qPrintable(sheet.text));
            QVERIFY2(key.text.startsWith(QStringLiteral("Lösungen zu Blatt %1 ").arg(n + 1)), qPrintable(key.text));
            // Right-aligned: every number ends as far right of its column's head as any other.
            std::set<long> ends;
            for (int k = 1; k <= 7; ++k) {
                const QString head = kColumns.mid(k - 1, 1);
                const auto& column = sheet.columns[head];
                QCOMPARE(column.size(), std::size_t(9));
                QCOMPARE(std::set<long long>(column.begin(), column.end()), RuleValues(k, operation));
                QCOMPARE(key.columns[head], column);
                for (long right : sheet.rightEdges[head])
                    ends.insert(right - std::lround(sheet.heads[head].center().x()));
            }
            QVERIFY2(*ends.rbegin() - *ends.begin() <= 1, qPrintable(QString::number(*ends.rbegin() - *ends.begin())));
            const QStringList headings = Headings(sheet);
            QCOMPARE(headings.size(), 3);
            QCOMPARE(Headings(key), headings);
            for (const QString& h : headings) {
                QCOMPARE(h.mid(1, 1), sign);
                QVERIFY(sheet.columns[h].empty());
                QCOMPARE(key.columns[h].size(), std::size_t(9));
                for (std::size_t i = 0; i < 9; ++i)
                    QCOMPARE(key.columns.at(h)[i], Expected(sheet, h, i));
            }
            if (n > 0) // one seed for the stack, so the sheets differ
                QVERIFY(sheet.columns != pages[n - 1].columns);
        }
        QVERIFY(MODUL1::a == before); // the shared table is not touched
        QCOMPARE(QDir::current().entryList(QDir::Files | QDir::Hidden), QStringList{"blaetter.pdf"});

        // On paper: nine separate boxes at least 8 mm high under each heading, and 12 mm of white all round.
        const QImage image = Render(QStringLiteral("blaetter.pdf"), 1);
        QVERIFY(!image.isNull());
        for (const QString& h : Headings(pages[0])) {
            const QRectF head = pages[0].heads.at(h);
            const auto boxes = BoxesDown(image, head.center().x(), head.bottom() + 2, 842 - 60);
            QCOMPARE(boxes.size(), std::size_t(9));
            for (double height : boxes)
                QVERIFY2(height >= 8 / 25.4 * 72, qPrintable(QString::number(height)));
        }
        const int margin = static_cast<int>(12 / 25.4 * 144);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (x < margin || y < margin || x >= image.width() - margin || y >= image.height() - margin)
                    QVERIFY2(qGray(image.pixel(x, y)) > 200, qPrintable(QStringLiteral("ink at %1,%2").arg(x).arg(y)));
    }

    void copiesOfATable()
    {
        ScopedWorkingDirectory folder;
        QVERIFY(CopyRowFixture(QStringLiteral("good.LST")));
        const rows::ReadResult read = rows::LoadRowFile(QStringLiteral("good.LST"));
        QVERIFY(read.ok);
        worksheets::Job job = PdfJob(3, 1, QStringLiteral("t.pdf"));
        job.table = read.cells;
        job.tasks = *worksheets::ParseTasks(QStringLiteral("a+b,C - E,f*b"));

        QCOMPARE(worksheets::Run(job, worksheets::MakeSheets(job)).outcome, worksheets::Outcome::Done);

        std::vector<Page> pages;
        QVERIFY(ReadPages(QStringLiteral("t.pdf"), pages));
        QCOMPARE(pages.size(), std::size_t(3));
        for (const Page& page : pages) {
            QVERIFY2(page.text.startsWith(QStringLiteral("Arbeitsblatt Name:")), qPrintable(page.text));
            QCOMPARE(Headings(page), (QStringList{"a+b", "b·f", "c−e"}));
            for (int k = 1; k <= 7; ++k)
                for (int i = 1; i <= 9; ++i)
                    QCOMPARE(page.columns.at(kColumns.mid(k - 1, 1)).at(static_cast<std::size_t>(i - 1)),
                             10LL * k + i);
        }
        QVERIFY(!worksheets::ParseTasks(QStringLiteral("a+b,b+a")));   // a pair twice
        QVERIFY(!worksheets::ParseTasks(QStringLiteral("a+h")));       // no column h
        QVERIFY(!worksheets::ParseTasks(QStringLiteral("a+b,a+c,a+d,a+e,a+f,a+g,b+c")));
    }

    void existingFileIsKeptUnlessReplaced()
    {
        ScopedWorkingDirectory folder;
        QFile old(QStringLiteral("a.pdf"));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("alt") == 3);
        old.close();
        worksheets::Job job = PdfJob(1, 1, QStringLiteral("a.pdf"));
        const auto sheets = worksheets::MakeSheets(job);

        QCOMPARE(worksheets::Run(job, sheets).outcome, worksheets::Outcome::FileExists);
        QCOMPARE(FileBytes(QStringLiteral("a.pdf")), QByteArray("alt"));
        job.output = QStringLiteral("fehlt/b.pdf");
        const worksheets::Result missing = worksheets::Run(job, sheets);
        QCOMPARE(missing.outcome, worksheets::Outcome::CannotWrite);
        QVERIFY2(missing.problem.startsWith(QStringLiteral("Den Ordner „")) &&
                     missing.problem.endsWith(QStringLiteral("/fehlt“ gibt es nicht.")),
                 qPrintable(missing.problem));
        job.output = QStringLiteral("a.pdf");
        job.replace = true;
        QCOMPARE(worksheets::Run(job, sheets).outcome, worksheets::Outcome::Done);

        // A printer that cannot take a second page is a failed print, not a cancelled one.
        RecordingPrinters& printers = InstallRecordingPrinters();
        printers.printerNames << QStringLiteral("Flur");
        job.output.clear();
        job.pages = 2;
        job.printer = QStringLiteral("Flur");
        const worksheets::Result failed = worksheets::Run(job, worksheets::MakeSheets(job));
        QCOMPARE(failed.outcome, worksheets::Outcome::PrintFailed);
        QCOMPARE(failed.problem, QStringLiteral("Der Druck ist fehlgeschlagen."));
        QCOMPARE(printers.pages.size(), std::size_t(1));
        job.printer = QStringLiteral("Keller");
        QCOMPARE(worksheets::Run(job, sheets).outcome, worksheets::Outcome::UnknownPrinter);
        job.printer.clear();
        printers.hasPrinter = false;
        QCOMPARE(worksheets::Run(job, sheets).outcome, worksheets::Outcome::NoPrinter);
        Printing::SetPrinterFactory(nullptr);
        QVERIFY(FileBytes(QStringLiteral("a.pdf")).startsWith("%PDF-"));
        QCOMPARE(QDir::current().entryList(QDir::Files | QDir::Hidden), QStringList{"a.pdf"});
    }

    // The window's choices reach the pages; a broken table or pairs are
    // reported and write nothing; Enter prints nothing; the print dialog's
    // page range is kept.
    void windowSavesItsChoices()
    {
        ScriptedDialogs& dialogs = FreshProgram();
        ScopedWorkingDirectory folder;
        QVERIFY(CopyRowFixture(QStringLiteral("letters.LST")));
        WorksheetDialog window(3);
        window.findChild<QSpinBox*>(QStringLiteral("pages"))->setValue(2);
        window.findChild<QLineEdit*>(QStringLiteral("pairs"))->setText(QStringLiteral("a*b, c*g"));
        window.findChild<QCheckBox*>(QStringLiteral("key"))->setChecked(true);

        QVERIFY(window.SaveTo(QStringLiteral("mal.pdf")));
        std::vector<Page> pages;
        QVERIFY(ReadPages(QStringLiteral("mal.pdf"), pages));
        QCOMPARE(pages.size(), std::size_t(4));
        QCOMPARE(Headings(pages[1]), (QStringList{"a·b", "c·g"}));
        QCOMPARE(pages[3].columns["c·g"].size(), std::size_t(9));
        QCOMPARE(std::set<long long>(pages[1].columns["d"].begin(), pages[1].columns["d"].end()), RuleValues(4, 3));
        QCOMPARE(dialogs.calls.back().text,
                 QStringLiteral("2 Arbeitsblätter sind mit Lösungsblättern in „mal.pdf“ gespeichert.\r"));

        // What the print dialog hands over: pages 2 to 3 of the four.
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QDir::current().filePath(QStringLiteral("gedruckt.pdf")));
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(2, 3);
        QVERIFY(window.PrintTo(printer));
        pages.clear();
        QVERIFY(ReadPages(QStringLiteral("gedruckt.pdf"), pages));
        QCOMPARE(pages.size(), std::size_t(2));
        QVERIFY(pages[0].text.contains(QStringLiteral("Blatt 2 von 2")));
        QVERIFY(pages[1].text.startsWith(QStringLiteral("Lösungen zu Blatt 1")));

        // "Klasse 3b" becomes "Klasse 3b.pdf", replaced only when the user agrees.
        QVERIFY(window.SaveTo(QStringLiteral("Klasse 3b")));
        QVERIFY(FileBytes(QStringLiteral("Klasse 3b.pdf")).startsWith("%PDF-"));
        QVERIFY(!window.SaveTo(QStringLiteral("Klasse 3b")));
        QCOMPARE(dialogs.calls.back().style, MsgStyle::YesNoQuestion);
        QVERIFY(dialogs.calls.back().text.startsWith(QStringLiteral("Die Datei „Klasse 3b.pdf“ gibt es schon.")));

        window.findChild<QLineEdit*>(QStringLiteral("pairs"))->setText(QStringLiteral("a*b, a*b"));
        QVERIFY(!window.SaveTo(QStringLiteral("doppelt.pdf")));
        QVERIFY(dialogs.calls.back().text.startsWith(QStringLiteral("„a*b, a*b“ sind keine Reihen")));
        window.findChild<QLineEdit*>(QStringLiteral("pairs"))->clear();
        window.findChild<QLineEdit*>(QStringLiteral("tableFile"))->setText(QStringLiteral("letters.LST"));
        QVERIFY(!window.findChild<QComboBox*>(QStringLiteral("operation"))->isEnabled());
        QVERIFY(!window.SaveTo(QStringLiteral("kaputt.pdf")));
        QVERIFY(dialogs.calls.back().text.contains(QStringLiteral("„letters.LST“")));
        QVERIFY(!QFile::exists(QStringLiteral("kaputt.pdf")));

        // Enter in the page count neither prints nor closes the window.
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const std::size_t calls = dialogs.calls.size();
        auto* count = window.findChild<QSpinBox*>(QStringLiteral("pages"));
        count->setFocus();
        // A print dialog or preview that Enter opened would wait for a user: close it, and fail.
        QString opened;
        QTimer::singleShot(500, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                opened = modal->windowTitle();
                modal->close();
            }
        });
        QTest::keyClick(count, Qt::Key_Return);
        QTest::qWait(600);
        QVERIFY2(opened.isEmpty(), qPrintable(opened));
        QVERIFY(window.isVisible());
        QCOMPARE(dialogs.calls.size(), calls);
        for (QPushButton* b : window.findChildren<QPushButton*>())
            QVERIFY2(!b->isDefault() && !b->autoDefault(), qPrintable(b->text()));
    }

    void programWritesWorksheetsWithoutDisplay()
    {
        ScopedWorkingDirectory folder;
        QVERIFY(CopyRowFixture(QStringLiteral("good.LST")));
        Program program;

        QCOMPARE(program.Run({"--arbeitsblaetter", "25", "--rechenart", "minus", "--loesungen", "--ausgabe",
                              "klasse.pdf"}),
                 0);
        std::vector<Page> pages;
        QVERIFY(ReadPages(QStringLiteral("klasse.pdf"), pages));
        QCOMPARE(pages.size(), std::size_t(50));
        QVERIFY(pages[24].text.contains(QStringLiteral("Blatt 25 von 25")));
        QVERIFY(pages[49].text.startsWith(QStringLiteral("Lösungen zu Blatt 25")));

        // A bare name gets ".pdf"; named pairs of one operation set it for the tables too.
        QCOMPARE(program.Run({"--arbeitsblaetter", "1", "--reihen", "b*f,a*c", "--ausgabe", "Klasse 3b"}), 0);
        pages.clear();
        QVERIFY(ReadPages(QStringLiteral("Klasse 3b.pdf"), pages));
        QVERIFY(pages[0].text.startsWith(QStringLiteral("Arbeitsblatt Mal")));
        QCOMPARE(Headings(pages[0]), (QStringList{"a·c", "b·f"}));

        QCOMPARE(program.Run({"--arbeitsblaetter", "1", "--ausgabe", "klasse.pdf"}), 1);
        QVERIFY2(program.err.contains(QStringLiteral("--ersetzen")), qPrintable(program.err));
        QCOMPARE(program.Run({"--arbeitsblaetter", "2", "--tabelle", "fehlt.LST", "--ausgabe", "x.pdf"}), 1);
        QVERIFY2(program.err.contains(QStringLiteral("fehlt.LST")), qPrintable(program.err));
        QCOMPARE(program.Run({"--arbeitsblaetter", "1", "--ausgabe", "fehlt/x.pdf"}), 1);
        QVERIFY2(program.err.contains(QStringLiteral("/fehlt“ gibt es nicht.")), qPrintable(program.err));
        QCOMPARE(program.Run({"--arbeitsblaetter", "1", "--drucker", "Kein Drucker da"}), 1);
        QVERIFY2(program.err.contains(QStringLiteral("Einen Drucker „Kein Drucker da“ gibt es nicht.")),
                 qPrintable(program.err));
        for (const QStringList& bad : {QStringList{"--arbeitsblaetter", "zehn"},
                                       QStringList{"--arbeitsblaetter", "2", "--reihen", "a+a"},
                                       QStringList{"--arbeitsblaetter", "2", "--reihen", "a+b,a+c,a+d,a+e,a+f,a+g,b+c"},
                                       QStringList{"--arbeitsblaetter", "2", "--reihen", "a+b", "--aus-verlauf", "Lena"},
                                       QStringList{"--arbeitsblaetter", "2", "--aus-verlauf", ""},
                                       QStringList{"--arbeitsblaetter", "2", "--drucker", "x", "--ausgabe", "y.pdf"},
                                       QStringList{"--loesungen"}}) {
            QCOMPARE(program.Run(bad), 2);
            QVERIFY2(program.err.contains(QStringLiteral("Aufruf: rechenkov")), qPrintable(program.err));
        }
        QCOMPARE(program.Run({"--arbeitsblaetter", "2", "--tabelle", "good.LST", "--ausgabe", "t.pdf"}), 0);
        QVERIFY(!QFile::exists(QStringLiteral("x.pdf")));
        QVERIFY(!QFile::exists(QStringLiteral("y.pdf")));
    }

    // The child's weakest pairs of the last 30 days from the practice record.
    void programTakesPairsFromTheRecord()
    {
        ScopedWorkingDirectory folder;
        Program program;
        program.env.insert(QStringLiteral("XDG_DATA_HOME"), folder.Path() + QStringLiteral("/data"));
        program.env.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.Path() + QStringLiteral("/config"));
        QCOMPARE(program.Run({"--arbeitsblaetter", "1", "--aus-verlauf", "Lena", "--ausgabe", "l.pdf"}), 1);
        QVERIFY2(program.err.contains(QStringLiteral("keinen Lernverlauf")), qPrintable(program.err));

        history::HistoryStore store(folder.Path() + QStringLiteral("/data/Rechenkov/Rechenkov/verlauf.sqlite"));
        QVERIFY(store.Open(true));
        const QDateTime now = QDateTime::currentDateTime();
        // Lena misses c-e most, then a-g; a-b always right; an old mistake in b-d no longer counts.
        const auto answer = [&](const QDateTime& when, const QString& row, bool right) {
            return store.RecordAnswer({when, "Lena", 2, row, 1, "5", right ? "5" : "4", right, 1000});
        };
        for (int i = 0; i < 6; ++i) {
            QVERIFY(answer(now, "c-e", i > 3));
            QVERIFY(answer(now, "a-g", i >= 2));
            QVERIFY(answer(now, "a-b", true));
            QVERIFY(answer(now.addDays(-40), "b-d", false));
            QVERIFY(store.RecordAnswer({now, "Tom", 1, "a+c", 1, "5", "4", false, 1000}));
        }
        store.Close();

        QCOMPARE(program.Run({"--arbeitsblaetter", "2", "--aus-verlauf", "Lena", "--ausgabe", "l.pdf"}), 0);
        std::vector<Page> pages;
        QVERIFY(ReadPages(QStringLiteral("l.pdf"), pages));
        QCOMPARE(pages.size(), std::size_t(2));
        for (const Page& page : pages) {
            QVERIFY(page.text.startsWith(QStringLiteral("Arbeitsblatt Minus")));
            QCOMPARE(Headings(page), (QStringList{"a−g", "c−e"}));
        }
        QCOMPARE(program.Run({"--arbeitsblaetter", "1", "--aus-verlauf", "Mia", "--ausgabe", "m.pdf"}), 1);
        QVERIFY2(program.err.contains(QStringLiteral("„Mia“")), qPrintable(program.err));
        QVERIFY(!QFile::exists(QStringLiteral("m.pdf")));
    }

    // Writing the file: modes, a full disk, a device node, signals half-way.
    void programWritesTheFileSoundly()
    {
        ScopedWorkingDirectory folder;
        Program program;
        QCOMPARE(program.Run({"--arbeitsblaetter", "1", "--ausgabe", "neu.pdf"}, "umask 027"), 0);
        struct stat st {};
        QCOMPARE(::stat("neu.pdf", &st), 0);
        QCOMPARE(st.st_mode & 0777, 0640u); // a new file: 0666 less the umask
        QCOMPARE(::chmod("neu.pdf", 0644), 0);
        QCOMPARE(program.Run({"--arbeitsblaetter", "1", "--ausgabe", "neu.pdf", "--ersetzen"}, "umask 077"), 0);
        QCOMPARE(::stat("neu.pdf", &st), 0);
        QCOMPARE(st.st_mode & 0777, 0644u); // a replaced file keeps its mode

        QCOMPARE(program.Run({"--arbeitsblaetter", "100", "--loesungen", "--ausgabe", "voll.pdf"}, "ulimit -f 16"), 1);
        QVERIFY2(program.err.contains(QStringLiteral("„voll.pdf“ konnte nicht geschrieben werden")),
                 qPrintable(program.err));
        QCOMPARE(QDir::current().entryList(QDir::Files | QDir::Hidden), QStringList{"neu.pdf"});

        if (::geteuid() == 0) {
            QCOMPARE(program.Run({"--arbeitsblaetter", "1", "--ausgabe", "/dev/null", "--ersetzen"}), 1);
            QVERIFY2(program.err.contains(QStringLiteral("keine gewöhnliche Datei")), qPrintable(program.err));
            QCOMPARE(::stat("/dev/null", &st), 0);
            QVERIFY(S_ISCHR(st.st_mode));
            QVERIFY(!QFile::exists(QStringLiteral("/dev/null.pdf")));
        }

        // A signal while the sheets are written leaves nothing in the folder.
        QDir sub(folder.Path());
        QVERIFY(sub.mkdir(QStringLiteral("ziel")));
        const QString target = sub.filePath(QStringLiteral("ziel"));
        for (const int signal : {SIGTERM, SIGINT, SIGKILL}) {
            bool caught = false;
            for (int attempt = 0; attempt < 10 && !caught; ++attempt) {
                QProcess p;
                p.setProcessEnvironment(program.env);
                p.start(QStringLiteral(RECHENKOV_BUILD_DIR "/rechenkov"),
                        {"--arbeitsblaetter", "100", "--loesungen", "--ausgabe", target + "/klasse.pdf"});
                QVERIFY(p.waitForStarted());
                while (p.state() == QProcess::Running && !WritingInto(p.processId(), target))
                    QThread::usleep(200);
                if (p.state() == QProcess::Running) {
                    ::kill(static_cast<pid_t>(p.processId()), signal);
                    QVERIFY(p.waitForFinished(30000));
                    caught = p.exitStatus() == QProcess::CrashExit || p.exitCode() != 0;
                } else {
                    p.waitForFinished();
                }
                if (caught)
                    QCOMPARE(QDir(target).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                             QStringList());
                QFile::remove(target + "/klasse.pdf");
            }
            QVERIFY2(caught, qPrintable(QStringLiteral("signal %1 never arrived while writing").arg(signal)));
        }
    }
};

QTEST_MAIN(WorksheetsTest)
#include "test_worksheets.moc"
