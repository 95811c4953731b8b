#pragma once

// What quorvane-cli import is asked for, shared by the command and its window.

#include "cli/Commands.h"
#include "import/ImportRun.h"
#include "office/spreadsheet/WorkbookExport.h"

#include <chrono>

namespace quorvane::cli {

// What the command line asks for.
struct ImportRequest : SharedRequest {
    QString output;
    bool perFileSheets = false;
    // The column-separation button it stands for.
    quorvane::import::OptionButton splitOption = import::OptionButton::Option1;
    std::optional<QString> splitText;
    std::optional<QString> extension; // --ext: folders are scanned for "*." + extension
    office::CsvStyle csvStyle = office::CsvStyle::ForSpreadsheets;
    QStringList columns; // --columns: the provenance columns before the text, in order
    bool timings = false;

    // Whether the rows are laid out here rather than taken as the presentations' text.
    bool ownRows() const { return !columns.isEmpty() || choice.beyondShapes(); }
};

// Adds the time from its construction to its end to seconds.
class Stopwatch {
public:
    explicit Stopwatch(double& seconds) : m_seconds(seconds) {}
    Stopwatch(const Stopwatch&) = delete;
    Stopwatch& operator=(const Stopwatch&) = delete;
    ~Stopwatch() { m_seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count(); }

private:
    double& m_seconds;
    const std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

} // namespace quorvane::cli
