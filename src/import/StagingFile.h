#pragma once

#include "shell/EventPump.h"

#include <QString>

#include <cstdio>

namespace quorvane::import {

// The text file the spreadsheet opens, split at the SplitMark. UTF-8 without a byte-order mark.
// Each use gets a file of its own: created exclusively (never through an existing file or link) with
// a unique name and mode 0600 in $TEMP when that is set and not empty, else the platform's temp folder.
class StagingFile {
public:
    StagingFile() = default;
    StagingFile(const StagingFile&) = delete;
    StagingFile& operator=(const StagingFile&) = delete;
    ~StagingFile(); // closes a file left open

    // Creates a new, empty staging file and returns its path. Throws std::runtime_error naming the
    // folder and the reason when it cannot be created.
    static QString createPath();

    // The three steps of writing: open the file at path for writing (truncating it), write the text
    // followed by CR LF, close it. Each throws std::runtime_error naming the file and the reason.
    void open(const QString& path);
    void write(const QString& text);
    void close();

private:
    std::FILE* m_file = nullptr;
    QString m_path;
};

// Yields to the event queue, then deletes the file; every failure is ignored.
void DeleteQuietly(shell::EventPump& events, const QString& path);

} // namespace quorvane::import
