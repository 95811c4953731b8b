#include "import/StagingFile.h"

#include "import/ImportError.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quorvane::import {

namespace {

[[noreturn]] void failWith(const QString& what, int error) {
    throw ImportError(what + u": "_s + QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

QString StagingFolder::path() {
    if (!m_path.isEmpty())
        return m_path;
    // What runs that were killed left behind goes first.
    office::PrivateFolder::removeStale(QFile::encodeName(StagingFile::folder()), [](std::string_view name) {
        return office::PrivateFolder::isMadeName(name, "quorvane-");
    });
    if (!m_folder.make(QFile::encodeName(QDir(StagingFile::folder()).filePath(u"quorvane-XXXXXX"_s)))) {
        m_error = errno;
        return {};
    }
    m_path = QFile::decodeName(m_folder.path());
    return m_path;
}

StagingFile::~StagingFile() {
    if (m_file != nullptr)
        std::fclose(m_file);
    if (m_created >= 0)
        ::close(m_created);
}

QString StagingFile::folder() {
    const QString temp = qEnvironmentVariable("TEMP");
    return temp.isEmpty() ? QDir::tempPath() : temp;
}

QString StagingFile::createPath(StagingFolder& folder) {
    StagingFile staging(folder);
    return staging.create();
}

QString StagingFile::create() {
    const QString path = tryCreate();
    if (path.isEmpty())
        failWith(u"Cannot create a staging file in %1"_s.arg(QDir::toNativeSeparators(folder())), m_createError);
    return path;
}

QString StagingFile::tryCreate() {
    const QString in = QDir::toNativeSeparators(folder());
    if (m_created >= 0)
        ::close(m_created);
    m_created = -1;
    m_createdPath.clear();
    // mkostemps creates the file with O_CREAT | O_EXCL and mode 0600 under a name nobody can predict,
    // in a folder nobody else may enter; the descriptor stays open for writing.
    const QString inside = m_folder.path();
    int error = m_folder.error();
    QByteArray pattern;
    if (!inside.isEmpty()) {
        pattern = QFile::encodeName(QDir(inside).filePath(u"quorvane-XXXXXX.txt"_s));
        m_created = ::mkostemps(pattern.data(), 4, O_CLOEXEC);
        error = errno;
    }
    if (m_created < 0) {
        m_path.clear();
        m_createError = error;
        m_problem = u"none could be created in %1: %2"_s.arg(in, QString::fromLocal8Bit(std::strerror(error)));
        return {};
    }
    m_path = m_createdPath = QFile::decodeName(pattern);
    m_problem.clear();
    return m_path;
}

void StagingFile::open(const QString& path) {
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    m_path = path;
    m_last = '\0';
    m_removed = false;
    if (path.isEmpty()) {
        if (m_problem.isEmpty())
            m_problem = u"none was created in "_s + QDir::toNativeSeparators(folder());
        throw ImportError(u"Cannot open a staging file: "_s + m_problem);
    }
    m_problem.clear();
    int fd = -1;
    if (m_created >= 0 && path == m_createdPath) {
        // The file create() made, through the descriptor that made it: no name is looked up again.
        fd = m_created;
        m_created = -1;
        // It was made empty, and is emptied again only when something wrote to it since: ext4 takes a
        // file truncated to nothing for one being replaced, and writes it to the disk when it is
        // closed, which would cost every pass a write of a file that is deleted right after.
        struct stat info{};
        if ((::fstat(fd, &info) != 0 || info.st_size != 0) && ::ftruncate(fd, 0) != 0) {
            const int error = errno;
            ::close(fd);
            m_problem = QString::fromLocal8Bit(std::strerror(error));
            failWith(u"Cannot open the staging file %1"_s.arg(path), error);
        }
    } else {
        // Any other file is opened without O_CREAT and never through a link, so a file that vanished
        // or was swapped for a link is an error, not a redirected write.
        fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) {
            const int error = errno;
            m_problem = QString::fromLocal8Bit(std::strerror(error));
            failWith(u"Cannot open the staging file %1"_s.arg(path), error);
        }
        struct stat info{};
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            ::close(fd);
            m_problem = u"it is not a regular file"_s;
            throw ImportError(u"The staging file %1 is not a regular file"_s.arg(path));
        }
    }
    m_file = ::fdopen(fd, "wb");
    if (m_file == nullptr) {
        const int error = errno;
        ::close(fd);
        m_problem = QString::fromLocal8Bit(std::strerror(error));
        failWith(u"Cannot open the staging file %1"_s.arg(path), error);
    }
}

// A failed write (a full disk) leaves a cut text: the file goes at once, so that nothing can read
// it, and the spreadsheet's open that follows fails with its own report.
void StagingFile::failWriting(int error) {
    if (m_file != nullptr)
        std::fclose(m_file);
    m_file = nullptr;
    ::unlink(QFile::encodeName(m_path).constData());
    m_removed = true;
    m_problem = u"its writing failed and it was removed"_s;
    failWith(u"Cannot write the staging file %1"_s.arg(m_path), error);
}

// Says why the file is not open: the folder and the reason when there is no file, else the file and
// the reason it could not be opened.
void StagingFile::failNotOpen(const QString& action) const {
    if (m_path.isEmpty())
        throw ImportError(
            u"Cannot %1 a staging file: "_s.arg(action) +
            (m_problem.isEmpty() ? u"none was created in "_s + QDir::toNativeSeparators(folder()) : m_problem));
    throw ImportError(u"Cannot %1 the staging file %2: it is not open"_s.arg(action, m_path) +
                      (m_problem.isEmpty() ? QString() : u" ("_s + m_problem + u")"_s));
}

void StagingFile::put(QByteArrayView bytes) {
    if (bytes.isEmpty())
        return;
    if (std::fwrite(bytes.data(), 1, static_cast<size_t>(bytes.size()), m_file) != static_cast<size_t>(bytes.size()))
        failWriting(errno);
    m_last = bytes.back();
}

// The line end after the text, unless the text ended with one; an empty text gets one all the same.
void StagingFile::endText() {
    if (m_last != '\r' && m_last != '\n')
        put("\r\n");
}

void StagingFile::write(const QString& text) {
    if (m_file == nullptr)
        failNotOpen(u"write"_s);
    // UTF-8 without a byte-order mark: every character survives and the SplitMark stays one character.
    // Converted a piece at a time, so a run's whole text is never held twice more in memory.
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
    endText();
}

void StagingFile::write(const std::vector<QByteArrayView>& parts) {
    if (m_file == nullptr)
        failNotOpen(u"write"_s);
    for (const QByteArrayView part : parts)
        put(part);
    endText();
}

void StagingFile::close() {
    if (m_removed)
        return; // the failed write said so
    if (m_file == nullptr)
        failNotOpen(u"close"_s);
    // A full disk may only show when the buffered bytes are flushed here.
    if (std::fflush(m_file) != 0)
        failWriting(errno);
    std::FILE* file = m_file;
    m_file = nullptr;
    if (std::fclose(file) != 0)
        failWriting(errno);
}

void DeleteQuietly(shell::EventPump& events, const QString& path) {
    // OperationAborted from the yield passes on: the caller cleans up when the window has closed.
    events.yield();
    if (!path.isEmpty())
        ::unlink(QFile::encodeName(path).constData()); // every failure is ignored
}

} // namespace quorvane::import
