#include "import/StagingFile.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quorvane::import {

namespace {

[[noreturn]] void failWith(const QString& what, int error) {
    throw std::runtime_error((what + u": "_s + QString::fromLocal8Bit(std::strerror(error))).toStdString());
}

} // namespace

StagingFile::~StagingFile() {
    if (m_file != nullptr)
        std::fclose(m_file);
}

QString StagingFile::createPath() {
    QString folder = qEnvironmentVariable("TEMP");
    if (folder.isEmpty())
        folder = QDir::tempPath();
    // mkstemps creates the file with O_CREAT | O_EXCL and mode 0600 under a name nobody can predict: an
    // existing file or link at that name makes it pick another one instead of writing through it.
    QByteArray pattern = QFile::encodeName(QDir(folder).filePath(u"quorvane-XXXXXX.txt"_s));
    const int fd = ::mkstemps(pattern.data(), 4);
    if (fd < 0)
        failWith(u"Cannot create a staging file in %1"_s.arg(QDir::toNativeSeparators(folder)), errno);
    ::close(fd);
    return QFile::decodeName(pattern);
}

void StagingFile::open(const QString& path) {
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    m_path = path;
    // The file was created by createPath: it is opened again without O_CREAT and never through a link,
    // so a file that vanished or was swapped for a link is an error, not a redirected write.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        failWith(u"Cannot open the staging file %1"_s.arg(path), errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        throw std::runtime_error((u"The staging file %1 is not a regular file"_s.arg(path)).toStdString());
    }
    m_file = ::fdopen(fd, "wb");
    if (m_file == nullptr) {
        const int error = errno;
        ::close(fd);
        failWith(u"Cannot open the staging file %1"_s.arg(path), error);
    }
}

void StagingFile::write(const QString& text) {
    if (m_file == nullptr)
        throw std::runtime_error((u"The staging file %1 is not open"_s.arg(m_path)).toStdString());
    // UTF-8 without a byte-order mark: every character survives and the SplitMark stays one character.
    // Converted a piece at a time, so a run's whole text is never held twice more in memory.
    auto put = [&](const QByteArray& bytes) {
        if (std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), m_file) !=
            static_cast<size_t>(bytes.size()))
            failWith(u"Cannot write the staging file %1"_s.arg(m_path), errno);
    };
    constexpr qsizetype Piece = 1 << 16;
    const QStringView all(text);
    for (qsizetype from = 0; from < all.size();) {
        qsizetype length = std::min(Piece, all.size() - from);
        // A piece never ends between the two halves of a surrogate pair.
        if (from + length < all.size() && all.at(from + length - 1).isHighSurrogate())
            ++length;
        put(all.mid(from, length).toUtf8());
        from += length;
    }
    put(QByteArrayLiteral("\r\n"));
}

void StagingFile::close() {
    if (m_file == nullptr)
        throw std::runtime_error((u"The staging file %1 is not open"_s.arg(m_path)).toStdString());
    std::FILE* file = m_file;
    m_file = nullptr;
    // A full disk may only show when the buffered bytes are flushed here.
    if (std::fclose(file) != 0)
        failWith(u"Cannot write the staging file %1"_s.arg(m_path), errno);
}

void DeleteQuietly(shell::EventPump& events, const QString& path) {
    // OperationAborted from the yield passes on: the caller cleans up when the window has closed.
    events.yield();
    if (!path.isEmpty())
        ::unlink(QFile::encodeName(path).constData()); // every failure is ignored
}

} // namespace quorvane::import
