#pragma once

#include <QString>

namespace quorvane::import {

// The one rare character the spreadsheet splits columns at (U+00B8, CEDILLA).
inline constexpr QChar SplitMark{0x00B8};

// The text with every occurrence of separator replaced by one SplitMark, scanning left to right,
// case-sensitively, occurrences never overlapping. An empty separator leaves the text unchanged.
QString separateColumns(const QString& text, const QString& separator);

} // namespace quorvane::import
