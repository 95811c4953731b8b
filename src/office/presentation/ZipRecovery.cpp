#include "office/presentation/ZipRecovery.h"

#include "office/presentation/PresentationDocument.h"
#include "office/presentation/ReadError.h"

#include <archive.h>
#include <archive_entry.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <unordered_map>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quorvane::office {

namespace {

// What libarchive reads: the file, then a few zero bytes. The streaming reader looks 24 bytes ahead
// after an entry whose sizes follow its data (a Zip64 data descriptor would be that long), so the
// last entry of a file without its directory would fail although its 16-byte descriptor is there.
// The zeros can never complete an entry: what an entry consumes is checked against the file's size
// (see recoverZip), and the CRC and sizes come from the file itself.
class Source {
public:
    Source(int fd, const std::string* bytes, std::uint64_t size) : m_fd(fd), m_bytes(bytes), m_size(size) {}

    // Whether libarchive asked for bytes beyond the end of the file: an entry that fails then was cut.
    bool pastEnd() const { return m_pastEnd; }
    std::uint64_t size() const { return m_size; }
    // The errno of a read of the file that failed, 0 while none did.
    int readError() const { return m_readError; }

    // Copies length bytes at offset of the file into out; false when they are not all in the file or
    // cannot be read.
    bool readAt(std::uint64_t offset, void* out, std::size_t length) {
        if (offset > m_size || m_size - offset < length)
            return false;
        if (m_bytes != nullptr) {
            std::memcpy(out, m_bytes->data() + offset, length);
            return true;
        }
        auto* to = static_cast<char*>(out);
        while (length > 0) {
            const ssize_t got = ::pread(m_fd, to, length, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                if (got < 0)
                    m_readError = errno;
                return false;
            }
            to += got;
            offset += static_cast<std::uint64_t>(got);
            length -= static_cast<std::size_t>(got);
        }
        return true;
    }

    // Whether the local header at offset, with its name and extra field, lies inside the file: one that
    // the end of the file cuts through is read from the zeros by libarchive, and is no entry.
    bool holdsHeader(std::uint64_t offset) {
        unsigned char lengths[4] = {};
        if (offset > m_size || m_size - offset < 30 || !readAt(offset + 26, lengths, 4))
            return false;
        // The name's and the extra field's lengths, little-endian, at the end of the fixed part.
        const std::uint64_t variable = (lengths[0] | lengths[1] << 8) + (lengths[2] | lengths[3] << 8);
        return m_size - offset - 30 >= variable;
    }

    static la_ssize_t read(archive* reader, void* data, const void** out) {
        auto& self = *static_cast<Source*>(data);
        if (self.m_position >= self.m_size) {
            self.m_pastEnd = true;
            if (self.m_paddingGiven)
                return 0;
            self.m_paddingGiven = true;
            *out = Padding.data();
            return static_cast<la_ssize_t>(Padding.size());
        }
        const std::uint64_t left = self.m_size - self.m_position;
        if (self.m_bytes != nullptr) {
            *out = self.m_bytes->data() + self.m_position;
            self.m_position = self.m_size;
            return static_cast<la_ssize_t>(left);
        }
        for (;;) {
            const ssize_t got = ::pread(self.m_fd, self.m_buffer.data(), std::min<std::uint64_t>(left, BufferSize),
                                        static_cast<off_t>(self.m_position));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                self.m_readError = errno;
                archive_set_error(reader, errno, "cannot read the file");
                return -1;
            }
            if (got == 0) {
                // The file grew shorter while it was read: it ends here.
                self.m_size = self.m_position;
                return read(reader, data, out);
            }
            self.m_position += static_cast<std::uint64_t>(got);
            *out = self.m_buffer.data();
            return got;
        }
    }

