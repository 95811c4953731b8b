#pragma once

#include "office/LocalNames.h"

#include <QByteArray>
#include <QDir>

#include <stdlib.h>
#include <unistd.h>

namespace quorvane::office {

// A folder of this user's alone, for files that nobody else may add, swap or read on their way (the
// staging files of a run, the partial file of a save): made with mkdtemp (mode 0700) and removed with
// everything in it when the object goes.
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

private:
    QByteArray m_path;
};

} // namespace quorvane::office
