// Worksheets read back from the PDF (pdftotext -bbox) and the rendered page
// (pdftoppm): heads, numbers, values by the column rules and right-aligned,
// task headings over nine empty boxes, keys equal to the pairs' results,
// white margins; the window; and the real program without a display.

#include "PrinterRecorder.h"
#include "TestSupport.h"
#include "WorkingDirectory.h"

#include "table/MODUL1.h"
#include "record/HistoryStore.h"
#include "print/WorksheetDialog.h"
#include "print/Worksheets.h"
#include "table/RowFileIO.h"

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

// One page as read back: its text, the boxes of the column heads ("a".."g")
// and task headings ("c−e"), and the numbers under each with their right edges.
struct Page {
    QString text;
    std::map<QString, QRectF> heads;
    std::map<QString, std::vector<long long>> columns;
    std::map<QString, std::vector<double>> ends;
};

bool ReadPages(const QString& path, std::vector<Page>& pages)
{
    QProcess p;
    p.start("pdftotext", {"-bbox", path, "-"});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return false;
    static const QRegularExpression pageRe("<page [^>]*>(.*?)</page>", QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression wordRe(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>");
    static const QRegularExpression head("^([a-g]|[a-g][+−·][a-g])$"), number("^\\d+$");
    for (auto pm = pageRe.globalMatch(QString::fromUtf8(p.readAllStandardOutput())); pm.hasNext();) {
        Page& page = pages.emplace_back();
        std::vector<std::pair<QRectF, QString>> words;
        double headY = 1e9, footY = 1e9;
        for (auto wm = wordRe.globalMatch(pm.next().captured(1)); wm.hasNext();) {
            const auto w = wm.next();
            words.push_back({QRectF(QPointF(w.captured(1).toDouble(), w.captured(2).toDouble()),
                                    QPointF(w.captured(3).toDouble(), w.captured(4).toDouble())),
                             w.captured(5)});
            page.text += w.captured(5) + ' ';
            if (w.captured(5) == "a")
                headY = words.back().first.top();
            if (w.captured(5) == "Blatt" && words.back().first.top() > headY)
                footY = words.back().first.top();
        }
        for (const auto& [box, text] : words)
            if (std::abs(box.top() - headY) < 3 && head.match(text).hasMatch())
                page.heads[text] = box;
        std::stable_sort(words.begin(), words.end(), [](auto& x, auto& y) { return x.first.top() < y.first.top(); });
        for (const auto& [box, text] : words) {
            if (!number.match(text).hasMatch() || box.top() <= headY + 3 || box.top() >= footY - 3)
                continue;
            const auto nearest = std::min_element(page.heads.begin(), page.heads.end(), [&](auto& x, auto& y) {
                return std::abs(x.second.center().x() - box.center().x()) <
                       std::abs(y.second.center().x() - box.center().x());
            });
            page.columns[nearest->first].push_back(text.toLongLong());
            page.ends[nearest->first].push_back(box.right() - nearest->second.center().x());
        }
    }
    return true;
}

// The heights (points) of the boxes met going down from `top` at `x` on page 1 rendered at 144 dpi.
std::vector<double> BoxesDown(const QImage& image, double x, double top)
{
    std::vector<int> edges;
    for (int y = static_cast<int>(top * 2), dark = 0; y < image.height(); ++y) {
        const int now = qGray(image.pixel(static_cast<int>(x * 2), y)) < 160;
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

QStringList Headings(const Page& page)
{
    QStringList out;
    for (const auto& [name, box] : page.heads)
        if (name.size() == 3)
            out << name;
    return out;
}

worksheets::Job PdfJob(int pages, int operation, const QString& output)
{
    worksheets::Job job;
    job.pages = pages;
    job.operation = *rows::OperationFromNumber(operation);
    job.output = output;
    job.code = "K7M2";
    return job;
}

// The real program through the shell after `shell` ("umask 027"), with no display and no platform chosen.
struct Program {
    QProcessEnvironment env = [] {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            e.remove(name);
        return e;
    }();
    QString err;
    int Run(const QStringList& args, const QString& shell = ":")
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start("/bin/sh", QStringList{"-c", shell + "; exec \"$@\"", "sh", RECHENKOV_BUILD_DIR "/rechenkov"} + args);
        if (!p.waitForFinished(60000))
            return -1;
        err = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
};

} // namespace

class WorksheetsTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        FreshProgram();
        if (QStandardPaths::findExecutable("pdftotext").isEmpty() ||
            QStandardPaths::findExecutable("pdftoppm").isEmpty())
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
        worksheets::Job job = PdfJob(4, operation, "blaetter.pdf");
        job.key = true;
        QCOMPARE(worksheets::Run(job, worksheets::MakeSheets(job)).outcome, worksheets::Outcome::Done);

        std::vector<Page> pages;
        QVERIFY(ReadPages("blaetter.pdf", pages));
        QCOMPARE(pages.size(), std::size_t(8));
        for (std::size_t n = 0; n < 4; ++n) {
            Page& sheet = pages[n];
            Page& key = pages[n + 4];
            QVERIFY2(sheet.text.startsWith(title + " ____ von 27 richtig Name: ") && sheet.text.contains(" Klasse: ") &&
                         sheet.text.contains(" Datum: "),
                     qPrintable(sheet.text));
            const QString foot = QString("Stapel K7M2 · %1 · Blatt %2 von 4").arg(QDate::currentDate().toString("d.M.yyyy"));
            QVERIFY2(sheet.text.contains(foot.arg(n + 1)) && key.text.contains(foot.arg(n + 1)), qPrintable(key.text));
            QCOMPARE(sheet.text.contains("Bei Minus gilt: Große Zahl minus kleine Zahl."), operation == 2);
            QVERIFY2(key.text.startsWith(QString("Lösungen zu Blatt %1 ").arg(n + 1)), qPrintable(key.text));
            std::set<long> ends; // right-aligned: every number ends as far right of its head as any other
            for (int k = 1; k <= 7; ++k) {
                const QString head(QChar('a' + k - 1));
                const auto& column = sheet.columns[head];
                QCOMPARE(column.size(), std::size_t(9));
                QCOMPARE(std::set<long long>(column.begin(), column.end()), RuleValues(k, operation));
                QCOMPARE(key.columns[head], column);
                for (double end : sheet.ends[head])
                    ends.insert(std::lround(end));
            }
            QVERIFY2(*ends.rbegin() - *ends.begin() <= 1, qPrintable(QString::number(*ends.rbegin() - *ends.begin())));
            const QStringList headings = Headings(sheet);
            QCOMPARE(headings.size(), 3);
            QCOMPARE(Headings(key), headings);
            for (const QString& h : headings) {
                QCOMPARE(h.mid(1, 1), sign);
                QVERIFY(sheet.columns[h].empty());
                QCOMPARE(key.columns[h].size(), std::size_t(9));
                for (std::size_t i = 0; i < 9; ++i) {
                    const long long x = sheet.columns[h.left(1)][i], y = sheet.columns[h.right(1)][i];
                    QCOMPARE(key.columns[h][i],
                             sign == "+" ? x + y : sign == "·" ? x * y : std::max(x, y) - std::min(x, y));
                }
            }
            if (n > 0) // one seed for the stack, so the sheets differ
                QVERIFY(sheet.columns != pages[n - 1].columns);
        }
        QVERIFY(MODUL1::a == before); // the shared table is not touched
        QCOMPARE(QDir::current().entryList(QDir::Files | QDir::Hidden), QStringList{"blaetter.pdf"});

        // On paper: nine boxes at least 8 mm high under each heading, and 12 mm of white all round.
        QCOMPARE(QProcess::execute("pdftoppm", {"-r", "144", "-gray", "-l", "1", "-singlefile", "blaetter.pdf", "p"}),
                 0);
        const QImage image("p.pgm");
        for (const QString& h : Headings(pages[0])) {
            const auto boxes = BoxesDown(image, pages[0].heads[h].center().x(), pages[0].heads[h].bottom() + 2);
            QCOMPARE(boxes.size(), std::size_t(9));
            for (double height : boxes)
                QVERIFY2(height >= 8 / 25.4 * 72, qPrintable(QString::number(height)));
        }
        const int margin = static_cast<int>(12 / 25.4 * 144);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (x < margin || y < margin || x >= image.width() - margin || y >= image.height() - margin)
                    QVERIFY2(qGray(image.pixel(x, y)) > 200, qPrintable(QString("ink at %1,%2").arg(x).arg(y)));
    }

    void copiesOfATable()
    {
        ScopedWorkingDirectory folder;
        QVERIFY(CopyRowFixture("good.LST"));
        const rows::ReadResult read = rows::LoadRowFile("good.LST");
        QVERIFY(read.ok);
        worksheets::Job job = PdfJob(3, 1, "t.pdf");
        job.table = read.cells;
        job.tasks = *worksheets::ParseCalcRows("a+b,C - E,f*b");
        QCOMPARE(worksheets::Run(job, worksheets::MakeSheets(job)).outcome, worksheets::Outcome::Done);

        std::vector<Page> pages;
        QVERIFY(ReadPages("t.pdf", pages));
        QCOMPARE(pages.size(), std::size_t(3));
        for (Page& page : pages) {
            QVERIFY2(page.text.startsWith("Arbeitsblatt Plus, Minus und Mal "), qPrintable(page.text));
            QCOMPARE(Headings(page), (QStringList{"a+b", "b·f", "c−e"}));
            for (int k = 1; k <= 7; ++k)
                for (int i = 1; i <= 9; ++i)
                    QCOMPARE(page.columns[QString(QChar('a' + k - 1))].at(static_cast<std::size_t>(i - 1)),
                             10LL * k + i);
        }
        for (const char* bad : {"a+b,b+a", "a+h", "a+b,a+c,a+d,a+e,a+f,a+g,b+c"}) // twice, no column h, seven
            QVERIFY2(!worksheets::ParseCalcRows(bad), bad);
    }

    void existingFileIsKeptUnlessReplaced()
    {
        ScopedWorkingDirectory folder;
        QFile old("a.pdf");
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("alt") == 3);
        old.close();
        worksheets::Job job = PdfJob(1, 1, "a.pdf");
        const auto sheets = worksheets::MakeSheets(job);

        QCOMPARE(worksheets::Run(job, sheets).outcome, worksheets::Outcome::FileExists);
        QCOMPARE(FileBytes("a.pdf"), QByteArray("alt"));
        job.output = "fehlt/b.pdf";
        const worksheets::Result missing = worksheets::Run(job, sheets);
        QCOMPARE(missing.outcome, worksheets::Outcome::CannotWrite);
        QVERIFY2(missing.problem.startsWith("Den Ordner „") && missing.problem.endsWith("/fehlt“ gibt es nicht."),
                 qPrintable(missing.problem));
        job.output = "a.pdf";
        job.replace = true;
        QCOMPARE(worksheets::Run(job, sheets).outcome, worksheets::Outcome::Done);
        QVERIFY(FileBytes("a.pdf").startsWith("%PDF-"));
        QCOMPARE(QDir::current().entryList(QDir::Files | QDir::Hidden), QStringList{"a.pdf"});

        // A printer that cannot take a second page is a failed print, not a cancelled one.
        RecordingPrinters& printers = InstallRecordingPrinters();
        printers.printerNames << "Flur";
        job.output.clear();
        job.pages = 2;
        job.printer = "Flur";
        const worksheets::Result failed = worksheets::Run(job, worksheets::MakeSheets(job));
        QCOMPARE(failed.outcome, worksheets::Outcome::PrintFailed);
        QCOMPARE(failed.problem, QString("Der Druck ist fehlgeschlagen."));
        QCOMPARE(printers.pages.size(), std::size_t(1));
        job.printer = "Keller";
        QCOMPARE(worksheets::Run(job, sheets).outcome, worksheets::Outcome::UnknownPrinter);
        job.printer.clear();
        printers.hasPrinter = false;
        QCOMPARE(worksheets::Run(job, sheets).outcome, worksheets::Outcome::NoPrinter);
        Printing::SetPrinterFactory(nullptr);
    }

    // The window's choices reach the pages; bad choices are reported and
    // write nothing; the print dialog's page range is kept; Enter does nothing.
    void windowSavesItsChoices()
    {
        ScriptedDialogs& dialogs = FreshProgram();
        ScopedWorkingDirectory folder;
        QVERIFY(CopyRowFixture("letters.LST"));
        WorksheetDialog window(rows::Operation::Times);
        window.findChild<QSpinBox*>("pages")->setValue(2);
        window.findChild<QLineEdit*>("pairs")->setText("a*b, c*g");
        window.findChild<QCheckBox*>("key")->setChecked(true);
        window.findChild<QLineEdit*>("stack")->setText("k7m2");

        QVERIFY(window.SaveTo("mal.pdf"));
        std::vector<Page> pages;
        QVERIFY(ReadPages("mal.pdf", pages));
        QCOMPARE(pages.size(), std::size_t(4));
        QCOMPARE(Headings(pages[1]), (QStringList{"a·b", "c·g"}));
        QCOMPARE(pages[3].columns["c·g"].size(), std::size_t(9));
        QCOMPARE(std::set<long long>(pages[1].columns["d"].begin(), pages[1].columns["d"].end()), RuleValues(4, 3));
        QCOMPARE(dialogs.calls.back().text,
                 QString("2 Arbeitsblätter (Stapel K7M2) sind mit Lösungsblättern in „mal.pdf“ gespeichert.\r"));
        const std::vector<Page> saved = pages;

        QPrinter printer(QPrinter::HighResolution); // as the print dialog hands it over: pages 2 to 3 of four
        printer.setOutputFileName(QDir::current().filePath("gedruckt.pdf"));
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(2, 3);
        QVERIFY(window.PrintTo(printer));
        pages.clear();
        QVERIFY(ReadPages("gedruckt.pdf", pages));
        QCOMPARE(pages.size(), std::size_t(2));
        QVERIFY(pages[0].text.contains("Blatt 2 von 2") && pages[1].text.startsWith("Lösungen zu Blatt 1"));
        QVERIFY(pages[0].columns == saved[1].columns && pages[1].columns == saved[2].columns); // one stack
        QVERIFY(dialogs.calls.back().text.endsWith("gedruckt.pdf“ gespeichert.\r"));
        // Other numbers get another code; a code typed to make a stack again stays.
        auto* stack = window.findChild<QLineEdit*>("stack");
        auto* operation = window.findChild<QComboBox*>("operation");
        operation->setCurrentIndex(1);
        QVERIFY(stack->text() != "K7M2");
        stack->clear();
        QTest::keyClicks(stack, "k7m2");
        operation->setCurrentIndex(2);
        QCOMPARE(stack->text(), QString("k7m2"));
        QTest::mouseClick(window.findChild<QPushButton*>("newNumbers"), Qt::LeftButton);
        QVERIFY(stack->text() != "k7m2");

        // Named pairs keep their signs whatever the operation chosen; a times column holds single digits.
        window.findChild<QComboBox*>("operation")->setCurrentIndex(0);
        window.findChild<QLineEdit*>("pairs")->setText("a+b, b*f");
        QVERIFY(!window.findChild<QComboBox*>("operation")->isEnabled());
        QVERIFY(window.SaveTo("gemischt.pdf"));
        pages.clear();
        QVERIFY(ReadPages("gemischt.pdf", pages));
        QVERIFY2(pages[3].text.contains("Arbeitsblatt Plus und Mal"), qPrintable(pages[3].text));
        QVERIFY(*std::max_element(pages[3].columns["b·f"].begin(), pages[3].columns["b·f"].end()) <= 81);

        // "Klasse 3b" becomes "Klasse 3b.pdf", replaced only when the user agrees.
        QVERIFY(window.SaveTo("Klasse 3b"));
        QVERIFY(FileBytes("Klasse 3b.pdf").startsWith("%PDF-"));
        QVERIFY(!window.SaveTo("Klasse 3b"));
        QCOMPARE(dialogs.calls.back().style, MsgStyle::YesNoQuestion);
        QVERIFY(dialogs.calls.back().text.startsWith("Die Datei „Klasse 3b.pdf“ gibt es schon."));

        window.findChild<QLineEdit*>("pairs")->setText("a*b, a*b");
        QVERIFY(!window.SaveTo("doppelt.pdf"));
        QVERIFY(dialogs.calls.back().text.startsWith("„a*b, a*b“ sind keine Reihen"));
        window.findChild<QLineEdit*>("pairs")->clear();
        window.findChild<QLineEdit*>("tableFile")->setText("letters.LST");
        QVERIFY(!window.findChild<QComboBox*>("range")->isEnabled());
        QVERIFY(!window.SaveTo("kaputt.pdf"));
        QVERIFY(dialogs.calls.back().text.contains("„letters.LST“ konnte nicht gelesen werden: sie ist keine"));
        QVERIFY(QDir().mkdir("Ordner.LST"));
        for (const char* table : {"Ordner.LST", "fehlt.LST"}) {
            window.findChild<QLineEdit*>("tableFile")->setText(table);
            QVERIFY(!window.SaveTo("kaputt.pdf"));
            QVERIFY(dialogs.calls.back().text.contains(QString(table) == "fehlt.LST" ? "gibt es nicht" : "ein Ordner"));
        }
        QVERIFY(!QFile::exists("kaputt.pdf") && !QFile::exists("doppelt.pdf"));

        // Enter in the page count: a dialog it opened would wait for a user, so it is closed and reported.
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const std::size_t calls = dialogs.calls.size();
        auto* count = window.findChild<QSpinBox*>("pages");
        count->setFocus();
        QString opened;
        bool looked = false;
        // Half a second gives a dialog the Enter opened time to show.
        QTimer::singleShot(500, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                opened = modal->windowTitle();
                modal->close();
            }
            looked = true;
        });
        QTest::keyClick(count, Qt::Key_Return);
        QTRY_VERIFY(looked);
        QVERIFY2(opened.isEmpty(), qPrintable(opened));
        QVERIFY(window.isVisible());
        QCOMPARE(dialogs.calls.size(), calls);
    }

    void programWritesWorksheetsWithoutDisplay()
    {
        ScopedWorkingDirectory folder;
        QVERIFY(CopyRowFixture("good.LST"));
        Program program;
        QCOMPARE(program.Run({"--arbeitsblaetter", "25", "--rechenart", "minus", "--loesungen", "--ausgabe",
                              "klasse.pdf"}),
                 0);
        std::vector<Page> pages;
        QVERIFY(ReadPages("klasse.pdf", pages));
        QCOMPARE(pages.size(), std::size_t(50));
        QVERIFY(pages[24].text.contains("Blatt 25 von 25") && pages[49].text.startsWith("Lösungen zu Blatt 25"));

        // A bare name gets ".pdf"; named pairs of one operation set it for the tables too.
        QCOMPARE(program.Run({"--arbeitsblaetter", "1", "--reihen", "b*f,a*c", "--ausgabe", "Klasse 3b"}), 0);
        pages.clear();
        QVERIFY(ReadPages("Klasse 3b.pdf", pages));
        QVERIFY(pages[0].text.startsWith("Arbeitsblatt Mal"));
        QCOMPARE(Headings(pages[0]), (QStringList{"a·c", "b·f"}));

        const std::vector<std::pair<QStringList, QString>> failures = {
            {{"--arbeitsblaetter", "1", "--ausgabe", "klasse.pdf"}, "--ersetzen"},
            {{"--arbeitsblaetter", "2", "--tabelle", "fehlt.LST", "--ausgabe", "x.pdf"}, "fehlt.LST"},
            {{"--arbeitsblaetter", "1", "--ausgabe", "fehlt/x.pdf"}, "/fehlt“ gibt es nicht."},
            {{"--arbeitsblaetter", "1", "--drucker", "Kein Drucker da"},
             "Einen Drucker „Kein Drucker da“ gibt es nicht."}};
        for (const auto& [args, message] : failures) {
            QCOMPARE(program.Run(args), 1);
            QVERIFY2(program.err.contains(message), qPrintable(program.err));
        }
        for (const QStringList& bad : {QStringList{"--arbeitsblaetter", "zehn"},
                                       QStringList{"--arbeitsblaetter", "2", "--reihen", "a+a"},
                                       QStringList{"--arbeitsblaetter", "2", "--reihen", "a+b,a+c,a+d,a+e,a+f,a+g,b+c"},
                                       QStringList{"--arbeitsblaetter", "2", "--reihen", "a+b", "--aus-verlauf", "L"},
                                       QStringList{"--arbeitsblaetter", "2", "--aus-verlauf", ""},
                                       QStringList{"--arbeitsblaetter", "2", "--drucker", "x", "--ausgabe", "y.pdf"},
                                       QStringList{"--loesungen"}}) {
            QCOMPARE(program.Run(bad), 2);
            QVERIFY2(program.err.contains("Aufruf: rechenkov"), qPrintable(program.err));
        }
        QCOMPARE(program.Run({"--arbeitsblaetter", "2", "--tabelle", "good.LST", "--ausgabe", "t.pdf"}), 0);
        QVERIFY(!QFile::exists("x.pdf") && !QFile::exists("y.pdf"));
    }

    // A stack made again from its code; plus and minus within a number range,
    // with the minus rule; rows of the times table; mixed signs on one sheet.
    void programMakesSheetsForEveryGrade()
    {
        ScopedWorkingDirectory folder;
        Program program;
        const QStringList plus100 = {"--arbeitsblaetter", "3", "--zahlenraum", "100", "--loesungen", "--ausgabe"};
        QCOMPARE(program.Run(plus100 + QStringList{"a.pdf", "--stapel", "k7m2"}), 0);
        QCOMPARE(program.Run(plus100 + QStringList{"b.pdf", "--stapel", "K7M2"}), 0);
        QCOMPARE(program.Run(plus100 + QStringList{"c.pdf", "--stapel", "K7M3"}), 0);
        std::vector<Page> a, b, c;
        QVERIFY(ReadPages("a.pdf", a) && ReadPages("b.pdf", b) && ReadPages("c.pdf", c));
        QCOMPARE(a.size(), std::size_t(6));
        for (std::size_t n = 0; n < a.size(); ++n) {
            QVERIFY(a[n].columns == b[n].columns && a[n].columns != c[n].columns);
            QVERIFY2(a[n].text.contains("Arbeitsblatt Plus bis 100") && a[n].text.contains("Stapel K7M2 · "),
                     qPrintable(a[n].text));
            for (const auto& [head, numbers] : a[n].columns) // the table's numbers and the sums alike
                for (long long x : numbers)
                    QVERIFY2(x >= 1 && x <= 100, qPrintable(head + ": " + QString::number(x)));
        }

        QCOMPARE(program.Run({"--arbeitsblaetter", "2", "--zahlenraum", "20", "--rechenart", "minus", "--ausgabe",
                              "m.pdf"}),
                 0);
        QCOMPARE(program.Run({"--arbeitsblaetter", "2", "--einmaleins", "3,7", "--loesungen", "--ausgabe", "e.pdf"}), 0);
        QCOMPARE(program.Run({"--arbeitsblaetter", "1", "--reihen", "a+b,c-e,b*f", "--loesungen", "--ausgabe", "x.pdf"}),
                 0);
        std::vector<Page> minus, times, mixed;
        QVERIFY(ReadPages("m.pdf", minus) && ReadPages("e.pdf", times) && ReadPages("x.pdf", mixed));
        for (Page& page : minus) {
            QVERIFY2(page.text.contains("Bei Minus gilt: Große Zahl minus kleine Zahl."), qPrintable(page.text));
            for (const auto& [head, numbers] : page.columns)
                QVERIFY(*std::max_element(numbers.begin(), numbers.end()) <= 20);
        }
        for (std::size_t n = 0; n < 2; ++n) {
            QVERIFY2(times[n].text.startsWith("Arbeitsblatt Einmaleins: 3er- und 7er-Reihe ____ von 27"), qPrintable(times[n].text));
            for (const QString& h : Headings(times[n]))
                for (std::size_t i = 0; i < 9; ++i) {
                    const long long x = times[n].columns[h.left(1)][i], y = times[n].columns[h.right(1)][i];
                    QVERIFY(x <= 10 && y <= 10 && (x == 3 || x == 7 || y == 3 || y == 7));
                    QCOMPARE(times[n + 2].columns[h][i], x * y);
                }
        }
        QVERIFY2(mixed[1].text.contains("Arbeitsblatt Plus, Minus und Mal"), qPrintable(mixed[1].text));
        QCOMPARE(Headings(mixed[1]), (QStringList{"a+b", "b·f", "c−e"}));
        QVERIFY(*std::max_element(mixed[1].columns["b·f"].begin(), mixed[1].columns["b·f"].end()) <= 81);
    }

    // Values of seven digits get smaller type, and their sums wider boxes, or
    // the sheets are refused; an empty cell gets no box and no answer.
    void wideValuesAndEmptyCells()
    {
        ScopedWorkingDirectory folder;
        worksheets::Table table(63);
        for (std::size_t n = 0; n < 63; ++n)
            table[n] = 9999999 - static_cast<long long>(n) * 12345;
        table[2].reset(); // a3
        worksheets::Job job = PdfJob(1, 1, "breit.pdf");
        job.key = true;
        job.table = table;
        const worksheets::Result refused = worksheets::Run(job, worksheets::MakeSheets(job));
        QCOMPARE(refused.outcome, worksheets::Outcome::Illegible);
        QVERIFY2(refused.problem.contains("nicht lesbar") && !QFile::exists("breit.pdf"), qPrintable(refused.problem));

        job.tasks = *worksheets::ParseCalcRows("a+b");
        QCOMPARE(worksheets::Run(job, worksheets::MakeSheets(job)).outcome, worksheets::Outcome::Done);
        std::vector<Page> pages;
        QVERIFY(ReadPages("breit.pdf", pages));
        QVERIFY2(pages[0].text.contains("____ von 8 richtig"), qPrintable(pages[0].text));
        QCOMPARE(pages[1].columns["a+b"].size(), std::size_t(8));
        QCOMPARE(pages[0].columns["b"], (std::vector<long long>{9888894, 9876549, 9864204, 9851859, 9839514, 9827169,
                                                                9814824, 9802479, 9790134}));
        QCOMPARE(pages[1].columns["a+b"].front(), 9999999LL + 9888894);
    }

    // The child's weakest pairs of the last 30 days from the practice record.
    void programTakesPairsFromTheRecord()
    {
        ScopedWorkingDirectory folder;
        Program program;
        program.env.insert("XDG_DATA_HOME", folder.Path() + "/data");
        program.env.insert("XDG_CONFIG_HOME", folder.Path() + "/config");
        QCOMPARE(program.Run({"--arbeitsblaetter", "1", "--aus-verlauf", "Lena", "--ausgabe", "l.pdf"}), 1);
        QVERIFY2(program.err.contains("keinen Lernverlauf"), qPrintable(program.err));
        QCOMPARE(program.Run({"--aufzeichnung", "an"}), 0);
        QCOMPARE(program.Run({"--arbeitsblaetter", "1", "--aus-verlauf", "Lena", "--ausgabe", "l.pdf"}), 1);
        QVERIFY2(program.err.contains("steht noch nichts"), qPrintable(program.err));

        history::HistoryStore store(folder.Path() + "/data/Rechenkov/Rechenkov/verlauf.sqlite");
        QVERIFY(store.Open(true));
        const QDateTime now = QDateTime::currentDateTime();
        // Lena misses c-e most, then a-g; a-b always right; an old mistake in b-d no longer counts.
        const auto answer = [&](const QDateTime& when, const QString& row, bool right) {
            return store.RecordAnswer({when, "Lena", 2, row, 1, "5", right ? "5" : "4", right, 1000});
        };
        for (int i = 0; i < 6; ++i)
            QVERIFY(answer(now, "c-e", i > 3) && answer(now, "a-g", i >= 2) && answer(now, "a-b", true) &&
                    answer(now.addDays(-40), "b-d", false) &&
                    store.RecordAnswer({now, "Tom", 1, "a+c", 1, "5", "4", false, 1000}));
        store.Close();

        QCOMPARE(program.Run({"--arbeitsblaetter", "2", "--aus-verlauf", "Lena", "--ausgabe", "l.pdf"}), 0);
        std::vector<Page> pages;
        QVERIFY(ReadPages("l.pdf", pages));
        QCOMPARE(pages.size(), std::size_t(2));
        for (Page& page : pages) {
            QVERIFY(page.text.startsWith("Arbeitsblatt Minus") && page.text.contains("Name: Lena Klasse:"));
            QCOMPARE(Headings(page), (QStringList{"a−g", "c−e"}));
        }
        QCOMPARE(program.Run({"--arbeitsblaetter", "1", "--aus-verlauf", "Mia", "--ausgabe", "m.pdf"}), 1);
        QVERIFY2(program.err.contains("„Mia“. Bekannt sind: Lena, Tom.") && !QFile::exists("m.pdf"),
                 qPrintable(program.err));
    }

    // Writing the file: modes, a full disk, a device node, signals half-way.
    void programWritesTheFileSoundly()
    {
        ScopedWorkingDirectory folder;
        Program program;
        struct stat st {};
        QCOMPARE(program.Run({"--arbeitsblaetter", "1", "--ausgabe", "neu.pdf"}, "umask 027"), 0);
        QVERIFY(::stat("neu.pdf", &st) == 0 && (st.st_mode & 0777) == 0640); // 0666 less the umask
        QCOMPARE(::chmod("neu.pdf", 0644), 0);
        QCOMPARE(program.Run({"--arbeitsblaetter", "1", "--ausgabe", "neu.pdf", "--ersetzen"}, "umask 077"), 0);
        QVERIFY(::stat("neu.pdf", &st) == 0 && (st.st_mode & 0777) == 0644); // a replaced file keeps its mode

        QCOMPARE(program.Run({"--arbeitsblaetter", "100", "--loesungen", "--ausgabe", "voll.pdf"}, "ulimit -f 16"), 1);
        QVERIFY2(program.err.contains("„voll.pdf“ konnte nicht geschrieben werden"), qPrintable(program.err));
        QCOMPARE(QDir::current().entryList(QDir::Files | QDir::Hidden), QStringList{"neu.pdf"});

        if (::geteuid() == 0) {
            QCOMPARE(program.Run({"--arbeitsblaetter", "1", "--ausgabe", "/dev/null", "--ersetzen"}), 1);
            QVERIFY2(program.err.contains("keine gewöhnliche Datei"), qPrintable(program.err));
            QVERIFY(::stat("/dev/null", &st) == 0 && S_ISCHR(st.st_mode) && !QFile::exists("/dev/null.pdf"));
        }

        // A signal while the unnamed file is open in the target folder leaves nothing there.
        QVERIFY(QDir().mkdir("ziel"));
        const QString target = QDir::current().filePath("ziel");
        const auto writingInto = [&](qint64 pid) {
            for (const QFileInfo& fd : QDir(QString("/proc/%1/fd").arg(pid)).entryInfoList(QDir::Files | QDir::System))
                if (fd.symLinkTarget().startsWith(target + '/'))
                    return true;
            return false;
        };
        for (const int signal : {SIGTERM, SIGINT, SIGKILL}) {
            bool caught = false;
            for (int attempt = 0; attempt < 10 && !caught; ++attempt) {
                QProcess p;
                p.setProcessEnvironment(program.env);
                p.start(RECHENKOV_BUILD_DIR "/rechenkov",
                        {"--arbeitsblaetter", "100", "--loesungen", "--ausgabe", target + "/k.pdf"});
                QVERIFY(p.waitForStarted());
                while (p.state() == QProcess::Running && !writingInto(p.processId()))
                    QThread::usleep(200);
                caught = p.state() == QProcess::Running && ::kill(static_cast<pid_t>(p.processId()), signal) == 0;
                QVERIFY(p.waitForFinished(30000));
                caught = caught && (p.exitStatus() == QProcess::CrashExit || p.exitCode() != 0);
                if (caught)
                    QCOMPARE(QDir(target).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                             QStringList());
                QFile::remove(target + "/k.pdf");
            }
            QVERIFY2(caught, qPrintable(QString("signal %1 never arrived while writing").arg(signal)));
        }
    }
};

QTEST_MAIN(WorksheetsTest)
#include "test_worksheets.moc"
