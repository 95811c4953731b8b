#pragma once

#include "office/spreadsheet/Worksheet.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// How a saved workbook writes a cell's text for spreadsheet programs: its line breaks, and the width of
// the columns that show it. The cells keep the presentation's characters; only the files change.
namespace quorvane::office {

// A slide's line break inside a paragraph is VT (U+000B), which spreadsheet programs do not break a
// line at; theirs is LF, shown as a break in a cell that wraps.
inline constexpr char SlideLineBreak = '\v';

// Whether the cell text holds a line break (VT or LF); such a cell wraps in a saved workbook.
bool holdsLineBreak(std::string_view text);
// The text with every VT as LF.
std::string withLineFeeds(std::string_view text);

// The widths of the columns of a sheet, in characters, from its first column to the last of its used
// range: each that of the longest line of text in the column (a character of the wide East Asian
// scripts counts as two), at most MaxColumnWidth; 0 for a column whose lines all fit the default
// width (DefaultColumnWidth). A number counts as its text. Stops with SaveStopped when stop is set.
inline constexpr int DefaultColumnWidth = 8;
inline constexpr int MaxColumnWidth = 80;
std::vector<int> columnWidths(const Worksheet& sheet, const std::atomic<bool>* stop = nullptr);

} // namespace quorvane::office
