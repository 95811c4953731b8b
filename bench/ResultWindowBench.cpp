// Showing a large result in the result window, on the offscreen platform: a sheet of the given
// number of rows and 5 columns, every tenth row with a soft line break in one cell. Prints the
// seconds to open the window (the rows with breaks made taller) and to copy the whole sheet.
//
//   bench_result_window [rows]     (default 1000000)

#include "app/ResultWindow.h"

#include "office/spreadsheet/SpreadsheetEngine.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace Qt::StringLiterals;
using namespace quorvane;

namespace {

class NoDesktop final : public shell::Desktop {
public:
    void openUrl(const QString&) override {}
    shell::OpenResult openFolder(const QString&) override { return {}; }
    shell::OpenResult openFile(const QString&) override { return {}; }
};

class NoPrompts final : public app::ResultPrompts {
public:
    CloseChoice askBeforeClose(QWidget*, const QString&) override { return CloseChoice::Discard; }
    app::SaveChoice askSavePath(QWidget*, const QString&) override { return {}; }
    CsvChoice askCsvChoice(QWidget*, int, const QString&) override { return CsvChoice::Cancel; }
    bool askReplace(QWidget*, const QStringList&) override { return false; }
    void showFailure(QWidget*, const QString&) override {}
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const long rows = argc > 1 ? std::atol(argv[1]) : 1'000'000;
    QTemporaryDir dir;
    const QString staging = dir.filePath(u"1.txt"_s);
    {
        std::FILE* file = std::fopen(QFile::encodeName(staging).constData(), "wb");
        if (!file)
            return 1;
        const std::string mark = "\xC2\xB8"; // the split mark U+00B8
        std::string line;
        for (long i = 0; i < rows; ++i) {
            line = "Slide title " + std::to_string(i) + mark + (i % 10 == 0 ? "first line\vsecond line" : "body") +
                   mark + "notes" + mark + std::to_string(i * 7) + mark + "end\r\n";
            std::fwrite(line.data(), 1, line.size(), file);
        }
        std::fclose(file);
    }
    office::SpreadsheetEngine engine;
    NoDesktop desktop;
    NoPrompts prompts;
    app::ResultWindows windows(desktop, prompts);
    windows.install(engine);
    {
        auto reader = engine.create();
        reader->workbooksOpen(staging, {}, {}, 6, {}, {}, {}, {}, QString(QChar(0x00B8)));
        reader->copyUsedRange();
        reader->quit();
    }
    auto target = engine.create();
    target->workbooksAdd();
    target->paste();

    QElapsedTimer timer;
    timer.start();
    target->setVisible(true); // hands the workbook over: the window opens
    QApplication::processEvents();
    const qint64 showMs = timer.restart();
    auto* grid = windows.windows().front()->findChild<QTableView*>(u"Grid"_s);
    grid->selectAll();
    QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
    const qint64 copyMs = timer.elapsed();
    std::printf("rows %ld, columns 5, every tenth row two lines high\n", rows);
    std::printf("window shown %.3f s; whole sheet copied %.3f s (%.1f MB of text)\n", showMs / 1000.0, copyMs / 1000.0,
                QGuiApplication::clipboard()->text().size() * 2 / 1e6);
    for (app::ResultWindow* window : windows.windows())
        window->close();
    return 0;
}
