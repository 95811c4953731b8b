#pragma once

#include "office/SpreadsheetServer.h"
#include "shell/RandomSource.h"

#include <QString>

namespace quorvane::import {

// The characters a sheet name made from a file name keeps: the letters and numbers of every script
// (Unicode's letter and number categories) and the space. Of ASCII these are the 26 capital and 26
// small letters, the 10 digits and the space, so a name written in ASCII keeps what it always kept.
class SheetNameCharacters {
public:
    bool contains(char32_t character) const;
};
inline constexpr SheetNameCharacters SheetNameAlphabet{};

// The text after the last "/" of path, or the whole path when it holds none.
QString FileNameOf(const QString& path);
// The characters of text that the alphabet holds, in their order; every other character is dropped.
// A character past U+FFFF counts as one (both halves of its surrogate pair stay or go), and a mark
// (an accent, an Indic vowel sign) stays when the character it belongs to stays, so that a word of
// any script keeps its spelling. An unpaired surrogate is dropped.
QString FilterChars(const QString& text, const SheetNameCharacters& alphabet);
// The same for an alphabet of exactly the characters of alphabet (case-sensitive).
QString FilterChars(const QString& text, const QString& alphabet);
// True when a sheet of the instance's active workbook has this name, letters compared without regard
// to case as the spreadsheet compares sheet names (it refuses a second "q3 review" beside "Q3 Review").
// Reads the count once and visits every sheet.
bool SheetExists(office::SpreadsheetApplication& target, const QString& name);
// A whole number from 1 to limit + 1: re-seeds from the clock, then round-half-even(r * limit) + 1.
int RandomUpTo(shell::RandomSource& random, int limit);
// The longest name the import gives a sheet, in UTF-16 units, as the spreadsheet counts a name.
inline constexpr int MaxSheetNameLength = 30;

// The first units UTF-16 units of text (all of it when it is shorter), one fewer when the cut would
// fall between the two halves of a surrogate pair.
QString leftUnits(const QString& text, qsizetype units);
// The name without "[" and "]", cut to its first MaxSheetNameLength units (leftUnits).
QString CleanSheetName(const QString& name);
// The name made distinct by number: cut where needed (leftUnits) so that the number's decimal digits,
// appended after it, still fit within MaxSheetNameLength (a cut would otherwise take them away again).
QString numberedName(const QString& name, int number);

} // namespace quorvane::import
