#pragma once

#include "office/spreadsheet/Workbook.h"

#include <QString>

#include <atomic>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvane::office {

// Where a save keeps its working files, and how it can be stopped from outside.
struct SaveOptions {
    // The folder for the working files of the .xlsx writer, each save in a private folder of its
    // own made there (mode 0700) and removed afterwards; empty: the platform's temporary folder.
    QString temporaryFolder;
    // Once this is set (from a signal handler, say), the save stops at its next row or step and
    // throws SaveStopped.
    const std::atomic<bool>* stop = nullptr;
};

// The save was stopped through SaveOptions::stop: the target is as it was, and nothing of the save
// is left behind.
class SaveStopped : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How every save reaches its file. The path may be a symbolic link: the file it leads to is
// replaced (a link that leads nowhere is an error, and so is a folder or any other file that is not
// a regular file). The new file is written in a private folder (mode 0700) made next to the file
// it replaces, checked, and renamed over it in one step, so the target holds either the old file or
// the whole new one, and no partial file can be swapped by anyone else on the way. A replaced file
// keeps its permissions; a new one gets those of a newly created file.

// Empty when a save to path can replace or create the file it names, as far as path itself tells;
// otherwise the reason ("it is a folder", "it is a link to "/x", which does not exist"). The save
// looks again.
QString saveTargetProblem(const QString& path);

// Writes the workbook to path as an .xlsx file: the sheets in workbook order with their names,
// numbers as numbers and text as text. Every character ends up valid in the file: characters the
// file format cannot hold (NUL, U+FFFE, U+FFFF) become U+FFFD, and a literal "_xHHHH_" is written
// so that readers show it as it is. Before it replaces anything, the package written is read back
// and every part of it checked to be complete. Throws std::runtime_error naming the file and the
// reason (SaveStopped when stopped).
void saveWorkbookXlsx(const Workbook& workbook, const QString& path, const SaveOptions& options = {});

// The two ways of writing comma-separated values. Both are RFC 4180 (fields holding a comma, a quote,
// CR or LF are quoted, quotes doubled, rows end in CR LF) and UTF-8.
enum class CsvStyle {
    // For spreadsheet programs: a byte-order mark, so that they read UTF-8, and a leading apostrophe
    // on every text cell that begins with "=", "+", "-", "@", a tab or a CR, so that no slide text is
    // taken for a formula. Numbers are written as they are.
    ForSpreadsheets,
    // The text exactly as it is: no byte-order mark, no apostrophes.
    Exact,
};

// Writes the sheets one after the other to path as comma-separated values, each from A1 to the end of
// its used range, every row as wide as the widest sheet (an empty sheet adds no row). Throws
// std::runtime_error naming the file and the reason (SaveStopped when stopped).
void saveSheetsCsv(const std::vector<const Worksheet*>& sheets, const QString& path, CsvStyle style,
                   const SaveOptions& options = {});
// The same for one sheet.
void saveSheetCsv(const Worksheet& sheet, const QString& path, CsvStyle style, const SaveOptions& options = {});

// The sheets that hold one text with the sheet at index, as the first and the last index: it, the
// sheets before it that it continues, and the sheets after it that continue it. A sheet filled down
// to its last row goes on in the sheet after it, as the import adds a sheet when rows do not fit one.
std::pair<int, int> continuedSheets(const Workbook& workbook, int index);

// The cell text as the .xlsx writer gets it (see saveWorkbookXlsx), NUL-terminated in out.
void xlsxCellText(std::string_view text, std::string& out);

} // namespace quorvane::office
