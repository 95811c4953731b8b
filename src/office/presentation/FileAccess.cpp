#include "office/presentation/FileAccess.h"

#include "office/LocalNames.h"
#include "office/presentation/PresentationDocument.h"
#include "office/presentation/ReadError.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quorvane::office {

namespace {

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Closes a descriptor on every path out of a function.
struct DescriptorCloser {
    int fd;
    ~DescriptorCloser() { ::close(fd); }
};

} // namespace

QString displayName(const QString& path) {
    // The whole path: two files of the same name in different folders must not read alike.
    return path.isEmpty() ? path : shownName(absoluteName(path));
}

int openRegularFile(const QString& path) {
    const QByteArray native = nativeName(path);
    // O_NONBLOCK: opening a named pipe must not wait for a writer; the type check below then refuses it.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        throw ReadError(displayName(path) + u": cannot open the file: "_s + systemReason(errno));
    struct stat info{};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const bool folder = S_ISDIR(info.st_mode);
        ::close(fd);
        throw ReadError(displayName(path) + (folder ? u": is a folder, not a file"_s : u": is not a regular file"_s));
    }
    // Reads of a regular file never block anyway; clear the flag so libraries see an ordinary descriptor.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::string readFileStart(int fd, std::size_t size, int* error) {
    std::string bytes(size, '\0');
    std::size_t filled = 0;
    int failure = 0;
    while (filled < size) {
        const ssize_t got = ::pread(fd, bytes.data() + filled, size - filled, static_cast<off_t>(filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            failure = errno;
        if (got <= 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    if (error != nullptr)
        *error = failure;
    return bytes;
}

std::string readWholeFile(const QString& path, std::uint64_t maxSize, const QString& tooLarge) {
    const DescriptorCloser file{openRegularFile(path)};
    struct stat info{};
    if (::fstat(file.fd, &info) != 0)
        throw ReadError(displayName(path) + u": cannot read the file: "_s + systemReason(errno));
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size > maxSize)
        throw ReadError(displayName(path) + u": "_s + tooLarge);
    SharedReadRoom::claim(static_cast<qsizetype>(size) * 4); // the content and what parsing it builds
    int error = 0;
    std::string content = readFileStart(file.fd, static_cast<std::size_t>(size), &error);
    // A file that shrinks while it is read is being rewritten: what was read is no whole document.
    if (content.size() != size)
        throw ReadError(displayName(path) + u": cannot read the file: "_s +
                        (error != 0 ? systemReason(error) : u"it grew shorter while it was read"_s));
    return content;
}

} // namespace quorvane::office
