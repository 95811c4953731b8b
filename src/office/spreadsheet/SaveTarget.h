#pragma once

#include "office/PrivateFolder.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <string_view>

namespace quorvane::office {

// How every save reaches its file. The path may be a symbolic link: the file it leads to is replaced
// (a link that leads nowhere is an error, and so is a folder or any other file that is not a regular
// file). The new file is written in a private folder (mode 0700) made next to the file it replaces,
// checked, and renamed over it in one step, so the target holds either the old file or the whole new
// one, and no partial file can be swapped by anyone else on the way. A replaced file keeps its
// permissions; a new one gets those of a newly created file. Everything here throws SaveError with
// the reason alone; the caller names the file.
class SaveTarget {
public:
    explicit SaveTarget(const QString& path);
    SaveTarget(const SaveTarget&) = delete;
    SaveTarget& operator=(const SaveTarget&) = delete;
    // Removes the partial file unless commit() moved it away, and its folder.
    ~SaveTarget();

    // The partial file's path, inside the private folder.
    const QByteArray& partial() const { return m_partial; }
    // Creates the partial file for reading and writing; the descriptor is closed with this object.
    int create();
    // Makes the partial file the target: on the disk, with the permissions of the file it replaces (or
    // those of a new file), renamed over it.
    void commit();

private:
    QByteArray m_target;
    PrivateFolder m_folder;
    QByteArray m_partial;
    int m_fd = -1;
    bool m_committed = false;
};

// Empty when a save to path can replace or create the file it names, as far as path itself tells;
// otherwise the reason ("it is a folder", "it is a link to "/x", which does not exist").
QString saveTargetProblem(const QString& path);

// Writes all of data to fd at its position.
void writeAll(int fd, std::string_view data);

// Throws SaveError with the system's text for errno value error.
[[noreturn]] void failWith(int error);

} // namespace quorvane::office
