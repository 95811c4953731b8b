#include "office/spreadsheet/SaveTarget.h"

#include "office/LocalNames.h"
#include "office/spreadsheet/SaveError.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quorvane::office {

void failWith(int error) {
    throw SaveError(QString::fromLocal8Bit(std::strerror(error)));
}

void writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            failWith(errno);
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
}

namespace {

// The text a symbolic link holds, for messages.
QString linkText(const QByteArray& link) {
    QByteArray text(4096, '\0');
    const ssize_t length = ::readlink(link.constData(), text.data(), static_cast<size_t>(text.size()));
    return length < 0 ? QString() : shownName(nameFromNative(text.left(length)));
}

// The file a save replaces or creates: path itself, or the file a link at path leads to.
QByteArray targetOf(const QString& path) {
    // The name's own bytes, also where they are no UTF-8.
    const QByteArray native = nativeName(absoluteName(path));
    struct stat info{};
    if (::lstat(native.constData(), &info) != 0) {
        if (errno == ENOENT)
            return native; // a new file
        failWith(errno);
    }
    QByteArray target = native;
    if (S_ISLNK(info.st_mode)) {
        char* resolved = ::realpath(native.constData(), nullptr);
        if (resolved == nullptr) {
            const int error = errno;
            if (error == ENOENT)
                throw SaveError(u"it is a link to \"%1\", which does not exist"_s.arg(linkText(native)));
            failWith(error);
        }
        target = resolved;
        std::free(resolved);
        if (::stat(target.constData(), &info) != 0)
            failWith(errno);
    }
    if (S_ISDIR(info.st_mode))
        throw SaveError(u"it is a folder"_s);
    if (!S_ISREG(info.st_mode))
        throw SaveError(u"it is not a regular file"_s);
    return target;
}

} // namespace

SaveTarget::SaveTarget(const QString& path) : m_target(targetOf(path)) {
    const qsizetype slash = m_target.lastIndexOf('/');
    const QByteArray folder = slash == 0 ? QByteArray("/") : m_target.left(slash);
    const QByteArray name = m_target.mid(slash + 1);
    // Hidden, and its name says whose partial file it holds, should a crash leave it; a later save
    // into the folder removes what saves that were killed a day ago or more left there.
    PrivateFolder::removeStale(folder, [](std::string_view entry) {
        return entry.starts_with('.') && entry.size() > 17 &&
               PrivateFolder::isMadeName(entry.substr(entry.size() - 16), ".quorvane-");
    });
    if (!m_folder.make(folder + (folder.endsWith('/') ? "" : "/") + "." + name.left(40) + ".quorvane-XXXXXX"))
        failWith(errno);
    m_partial = m_folder.path() + '/' + name;
}

SaveTarget::~SaveTarget() {
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_committed)
        ::unlink(m_partial.constData());
}

int SaveTarget::create() {
    m_fd = ::open(m_partial.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0)
        failWith(errno);
    return m_fd;
}

void SaveTarget::commit() {
    // A full disk or a failing device may only show here.
    if (::fsync(m_fd) != 0)
        failWith(errno);
    struct stat existing{};
    mode_t mode = 0;
    if (::stat(m_target.constData(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(m_fd, mode) != 0)
        failWith(errno);
    if (::rename(m_partial.constData(), m_target.constData()) != 0)
        failWith(errno);
    m_committed = true;
}

QString saveTargetProblem(const QString& path) {
    try {
        targetOf(path);
    } catch (const SaveError& error) {
        return error.description();
    }
    return {};
}

} // namespace quorvane::office
