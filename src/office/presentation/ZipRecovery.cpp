#include "office/presentation/ZipRecovery.h"

#include "office/presentation/PresentationDocument.h"
#include "office/presentation/ReadError.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <unordered_set>

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

    // Whether the local header at offset, with its name and extra field, lies inside the file: one that
    // the end of the file cuts through is read from the zeros by libarchive, and is no entry.
    bool holdsHeader(std::uint64_t offset) const {
        if (offset > m_size || m_size - offset < 30)
            return false;
        unsigned char lengths[4] = {};
        if (m_bytes != nullptr)
            std::memcpy(lengths, m_bytes->data() + offset + 26, 4);
        else if (::pread(m_fd, lengths, 4, static_cast<off_t>(offset + 26)) != 4)
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

} // namespace

RecoveredArchive recoverZip(int fd, const std::string* bytes, std::uint64_t size, const ZipLimits& limits,
                            const std::function<bool(std::string_view name)>& keep) {
    RecoveredArchive recovered;
    Source source(fd, bytes, size);
    archive* reader = archive_read_new();
    if (reader == nullptr)
        throw ReadError(u"out of memory"_s);
    const ReaderCloser closer{reader};
    archive_read_support_format_zip_streamable(reader);
    archive_read_set_read_callback(reader, &Source::read);
    archive_read_set_skip_callback(reader, &Source::skip);
    archive_read_set_callback_data(reader, &source);
    if (archive_read_open1(reader) != ARCHIVE_OK)
        return recovered;

    std::unordered_set<std::string> names;
    std::uint64_t keptBytes = 0;
    std::string scratch(std::size_t{1} << 16, '\0');
    // Ends the reading at an entry that fails: one that needed bytes past the end of the file was cut.
    const auto stop = [&](const QString& name, const QString& what) {
        recovered.end = RecoveredArchive::End::Failure;
        recovered.failure = source.pastEnd() ? u"cut short in "_s + name : name + u" "_s + what;
    };
    for (;;) {
        archive_entry* entry = nullptr;
        const int header = archive_read_next_header(reader, &entry);
        if (header == ARCHIVE_EOF) {
            recovered.end = RecoveredArchive::End::Directory;
            break;
        }
        // Otherwise no further entry: the file ends after the last whole one, or what follows is none.
        if (header < ARCHIVE_WARN)
            break;
        if (!source.holdsHeader(static_cast<std::uint64_t>(archive_read_header_position(reader)))) {
            recovered.end = RecoveredArchive::End::Failure;
            recovered.failure = recovered.parts.empty() ? u"cut short"_s
                                                        : u"cut short after "_s + fromUtf8(recovered.parts.back().name);
            break;
        }
        const char* utf8 = archive_entry_pathname_utf8(entry);
        const char* raw = utf8 != nullptr ? utf8 : archive_entry_pathname(entry);
        const std::string name = raw != nullptr ? raw : "";
        const QString shownName = fromUtf8(name);
        if (static_cast<std::int64_t>(recovered.parts.size()) >= limits.maxEntries)
            throw ReadError(u"the zip archive has more than %1 entries"_s.arg(limits.maxEntries));
        if (!names.insert(name).second)
            throw ReadError(u"damaged zip archive: the entry %1 appears twice"_s.arg(shownName));

        RecoveredPart part;
        part.name = name;
        part.encrypted = archive_entry_is_encrypted(entry) != 0;
        part.kept = keep(name) && !part.encrypted;
        const la_int64_t start = archive_read_header_position(reader);
        if (!part.kept && archive_entry_size_is_set(entry) != 0) {
            // Its size is known: passed over without inflating it.
            if (archive_read_data_skip(reader) != ARCHIVE_OK) {
                stop(shownName, u"is damaged ("_s + reasonOf(reader) + u")"_s);
                break;
            }
        } else {
            // Inflated to find its end and check its CRC, and held to the limits on the way.
            std::uint64_t inflated = 0;
            QString failure;
            for (;;) {
                const la_ssize_t got = archive_read_data(reader, scratch.data(), scratch.size());
                if (got < 0) {
                    failure = u"is damaged ("_s + reasonOf(reader) + u")"_s;
                    break;
                }
                if (got == 0)
                    break;
                inflated += static_cast<std::uint64_t>(got);
                const auto consumed = static_cast<std::uint64_t>(archive_filter_bytes(reader, -1) - start);
                if (inflated > limits.ratioGrace && inflated > consumed * limits.maxRatio) {
                    failure = u"inflates more than %1 times (a zip bomb?)"_s.arg(limits.maxRatio);
                    break;
                }
                if (!part.kept)
                    continue;
                if (inflated > limits.maxPartSize) {
                    failure = u"is larger than %1 MiB"_s.arg(limits.maxPartSize >> 20);
                    break;
                }
                keptBytes += static_cast<std::uint64_t>(got);
                if (keptBytes > limits.maxTotalSize)
                    throw ReadError(u"damaged zip archive: read without its directory, its parts inflate to more "
                                    u"than %1 MiB together"_s.arg(limits.maxTotalSize >> 20));
                // Read ahead among others, what is kept waits for room first.
                SharedReadRoom::claim(static_cast<qsizetype>(got));
                part.bytes.append(scratch.data(), static_cast<std::size_t>(got));
            }
            if (!failure.isEmpty()) {
                stop(shownName, failure);
                break;
            }
        }
        // An entry that reached into the zeros after the file's end took them for its own bytes.
        if (static_cast<std::uint64_t>(archive_filter_bytes(reader, -1)) > source.size()) {
            stop(shownName, {});
            break;
        }
        recovered.parts.push_back(std::move(part));
    }
    return recovered;
}

} // namespace quorvane::office
