#include "office/presentation/ZipPackage.h"

#include "office/ZipErrorText.h"
#include "office/ZipWholeInflate.h"
#include "office/presentation/FileAccess.h"
#include "office/presentation/PresentationDocument.h"
#include "office/presentation/ReadError.h"
#include "office/presentation/ZipRecovery.h"

#include <zip.h>

#include <algorithm>
#include <cstring>

#include <string.h> // explicit_bzero

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

// The parts a presentation reader reads are XML ("mimetype" names an OpenDocument package's kind): only
// these are kept from a package read without its directory.
bool readByPresentations(std::string_view name) {
    const std::string folded = foldAscii(name);
    return folded.ends_with(".xml") || folded.ends_with(".rels") || folded == "mimetype";
}

// Closes a libzip entry on every path out of read().
struct EntryCloser {
    zip_file_t* file;
    ~EntryCloser() { zip_fclose(file); }
};

} // namespace

ZipPackage::ZipPackage(const QString& path, const ZipLimits& limits)
    : ZipPackage(path, openRegularFile(path), limits) {}

ZipPackage::ZipPackage(const QString& path, int fd, const ZipLimits& limits) : m_path(path), m_limits(limits) {
    openArchive(fd);
    indexEntries();
}

ZipPackage::ZipPackage(const QString& path, std::string bytes, const ZipLimits& limits)
    : m_path(path), m_limits(limits), m_bytes(std::move(bytes)), m_secret(true) {
    if (m_bytes.empty())
        fail(u"not a zip archive"_s);
    openArchive(-1);
    indexEntries();
}

void ZipPackage::indexEntries() {
    if (m_recovered) {
        m_sorted.reserve(m_parts.size());
        for (size_t i = 0; i < m_parts.size(); ++i)
            m_sorted.emplace_back(m_parts[i].name, static_cast<std::int64_t>(i));
        // Entries whose names appear twice were refused while reading.
        std::sort(m_sorted.begin(), m_sorted.end());
        return;
    }
    const zip_int64_t count = zip_get_num_entries(m_archive, 0);
    if (count < 0 || count > m_limits.maxEntries) {
        zip_discard(m_archive);
        m_archive = nullptr;
        fail(u"the zip archive has more than %1 entries"_s.arg(m_limits.maxEntries));
    }
    m_sorted.reserve(static_cast<size_t>(count));
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* entry = zip_get_name(m_archive, static_cast<zip_uint64_t>(i), 0);
        m_sorted.emplace_back(entry != nullptr ? std::string_view(entry) : std::string_view(), i);
    }
    // Sorted by name for lookups; equal names end up side by side.
    std::sort(m_sorted.begin(), m_sorted.end());
    const auto twice = std::adjacent_find(m_sorted.begin(), m_sorted.end(),
                                          [](const auto& a, const auto& b) { return a.first == b.first; });
    // Two entries of one name make "the" part ambiguous: readers could disagree on which one counts.
    if (twice != m_sorted.end()) {
        const QString name = QString::fromUtf8(twice->first.data(), static_cast<qsizetype>(twice->first.size()));
        zip_discard(m_archive);
        m_archive = nullptr;
        fail(u"damaged zip archive: the entry %1 appears twice"_s.arg(name));
    }
}

