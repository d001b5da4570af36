#include "print/PrinterService.h"

#include "print/PrintQueue.h"

#include <QDir>
#include <QFile>
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

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

// Draws the page with QPainter on a QPrinter or, for a PDF, on a QPdfWriter
// that writes through the file writer. Twips become device dots by the device's
// resolution; fonts keep their points and lines their dots.
class QtPrinterService final : public PrinterService {
public:
    // Prints on a printer that stays the caller's (the print dialog's, the
    // preview's); Qt hands the job over itself.
    explicit QtPrinterService(QPrinter& printer) : printer_(&printer) { Begin(printer_); }

    // Prints on a CUPS queue: the pages go as PDF into a spool file that has
    // no name (so an interrupted program leaves nothing in /tmp) and from
    // there to the queue as one job, once the queue has said it takes jobs.
    explicit QtPrinterService(const QPrinterInfo& info) : queue_(info.printerName())
    {
        problem_ = info.isNull() ? Printing::NoDefaultPrinterText()
                                 : printqueue::Refusal(queue_, printqueue::AskQueue(queue_));
        if (!problem_.isEmpty() || !OpenSpool())
            return;
        // The printer's own paper (Letter or A4) and margins, which QPrinter does not take by itself.
        QPrinter printer(info, QPrinter::HighResolution);
        printer.setPageSize(info.defaultPageSize());
        BeginPdf(spool_, printer.pageLayout(), printer.resolution());
    }

    // Writes the pages as a PDF through `file`, which takes its name only
    // when the document is complete. The pages go out as they are drawn, so
    // a stack of many pages is never held in memory.
    QtPrinterService(std::unique_ptr<files::FileWriter> file, const QPageLayout& layout, int dotsPerInch)
        : file_(std::move(file))
    {
        if (file_->Open())
            BeginPdf(file_->Device(), layout, dotsPerInch);
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
    void SetFontBold(bool bold) override { font_.setBold(bold); }

    int TextWidth(const QString& text) const override
    {
        if (!device_)
            return PrinterService::TextWidth(text);
        const QFontMetricsF metrics(font_, device_);
        return static_cast<int>(std::lround(metrics.horizontalAdvance(text) * 1440.0 / device_->logicalDpiX()));
    }

    PageArea Area() const override
    {
        auto* paged = dynamic_cast<QPagedPaintDevice*>(device_);
        if (!paged)
            return PrinterService::Area();
        // Twips from the top-left corner of the printable area, as everything else.
        const QPageLayout layout = paged->pageLayout();
        const QRectF full = layout.fullRect(QPageLayout::Point);
        const QRectF paint = layout.paintRect(QPageLayout::Point);
        const auto twips = [](double points) { return static_cast<int>(std::lround(points * 20)); };
        return {QRect(twips(full.left() - paint.left()), twips(full.top() - paint.top()), twips(full.width()),
                      twips(full.height())),
                QRect(0, 0, twips(paint.width()), twips(paint.height()))};
    }

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
        if (file_)
            return file_->Commit();
        const printqueue::Sent sent = SendSpool();
        problem_ = sent.said;
        return sent.fate != printqueue::Fate::Failed;
    }

    files::Error FileError() const override { return file_ ? file_->GetError() : files::Error::None; }
    QString Problem() const override { return file_ ? file_->Problem() : problem_; }

private:
    void Begin(QPaintDevice* device)
    {
        if (device && painter_.begin(device)) {
            device_ = device;
            painter_.setRenderHint(QPainter::TextAntialiasing);
        }
    }

    void BeginPdf(QIODevice& device, const QPageLayout& layout, int dotsPerInch)
    {
        pdf_ = std::make_unique<QPdfWriter>(&device);
        pdf_->setResolution(dotsPerInch);
        pdf_->setPageLayout(layout);
        pdf_->setTitle(QStringLiteral("Rechenkov"));
        pdf_->setCreator(QStringLiteral("Rechenkov"));
        Begin(pdf_.get());
    }

