#include "print/Worksheets.h"

#include "app/MODUL1.h"
#include "app/Platform.h"
#include "print/PageLayout.h"
#include "print/PrinterService.h"
#include "rows/ColumnRules.h"


#include <algorithm>
#include <array>

namespace worksheets {

namespace {

// The page function draws the shared row table; each page borrows it and the
// stack gives it back unchanged at the end.
class BorrowedTable {
public:
    BorrowedTable()
    {
        for (int k = 1; k <= 7; ++k)
            saved_[static_cast<std::size_t>(k - 1)] = MODUL1::ColumnAt(k);
    }
    ~BorrowedTable()
    {
        for (int k = 1; k <= 7; ++k)
            MODUL1::ColumnAt(k) = saved_[static_cast<std::size_t>(k - 1)];
    }
    BorrowedTable(const BorrowedTable&) = delete;
    BorrowedTable& operator=(const BorrowedTable&) = delete;

    static void Put(const Table& table)
    {
        for (int k = 1; k <= 7; ++k)
            for (int line = 1; line <= 9; ++line)
                MODUL1::ColumnAt(k)[line] = table.at(static_cast<std::size_t>((k - 1) * 9 + line - 1));
    }

private:
    std::array<MODUL1::Column, 7> saved_;
};

// Draws every page; false when `progress` asked to stop or a page could not be begun.
bool DrawPages(PrinterService& printer, const std::vector<Table>& tables, const Progress& progress)
{
    const BorrowedTable borrowed;
    for (std::size_t page = 0; page < tables.size(); ++page) {
        if (page > 0 && !printer.NewPage())
            return false;
        BorrowedTable::Put(tables[page]);
        printout::DrawTablePage(printer);
        if (progress && !progress(static_cast<int>(page + 1)))
            return false;
    }
    return true;
}

} // namespace

std::vector<Table> RandomTables(int pages, int operation, double seed)
{
    Platform::Randomize(seed);
    std::vector<Table> tables(static_cast<std::size_t>(std::max(pages, 0)), Table(63));
    for (Table& table : tables)
        for (int k = 1; k <= 7; ++k)
            rows::DrawColumnDigits(&Platform::Rnd, [&](int line, int digit) {
                table[static_cast<std::size_t>((k - 1) * 9 + line - 1)] = rows::ColumnValue(k, digit, operation);
            });
    return tables;
}

std::vector<Table> Copies(int pages, const Table& table)
{
    return std::vector<Table>(static_cast<std::size_t>(std::max(pages, 0)), table);
}

Outcome WritePdf(const std::vector<Table>& tables, const QString& path, bool replace, const Progress& progress)
{
    auto pdf = Printing::Printers().PdfFile(path, replace ? files::Replace::Always : files::Replace::Never);
    const bool drawn = DrawPages(*pdf, tables, progress);
    if (drawn && pdf->EndDoc())
        return Outcome::Done;
    if (pdf->FileError() == files::Error::Exists)
        return Outcome::FileExists;
    return drawn || pdf->FileError() != files::Error::None ? Outcome::CannotWrite : Outcome::Cancelled;
}

Outcome Print(const std::vector<Table>& tables, const Progress& progress)
{
    PrinterFactory& printers = Printing::Printers();
    if (!printers.HasDefaultPrinter())
        return Outcome::NoPrinter;
    auto printer = printers.DefaultPrinter();
    if (!DrawPages(*printer, tables, progress))
        return Outcome::Cancelled;
    return printer->EndDoc() ? Outcome::Done : Outcome::PrintFailed;
}

QString Describe(Outcome outcome, const QString& path)
{
    switch (outcome) {
    case Outcome::Done: return QString();
    case Outcome::NoPrinter: return QStringLiteral("Es ist kein Drucker eingerichtet.");
    case Outcome::FileExists: return QStringLiteral("Die Datei „%1“ gibt es schon.").arg(path);
    case Outcome::CannotWrite: return QStringLiteral("Die Datei „%1“ konnte nicht geschrieben werden.").arg(path);
    case Outcome::PrintFailed: return QStringLiteral("Der Druck ist fehlgeschlagen.");
    case Outcome::Cancelled: return QStringLiteral("Abgebrochen: es wurde nichts gespeichert oder gedruckt.");
    }
    return QString();
}

QString SavedText(int pages, const QString& path)
{
    if (pages == 1)
        return QStringLiteral("Ein Arbeitsblatt ist in „%1“ gespeichert.").arg(path);
    return QStringLiteral("%1 Arbeitsblätter sind in „%2“ gespeichert.").arg(pages).arg(path);
}

QString PrintedText(int pages)
{
    if (pages == 1)
        return QStringLiteral("Ein Arbeitsblatt geht an den Drucker.");
    return QStringLiteral("%1 Arbeitsblätter gehen an den Drucker.").arg(pages);
}

} // namespace worksheets
