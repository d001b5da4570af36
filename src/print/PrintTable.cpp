// Printing the current table: one page on the default printer, or, when no
// printer is set up, the very same page as a PDF file the user names. The
// row table, the shared variables and the windows stay as they are.

#include "app/Dialogs.h"
#include "app/MODUL1.h"
#include "print/PageLayout.h"
#include "print/PrinterService.h"

namespace {

const QString kTitle = QStringLiteral("Drucken");

void ReportFailure()
{
    MsgBox(QStringLiteral("Der Druck ist fehlgeschlagen ...") + CR, MsgStyle::OkOnly, kTitle);
}

void SaveTableAsPdf(PrinterFactory& printers)
{
    const QString question = QStringLiteral("Es ist kein Drucker eingerichtet.") + CR +
                             QStringLiteral("Die Tabelle als PDF-Datei speichern?") + CR;
    if (MsgBox(question, MsgStyle::YesNoQuestion, kTitle) == MsgResult::No)
        return;
    // Blanks around the name are a slip of the keyboard, not part of a file name.
    const QString name = InputBox(QStringLiteral("Name der Datei:"), kTitle, QStringLiteral("KOVTAB.PDF")).trimmed();
    if (name.isEmpty())
        return;
    auto pdf = printers.PdfFile(name);
    printout::DrawTablePage(*pdf);
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
    printout::DrawTablePage(*printer);
    // The page is on its way before the message is shown.
    if (!printer->EndDoc()) {
        ReportFailure();
        return;
    }
    MsgBox(QStringLiteral("Die Tabelle wird gedruckt ...") + CR, MsgStyle::OkOnly, kTitle);
}
