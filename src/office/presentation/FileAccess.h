#pragma once

// How the presentation engine reaches the files it reads. Every reader opens its file through
// openRegularFile, so a folder, a named pipe or a device is refused the same way everywhere and never
// blocks, and every message names the file by displayName.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvane::office {

// The name a file goes by in messages: its full path (made absolute when it is relative), as
// shownName shows it.
QString displayName(const QString& path);

// Opens path for reading when, and only when, it is a regular file: a folder, a named pipe or a
// device is refused without blocking. Returns the descriptor (the caller closes it). Throws ReadError
// "<full path>: <reason>".
int openRegularFile(const QString& path);

// Reads up to size bytes from the start of the open file fd; fewer when the file is shorter. A read
// that fails ends it with what came before, and *error (when given) is then the errno, else 0.
std::string readFileStart(int fd, std::size_t size, int* error = nullptr);

// The whole content of the regular file at path, which a reader wants in memory at once. A file
// larger than maxSize bytes is refused with the reason tooLarge instead of being read. Throws
// ReadError "<full path>: <reason>" (see openRegularFile; "cannot read the file: ...").
std::string readWholeFile(const QString& path, std::uint64_t maxSize, const QString& tooLarge);

} // namespace quorvane::office
