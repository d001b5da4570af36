#pragma once
// The printer as the printout sees it: a drawing state (font name and size,
// line width in device dots, print position in twips from the top-left corner
// of the printable area), text, rectangle outlines and the end of the
// document. The real service draws with QPainter on a QPrinter, either the
// system's default printer (no dialog) or a PDF file; tests install a factory
// of their own that records the page.

#include "app/FileWriter.h"

#include <QString>

#include <memory>

class PrinterService {
public:
    virtual ~PrinterService() = default;

    virtual void SetFontName(const QString& name) = 0;
    virtual void SetFontSize(double points) = 0;
    virtual void SetDrawWidth(int dots) = 0;
    virtual void SetCurrentX(int twips) = 0;
    virtual void SetCurrentY(int twips) = 0;
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
    // while nothing went wrong).
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
    virtual std::unique_ptr<PrinterService> PdfFile(const QString& path, files::Replace replace) = 0;
};

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

} // namespace Printing
