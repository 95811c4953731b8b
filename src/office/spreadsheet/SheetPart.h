#pragma once

#include "office/spreadsheet/Worksheet.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace quorvane::office::xlsx {

// Writes sheet as its SpreadsheetML part: the dimension (the used range), the sheet's view (selected
// when it is the sheet shown), the widths of the columns that need more than the default
// (columnWidths), and every row that holds a cell, text as inline strings, numbers as numbers. A text
// with a line break has it as LF and the wrapping cell format (1). The part goes to out in pieces of
// at least pieceSize bytes (the last may be shorter), so that no sheet is ever held whole. Stops with
// SaveStopped when stop is set. Returns the number of <row> elements written.
std::int64_t writeSheetPart(const Worksheet& sheet, bool selected, std::size_t pieceSize,
                            const std::function<void(std::string&&)>& out, const std::atomic<bool>* stop = nullptr);

// An upper bound of the size of the part writeSheetPart makes of sheet, in bytes.
std::uint64_t sheetPartBound(const Worksheet& sheet);

} // namespace quorvane::office::xlsx
