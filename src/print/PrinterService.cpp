#include "print/PrinterService.h"


#include <QFontMetrics>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>
#include <cmath>

namespace {

// Draws the page with QPainter on a QPrinter or, for a PDF, on a QPdfWriter
// that writes through the file writer. Twips become device dots by the device's
// resolution; fonts keep their points and lines their dots.
class QtPrinterService final : public PrinterService {
public:
    // Prints on `printer`; a null printer fails at the end.
    explicit QtPrinterService(std::unique_ptr<QPrinter> printer) : printer_(std::move(printer))
    {
        Begin(printer_.get());
    }

    // Writes the pages as a PDF through `file`, which takes its name only
    // when the document is complete. The pages go out as they are drawn, so
    // a stack of many pages is never held in memory.
    explicit QtPrinterService(std::unique_ptr<files::FileWriter> file) : file_(std::move(file))
    {
        if (!file_->Open())
            return;
        pdf_ = std::make_unique<QPdfWriter>(&file_->Device());
        pdf_->setResolution(Printing::kPdfDotsPerInch);
        const double margin = Printing::kPdfMarginTwips / 1440.0;
        pdf_->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                        QMarginsF(margin, margin, margin, margin), QPageLayout::Inch));
        pdf_->setTitle(QStringLiteral("Rechenkov"));
        pdf_->setCreator(QStringLiteral("Rechenkov"));
        Begin(pdf_.get());
    }

    ~QtPrinterService() override
    {
        // A job left unfinished is thrown away rather than half printed; an
        // uncommitted PDF never replaces anything.
        if (painter_.isActive()) {
            if (printer_)
                printer_->abort();
            painter_.end();
        }
        if (file_)
            file_->Cancel();
    }

    void SetFontName(const QString& name) override { font_.setFamily(name); }
    void SetFontSize(double points) override { font_.setPointSizeF(points); }
    void SetDrawWidth(int dots) override { drawWidth_ = dots; }
    void SetCurrentX(int twips) override { x_ = twips; }
    void SetCurrentY(int twips) override { y_ = twips; }

    void Print(const QString& text) override
    {
        if (!device_)
            return;
        painter_.setFont(font_);
        painter_.setPen(QPen(Qt::black));
        const QFontMetricsF metrics(font_, device_);
        for (const QString& line : text.split(QLatin1Char('\r'))) {
            if (!line.isEmpty())
                painter_.drawText(QPointF(DotsX(x_), DotsY(y_) + metrics.ascent()), line);
            x_ = 0;
            y_ += static_cast<int>(std::lround(metrics.height() * 1440.0 / device_->logicalDpiY()));
        }
    }

    void Box(int x1, int y1, int x2, int y2) override
    {
        if (!device_)
            return;
        painter_.setPen(QPen(Qt::black, drawWidth_, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter_.setBrush(Qt::NoBrush);
        const double l = DotsX(std::min(x1, x2));
        const double t = DotsY(std::min(y1, y2));
        painter_.drawRect(QRectF(l, t, DotsX(std::max(x1, x2)) - l, DotsY(std::max(y1, y2)) - t));
        x_ = x2;
        y_ = y2;
    }

    bool NewPage() override
    {
        if (!device_)
            return false;
        return printer_ ? printer_->newPage() : pdf_->newPage();
    }

    bool EndDoc() override
    {
        if (!device_)
            return false;
        if (!painter_.end())
            return false;
        if (printer_)
            return printer_->printerState() != QPrinter::Error;
        return file_->Commit();
    }

    files::Error FileError() const override { return file_ ? file_->GetError() : files::Error::None; }
    QString Problem() const override { return file_ ? file_->Problem() : QString(); }

private:
    void Begin(QPaintDevice* device)
    {
        if (device && painter_.begin(device)) {
            device_ = device;
            painter_.setRenderHint(QPainter::TextAntialiasing);
        }
    }

    double DotsX(int twips) const { return twips * device_->logicalDpiX() / 1440.0; }
    double DotsY(int twips) const { return twips * device_->logicalDpiY() / 1440.0; }

    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<files::FileWriter> file_;
    std::unique_ptr<QPdfWriter> pdf_;
    QPainter painter_;
    QPaintDevice* device_ = nullptr; // set once painting has begun
    QFont font_;
    int drawWidth_ = 1;
    int x_ = 0;
    int y_ = 0;
};

class QtPrinterFactory final : public PrinterFactory {
public:
    bool HasDefaultPrinter() override { return !QPrinterInfo::defaultPrinter().isNull(); }

    std::unique_ptr<PrinterService> DefaultPrinter() override
    {
        auto printer = std::make_unique<QPrinter>(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
        printer->setDocName(QStringLiteral("Rechenkov"));
        return std::make_unique<QtPrinterService>(std::move(printer));
    }

    std::unique_ptr<PrinterService> PdfFile(const QString& path, files::Replace replace) override
    {
        return std::make_unique<QtPrinterService>(std::make_unique<files::FileWriter>(path, replace));
    }
};

std::unique_ptr<PrinterFactory>& Factory()
{
    static std::unique_ptr<PrinterFactory> factory = Printing::MakeQtPrinterFactory();
    return factory;
}

} // namespace

namespace Printing {

PrinterFactory& Printers() { return *Factory(); }

void SetPrinterFactory(std::unique_ptr<PrinterFactory> factory)
{
    Factory() = factory ? std::move(factory) : MakeQtPrinterFactory();
}

std::unique_ptr<PrinterFactory> MakeQtPrinterFactory() { return std::make_unique<QtPrinterFactory>(); }

} // namespace Printing