void ZipPackage::openArchive(int fd) {
    struct stat info{};
    // Without a file, the package is in m_bytes already.
    const bool known = fd >= 0 && ::fstat(fd, &info) == 0 && info.st_size > 0;
    const bool small = fd < 0 || (known && static_cast<std::uint64_t>(info.st_size) <= m_limits.wholeFileUpTo);
    int code = 0;
    if (small) {
        if (fd >= 0) {
            // One read instead of a seek and a read for every part: most decks without pictures are small.
            int readError = 0;
            m_bytes = readFileStart(fd, static_cast<size_t>(info.st_size), &readError);
            ::close(fd);
            fd = -1;
            // A file that shrank while being read is read as far as it goes (libzip then finds it
            // damaged); one whose read failed is not read at all.
            if (readError != 0)
                fail(u"cannot read the file: "_s + QString::fromLocal8Bit(std::strerror(readError)));
        }
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source = zip_source_buffer_create(m_bytes.data(), m_bytes.size(), 0, &error);
        if (source != nullptr) {
            m_archive = zip_open_from_source(source, ZIP_RDONLY, &error);
            if (m_archive == nullptr)
                zip_source_free(source);
        }
        code = zip_error_code_zip(&error);
        zip_error_fini(&error);
    } else {
        // libzip takes the descriptor over only when it opens the archive.
        m_archive = zip_fdopen(fd, 0, &code);
    }
    if (m_archive != nullptr)
        return;
    // libzip 1.10 and later name a file cut short themselves; older ones find no zip archive in it.
    bool truncated = false;
#ifdef ZIP_ER_TRUNCATED_ZIP
    if (code == ZIP_ER_TRUNCATED_ZIP) {
        code = ZIP_ER_NOZIP;
        truncated = true;
    }
#endif
    // A file that starts like a zip archive but whose directory at the end is missing was cut short;
    // one whose directory is inconsistent is damaged. Either is read from its local headers.
    const bool zipStart = small ? m_bytes.starts_with("PK\x03\x04") : fd >= 0 && readFileStart(fd, 4) == "PK\x03\x04";
    const bool recoverable = zipStart && (code == ZIP_ER_NOZIP || code == ZIP_ER_INCONS);
    const bool recoveredAny =
        recoverable && recover(fd, small ? m_bytes.size() : static_cast<std::uint64_t>(info.st_size), code);
    if (fd >= 0)
        ::close(fd);
    if (m_secret && !m_bytes.empty())
        ::explicit_bzero(m_bytes.data(), m_bytes.size());
    m_bytes = std::string();
    if (recoveredAny)
        return;
    if (code == ZIP_ER_NOZIP)
        fail(zipStart || truncated ? u"damaged zip archive: its directory is missing (is the file truncated?)"_s
                                   : u"not a zip archive"_s);
    fail(u"damaged zip archive: "_s + libzipReason(code));
}

bool ZipPackage::recover(int fd, std::uint64_t size, int code) {
    RecoveredArchive archive;
    try {
        archive = recoverZip(fd, m_bytes.empty() ? nullptr : &m_bytes, size, m_limits, readByPresentations);
    } catch (const ReadError& error) {
        if (fd >= 0)
            ::close(fd);
        fail(error.description());
    }
    if (archive.parts.empty())
        return false;
    m_parts = std::move(archive.parts);
    // libzip finds no usable directory ("not a zip archive") when it was cut off with the end of the
    // file, or its records are damaged; an inconsistent one is damaged.
    const bool unusable = code == ZIP_ER_NOZIP;
    switch (archive.end) {
    case RecoveredArchive::End::Directory:
        m_damage = unusable ? u"its zip directory is cut short or damaged"_s : u"its zip directory is damaged"_s;
        break;
    case RecoveredArchive::End::FileEnd:
        m_damage = unusable ? u"its zip directory is missing"_s : u"its zip directory is damaged"_s;
        break;
    case RecoveredArchive::End::Failure:
        m_damage = std::move(archive.failure);
        break;
    }
    if (archive.usedDirectory)
        m_damage = u"its zip directory is damaged"_s;
    // The entries passed over as damaged are lost as well; the rest of the archive was read.
    for (const QString& entry : std::as_const(archive.damaged))
        m_damage += u"; "_s + entry;
    m_recovered = true;
    return true;
}

ZipPackage::~ZipPackage() {
    if (m_archive != nullptr)
        zip_discard(m_archive); // read-only: nothing to write back
    if (m_secret && !m_bytes.empty())
        ::explicit_bzero(m_bytes.data(), m_bytes.size());
}

