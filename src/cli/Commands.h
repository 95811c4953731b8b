#pragma once

#include "import/ShapeTexts.h"

#include <QStringList>

#include <cstdio>
#include <optional>

namespace quorvane::cli {

// Each sub-command takes its own arguments (after the sub-command's name) and returns the exit status.
int runText(const QStringList& arguments, std::FILE* out, std::FILE* err);
int runImport(const QStringList& arguments, std::FILE* out, std::FILE* err);

// Sets up the C library for reading many files in a row (memory kept between files, the time zone
// read once). Changes nothing the user can see.
void prepareForManyFiles();

// Reads an --include list ("notes,tables") into choice; returns the problem when it names anything else.
std::optional<QString> parseInclude(const QString& list, import::TextChoice& choice);

// Appends the paths that the file list source names (a file, or "-" for standard input): one a line
// (a CR before the line end is no part of it), or NUL-separated with nulSeparated; empty entries are
// skipped. Returns the problem, naming the list by its full path, when it cannot be read.
std::optional<QString> readFileList(const QString& source, bool nulSeparated, QStringList& paths);

// Writes text to a stream as UTF-8 bytes, exactly.
void writeUtf8(std::FILE* stream, const QString& text);

} // namespace quorvane::cli
