#include "print/PrinterService.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace {

// Draws the page with QPainter on a QPrinter. Twips become device dots by
// the printer's resolution; fonts keep their points and lines their dots.
class QtPrinterService final : public PrinterService {
public:
    // With `pdfTarget` set, the printer writes into `partFile`, which becomes
    // `pdfTarget` once the document is complete. A null printer fails at the end.
    QtPrinterService(std::unique_ptr<QPrinter> printer, std::unique_ptr<QTemporaryFile> partFile = nullptr,
                     const QString& pdfTarget = QString())
        : printer_(std::move(printer)), partFile_(std::move(partFile)), pdfTarget_(pdfTarget)
    {
        if (printer_)
            begun_ = painter_.begin(printer_.get());
        if (begun_)
            painter_.setRenderHint(QPainter::TextAntialiasing);
    }

    ~QtPrinterService() override
    {
        // A job left unfinished is thrown away rather than half printed.
        if (painter_.isActive()) {
            printer_->abort();
            painter_.end();
        }
    }

    void SetFontName(const QString& name) override { font_.setFamily(name); }
    void SetFontSize(double points) override { font_.setPointSizeF(points); }
    void SetDrawWidth(int dots) override { drawWidth_ = dots; }
    void SetCurrentX(int twips) override { x_ = twips; }
    void SetCurrentY(int twips) override { y_ = twips; }

    void Print(const QString& text) override
    {
        if (!begun_)
            return;
        painter_.setFont(font_);
        painter_.setPen(QPen(Qt::black));
        const QFontMetricsF metrics(font_, printer_.get());
        for (const QString& line : text.split(QLatin1Char('\r'))) {
            if (!line.isEmpty())
                painter_.drawText(QPointF(DotsX(x_), DotsY(y_) + metrics.ascent()), line);
            x_ = 0;
            y_ += static_cast<int>(std::lround(metrics.height() * 1440.0 / printer_->logicalDpiY()));
        }
    }

    void Box(int x1, int y1, int x2, int y2) override
    {
        if (!begun_)
            return;
        painter_.setPen(QPen(Qt::black, drawWidth_, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter_.setBrush(Qt::NoBrush);
        const double l = DotsX(std::min(x1, x2));
        const double t = DotsY(std::min(y1, y2));
        painter_.drawRect(QRectF(l, t, DotsX(std::max(x1, x2)) - l, DotsY(std::max(y1, y2)) - t));
        x_ = x2;
        y_ = y2;
    }

    bool NewPage() override { return begun_ && printer_->newPage(); }

    bool EndDoc() override
    {
        if (!begun_)
            return false;
        bool ok = painter_.end() && printer_->printerState() != QPrinter::Error;
        if (ok && partFile_)
            ok = ReplaceTarget();
        return ok;
    }

private:
    double DotsX(int twips) const { return twips * printer_->logicalDpiX() / 1440.0; }
    double DotsY(int twips) const { return twips * printer_->logicalDpiY() / 1440.0; }

    bool ReplaceTarget()
    {
        // A rename within one folder replaces an existing file in one step,
        // so the old file stays whole until the new one is complete.
        partFile_->setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                  QFileDevice::ReadOther);
        std::error_code error;
        std::filesystem::rename(QFile::encodeName(partFile_->fileName()).toStdString(),
                                QFile::encodeName(pdfTarget_).toStdString(), error);
        if (error)
            return false;
        partFile_->setAutoRemove(false);
        return true;
    }

    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<QTemporaryFile> partFile_;
    QString pdfTarget_;
    QPainter painter_;
    bool begun_ = false;
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

    std::unique_ptr<PrinterService> PdfFile(const QString& path) override
    {
        const QFileInfo target(path);
        auto partFile =
            std::make_unique<QTemporaryFile>(target.absolutePath() + QStringLiteral("/.rechenkov-XXXXXX.pdf"));
        if (target.isDir() || !partFile->open())
            return std::make_unique<QtPrinterService>(nullptr);
        partFile->close();

        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(partFile->fileName());
        printer->setResolution(Printing::kPdfDotsPerInch);
        printer->setPageSize(QPageSize(QPageSize::A4));
        printer->setPageOrientation(QPageLayout::Portrait);
        const double margin = Printing::kPdfMarginTwips / 1440.0;
        printer->setPageMargins(QMarginsF(margin, margin, margin, margin), QPageLayout::Inch);
        printer->setDocName(QStringLiteral("Rechenkov"));
        printer->setCreator(QStringLiteral("Rechenkov"));
        return std::make_unique<QtPrinterService>(std::move(printer), std::move(partFile), target.absoluteFilePath());
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
