#pragma once

#include <QString>

namespace quorvane::import {

// The one rare character the spreadsheet splits columns at (U+00B8, CEDILLA).
inline constexpr QChar SplitMark{0x00B8};

// A presentation's text made ready to stage: a SplitMark in it is text, not the start of a column,
// so it becomes office::ColumnMarkAsText, which the spreadsheet turns back into a SplitMark in the
// cell; that noncharacter itself, should a presentation hold it, becomes U+FFFD.
QString protectSplitMarks(QString text);

// The text with every occurrence of separator replaced by one SplitMark, scanning left to right,
// case-sensitively, occurrences never overlapping. An empty separator leaves the text unchanged.
// The text is staged text (protectSplitMarks); the separator is matched as it stands in such text.
QString separateColumns(const QString& text, const QString& separator);

} // namespace quorvane::import