void ZipPackage::setDecryption(std::unique_ptr<PartDecryption> decryption) {
    m_decryption = std::move(decryption);
}

void ZipPackage::countInflated(std::string_view name, std::uint64_t bytes) const {
    if (m_inflated + bytes > m_limits.maxTotalSize)
        failPart(name, u"the parts read inflate to more than %1 MiB together"_s.arg(m_limits.maxTotalSize >> 20));
    m_inflated += bytes;
}

const QString& ZipPackage::fileName() const {
    if (m_fileName.isEmpty())
        m_fileName = displayName(m_path);
    return m_fileName;
}

const std::vector<std::string>& ZipPackage::names() const {
    if (m_names.size() != m_sorted.size()) {
        m_names.assign(m_sorted.size(), std::string());
        for (const auto& [name, index] : m_sorted)
            m_names[static_cast<size_t>(index)] = name;
    }
    return m_names;
}

void ZipPackage::fail(const QString& reason) const {
    throw ReadError(fileName() + u": "_s + reason);
}

void ZipPackage::failPart(std::string_view name, const QString& reason) const {
    fail(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())) + u": "_s + reason);
}

void ZipPackage::failTotal(std::string_view name) const {
    throw ReadLimitPassed(fileName() + u": "_s + QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())) +
                          u": the parts read inflate to more than %1 MiB together"_s.arg(m_limits.maxTotalSize >> 20));
}

std::int64_t ZipPackage::find(std::string_view name) const {
    const auto byName = [](const auto& entry, std::string_view key) { return std::string_view(entry.first) < key; };
    if (const auto exact = std::lower_bound(m_sorted.begin(), m_sorted.end(), name, byName);
        exact != m_sorted.end() && exact->first == name)
        return exact->second;
    // Part names compare ignoring ASCII case; a producer that writes another case than it refers to
    // is rare, so this index is only built when an exact lookup misses.
    if (m_folded.empty() && !m_sorted.empty()) {
        m_folded.reserve(m_sorted.size());
        for (const auto& [entry, index] : m_sorted)
            m_folded.emplace_back(foldAscii(entry), index);
        // By folded name and then by index: of names that differ only in case, the earliest entry wins.
        std::sort(m_folded.begin(), m_folded.end());
    }
    const std::string key = foldAscii(name);
    if (const auto folded = std::lower_bound(m_folded.begin(), m_folded.end(), std::string_view(key), byName);
        folded != m_folded.end() && folded->first == key)
        return folded->second;
    return -1;
}

void ZipPackage::read(std::string_view name, std::string& buffer) const {
    readStored(name, buffer);
    if (m_decryption && m_decryption->encrypts(name))
        m_decryption->decrypt(name, buffer, *this);
}

void ZipPackage::readStored(std::string_view name, std::string& buffer) const {
    const std::int64_t index = find(name);
    if (index < 0)
        failPart(name, u"the part is missing"_s);
    // A part that failed fails again at once: a slide may refer to one broken part thousands of times.
    if (const auto failed = m_failures.find(index); failed != m_failures.end()) {
        if (failed->second.limit)
            throw ReadLimitPassed(failed->second.description);
        throw ReadError(failed->second.description);
    }
    try {
        readEntry(index, name, buffer);
    } catch (const ReadError& error) {
        m_failures.emplace(index,
                           Failure{error.description(), dynamic_cast<const ReadLimitPassed*>(&error) != nullptr});
        throw;
    }
}

