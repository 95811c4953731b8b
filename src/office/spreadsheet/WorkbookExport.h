#pragma once

#include "office/spreadsheet/SaveError.h"
#include "office/spreadsheet/Workbook.h"

#include <QString>

#include <atomic>
#include <utility>
#include <vector>

namespace quorvane::office {

// How a save may be stopped from outside, and how many threads it may use.
struct SaveOptions {
    // Once this is set (from a signal handler, say), the save stops at its next row or step and
    // throws SaveStopped.
    const std::atomic<bool>* stop = nullptr;
    // The threads that deflate and check an .xlsx package; 0: one per processor core.
    int jobs = 0;
    // Every sheet starts with a header row (import --header): a .csv of sheets that continue one
    // another holds the first one's only.
    bool headerRows = false;
};

// Every save goes to its file the same way. The path may be a symbolic link: the file it leads to is
// replaced (a link that leads nowhere is an error, and so is a folder or any other file that is not a
// regular file). The new file is written in a private folder (mode 0700) made next to the file it
// replaces, checked, and renamed over it in one step, so the target holds either the old file or the
// whole new one. A replaced file keeps its permissions; a new one gets those of a newly created file.
// Failures throw SaveError naming the file and the reason (SaveStopped when stopped).

// Empty when a save to path can replace or create the file it names, as far as path itself tells;
// otherwise the reason ("it is a folder", "it is a link to "/x", which does not exist"). The save
// looks again.
QString saveTargetProblem(const QString& path);

// Writes the workbook to path as an .xlsx package: the sheets in workbook order with their names, the
// active sheet shown first, numbers as numbers and text as text. Each sheet's part is made from its
// cells straight into the package, deflated in blocks on SaveOptions::jobs threads; no working file is
// made and memory does not grow with the number of sheets. A text's line break (VT, as a slide has it)
// is written as LF in a cell that wraps, and each column with a longer line than the default width
// shows is as wide as its longest (columnWidths). Every character ends up valid in the file:
// NUL, U+FFFE, U+FFFF and bytes that are not UTF-8 become U+FFFD, other control characters and a
// literal "_xHHHH_" are escaped so that readers show them as they are. Before it replaces anything,
// the package is read back: every part must inflate with its checksum, be well-formed XML to its end,
// and every sheet's part must hold the rows written.
void saveWorkbookXlsx(const Workbook& workbook, const QString& path, const SaveOptions& options = {});

// Writes the workbook to path as an OpenDocument spreadsheet, the same way and with the same checks as
// saveWorkbookXlsx: its mimetype first and stored, a manifest, minimal styles, the active sheet shown
// first, and one content part written sheet by sheet (no sheet held whole), a table per sheet with its
// name and its columns' widths, text cells as strings with one paragraph per line (in a cell that
// wraps when it has more than one), numbers as floats, runs of empty cells and rows repeated.
// Characters XML cannot carry become U+FFFD.
void saveWorkbookOds(const Workbook& workbook, const QString& path, const SaveOptions& options = {});

// The two ways of writing comma-separated values. Both are RFC 4180 (fields holding a comma, a quote,
// CR or LF are quoted, quotes doubled, rows end in CR LF) and UTF-8.
enum class CsvStyle {
    // For spreadsheet programs: a byte-order mark, so that they read UTF-8, a leading apostrophe on
    // every text cell that begins with "=", "+", "-", "@", a tab or a CR, so that no slide text is
    // taken for a formula, and a slide's line break (VT) as LF, theirs. Numbers are written as they are.
    ForSpreadsheets,
    // The text exactly as it is: no byte-order mark, no apostrophes, VT kept.
    Exact,
};

// Writes the sheets one after the other to path as comma-separated values, each from A1 to the end of
// its used range, every row as wide as the widest sheet (an empty sheet adds no row); with
// SaveOptions::headerRows the sheets after the first without their first row. A NUL character is
// written as U+FFFD, as in an .xlsx package.
void saveSheetsCsv(const std::vector<const Worksheet*>& sheets, const QString& path, CsvStyle style,
                   const SaveOptions& options = {});
// The same for one sheet.
void saveSheetCsv(const Worksheet& sheet, const QString& path, CsvStyle style, const SaveOptions& options = {});

// The sheets that hold one text with the sheet at index, as the first and the last index: it, the
// sheets before it that it continues, and the sheets after it that continue it. A sheet filled down
// to its last row goes on in the sheet after it, as the import adds a sheet when rows do not fit one.
std::pair<int, int> continuedSheets(const Workbook& workbook, int index);

} // namespace quorvane::office
