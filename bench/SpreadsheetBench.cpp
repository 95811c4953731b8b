// Opening a 200,000-line staging file with 5 columns, copying its used range, pasting it into a new
// workbook and saving that as .xlsx: prints the seconds taken and the peak memory against the text size.
// With a number of sheets, the copy is pasted into that many sheets, the way one sheet per file is
// made, and the save's own time is printed too.
//
//   bench_spreadsheet [lines] [sheets]     (default 200000 1)

#include "office/spreadsheet/SpreadsheetEngine.h"
#include "office/spreadsheet/WorkbookExport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <string>

using namespace Qt::StringLiterals;
using namespace quorvane::office;

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long peakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Slide-like text: words, sometimes a number, sometimes a longer sentence.
std::string cellText(unsigned& seed, int column) {
    static const char* words[] = {"Quarterly", "review", "of",   "the",     "northern",  "region",
                                  "sales",     "growth", "2024", "targets", "Überblick", "résumé",
                                  "team",      "plan",   "next", "steps"};
    seed = seed * 1103515245u + 12345u;
    if (column == 4)
        return std::to_string(seed % 100000);
    std::string text;
    const unsigned count = 1 + (seed >> 16) % 5;
    for (unsigned i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        if (i)
            text += ' ';
        text += words[(seed >> 16) % 16];
    }
    return text;
}

} // namespace

int main(int argc, char** argv) {
    const long lines = argc > 1 ? std::atol(argv[1]) : 200'000;
    const long sheets = argc > 2 ? std::max(1L, std::atol(argv[2])) : 1;
    QTemporaryDir dir;
    const QString stagingPath = dir.filePath(u"1.txt"_s);
    {
        // Written in small pieces so that making the file does not raise the peak.
        std::FILE* file = std::fopen(QFile::encodeName(stagingPath).constData(), "wb");
        if (!file)
            return 1;
        unsigned seed = 7;
        std::string line;
        for (long i = 0; i < lines; ++i) {
            line.clear();
            for (int c = 0; c < 5; ++c) {
                if (c)
                    line += "\xC2\xB8"; // the split mark U+00B8
                line += cellText(seed, c);
            }
            line += "\r\n";
            std::fwrite(line.data(), 1, line.size(), file);
        }
        std::fclose(file);
    }
    const qint64 textBytes = QFileInfo(stagingPath).size();
    const long before = peakKiB();

    const double cpuBefore = cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    SpreadsheetEngine engine;
    {
        auto reader = engine.create();
        reader->setDisplayAlerts(false);
        reader->workbooksOpen(stagingPath, {}, {}, 6, {}, {}, {}, {}, QString(QChar(0x00B8)));
        reader->copyUsedRange();
        reader->quit();
    }
    const qint64 openCopyMs = timer.elapsed();
    auto target = std::static_pointer_cast<SpreadsheetInstance>(engine.create());
    target->workbooksAdd();
    target->paste();
    for (long sheet = 1; sheet < sheets; ++sheet) {
        target->sheetsAdd();
        target->paste();
    }
    target->selectRange(u"A1"_s);
    const QString xlsxPath = dir.filePath(u"result.xlsx"_s);
    const qint64 saveStartMs = timer.elapsed();
    saveWorkbookXlsx(*target->activeWorkbook(), xlsxPath);
    const qint64 totalMs = timer.elapsed();
    const double cpu = cpuSeconds() - cpuBefore;
    const long after = peakKiB();

    std::printf("lines %ld, columns 5, sheets %ld, text %.1f MB, xlsx %.1f MB\n", lines, sheets, textBytes / 1e6,
                QFileInfo(xlsxPath).size() / 1e6);
    std::printf("the .xlsx save alone %.3f s\n", (totalMs - saveStartMs) / 1000.0);
    std::printf("open + copy %.3f s, total with paste and .xlsx save %.3f s (processor time %.3f s)\n",
                openCopyMs / 1000.0, totalMs / 1000.0, cpu);
    std::printf("peak memory %.1f MB (%.2f x text); before the run %.1f MB, growth %.1f MB (%.2f x text)\n",
                after / 1024.0, after * 1024.0 / textBytes, before / 1024.0, (after - before) / 1024.0,
                (after - before) * 1024.0 / textBytes);
    return 0;
}
