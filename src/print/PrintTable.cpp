// Printing the current table: one page on the default printer, or, when no
// printer is set up, the very same page as a PDF file the user names. The
// row table, the shared variables and the windows stay as they are.

#include "print/PrintTable.h"

#include "compat/Dialogs.h"
#include "platform/FileNames.h"
#include "table/MODUL1.h"
#include "print/PageLayout.h"
#include "print/PrinterService.h"

#include <QFileInfo>

namespace {

const QString kTitle = QStringLiteral("Drucken");

// The printer's queue may say why (it takes no jobs, it gave the job up).
void ReportFailure(const QString& why = QString())
{
    MsgBox(QStringLiteral("Der Druck ist fehlgeschlagen ...") + CR + (why.isEmpty() ? QString() : why + CR),
           MsgStyle::OkOnly, kTitle);
}

// The name the PDF is written under: a name without an extension gets ".PDF",
// so that a bare "Tabelle" does not end up as a file nothing opens.
QString PdfName(const QString& typed)
{
    return QFileInfo(LocalPath(typed)).suffix().isEmpty() ? typed + QStringLiteral(".PDF") : typed;
}

// Whether a file (or a link, even a broken one) of that name is already
// there. A folder is no file to replace: writing there fails and says so.
bool Taken(const QString& name)
{
    const QFileInfo info(LocalPath(name));
    return (info.exists() && !info.isDir()) || info.isSymLink();
}

void SaveTableAsPdf(PrinterFactory& printers)
{
    const QString question = Printing::NoDefaultPrinterText() + CR +
                             QStringLiteral("Die Tabelle als PDF-Datei speichern?") + CR;
    if (MsgBox(question, MsgStyle::YesNoQuestion, kTitle) == MsgResult::No)
        return;
    QString name = QStringLiteral("KOVTAB.PDF");
    // An existing file, a row file above all, is replaced only when the user
    // says so; otherwise the name can be changed.
    for (;;) {
        // Blanks around the name are a slip of the keyboard, not part of a file name.
        const QString typed = InputBox(QStringLiteral("Name der Datei:"), kTitle, name).trimmed();
        if (typed.isEmpty())
            return;
        name = PdfName(typed);
        if (!Taken(name))
            break;
        const QString replace = QStringLiteral("Die Datei ") + name + QStringLiteral(" gibt es schon.") + CR +
                                QStringLiteral("Soll sie ersetzt werden?") + CR;
        if (MsgBox(replace, MsgStyle::YesNoQuestion, kTitle) != MsgResult::No)
            break;
    }
    // The user has said yes to replacing a file of that name.
    auto pdf = printers.PdfFile(name, files::Replace::Always);
    printout::DrawTablePage(*pdf, printout::SharedTable());
    if (!pdf->EndDoc()) {
        ReportFailure();
        return;
    }
    MsgBox(name + QStringLiteral(" wurde gespeichert.") + CR, MsgStyle::OkOnly, kTitle);
}

} // namespace

void MODUL1::PrintTable()
{
    PrinterFactory& printers = Printing::Printers();
    if (!printers.HasDefaultPrinter()) {
        SaveTableAsPdf(printers);
        return;
    }
    auto printer = printers.DefaultPrinter();
    printout::DrawTablePage(*printer, printout::SharedTable());
    // The page is on its way before the message is shown.
    if (!printer->EndDoc()) {
        ReportFailure(printer->Problem());
        return;
    }
    // A queue that holds the job back (stopped, say) is named under the usual words.
    const QString waits = printer->Problem();
    MsgBox(QStringLiteral("Die Tabelle wird gedruckt ...") + CR + (waits.isEmpty() ? QString() : waits + CR),
           MsgStyle::OkOnly, kTitle);
}
