#pragma once

// The folder scan's view of the file system in the system's own terms: paths and names as bytes,
// folder listings with readdir, and the attribute values of FolderScan.h. Internal to the file list.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <dirent.h>
#include <sys/types.h>

namespace quorvane::filelist {

// The bytes of a path for the system calls; empty when the text cannot name a file (embedded NUL).
QByteArray nativePath(const QString& path);

// A name read from a folder as text, or nothing when its bytes are not valid UTF-8.
std::optional<QString> decodeName(QByteArrayView raw);

// A name that is not valid UTF-8 as text a person can tell apart: each byte that is not part of a
// character as "\xHH".
QString readableName(QByteArrayView raw);

std::string reasonOf(int code);
bool isPermissionError(int code);

// Throws ScanError: what, the quoted path and the system's reason.
[[noreturn]] void failScan(const char* what, const QString& path, int code);

// The attribute value of path, or -1 with the errno in error when it cannot be examined.
int attributesOrFailure(const QString& path, int& error);

// A folder's identity, so the walk enters each folder once however many links lead to it.
using FolderId = std::pair<dev_t, ino_t>;

// An open folder listing; readdir's names as raw bytes, with d_type when the file system gives it.
class FolderReader {
public:
    explicit FolderReader(const QByteArray& path);
    ~FolderReader();
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    // The errno of opening the folder, or 0.
    int openError() const { return m_error; }
    int fd() const { return ::dirfd(m_dir); }

    struct Entry {
        QByteArray name;
        unsigned char type;
    };
    // Reads every remaining entry but "." and ".."; returns the errno of a listing that failed
    // part-way (the entries read before the failure are kept), or 0.
    int readAll(std::vector<Entry>& entries);

private:
    DIR* m_dir;
    int m_error = 0;
};

} // namespace quorvane::filelist
