#pragma once

#include <QJsonArray>
#include <QString>

namespace quorvane::test {

// Independent readers of the workbooks the program saves, each run in the system's python3. Each
// returns the sheets in order: [{"name": ..., "active": true|false, "cells": {"A1": ["str"|"int"|"float",
// value], ...}, "wrapped": ["A1", ...]}, ...], "wrapped" listing the cells that wrap their text. Each
// fails the calling test (and returns an empty array) when it cannot read the file.

// With openpyxl; each sheet also has "widths": {"A": 12.71, ...}, the columns of a width of their own.
QJsonArray readXlsx(const QString& path);
// With odfpy.
QJsonArray readOds(const QString& path);

// A large .xlsx or .ods read as a stream, with Python's own XML parser, for what a sheet of a million rows
// holds in brief: [{"name": ..., "filled": the cells with a value, "first": the text of the first of
// them, "last": of the last}, ...].
QJsonArray summarizeSheets(const QString& path);

// Whether LibreOffice Calc is there to read workbooks (readWithCalc).
bool haveCalc();
// The workbook at path as LibreOffice Calc reads it: Calc saves what it read as an .ods file of its
// own in folder, which readOds reads.
QJsonArray readWithCalc(const QString& path, const QString& folder);

} // namespace quorvane::test
