#pragma once

#include "office/spreadsheet/Workbook.h"

#include <QString>

#include <string>
#include <string_view>

namespace quorvane::office {

// Writes the workbook to path as an .xlsx file: the sheets in workbook order with their names,
// numbers as numbers and text as text. Every character ends up valid in the file: characters the
// file format cannot hold (NUL, U+FFFE, U+FFFF) become U+FFFD, and a literal "_xHHHH_" is written
// so that readers show it as it is. The file appears complete or not at all (written beside the
// target, then renamed over it). Throws std::runtime_error naming the file and the reason.
void saveWorkbookXlsx(const Workbook& workbook, const QString& path);

// Writes one sheet to path as UTF-8 comma-separated values (RFC 4180: fields holding a comma, a
// quote, CR or LF are quoted, quotes doubled, rows end in CR LF), from A1 to the end of the used
// range. Throws std::runtime_error naming the file and the reason.
void saveSheetCsv(const Worksheet& sheet, const QString& path);

// The cell text as the .xlsx writer gets it (see saveWorkbookXlsx), NUL-terminated in out.
void xlsxCellText(std::string_view text, std::string& out);

} // namespace quorvane::office
