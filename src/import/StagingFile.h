#pragma once

#include "shell/EventPump.h"

#include <QByteArrayView>
#include <QString>

#include <cstdio>
#include <vector>

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

    // The folder staging files go to: $TEMP when set and not empty, else the platform's temp folder.
    static QString folder();
    // Creates a new, empty staging file and returns its path. Throws std::runtime_error naming the
    // folder and the reason when it cannot be created.
    static QString createPath();
    // The same for this use of the file: a failure is kept, so that the steps after it can say why
    // there is no file to write.
    QString create();

    // The three steps of writing: open the file at path for writing (truncating it; an empty path is
    // the file create() could not make), write the text and a line end (CR LF, unless the text
    // already ends with CR or LF: the line end would be read as one more, empty row), close it. Each
    // throws std::runtime_error naming the file, or the folder when there is no file, and the reason.
    void open(const QString& path);
    void write(const QString& text);
    // The same for text already in UTF-8, given in parts written one after the other.
    void write(const std::vector<QByteArrayView>& parts);
    void close();

private:
    [[noreturn]] void failNotOpen(const QString& action) const;
    void put(QByteArrayView bytes);
    void endText();

    std::FILE* m_file = nullptr;
    QString m_path;
    QString m_problem;  // why there is no open file: the reason create() or open() failed
    char m_last = '\0'; // the last byte written, for the line end after the text
};

// Yields to the event queue, then deletes the file; every failure is ignored.
void DeleteQuietly(shell::EventPump& events, const QString& path);

} // namespace quorvane::import
