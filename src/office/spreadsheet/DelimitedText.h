#pragma once

#include "office/spreadsheet/Worksheet.h"

#include <QString>

#include <memory>
#include <string_view>

namespace quorvane::office {

// True when text is a plain decimal number that the spreadsheet writes back as exactly the same
// text: an optional minus, digits without leading zeros, an optional fraction without trailing
// zeros, at most 15 significant digits ("42", "-3.5", "0.25"; not "007", "1.50", "3.0", "+3",
// "1e3", "-0").
bool isPlainNumber(std::string_view text);

// Reads the UTF-8 text file at path as the spreadsheet reads delimited text: a row at each CR LF, LF
// or lone CR (a line end after the last line adds no row), a new column at each delimiter character
// and at nothing else, no text qualifier, nothing read as a formula or a date, a cell a number only
// when isPlainNumber holds. A leading byte-order mark is skipped. Split at ColumnMark, a
// ColumnMarkAsText in the text is a ColumnMark in its cell.
// Throws AutomationError naming the file and the reason when it cannot be read, is not UTF-8, or
// holds more than a sheet does (rows, columns, or characters in one cell).
std::shared_ptr<const CellBlock> readDelimitedText(const QString& path, char32_t delimiter);

// The same for text already in memory; name stands for the file in descriptions.
std::shared_ptr<const CellBlock> parseDelimitedText(QByteArray text, char32_t delimiter, const QString& name);

} // namespace quorvane::office
