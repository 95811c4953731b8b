// Walking a folder tree and listing its files as the folder scan does: builds a tree of
// width^depth folders below a temporary folder, each holding a number of files (one in four a
// presentation), then prints the folders found, the entries added and the seconds taken for the walk
// and for appending with "*.ppt*" and with "*.*".
//
//   bench_folder_scan [width] [depth] [files per folder]     (default 10 3 20)

#include "filelist/FolderScan.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;
using namespace quorvane;

namespace {

class CountingPump final : public shell::EventPump {
public:
    void yield() override { ++yields; }
    void poll() override {}
    long yields = 0;
};

void fill(const QString& folder, int width, int depth, int files) {
    for (int f = 1; f <= files; ++f) {
        QFile file(folder + u"/File %1.%2"_s.arg(f).arg(f % 4 == 0 ? u"pptx"_s : u"txt"_s));
        if (file.open(QIODevice::WriteOnly))
            file.write("x");
    }
    if (depth == 0)
        return;
    for (int w = 1; w <= width; ++w) {
        const QString sub = folder + u"/Folder %1"_s.arg(w);
        QDir().mkdir(sub);
        fill(sub, width, depth - 1, files);
    }
}

double scan(const QString& root, const QString& pattern, long& folders, long& entries, long& yields) {
    QElapsedTimer timer;
    timer.start();
    CountingPump pump;
    QStringList list{root + u'/'};
    filelist::ScanSkips skips;
    filelist::CollectSubfolders(list, true, pump, skips);
    filelist::FileList fileList;
    filelist::AppendFolderFiles(list, pattern, fileList);
    folders = list.size();
    entries = fileList.Count();
    yields = pump.yields;
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    const int width = argc > 1 ? std::atoi(argv[1]) : 10;
    const int depth = argc > 2 ? std::atoi(argv[2]) : 3;
    const int files = argc > 3 ? std::atoi(argv[3]) : 20;
    QTemporaryDir temp;
    if (!temp.isValid())
        return 1;
    fill(temp.path(), width, depth, files);

    for (const QString& pattern : {u"*.ppt*"_s, u"*.*"_s}) {
        long folders = 0, entries = 0, yields = 0;
        const double seconds = scan(temp.path(), pattern, folders, entries, yields);
        std::printf("pattern %-7s folders %6ld  entries %7ld  yields %7ld  %.3f s  %.0f entries/s\n",
                    qPrintable(pattern), folders, entries, yields, seconds, entries / seconds);
    }
    return 0;
}
