#pragma once

#include "office/PrivateFolder.h"
#include "shell/EventPump.h"

#include <QByteArrayView>
#include <QString>

#include <cstdio>
#include <vector>

namespace quorvane::import {

// The private folder of the staging files of one run, in the temporary folder ($TEMP when set and not
// empty, else the platform's), made on first use ("quorvane-" and six characters), when the folders of
// runs that were killed a day ago or more are removed from there.
class StagingFolder {
public:
    // The folder's path; the first call makes it. Empty when it cannot be made, the errno in
    // error() (a later call tries again).
    QString path();
    int error() const { return m_error; }

private:
    office::PrivateFolder m_folder;
    QString m_path;
    int m_error = 0;
};

// The text file the spreadsheet opens, split at the SplitMark. UTF-8 without a byte-order mark.
// Each use gets a file of its own in the run's private folder: created exclusively with a unique name
// and mode 0600, and written through the descriptor that created it.
class StagingFile {
public:
    explicit StagingFile(StagingFolder& folder) : m_folder(folder) {}
    StagingFile(const StagingFile&) = delete;
    StagingFile& operator=(const StagingFile&) = delete;
    ~StagingFile(); // closes a file left open

    // The temporary folder: $TEMP when set and not empty, else the platform's temp folder.
    static QString folder();
    // Creates a new, empty staging file in folder and returns its path. Throws ImportError
    // naming the temporary folder and the reason when it cannot be created.
    static QString createPath(StagingFolder& folder);
    // The same for this use of the file, which keeps it open for the writing steps. A failure is
    // kept, so that the steps after it can say why there is no file to write.
    QString create();
    // As create(), but when no file can be made the result is the empty path instead of a failure:
    // opening it fails then, with the reason.
    QString tryCreate();

    // The three steps of writing: open the file at path for writing (truncating it; an empty path is
    // the file create() could not make; the file create() made is written through the descriptor it
    // opened, any other is opened anew, never through a link), write the text and a line end (CR LF,
    // unless the text already ends with CR or LF: the line end would be read as one more, empty row),
    // close it. Each throws ImportError naming the file, or the folder when there is no file,
    // and the reason. A file whose writing or closing failed is removed, so that nothing reads a cut
    // text from it: the spreadsheet's open fails instead.
    void open(const QString& path);
    void write(const QString& text);
    // The same for text already in UTF-8, given in parts written one after the other.
    void write(const std::vector<QByteArrayView>& parts);
    void close();

private:
    [[noreturn]] void failNotOpen(const QString& action) const;
    [[noreturn]] void failWriting(int error);
    void put(QByteArrayView bytes);
    void endText();

    StagingFolder& m_folder;
    int m_created = -1; // the descriptor create() opened, until open() takes it
    QString m_createdPath;
    std::FILE* m_file = nullptr;
    bool m_removed = false; // its writing failed and the file is gone: closing has nothing left to do
    QString m_path;
    QString m_problem;     // why there is no open file: the reason create() or open() failed
    int m_createError = 0; // the errno of the last create() that made no file
    char m_last = '\0';    // the last byte written, for the line end after the text
};

// Yields to the event queue, then deletes the file; every failure is ignored.
void DeleteQuietly(shell::EventPump& events, const QString& path);

} // namespace quorvane::import
