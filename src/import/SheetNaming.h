#pragma once

#include "office/SpreadsheetServer.h"
#include "shell/RandomSource.h"

#include <QString>

namespace quorvane::import {

// The 63 characters allowed in a sheet name made from a file name; the space is the last.
inline const QString SheetNameAlphabet =
    QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 ");

// The text after the last "/" of path, or the whole path when it holds none.
QString FileNameOf(const QString& path);
// The characters of text that occur in alphabet, in their order; every other character is dropped.
QString FilterChars(const QString& text, const QString& alphabet);
// True when a sheet of the instance's active workbook has exactly this name (case-sensitive).
// Reads the count once and visits every sheet.
bool SheetExists(office::SpreadsheetApplication& target, const QString& name);
// A whole number from 1 to limit + 1: re-seeds from the clock, then round-half-even(r * limit) + 1.
int RandomUpTo(shell::RandomSource& random, int limit);
// The longest name the import gives a sheet.
inline constexpr int MaxSheetNameLength = 30;

// The name without "[" and "]", cut to its first MaxSheetNameLength characters.
QString CleanSheetName(const QString& name);
// The name made distinct by number: cut where needed so that the number's decimal digits, appended
// after it, still fit within MaxSheetNameLength (a cut would otherwise take them away again).
QString numberedName(const QString& name, int number);

} // namespace quorvane::import
