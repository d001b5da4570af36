#pragma once
// A printer for tests: it records every text and box of a page with the font
// and line width in force, and can be told that there is no printer or that
// the job fails. PDF files are written by the real service, so tests can read
// them back.

#include "print/PrinterService.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

struct PageOp {
    enum class Kind { Text, Box };
    Kind kind = Kind::Text;
    int x1 = 0; // twips; for a text its top-left corner
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    QString text;
    QString fontName;
    double fontSize = 0;
    int lineWidth = 0;
};

struct RecordedPage {
    std::vector<PageOp> ops;
    bool ended = false;
    QString printer; // the printer's name, empty for the default printer
};

class RecordingPrinters final : public PrinterFactory {
public:
    bool HasDefaultPrinter() override { return hasPrinter; }
    std::unique_ptr<PrinterService> DefaultPrinter() override;
    std::unique_ptr<PrinterService> PdfFile(const QString& path, files::Replace replace,
                                            QPageSize::PageSizeId paper = QPageSize::A4) override;
    // A recording printer when `name` is one of `printerNames`.
    std::unique_ptr<PrinterService> NamedPrinter(const QString& name) override;

    QStringList Names() override { return printerNames; }

    bool hasPrinter = true;
    bool jobsFail = false;
    QString queueSays; // the printers' Problem(): why a job failed, or why it waits
    // Every page handed to the default printer, in order.
    std::vector<std::shared_ptr<RecordedPage>> pages;
    // The PDF files asked for, in order.
    std::vector<QString> pdfPaths;
    QStringList printerNames;
};

// Installs a fresh recorder as the program's printers and returns it.
RecordingPrinters& InstallRecordingPrinters();
