#include "PrinterRecorder.h"

namespace {

class RecordingPrinter final : public PrinterService {
public:
    RecordingPrinter(std::shared_ptr<RecordedPage> page, bool fails, const QString& says)
        : page_(std::move(page)), fails_(fails), says_(says) {}
    QString Problem() const override { return says_; }

    void SetFontName(const QString& name) override { fontName_ = name; }
    void SetFontSize(double points) override { fontSize_ = points; }
    void SetDrawWidth(int dots) override { lineWidth_ = dots; }
    void SetCurrentX(int twips) override { x_ = twips; }
    void SetCurrentY(int twips) override { y_ = twips; }
    void Print(const QString& text) override
    {
        page_->ops.push_back({PageOp::Kind::Text, x_, y_, x_, y_, text, fontName_, fontSize_, lineWidth_});
        x_ = 0;
    }
    void Box(int x1, int y1, int x2, int y2) override
    {
        page_->ops.push_back({PageOp::Kind::Box, x1, y1, x2, y2, QString(), fontName_, fontSize_, lineWidth_});
        x_ = x2;
        y_ = y2;
    }
    bool EndDoc() override
    {
        page_->ended = true;
        return !fails_;
    }

private:
    std::shared_ptr<RecordedPage> page_;
    bool fails_;
    QString says_;
    QString fontName_;
    double fontSize_ = 0;
    int lineWidth_ = 0;
    int x_ = 0;
    int y_ = 0;
};

} // namespace

std::unique_ptr<PrinterService> RecordingPrinters::DefaultPrinter()
{
    pages.push_back(std::make_shared<RecordedPage>());
    return std::make_unique<RecordingPrinter>(pages.back(), jobsFail, queueSays);
}

std::unique_ptr<PrinterService> RecordingPrinters::PdfFile(const QString& path, files::Replace replace,
                                                           QPageSize::PageSizeId paper)
{
    pdfPaths.push_back(path);
    return Printing::MakeQtPrinterFactory()->PdfFile(path, replace, paper);
}

std::unique_ptr<PrinterService> RecordingPrinters::NamedPrinter(const QString& name)
{
    if (!printerNames.contains(name))
        return nullptr;
    pages.push_back(std::make_shared<RecordedPage>());
    pages.back()->printer = name;
    return std::make_unique<RecordingPrinter>(pages.back(), jobsFail, queueSays);
}

RecordingPrinters& InstallRecordingPrinters()
{
    auto printers = std::make_unique<RecordingPrinters>();
    RecordingPrinters& installed = *printers;
    Printing::SetPrinterFactory(std::move(printers));
    return installed;
}