    // Passing over an entry's data whose size is known: its bytes are never read.
    static la_int64_t skip(archive*, void* data, la_int64_t request) {
        auto& self = *static_cast<Source*>(data);
        const auto step = std::min<std::uint64_t>(static_cast<std::uint64_t>(std::max<la_int64_t>(request, 0)),
                                                  self.m_size - std::min(self.m_position, self.m_size));
        self.m_position += step;
        return static_cast<la_int64_t>(step);
    }

private:
    static constexpr std::size_t BufferSize = 1u << 16;
    static constexpr std::array<char, 32> Padding{};

    int m_fd;
    const std::string* m_bytes;
    std::uint64_t m_size;
    std::uint64_t m_position = 0;
    bool m_pastEnd = false;
    bool m_paddingGiven = false;
    int m_readError = 0;
    std::array<char, BufferSize> m_buffer{};
};

struct ReaderCloser {
    archive* reader;
    ~ReaderCloser() { archive_read_free(reader); }
};

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString reasonOf(archive* reader) {
    const char* reason = archive_error_string(reader);
    return reason != nullptr ? QString::fromUtf8(reason) : u"unreadable"_s;
}

std::uint16_t u16(const unsigned char* at) {
    return static_cast<std::uint16_t>(at[0] | at[1] << 8);
}
std::uint32_t u32(const unsigned char* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}
std::uint64_t u64(const unsigned char* at) {
    return u32(at) | std::uint64_t{u32(at + 4)} << 32;
}

constexpr std::uint32_t LocalSignature = 0x04034b50;
constexpr std::uint32_t CentralSignature = 0x02014b50;
constexpr std::uint32_t EndSignature = 0x06054b50;
constexpr std::uint32_t Zip64EndSignature = 0x06064b50;
constexpr std::uint32_t Zip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t Unknown32 = 0xFFFFFFFF; // a 32-bit field whose value is in the Zip64 extra field

// One record of the central directory, and where its entry's data lies by the local header it names.
struct CentralRecord {
    std::string name;
    std::uint16_t flags = 0, method = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressed = 0, size = 0, offset = 0;
    std::uint64_t dataStart = 0; // 0 while its local header is not found
    bool agrees = false; // the local header agrees with the record (method, and CRC and sizes where it has them)
    std::uint64_t dataEnd() const { return dataStart + compressed; }
};

// The records of the central directory that survive in the file.
struct CentralDirectory {
    std::vector<CentralRecord> records; // in directory order
    std::optional<std::uint64_t> start; // where the directory starts, when known
    bool complete = false;              // every record up to the end record is there
};

// The end record of the directory and where it says the directory starts, if the file ends in one.
std::optional<std::pair<std::uint64_t, std::uint64_t>> endRecord(Source& source) {
    const std::uint64_t tail = std::min<std::uint64_t>(source.size(), 22 + 0xFFFF);
    std::string bytes(tail, '\0');
    if (tail < 22 || !source.readAt(source.size() - tail, bytes.data(), tail))
        return std::nullopt;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    // The last one whose comment fits the file: an earlier match may lie inside the comment.
    for (std::uint64_t at = tail - 22 + 1; at-- > 0;) {
        if (u32(data + at) != EndSignature || at + 22 + u16(data + at + 20) > tail)
            continue;
        const std::uint64_t end = source.size() - tail + at;
        std::uint64_t start = u32(data + at + 16);
        std::uint64_t directoryEnd = end;
        unsigned char locator[20];
        if (end >= 20 && source.readAt(end - 20, locator, 20) && u32(locator) == Zip64LocatorSignature) {
            unsigned char record[56];
            const std::uint64_t at64 = u64(locator + 8);
            if (at64 < end && source.readAt(at64, record, 56) && u32(record) == Zip64EndSignature) {
                start = u64(record + 48);
                directoryEnd = at64;
            }
        }
        return std::make_pair(start, directoryEnd);
    }
    return std::nullopt;
}

