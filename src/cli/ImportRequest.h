#pragma once

// What quorvane-cli import is asked for, shared by the command and its window.

#include "cli/Commands.h"
#include "import/ImportRun.h"
#include "import/RowLayout.h"
#include "office/spreadsheet/OutputFormat.h"

#include <chrono>

namespace quorvane::cli {

// What the command line asks for.
struct ImportRequest : SharedRequest {
    QString output;
    bool perFileSheets = false;
    // The column-separation button it stands for.
    quorvane::import::OptionButton splitOption = import::OptionButton::Option1;
    std::optional<QString> splitText;
    office::CsvStyle csvStyle = office::CsvStyle::ForSpreadsheets; // --csv
    office::OutputFormat format = office::OutputFormat::Xlsx;      // what the output's name and --csv say
    std::vector<import::Column> columns; // --columns: the provenance columns before the text, in order
    bool header = false;                 // --header: each sheet starts with a row naming its columns
    bool timings = false;
    bool failuresSheet = false; // --failures-sheet: the failures in a last sheet of their own

    // How the presentations' text becomes rows.
    import::RowLayout layout() const { return {choice, columns}; }
    // The text the split option splits at.
    QString separator() const { return import::separatorOf(splitOption, splitText.value_or(QString())); }
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
