#pragma once

#include "office/spreadsheet/Workbook.h"

#include <QString>

#include <string>
#include <string_view>
#include <vector>

namespace quorvane::office {

// Writes the workbook to path as an .xlsx file: the sheets in workbook order with their names,
// numbers as numbers and text as text. Every character ends up valid in the file: characters the
// file format cannot hold (NUL, U+FFFE, U+FFFF) become U+FFFD, and a literal "_xHHHH_" is written
// so that readers show it as it is. The file appears complete or not at all (written beside the
// target, then renamed over it). Throws std::runtime_error naming the file and the reason.
void saveWorkbookXlsx(const Workbook& workbook, const QString& path);

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
// std::runtime_error naming the file and the reason.
void saveSheetsCsv(const std::vector<const Worksheet*>& sheets, const QString& path, CsvStyle style);
// The same for one sheet.
void saveSheetCsv(const Worksheet& sheet, const QString& path, CsvStyle style);

// The cell text as the .xlsx writer gets it (see saveWorkbookXlsx), NUL-terminated in out.
void xlsxCellText(std::string_view text, std::string& out);

} // namespace quorvane::office