// Reads the records that follow one another from start, up to directoryEnd (when known) or the
// first thing that is no record. Throws ReadError past maxEntries.
void readRecords(Source& source, CentralDirectory& directory, std::uint64_t start,
                 std::optional<std::uint64_t> directoryEnd, std::int64_t maxEntries) {
    directory.start = start;
    std::uint64_t at = start;
    unsigned char fixed[46];
    std::string variable;
    while (source.readAt(at, fixed, 46) && u32(fixed) == CentralSignature) {
        const std::uint64_t lengths = std::uint64_t{u16(fixed + 28)} + u16(fixed + 30) + u16(fixed + 32);
        variable.resize(lengths);
        if (!source.readAt(at + 46, variable.data(), lengths))
            break; // cut short
        if (static_cast<std::int64_t>(directory.records.size()) >= maxEntries)
            throw ReadError(u"the zip archive has more than %1 entries"_s.arg(maxEntries));
        CentralRecord record;
        record.flags = u16(fixed + 8);
        record.method = u16(fixed + 10);
        record.crc = u32(fixed + 16);
        record.compressed = u32(fixed + 20);
        record.size = u32(fixed + 24);
        record.offset = u32(fixed + 42);
        record.name = variable.substr(0, u16(fixed + 28));
        // The Zip64 extra field holds, in this order, each of the three that did not fit.
        const auto* extra = reinterpret_cast<const unsigned char*>(variable.data()) + u16(fixed + 28);
        for (std::size_t e = 0; e + 4 <= u16(fixed + 30);) {
            const std::uint16_t id = u16(extra + e), length = u16(extra + e + 2);
            if (e + 4 + length > u16(fixed + 30))
                break;
            if (id == 0x0001) {
                std::size_t field = e + 4;
                for (std::uint64_t* value : {&record.size, &record.compressed, &record.offset})
                    if (*value == Unknown32 && field + 8 <= e + 4 + length) {
                        *value = u64(extra + field);
                        field += 8;
                    }
            }
            e += 4 + length;
        }
        directory.records.push_back(std::move(record));
        at += 46 + lengths;
    }
    directory.complete = directoryEnd && at == *directoryEnd;
}

// Finds each record's local header and whether it agrees with the record. A directory whose records
// all agree and whose entries' data lie apart, before the directory, is sound but for its end record.
bool checkRecords(Source& source, CentralDirectory& directory) {
    bool sound = directory.complete;
    unsigned char local[30];
    for (CentralRecord& record : directory.records) {
        if (!source.readAt(record.offset, local, 30) || u32(local) != LocalSignature) {
            sound = false;
            continue;
        }
        record.dataStart = record.offset + 30 + u16(local + 26) + u16(local + 28);
        // Sizes that follow the data are zero in the local header; Zip64 ones are in its extra field.
        const bool sizesHere = (u16(local + 6) & 0x8) == 0;
        const auto same = [](std::uint32_t local32, std::uint64_t central) {
            return local32 == Unknown32 || local32 == central;
        };
        record.agrees = u16(local + 8) == record.method &&
                        (!sizesHere || (u32(local + 14) == record.crc && same(u32(local + 18), record.compressed) &&
                                        same(u32(local + 22), record.size)));
        const std::uint64_t limit = directory.start ? *directory.start : source.size();
        if (!record.agrees || record.dataEnd() > limit || record.dataEnd() < record.dataStart)
            sound = false;
    }
    if (!sound)
        return false;
    std::vector<const CentralRecord*> byOffset;
    for (const CentralRecord& record : directory.records)
        byOffset.push_back(&record);
    std::sort(byOffset.begin(), byOffset.end(),
              [](const CentralRecord* a, const CentralRecord* b) { return a->offset < b->offset; });
    for (std::size_t i = 1; i < byOffset.size(); ++i)
        if (byOffset[i]->offset < byOffset[i - 1]->dataEnd())
            return false;
    return true;
}

// Holds an entry's inflated bytes to the limits while they grow, and counts what is kept in all.
class Inflated {
public:
    Inflated(const ZipLimits& limits, std::uint64_t& keptBytes, bool kept)
        : m_limits(limits), m_keptBytes(keptBytes), m_kept(kept) {}

