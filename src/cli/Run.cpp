#include "cli/Run.h"

#include "app/FileListBox.h"
#include "app/FileWriter.h"
#include "app/Windows.h"
#include "cli/CommandLine.h"
#include "main_window/Form1.h"
#include "print/WorksheetDialog.h"
#include "print/PrinterService.h"
#include "print/RecordPairs.h"
#include "print/Worksheets.h"
#include "rows/Form2.h"
#include "rows/RowFileIO.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace cli {

namespace {

void Say(std::FILE* stream, const QString& text)
{
    std::fputs((text + QLatin1Char('\n')).toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// A name filter that matches exactly `fileName`: the wildcard characters are
// put in brackets, where they stand for themselves.
QString LiteralPattern(const QString& fileName)
{
    QString pattern;
    for (const QChar c : fileName) {
        if (c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('['))
            pattern += QLatin1Char('[') + c + QLatin1Char(']');
        else
            pattern += c;
    }
    return pattern;
}

// Chooses `fileName` in a window's file list, as a click on it does. A file
// whose name the list's pattern does not match is listed on its own for that
// moment; afterwards the list shows what it showed before.
bool ChooseInList(FileListBox& list, const QString& fileName)
{
    const auto indexOf = [&] {
        for (int i = 0; i < list.ListCount(); ++i)
            if (list.List(i) == fileName)
                return i;
        return -1;
    };
    const QString pattern = list.Pattern();
    int index = indexOf();
    if (index < 0) {
        list.SetPattern(LiteralPattern(fileName));
        index = indexOf();
    }
    if (index >= 0)
        list.SetListIndex(index);
    if (list.Pattern() != pattern)
        list.SetPattern(pattern);
    return index >= 0;
}

// A table named on the command line is opened from its own folder, so the
// file lists show it among its neighbours and the editor saves beside it.
bool EnterFolderOf(const QString& path)
{
    const QFileInfo file(path);
    if (!file.isFile()) {
        Say(stderr, QStringLiteral("Die Tabelle „%1“ gibt es nicht.").arg(path));
        return false;
    }
    QDir::setCurrent(file.absolutePath());
    return true;
}

bool ReadTable(const QString& path, worksheets::Table& table)
{
    if (!QFileInfo(path).isFile()) {
        Say(stderr, QStringLiteral("Die Tabelle „%1“ gibt es nicht.").arg(path));
        return false;
    }
    const rows::ReadResult read = rows::LoadRowFile(path);
    if (!read.ok) {
        Say(stderr, QStringLiteral("Die Tabelle „%1“ konnte nicht gelesen werden: sie ist keine vollständige "
                                   "Rechenkov-Tabelle oder nicht lesbar.")
                        .arg(path));
        return false;
    }
    table = read.cells;
    return true;
}

// A bare name gets ".pdf", so the file shows up where PDF files are looked
// for; the name of a folder or a device stays as it is, to be refused as such.
QString PdfName(const QString& given)
{
    const QFileInfo existing(given);
    if (given.isEmpty() || (existing.exists() && !existing.isFile()))
        return given;
    return files::WithExtension(given, QStringLiteral(".pdf"));
}

} // namespace

int RunWorksheets(const Request& request)
{
    worksheets::Job job;
    job.pages = request.pages;
    job.operation = request.operation;
    job.output = PdfName(request.outputFile);
    job.replace = request.replace;
    job.tasks = request.tasks;
    job.key = request.key;
    job.printer = request.printer;
    if (!request.recordChild.isEmpty()) {
        const worksheets::RecordPairs record = worksheets::FromRecord(request.recordChild);
        if (record.tasks.empty()) {
            Say(stderr, record.problem);
            return 1;
        }
        job.tasks = record.tasks;
        job.operation = record.operation;
    }
    if (!request.tableFile.isEmpty()) {
        worksheets::Table table;
        if (!ReadTable(request.tableFile, table))
            return 1;
        job.table = table;
    }
    // One seed for the whole stack: each sheet continues the same sequence.
    job.seed = static_cast<double>(QDateTime::currentMSecsSinceEpoch());

    const worksheets::Result result = worksheets::Run(job, worksheets::MakeSheets(job));
    if (result.outcome != worksheets::Outcome::Done) {
        QString message = result.problem;
        if (result.outcome == worksheets::Outcome::NoPrinter)
            message += QStringLiteral(" Mit „--ausgabe DATEI.pdf“ werden die Blätter als PDF gespeichert.");
        if (result.outcome == worksheets::Outcome::FileExists)
            message += QStringLiteral(" Mit „--ersetzen“ wird sie ersetzt.");
        if (result.outcome == worksheets::Outcome::UnknownPrinter) {
            const QStringList names = Printing::PrinterNames();
            message += names.isEmpty() ? QStringLiteral(" Es ist kein Drucker eingerichtet.")
                                       : QStringLiteral(" Eingerichtet: %1.").arg(names.join(QStringLiteral(", ")));
        }
        Say(stderr, message);
        return 1;
    }
    Say(stdout, job.output.isEmpty() ? worksheets::PrintedText(job) : worksheets::SavedText(job));
    return 0;
}

bool OpenFirstWindow(const Request& request)
{
    switch (request.action) {
    case Action::OpenTable: {
        if (!EnterFolderOf(request.tableFile))
            return false;
        Form1& main = Instance<Form1>();
        main.Show();
        ChooseInList(*main.Datei1, QFileInfo(request.tableFile).fileName());
        return true;
    }
    case Action::Editor: {
        if (!request.tableFile.isEmpty() && !EnterFolderOf(request.tableFile))
            return false;
        // The main window exists behind the editor, loaded and hidden, so the
        // editor's close button hands over to it as it always does.
        Instance<Form1>();
        Form2& editor = Instance<Form2>();
        editor.Show();
        if (!request.tableFile.isEmpty())
            ChooseInList(*editor.Datei1, QFileInfo(request.tableFile).fileName());
        return true;
    }
    case Action::WorksheetsWindow: {
        auto* dialog = new WorksheetDialog(request.operation, request.tableFile);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        // The adults' window stands alone: closing it ends the program.
        QObject::connect(dialog, &QDialog::finished, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        dialog->show();
        return true;
    }
    default:
        Instance<Form1>().Show();
        return true;
    }
}

} // namespace cli
