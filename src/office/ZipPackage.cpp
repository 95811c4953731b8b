#include "ZipPackage.h"

#include "AutomationError.h"

#include <QFileInfo>

#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quorvane::office {

namespace {

std::string foldAscii(std::string_view name) {
    std::string folded(name);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

QString libzipReason(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    QString reason = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return reason;
}

// Closes a libzip entry on every path out of read().
struct EntryCloser {
    zip_file_t* file;
    ~EntryCloser() { zip_fclose(file); }
};

} // namespace

QString displayName(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? path : name;
}

int openRegularFile(const QString& path) {
    const QString name = displayName(path);
    const QByteArray native = QFile::encodeName(path);
    // O_NONBLOCK: opening a named pipe must not wait for a writer; the type check below then refuses it.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        throw AutomationError(name + u": cannot open the file: "_s + QString::fromLocal8Bit(std::strerror(errno)));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const bool folder = S_ISDIR(info.st_mode);
        ::close(fd);
        throw AutomationError(name + (folder ? u": is a folder, not a file"_s : u": is not a regular file"_s));
    }
    // Reads of a regular file never block anyway; clear the flag so libraries see an ordinary descriptor.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

ZipPackage::ZipPackage(const QString& path, const ZipLimits& limits) : ZipPackage(path, openRegularFile(path), limits) {}

ZipPackage::ZipPackage(const QString& path, int fd, const ZipLimits& limits)
    : m_fileName(displayName(path)), m_limits(limits) {
    int code = 0;
    m_archive = zip_fdopen(fd, 0, &code);
    if (m_archive == nullptr) {
        // A file that starts like a zip archive but whose directory at the end is missing was cut short.
        char magic[4] = {};
        const bool zipStart = ::pread(fd, magic, sizeof magic, 0) == 4 && std::memcmp(magic, "PK\x03\x04", 4) == 0;
        ::close(fd);
        if (code == ZIP_ER_NOZIP)
            fail(zipStart ? u"damaged zip archive: its directory is missing (is the file truncated?)"_s
                          : u"not a zip archive"_s);
        fail(u"damaged zip archive: "_s + libzipReason(code));
    }
    const zip_int64_t count = zip_get_num_entries(m_archive, 0);
    if (count < 0 || count > m_limits.maxEntries) {
        zip_discard(m_archive);
        m_archive = nullptr;
        fail(u"the zip archive has more than %1 entries"_s.arg(m_limits.maxEntries));
    }
    // The views in m_exact point into m_names, so it must not grow after this.
    m_names.reserve(static_cast<size_t>(count));
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* entry = zip_get_name(m_archive, static_cast<zip_uint64_t>(i), 0);
        m_names.emplace_back(entry != nullptr ? entry : "");
    }
    for (zip_int64_t i = 0; i < count; ++i) {
        const std::string& entry = m_names[static_cast<size_t>(i)];
        // Two entries of one name make "the" part ambiguous: readers could disagree on which one counts.
        if (!m_exact.emplace(entry, i).second) {
            zip_discard(m_archive);
            m_archive = nullptr;
            fail(u"damaged zip archive: the entry %1 appears twice"_s.arg(QString::fromUtf8(entry)));
        }
        m_folded.emplace(foldAscii(entry), i);
    }
}

ZipPackage::~ZipPackage() {
    if (m_archive != nullptr)
        zip_discard(m_archive); // read-only: nothing to write back
}

void ZipPackage::fail(const QString& reason) const {
    throw AutomationError(m_fileName + u": "_s + reason);
}

std::int64_t ZipPackage::find(std::string_view name) const {
    if (const auto exact = m_exact.find(name); exact != m_exact.end())
        return exact->second;
    if (const auto folded = m_folded.find(foldAscii(name)); folded != m_folded.end())
        return folded->second;
    return -1;
}

void ZipPackage::read(std::string_view name, std::string& buffer) const {
    const QString part = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    const std::int64_t index = find(name);
    if (index < 0)
        fail(part + u": the part is missing"_s);
    const auto entry = static_cast<zip_uint64_t>(index);

    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(m_archive, entry, 0, &stat) != 0)
        fail(part + u": "_s + QString::fromUtf8(zip_strerror(m_archive)));
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
        fail(part + u": the part is encrypted"_s);
    const std::uint64_t compressed = (stat.valid & ZIP_STAT_COMP_SIZE) ? stat.comp_size : 0;
    const std::uint64_t declared = (stat.valid & ZIP_STAT_SIZE) ? stat.size : 0;
    if (declared > m_limits.maxPartSize)
        fail(part + u": the part is larger than %1 MiB"_s.arg(m_limits.maxPartSize >> 20));

    zip_file_t* file = zip_fopen_index(m_archive, entry, 0);
    if (file == nullptr)
        fail(part + u": "_s + QString::fromUtf8(zip_strerror(m_archive)));
    EntryCloser closer{file};

    // The header's sizes are only a hint: the limits apply to the bytes really produced. A lying small
    // size just means the buffer grows; a lying large one is capped by what the compressed bytes allow.
    const std::uint64_t plausible = std::min<std::uint64_t>(
        {declared, m_limits.maxPartSize, compressed * m_limits.maxRatio + m_limits.ratioGrace});
    buffer.resize(static_cast<size_t>(plausible) + 1);
    std::uint64_t filled = 0;
    for (;;) {
        if (filled == buffer.size())
            buffer.resize(std::min<std::uint64_t>(buffer.size() * 2, m_limits.maxPartSize + 1));
        const zip_int64_t got = zip_fread(file, buffer.data() + filled, buffer.size() - filled);
        if (got < 0)
            fail(part + u": the part is damaged: "_s + QString::fromUtf8(zip_file_strerror(file)));
        if (got == 0)
            break; // libzip has checked the CRC once the end is reached
        filled += static_cast<std::uint64_t>(got);
        if (filled > m_limits.maxPartSize)
            fail(part + u": the part is larger than %1 MiB"_s.arg(m_limits.maxPartSize >> 20));
        if (filled > m_limits.ratioGrace && filled > compressed * m_limits.maxRatio)
            fail(part + u": the part inflates more than %1 times (a zip bomb?)"_s.arg(m_limits.maxRatio));
    }
    buffer.resize(static_cast<size_t>(filled));
}

std::string ZipPackage::read(std::string_view name) const {
    std::string buffer;
    read(name, buffer);
    return buffer;
}

} // namespace quorvane::office