void ZipPackage::readEntry(std::int64_t index, std::string_view name, std::string& buffer) const {
    ReadStop::checkpoint();
    if (m_inflated > m_limits.maxTotalSize)
        failTotal(name);
    if (m_recovered) {
        const RecoveredPart& part = m_parts[static_cast<size_t>(index)];
        if (part.encrypted)
            failPart(name, u"the part is encrypted"_s);
        // Only XML parts are kept; no reader asks for another.
        if (!part.kept)
            failPart(name, u"the part is not read without the zip directory"_s);
        // Counted as if inflated now, so the package's bounds are the same with its directory or without.
        if (m_inflated + part.bytes.size() > m_limits.maxTotalSize)
            failTotal(name);
        m_inflated += part.bytes.size();
        SharedReadRoom::claim(static_cast<qsizetype>(part.bytes.size()) * 4);
        buffer.assign(part.bytes);
        return;
    }
    const auto entry = static_cast<zip_uint64_t>(index);

    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(m_archive, entry, 0, &stat) != 0)
        failPart(name, QString::fromUtf8(zip_strerror(m_archive)));
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
        failPart(name, u"the part is encrypted"_s);
    const std::uint64_t compressed = (stat.valid & ZIP_STAT_COMP_SIZE) ? stat.comp_size : 0;
    const std::uint64_t declared = (stat.valid & ZIP_STAT_SIZE) ? stat.size : 0;
    if (declared > m_limits.maxPartSize)
        failPart(name, u"the part is larger than %1 MiB"_s.arg(m_limits.maxPartSize >> 20));

    // The header's sizes are only a hint: the limits apply to the bytes really produced. A lying small
    // size just means the buffer grows; a lying large one is capped by what the compressed bytes allow.
    const std::uint64_t plausible =
        std::min<std::uint64_t>({declared, m_limits.maxPartSize, compressed * m_limits.maxRatio + m_limits.ratioGrace});
    // Read ahead among others, the part, and what parsing it builds, wait for room first.
    SharedReadRoom::claim(static_cast<qsizetype>(plausible) * 4);
    // A part whose recorded size keeps every limit below is inflated in one call to that size. What
    // that cannot do or finds wrong (a size that lies, damage, a stored part) is read as below, which
    // decides on the bytes it produces and says what is wrong.
    const bool withinLimits = (stat.valid & ZIP_STAT_SIZE) && m_inflated + declared <= m_limits.maxTotalSize &&
                              !(declared > m_limits.ratioGrace && declared > compressed * m_limits.maxRatio);
    if (withinLimits && inflateWhole(m_archive, entry, stat, buffer)) {
        m_inflated += declared;
        return;
    }

    zip_file_t* file = zip_fopen_index(m_archive, entry, 0);
    if (file == nullptr)
        failPart(name, QString::fromUtf8(zip_strerror(m_archive)));
    EntryCloser closer{file};
    buffer.resize(static_cast<size_t>(plausible) + 1);
    std::uint64_t filled = 0;
    // What was inflated counts against the package's bound whether the read ends well or not.
    struct Counted {
        std::uint64_t& total;
        const std::uint64_t& filled;
        ~Counted() { total += filled; }
    } counted{m_inflated, filled};
    for (;;) {
        if (filled == buffer.size())
            buffer.resize(std::min<std::uint64_t>(buffer.size() * 2, m_limits.maxPartSize + 1));
        const zip_int64_t got = zip_fread(file, buffer.data() + filled, buffer.size() - filled);
        if (got < 0)
            failPart(name, u"the part is damaged: "_s + QString::fromUtf8(zip_file_strerror(file)));
        if (got == 0)
            break; // libzip has checked the CRC once the end is reached
        filled += static_cast<std::uint64_t>(got);
        if (filled > m_limits.maxPartSize)
            failPart(name, u"the part is larger than %1 MiB"_s.arg(m_limits.maxPartSize >> 20));
        if (filled > m_limits.ratioGrace && filled > compressed * m_limits.maxRatio)
            failPart(name, u"the part inflates more than %1 times (a zip bomb?)"_s.arg(m_limits.maxRatio));
        if (m_inflated + filled > m_limits.maxTotalSize)
            failTotal(name);
    }
    buffer.resize(static_cast<size_t>(filled));
}

std::string ZipPackage::read(std::string_view name) const {
    std::string buffer;
    read(name, buffer);
    return buffer;
}

} // namespace quorvane::office