    // Takes more bytes, consumed compressed bytes so far; the failure, or "" when within the limits.
    // Throws ReadError when what is kept in all passes maxTotalSize.
    QString take(RecoveredPart& part, const char* data, std::size_t length, std::uint64_t consumed) {
        ReadStop::checkpoint();
        m_inflated += length;
        if (m_inflated > m_limits.ratioGrace && m_inflated > consumed * m_limits.maxRatio)
            return u"inflates more than %1 times (a zip bomb?)"_s.arg(m_limits.maxRatio);
        if (!m_kept)
            return {};
        if (m_inflated > m_limits.maxPartSize)
            return u"is larger than %1 MiB"_s.arg(m_limits.maxPartSize >> 20);
        m_keptBytes += length;
        if (m_keptBytes > m_limits.maxTotalSize)
            throw ReadError(u"damaged zip archive: read without its directory, its parts inflate to more "
                            u"than %1 MiB together"_s.arg(m_limits.maxTotalSize >> 20));
        // Read ahead among others, what is kept waits for room first.
        SharedReadRoom::claim(static_cast<qsizetype>(length));
        part.bytes.append(data, length);
        return {};
    }
    std::uint64_t inflated() const { return m_inflated; }

private:
    const ZipLimits& m_limits;
    std::uint64_t& m_keptBytes;
    bool m_kept;
    std::uint64_t m_inflated = 0;
};

// The part a record names, kept when keep says so and it is not encrypted; its bytes still to read.
RecoveredPart partOf(const CentralRecord& record, const std::function<bool(std::string_view name)>& keep) {
    RecoveredPart part;
    part.name = record.name;
    part.encrypted = (record.flags & 0x1) != 0;
    part.kept = keep(part.name) && !part.encrypted;
    return part;
}

std::uint32_t crcOf(const std::string& bytes) {
    return static_cast<std::uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
}

// Reads the entry of record by the directory's sizes and CRC, as a reader of the whole archive does:
// its failure (the file ends inside it: "cut short"; else the damage), or "" when it came whole.
QString readByRecord(Source& source, const CentralRecord& record, RecoveredPart& part, const ZipLimits& limits,
                     std::uint64_t& keptBytes) {
    if (record.dataStart == 0)
        return u"is damaged (no local header where the directory places it)"_s;
    if (record.dataEnd() > source.size())
        return u"cut short"_s;
    if (!part.kept)
        return {};
    if (record.method != 0 && record.method != 8)
        return u"is damaged (compression method %1, which is not read)"_s.arg(record.method);
    Inflated inflated(limits, keptBytes, true);
    std::string input(std::size_t{1} << 16, '\0'), output(std::size_t{1} << 16, '\0');
    z_stream stream{};
    if (record.method == 8 && inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        throw std::bad_alloc();
    struct Ender {
        z_stream& stream;
        bool active;
        ~Ender() {
            if (active)
                inflateEnd(&stream);
        }
    } ender{stream, record.method == 8};
    std::uint64_t consumed = 0;
    bool ended = record.method == 0 && record.compressed == 0;
    while (consumed < record.compressed && !ended) {
        const std::size_t chunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(input.size(), record.compressed - consumed));
        if (!source.readAt(record.dataStart + consumed, input.data(), chunk))
            return u"cut short"_s;
        consumed += chunk;
        if (record.method == 0) {
            if (const QString failure = inflated.take(part, input.data(), chunk, consumed); !failure.isEmpty())
                return failure;
            continue;
        }
        stream.next_in = reinterpret_cast<Bytef*>(input.data());
        stream.avail_in = static_cast<uInt>(chunk);
        while (stream.avail_in > 0 && !ended) {
            stream.next_out = reinterpret_cast<Bytef*>(output.data());
            stream.avail_out = static_cast<uInt>(output.size());
            const int status = inflate(&stream, Z_NO_FLUSH);
            if (status != Z_OK && status != Z_STREAM_END)
                return u"is damaged (%1)"_s.arg(stream.msg != nullptr ? QString::fromUtf8(stream.msg) : u"bad data"_s);
            ended = status == Z_STREAM_END;
            const std::size_t produced = output.size() - stream.avail_out;
            if (const QString failure = inflated.take(part, output.data(), produced, consumed - stream.avail_in);
                !failure.isEmpty())
                return failure;
            if (produced == 0 && status == Z_OK && stream.avail_in > 0 && stream.avail_out > 0)
                return u"is damaged (bad data)"_s;
        }
    }
    if (record.method == 8 && !ended)
        return u"is damaged (its data ends early)"_s;
    if (inflated.inflated() != record.size || crcOf(part.bytes) != record.crc)
        return u"is damaged (its size or CRC does not match)"_s;
    return {};
}

