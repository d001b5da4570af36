#pragma once
// The printer as the printout sees it: a drawing state (font name and size,
// line width in device dots, print position in twips from the top-left corner
// of the printable area), text, rectangle outlines and the end of the
// document. The real service draws with QPainter: into a PDF that goes to a
// CUPS queue (the default printer or one named, no dialog), on a QPrinter set
// up by the print dialog, or into a PDF file; tests install a factory of
// their own that records the page.

#include "platform/FileWriter.h"

#include <QPageSize>
#include <QRect>
#include <QString>
#include <QStringList>

#include <memory>

// The sheet of paper and the part of it a printer reaches, in twips from the
// top-left corner of the printable area (the paper starts left of and above it).
struct PageArea {
    QRect paper;
    QRect printable;
};

class PrinterService {
public:
    virtual ~PrinterService() = default;

    virtual void SetFontName(const QString& name) = 0;
    virtual void SetFontSize(double points) = 0;
    virtual void SetDrawWidth(int dots) = 0;
    virtual void SetCurrentX(int twips) = 0;
    virtual void SetCurrentY(int twips) = 0;
    // Bold type for the texts that follow (worksheets only; the table printout never sets it).
    virtual void SetFontBold(bool) {}
    // How wide `text` comes out in the current font, in twips.
    // A printer that cannot measure guesses 240 twips a character.
    virtual int TextWidth(const QString& text) const { return static_cast<int>(text.size()) * 240; }
    // The paper and its printable part; an A4 sheet with quarter-inch margins
    // unless the printer knows better.
    virtual PageArea Area() const
    {
        return {QRect(-360, -360, 11906, 16838), QRect(0, 0, 11906 - 720, 16838 - 720)};
    }
    // Writes `text` with its top-left corner at the print position; afterwards
    // the position is at the start of the next line.
    virtual void Print(const QString& text) = 0;
    // A rectangle outline between two corners, in the printer's default colour.
    virtual void Box(int x1, int y1, int x2, int y2) = 0;
    // Ends the page and starts another one of the same document; false when
    // the printer cannot (a recorder of single pages).
    virtual bool NewPage() { return false; }
    // Hands the page over; false when the job could not be done.
    virtual bool EndDoc() = 0;
    // For a file: what kept it from being written, and why in German (empty
    // while nothing went wrong). For a printer: why the queue did not take
    // the job (EndDoc false), or why the job it took waits (EndDoc true).
    virtual files::Error FileError() const { return files::Error::None; }
    virtual QString Problem() const { return QString(); }
};

// Where print jobs go: the default printer, or a PDF file when there is none.
class PrinterFactory {
public:
    virtual ~PrinterFactory() = default;
    virtual bool HasDefaultPrinter() = 0;
    virtual std::unique_ptr<PrinterService> DefaultPrinter() = 0;
    // A one-document PDF on A4 at `path`, written through files::FileWriter:
    // with Replace::Always an existing file of that name is replaced once the
    // new one is complete, with Replace::Never it is left alone and the
    // service fails.
    virtual std::unique_ptr<PrinterService> PdfFile(const QString& path, files::Replace replace,
                                                    QPageSize::PageSizeId paper = QPageSize::A4) = 0;
    // The printer of that name (as the system lists it); null when there is none.
    virtual std::unique_ptr<PrinterService> NamedPrinter(const QString& name) = 0;
    // The names of the printers set up, the default among them or not.
    virtual QStringList Names() = 0;
};

class QPrinter;

namespace Printing {

// The margin of a PDF page around its printable area: a quarter inch, as a
// typical printer leaves unprinted.
inline constexpr int kPdfMarginTwips = 360;
// The resolution of a PDF page, that of a common laser printer, so that lines
// a few dots wide look on screen as they do on paper.
inline constexpr int kPdfDotsPerInch = 300;

PrinterFactory& Printers();
// Installs a replacement (tests); passing nothing restores the real printers.
void SetPrinterFactory(std::unique_ptr<PrinterFactory> factory);
std::unique_ptr<PrinterFactory> MakeQtPrinterFactory();
// Draws on a printer set up elsewhere (the print dialog, the preview), which
// stays the caller's; EndDoc ends the painting and so hands the job over. A
// printer that prints into a file writes it through files::FileWriter.
std::unique_ptr<PrinterService> OnPrinter(QPrinter& printer);
// The paper of the default printer where it has one and it is Letter; A4 otherwise.
QPageSize::PageSizeId DefaultPaper();
// The names of the printers the system knows.
QStringList PrinterNames();
// The German sentence for "no default printer": none set up at all, or
// queues but none of them the default (and which they are).
QString NoDefaultPrinterText();

} // namespace Printing
