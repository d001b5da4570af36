// Worksheets: 100 sheets of fresh plus tables with their 100 answer key
// pages into one PDF file, the largest stack the command line makes, timed
// per page (target: under 10 ms a page), and the file's size per page.
// Run: QT_QPA_PLATFORM=offscreen bench_worksheets

#include "platform/Application.h"
#include "print/Worksheets.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    PrepareApplication(app); // the font substitutes the page relies on
    QTemporaryDir dir;
    worksheets::Job job;
    job.pages = worksheets::kMaxPages;
    job.key = true;
    job.output = dir.filePath(QStringLiteral("blaetter.pdf"));
    job.replace = true;
    const int pages = worksheets::PageCount(job);
    constexpr int kRuns = 5;
    double best = 1e9;
    for (int run = 1; run <= kRuns; ++run) {
        job.code = QStringLiteral("000%1").arg(run);
        QElapsedTimer timer;
        timer.start();
        const worksheets::Result result = worksheets::Run(job, worksheets::MakeSheets(job));
        const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        if (result.outcome != worksheets::Outcome::Done) {
            std::fprintf(stderr, "writing failed: %s\n", qPrintable(result.problem));
            return 1;
        }
        std::printf("run %d: %d pages in %.1f ms, %.2f ms a page\n", run, pages, ms, ms / pages);
        best = std::min(best, ms);
    }
    const double kib = static_cast<double>(QFileInfo(job.output).size()) / 1024.0;
    std::printf("best: %.2f ms a page (target: under 10 ms)\n", best / pages);
    std::printf("PDF: %.0f KiB for %d pages, %.1f KiB a page\n", kib, pages, kib / pages);
    return 0;
}