// One entry as the local headers give it, where its header starts and where its data ends.
struct WalkedPart {
    RecoveredPart part;
    std::uint64_t offset = 0;
    std::uint64_t dataEnd = 0;
    bool sizesAfter = false; // its sizes follow its data
};

// Whether what follows the entry ending at dataEnd (its sizes after its data, with sizesAfter) is what
// follows an entry: the next entry's or the directory's signature, as far as the file goes, or the
// directory where the end record places it.
bool followedByRecord(Source& source, std::uint64_t dataEnd, bool sizesAfter,
                      std::optional<std::uint64_t> directoryStart) {
    std::vector<std::uint64_t> ends{dataEnd};
    if (sizesAfter) {
        // The sizes after the data: CRC and two sizes of 4 or 8 bytes, with a signature or without.
        unsigned char signature[4];
        const bool signed_ = source.readAt(dataEnd, signature, 4) && u32(signature) == 0x08074b50;
        ends = signed_ ? std::vector<std::uint64_t>{dataEnd + 16, dataEnd + 24}
                       : std::vector<std::uint64_t>{dataEnd + 12, dataEnd + 20};
    }
    for (const std::uint64_t end : ends) {
        if (end == directoryStart)
            return true;
        if (end > source.size())
            continue;
        unsigned char next[4];
        const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(4, source.size() - end));
        if (!source.readAt(end, next, length))
            continue;
        for (const std::uint32_t record : {LocalSignature, CentralSignature, EndSignature, Zip64EndSignature}) {
            unsigned char expected[4];
            for (int i = 0; i < 4; ++i)
                expected[i] = static_cast<unsigned char>(record >> (8 * i));
            if (std::memcmp(next, expected, length) == 0)
                return true;
        }
    }
    return false;
}

// The walk along the local headers, as libarchive's streaming reader finds them.
struct Walk {
    std::vector<WalkedPart> parts;
    RecoveredArchive::End end = RecoveredArchive::End::FileEnd;
    QString failure;
    std::optional<std::uint64_t> directoryAt; // where it met the directory
    QStringList damaged;                      // entries passed over as damaged, with why
    // The entries before which bytes that belong to no entry were passed over: the entry before each
    // does not end where its neighbour starts.
    std::vector<std::size_t> gapsBefore;
};

// Where the local header that libarchive read lies: it began to look at position and has consumed
// the header's fixed part, name and extra field by consumed. The first signature from position whose header ends
// there; none when there is no such one.
std::optional<std::uint64_t> headerStart(Source& source, std::uint64_t position, std::uint64_t consumed) {
    unsigned char window[(1u << 16) + 30];
    for (std::uint64_t at = position; at + 30 <= consumed;) {
        const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof window, consumed - at));
        if (!source.readAt(at, window, length))
            return std::nullopt;
        for (std::size_t i = 0; i + 30 <= length; ++i)
            if (u32(window + i) == LocalSignature &&
                at + i + 30 + u16(window + i + 26) + u16(window + i + 28) == consumed)
                return at + i;
        at += length - 29;
    }
    return std::nullopt;
}

