#pragma once

#include <QStringList>

#include <cstdio>

namespace quorvane::cli {

// Each sub-command takes its own arguments (after the sub-command's name) and returns the exit status.
int runText(const QStringList& arguments, std::FILE* out, std::FILE* err);
int runImport(const QStringList& arguments, std::FILE* out, std::FILE* err);

// Sets up the C library for reading many files in a row (memory kept between files, the time zone
// read once). Changes nothing the user can see.
void prepareForManyFiles();

// Writes text to a stream as UTF-8 bytes, exactly.
void writeUtf8(std::FILE* stream, const QString& text);

} // namespace quorvane::cli