    bool OpenSpool()
    {
        const QByteArray folder = QFile::encodeName(QDir::tempPath());
        int fd = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd < 0) {
            // No unnamed files there: a named one, its name removed at once.
            QByteArray name = folder + "/rechenkov-XXXXXX";
            fd = ::mkostemp(name.data(), O_CLOEXEC);
            if (fd >= 0)
                ::unlink(name.constData());
        }
        if (fd < 0 || !spool_.open(fd, QIODevice::ReadWrite, QFileDevice::AutoCloseHandle)) {
            problem_ = SpoolProblem();
            return false;
        }
        return true;
    }

    static QString SpoolProblem()
    {
        return QStringLiteral("Die Seiten für den Drucker konnten im Ordner „%1“ nicht zwischengespeichert werden "
                              "(Speicherplatz voll?).")
            .arg(QDir::tempPath());
    }

    printqueue::Sent SendSpool()
    {
        if (!spool_.flush())
            return {printqueue::Fate::Failed, SpoolProblem()};
        return printqueue::SendPdf(queue_, spool_.handle(), QStringLiteral("Rechenkov"), printqueue::kWatchMs);
    }

    double DotsX(int twips) const { return twips * device_->logicalDpiX() / 1440.0; }
    double DotsY(int twips) const { return twips * device_->logicalDpiY() / 1440.0; }

    QPrinter* printer_ = nullptr;
    std::unique_ptr<files::FileWriter> file_;
    QString queue_; // the CUPS queue the job goes to
    QFile spool_;   // the PDF on its way to that queue (the writer below goes first)
    std::unique_ptr<QPdfWriter> pdf_;
    QString problem_; // why the queue did not take the job, or why it waits
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
        return std::make_unique<QtPrinterService>(QPrinterInfo::defaultPrinter());
    }

    std::unique_ptr<PrinterService> PdfFile(const QString& path, files::Replace replace,
                                            QPageSize::PageSizeId paper) override
    {
        const double margin = Printing::kPdfMarginTwips / 1440.0;
        const QPageLayout layout(QPageSize(paper), QPageLayout::Portrait, QMarginsF(margin, margin, margin, margin),
                                 QPageLayout::Inch);
        return std::make_unique<QtPrinterService>(std::make_unique<files::FileWriter>(path, replace), layout,
                                                  Printing::kPdfDotsPerInch);
    }

    std::unique_ptr<PrinterService> NamedPrinter(const QString& name) override
    {
        const QPrinterInfo info = QPrinterInfo::printerInfo(name);
        if (info.isNull())
            return nullptr;
        return std::make_unique<QtPrinterService>(info);
    }

    QStringList Names() override { return QPrinterInfo::availablePrinterNames(); }
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

std::unique_ptr<PrinterService> OnPrinter(QPrinter& printer)
{
    // The print dialog's "print to file" goes through the file writer too: the
    // file appears only when complete, and so on a USB stick as anywhere.
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        return std::make_unique<QtPrinterService>(
            std::make_unique<files::FileWriter>(printer.outputFileName(), files::Replace::Always),
            printer.pageLayout(), printer.resolution());
    return std::make_unique<QtPrinterService>(printer);
}

QPageSize::PageSizeId DefaultPaper()
{
    const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
    if (!printer.isNull() && printer.defaultPageSize().id() == QPageSize::Letter)
        return QPageSize::Letter;
    return QPageSize::A4;
}

QStringList PrinterNames() { return Printers().Names(); }

QString NoDefaultPrinterText()
{
    const QStringList names = PrinterNames();
    if (names.isEmpty())
        return QStringLiteral("Es ist kein Drucker eingerichtet.");
    return QStringLiteral("Es ist kein Standarddrucker eingestellt; eingerichtet %1 „%2“.")
        .arg(names.size() == 1 ? QStringLiteral("ist") : QStringLiteral("sind"),
             names.join(QStringLiteral("“, „")));
}

} // namespace Printing