Walk walk(Source& source, const ZipLimits& limits, const std::function<bool(std::string_view name)>& keep,
          std::uint64_t& keptBytes, std::optional<std::uint64_t> directoryStart) {
    Walk walked;
    archive* reader = archive_read_new();
    if (reader == nullptr)
        throw std::bad_alloc();
    const ReaderCloser closer{reader};
    archive_read_support_format_zip_streamable(reader);
    archive_read_set_read_callback(reader, &Source::read);
    archive_read_set_skip_callback(reader, &Source::skip);
    archive_read_set_callback_data(reader, &source);
    if (archive_read_open1(reader) != ARCHIVE_OK)
        return walked;

    std::string scratch(std::size_t{1} << 16, '\0');
    // Ends the reading at an entry that fails: one that needed bytes past the end of the file was cut.
    const auto stop = [&](const QString& name, const QString& what) {
        walked.end = RecoveredArchive::End::Failure;
        walked.failure = source.pastEnd() ? u"cut short in "_s + name : name + u" "_s + what;
    };
    for (;;) {
        ReadStop::checkpoint();
        archive_entry* entry = nullptr;
        const int header = archive_read_next_header(reader, &entry);
        if (header == ARCHIVE_EOF) {
            walked.end = RecoveredArchive::End::Directory;
            walked.directoryAt = static_cast<std::uint64_t>(archive_filter_bytes(reader, -1));
            break;
        }
        // Otherwise no further entry: the file ends after the last whole one, or what follows is none.
        if (header < ARCHIVE_WARN)
            break;
        // Where libarchive began to look for the header, and where the header truly starts: it passes
        // over bytes that belong to no entry to the next signature it finds.
        const auto position = static_cast<std::uint64_t>(archive_read_header_position(reader));
        const std::optional<std::uint64_t> found =
            headerStart(source, position, static_cast<std::uint64_t>(archive_filter_bytes(reader, -1)));
        const std::uint64_t offset = found.value_or(position);
        if (offset != position)
            walked.gapsBefore.push_back(walked.parts.size());
        if (!found || !source.holdsHeader(offset)) {
            walked.end = RecoveredArchive::End::Failure;
            walked.failure =
                walked.parts.empty() ? u"cut short"_s : u"cut short after "_s + fromUtf8(walked.parts.back().part.name);
            break;
        }
        if (static_cast<std::int64_t>(walked.parts.size()) >= limits.maxEntries)
            throw ReadError(u"the zip archive has more than %1 entries"_s.arg(limits.maxEntries));
        const char* utf8 = archive_entry_pathname_utf8(entry);
        const char* raw = utf8 != nullptr ? utf8 : archive_entry_pathname(entry);
        WalkedPart walkedPart;
        walkedPart.offset = offset;
        RecoveredPart& part = walkedPart.part;
        part.name = raw != nullptr ? raw : "";
        const QString shownName = fromUtf8(part.name);
        part.encrypted = archive_entry_is_encrypted(entry) != 0;
        part.kept = keep(part.name) && !part.encrypted;
        const bool sized = archive_entry_size_is_set(entry) != 0;
        if (!part.kept && sized) {
            // Its size is known: passed over without inflating it.
            if (archive_read_data_skip(reader) != ARCHIVE_OK) {
                stop(shownName, u"is damaged ("_s + reasonOf(reader) + u")"_s);
                break;
            }
        } else {
            // Inflated to find its end and check its CRC, and held to the limits on the way.
            Inflated inflated(limits, keptBytes, part.kept);
            const auto start = archive_read_header_position(reader);
            // Stored and deflated data are read here; a failure of theirs is damage, even one that
            // libarchive reports before it gives any byte (as 3.7 does for a bad CRC). The method is
            // looked up in the local header only for such a failure.
            const auto otherMethod = [&] {
                unsigned char bytes[2] = {};
                const int method = source.readAt(offset + 8, bytes, 2) ? bytes[0] | bytes[1] << 8 : 0;
                return method != 0 && method != 8;
            };
            QString failure;
            bool passedOver = false;
            for (;;) {
                const la_ssize_t got = archive_read_data(reader, scratch.data(), scratch.size());
                if (got == ARCHIVE_FAILED && sized && inflated.inflated() == 0 && otherMethod()) {
                    // Data it cannot inflate (a compression method it does not know) but whose size
                    // it knows: that entry is damaged, the ones after it are not.
                    walked.damaged.append(shownName + u" is damaged ("_s + reasonOf(reader) + u")"_s);
                    passedOver = archive_read_data_skip(reader) == ARCHIVE_OK;
                    if (!passedOver)
                        failure = u"is damaged ("_s + reasonOf(reader) + u")"_s;
                    break;
                }
                if (got < 0) {
                    failure = u"is damaged ("_s + reasonOf(reader) + u")"_s;
                    break;
                }
                if (got == 0)
                    break;
                const auto consumed = static_cast<std::uint64_t>(archive_filter_bytes(reader, -1) - start);
                failure = inflated.take(part, scratch.data(), static_cast<std::size_t>(got), consumed);
                if (!failure.isEmpty())
                    break;
            }
            if (!failure.isEmpty()) {
                stop(shownName, failure);
                break;
            }
            if (passedOver)
                continue;
        }
        // An entry that reached into the zeros after the file's end took them for its own bytes.
        walkedPart.dataEnd = static_cast<std::uint64_t>(archive_filter_bytes(reader, -1));
        if (walkedPart.dataEnd > source.size()) {
            stop(shownName, {});
            break;
        }
        unsigned char flags[2] = {};
        walkedPart.sizesAfter = source.readAt(offset + 6, flags, 2) && (flags[0] & 0x8) != 0;
        walked.parts.push_back(std::move(walkedPart));
    }
    // Where the walk found no further entry, what follows the last one must still be one (cut short),
    // the directory or the end of the file: anything else says it did not end where it says.
    if (!walked.parts.empty() &&
        !followedByRecord(source, walked.parts.back().dataEnd, walked.parts.back().sizesAfter, directoryStart) &&
        (walked.gapsBefore.empty() || walked.gapsBefore.back() != walked.parts.size()))
        walked.gapsBefore.push_back(walked.parts.size());
    return walked;
}

} // namespace

