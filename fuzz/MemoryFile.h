#pragma once

// One input of a fuzz target as a file the readers open by path like any other, kept in an anonymous
// memory file (memfd): nothing is written to disk, and nothing is left behind when the target ends.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <sys/mman.h>
#include <unistd.h>

namespace quorvane::fuzz {

class MemoryFile {
public:
    MemoryFile() : m_fd(::memfd_create("quorvane-fuzz-input", MFD_CLOEXEC)) {
        if (m_fd < 0)
            std::abort();
        m_path = QStringLiteral("/proc/self/fd/%1").arg(m_fd);
    }
    ~MemoryFile() { ::close(m_fd); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // Makes the file hold exactly the bytes; returns its path.
    const QString& hold(const void* data, std::size_t size) {
        if (::ftruncate(m_fd, 0) != 0)
            std::abort();
        for (std::size_t written = 0; written < size;) {
            const ssize_t n =
                ::pwrite(m_fd, static_cast<const char*>(data) + written, size - written, static_cast<off_t>(written));
            if (n <= 0)
                std::abort();
            written += static_cast<std::size_t>(n);
        }
        return m_path;
    }

private:
    int m_fd;
    QString m_path;
};

} // namespace quorvane::fuzz
