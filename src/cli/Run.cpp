#include "cli/Run.h"
#include "cli/Console.h"

#include "compat/Dialogs.h"
#include "platform/FileWriter.h"
#include "compat/Windows.h"
#include "cli/CommandLine.h"
#include "main_window/Form1.h"
#include "print/PrinterService.h"
#include "print/WeakCalcRows.h"
#include "print/WorksheetDialog.h"
#include "print/Worksheets.h"
#include "editor/Form2.h"
#include "table/TableFile.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace cli {

namespace {

// A table named on the command line is opened from its own folder, so the
// file lists show it among its neighbours and the editor saves beside it.
// Returns the table's absolute path, or nothing after refusing it.
QString EnterFolderOf(const QString& path)
{
    if (const QString problem = rows::TableProblem(path); !problem.isEmpty()) {
        Refuse(problem);
        return QString();
    }
    const QFileInfo file(path);
    QDir::setCurrent(file.absolutePath());
    return file.absoluteFilePath();
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

void Refuse(const QString& problem)
{
    Say(stderr, problem);
    MsgBox(problem, MsgStyle::OkOnly, QStringLiteral("Rechenkov"));
}

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
    job.range = request.range;
    job.timesRows = request.timesRows;
    if (!request.recordChild.isEmpty()) {
        const worksheets::WeakCalcRows record = worksheets::FromRecord(request.recordChild);
        if (record.tasks.empty()) {
            Say(stderr, worksheets::RecordProblem(record, request.recordChild));
            return 1;
        }
        job.tasks = record.tasks;
        job.operation = record.operation.value_or(job.operation);
        job.child = request.recordChild;
    }
    if (!request.tableFile.isEmpty()) {
        worksheets::Table table;
        if (const QString problem = worksheets::LoadTable(request.tableFile, table); !problem.isEmpty()) {
            Say(stderr, problem);
            return 1;
        }
        job.table = table;
    }
    // The record's pairs meet the number range only now.
    if (const QString conflict = worksheets::Conflict(job); !conflict.isEmpty()) {
        Say(stderr, conflict);
        return 1;
    }
    // One code for the whole stack: each sheet continues the same sequence.
    job.code = request.stackCode.isEmpty() ? worksheets::NewStackCode() : request.stackCode;

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
    if (!result.notice.isEmpty())
        Say(stderr, result.notice);
    return 0;
}

bool OpenMainWindow(const QString& tableFile)
{
    QString path;
    if (!tableFile.isEmpty() && (path = EnterFolderOf(tableFile)).isEmpty())
        return false;
    Form1& main = Instance<Form1>();
    main.Show();
    if (!path.isEmpty())
        main.OpenTableFile(path);
    return true;
}

bool OpenEditor(const QString& tableFile)
{
    QString path;
    if (!tableFile.isEmpty() && (path = EnterFolderOf(tableFile)).isEmpty())
        return false;
    Instance<Form1>();
    Form2& editor = Instance<Form2>();
    editor.Show();
    if (!path.isEmpty())
        editor.OpenTableFile(path);
    return true;
}

bool OpenWorksheetsWindow(rows::Operation operation, const QString& tableFile)
{
    if (const QString problem = rows::TableProblem(tableFile); !problem.isEmpty()) {
        Refuse(problem);
        return false;
    }
    auto* dialog = new WorksheetDialog(operation, tableFile);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // The adults' window stands alone: closing it ends the program.
    QObject::connect(dialog, &QDialog::finished, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    dialog->show();
    return true;
}

} // namespace cli