RecoveredArchive recoverZip(int fd, const std::string* bytes, std::uint64_t size, const ZipLimits& limits,
                            const std::function<bool(std::string_view name)>& keep) {
    RecoveredArchive recovered;
    Source source(fd, bytes, size);
    std::uint64_t keptBytes = 0;
    const auto readFailed = [&] {
        if (source.readError() != 0)
            throw ReadError(u"cannot read the file: "_s + QString::fromLocal8Bit(std::strerror(source.readError())));
    };

    // The part of record as the directory has it, or none when it cannot be read (the damage said).
    const auto byRecord = [&](const CentralRecord& record) -> std::optional<RecoveredPart> {
        RecoveredPart part = partOf(record, keep);
        const QString failure = readByRecord(source, record, part, limits, keptBytes);
        readFailed();
        if (!failure.isEmpty()) {
            recovered.damaged.append(fromUtf8(record.name) + u" "_s + failure);
            return std::nullopt;
        }
        return part;
    };

    // The directory as far as it survives: a directory that is sound but for its end record (a wrong
    // count of entries, an entry of a method libzip refuses) is read as it is.
    CentralDirectory directory;
    if (const auto end = endRecord(source))
        readRecords(source, directory, end->first, end->second, limits.maxEntries);
    readFailed();
    if (checkRecords(source, directory) && !directory.records.empty()) {
        recovered.end = RecoveredArchive::End::Directory;
        recovered.usedDirectory = true;
        std::unordered_map<std::string, bool> names;
        for (const CentralRecord& record : directory.records) {
            if (!names.emplace(record.name, true).second)
                throw ReadError(u"damaged zip archive: the entry %1 appears twice"_s.arg(fromUtf8(record.name)));
            if (std::optional<RecoveredPart> part = byRecord(record))
                recovered.parts.push_back(std::move(*part));
        }
        return recovered;
    }

    Walk walked = walk(source, limits, keep, keptBytes, directory.start);
    readFailed();
    recovered.end = walked.end;
    recovered.failure = walked.failure;
    recovered.damaged = walked.damaged;
    // Without an end record (or where the one there leads to no record), the directory is found where
    // the walk met it, as far as it survives.
    if (directory.records.empty() && walked.directoryAt) {
        directory = {};
        readRecords(source, directory, *walked.directoryAt, std::nullopt, limits.maxEntries);
        checkRecords(source, directory);
        readFailed();
    }
    // What survives of the directory still has its say: an entry it places inside another entry's
    // data is none, and an entry where it places one is that one, as the directory has it.
    std::unordered_map<std::uint64_t, const CentralRecord*> byOffset;
    for (const CentralRecord& record : directory.records)
        byOffset.emplace(record.offset, &record);
    // The records' entries by where they start, each with the furthest end of its data so far, so
    // that whether an offset lies inside one is a binary search.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> spans;
    for (const CentralRecord& record : directory.records)
        if (record.dataStart != 0)
            spans.emplace_back(record.offset, record.dataEnd());
    std::sort(spans.begin(), spans.end());
    for (std::size_t i = 1; i < spans.size(); ++i)
        spans[i].second = std::max(spans[i].second, spans[i - 1].second);
    const auto inside = [&](std::uint64_t offset) {
        const auto after = std::lower_bound(spans.begin(), spans.end(), std::make_pair(offset, std::uint64_t{0}));
        return after != spans.begin() && std::prev(after)->second > offset;
    };
    // An entry that does not end where the next one starts may hide others in its data: the directory
    // tells where it truly ends (or that it lies inside another), and without a record of it the walk
    // is lost there, the entry and all after it.
    std::size_t usable = walked.parts.size();
    for (const std::size_t gap : walked.gapsBefore)
        if (gap > 0 && byOffset.count(walked.parts[gap - 1].offset) == 0 && !inside(walked.parts[gap - 1].offset)) {
            usable = gap - 1;
            recovered.end = RecoveredArchive::End::Failure;
            recovered.failure = u"bytes that belong to no entry follow "_s + fromUtf8(walked.parts[usable].part.name);
            break;
        }
    walked.parts.resize(usable);
    std::unordered_map<std::string, bool> names;
    std::unordered_map<std::uint64_t, bool> walkedAt; // the offsets of the walked entries
    for (WalkedPart& walkedPart : walked.parts) {
        RecoveredPart& part = walkedPart.part;
        walkedAt.emplace(walkedPart.offset, true);
        if (inside(walkedPart.offset))
            continue;
        if (const auto found = byOffset.find(walkedPart.offset); found != byOffset.end()) {
            const CentralRecord& record = *found->second;
            const bool same = !part.kept || (part.bytes.size() == record.size && crcOf(part.bytes) == record.crc);
            if (!same || record.name != part.name) {
                // The local header tells another story than the directory: the directory's is the one
                // a reader of the whole archive reads.
                std::optional<RecoveredPart> asRecorded = byRecord(record);
                if (!asRecorded)
                    continue;
                part = std::move(*asRecorded);
            }
        }
        if (!names.emplace(part.name, true).second)
            throw ReadError(u"damaged zip archive: the entry %1 appears twice"_s.arg(fromUtf8(part.name)));
        recovered.parts.push_back(std::move(part));
    }
    // The entries the walk did not reach (it stopped at a damaged one) are read as the directory has
    // them, where it gives their local headers.
    for (const CentralRecord& record : directory.records) {
        if (record.dataStart == 0 || walkedAt.count(record.offset) != 0 || inside(record.offset))
            continue;
        std::optional<RecoveredPart> part = byRecord(record);
        if (part && names.emplace(part->name, true).second)
            recovered.parts.push_back(std::move(*part));
    }
    return recovered;
}

} // namespace quorvane::office
