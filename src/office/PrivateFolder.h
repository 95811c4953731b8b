#pragma once

#include "office/LocalNames.h"

#include <QByteArray>
#include <QDir>

#include <ctime>
#include <string_view>

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvane::office {

// A folder of this user's alone, for files that nobody else may add, swap or read on their way (the
// staging files of a run, the partial file of a save): made with mkdtemp (mode 0700) and removed with
// everything in it when the object goes, or by a later run a day after (removeStale) when the
// program was killed first.
class PrivateFolder {
public:
    PrivateFolder() = default;
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    ~PrivateFolder() {
        if (!m_path.isEmpty() && ::rmdir(m_path.constData()) != 0)
            QDir(nameFromNative(m_path)).removeRecursively();
    }

    // Makes the folder from pattern, a path in the system's bytes that ends in "XXXXXX". False, with
    // errno set, when it cannot be made.
    bool make(QByteArray pattern) {
        if (::mkdtemp(pattern.data()) == nullptr)
            return false;
        m_path = std::move(pattern);
        return true;
    }

    // The folder's path in the system's bytes; empty until make() succeeds.
    const QByteArray& path() const { return m_path; }

    // Whether name is prefix followed by the six characters mkdtemp puts in place of "XXXXXX".
    static bool isMadeName(std::string_view name, std::string_view prefix) {
        if (name.size() != prefix.size() + 6 || !name.starts_with(prefix))
            return false;
        for (const char c : name.substr(prefix.size()))
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
                return false;
        return true;
    }

    // Removes, with everything in them, the folders in folder (in the system's bytes) that a
    // PrivateFolder made, as ours(name) tells by their names, and that were last changed a day ago or
    // more: a program that was killed (SIGKILL, a crash, a power cut) leaves its private folder
    // behind, and nothing else would remove it. Only folders of this user's made with mkdtemp's mode
    // (0700) are touched, never a link; every failure is ignored.
    template <typename Ours> static void removeStale(const QByteArray& folder, Ours&& ours) {
        DIR* listing = ::opendir(folder.constData());
        if (listing == nullptr)
            return;
        const std::time_t dayAgo = std::time(nullptr) - 24 * 60 * 60;
        while (const dirent* entry = ::readdir(listing)) {
            struct stat info{};
            if (!ours(std::string_view(entry->d_name)) ||
                ::fstatat(::dirfd(listing), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(info.st_mode) ||
                info.st_uid != ::geteuid() || (info.st_mode & 07777) != 0700 || info.st_mtime > dayAgo)
                continue;
            QDir(nameFromNative(folder + '/' + entry->d_name)).removeRecursively();
        }
        ::closedir(listing);
    }

private:
    QByteArray m_path;
};

} // namespace quorvane::office
