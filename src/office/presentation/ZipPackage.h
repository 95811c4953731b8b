#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

struct zip; // libzip's archive handle (zip_t)

namespace quorvane::office {

// The bounds a package must stay within. A presentation's XML parts are small; a part that inflates
// beyond these is a zip bomb or damage, never a real file, so reading it stops with a clear reason.
struct ZipLimits {
    std::int64_t maxEntries = 20000;       // entries in the central directory
    std::uint64_t maxPartSize = 64u << 20; // inflated bytes of one part, counted while inflating
    std::uint64_t ratioGrace = 1u << 20;   // below this many inflated bytes the ratio is not checked
    std::uint64_t maxRatio = 100;          // inflated ÷ compressed beyond the grace
    // Inflated bytes of all parts read from the package together, each read counted: many parts just
    // under the grace would otherwise inflate to gigabytes of markup with no bound passed.
    std::uint64_t maxTotalSize = 512u << 20;
    // A file up to this size is read into memory in one go and its parts are inflated from there;
    // a larger one (a deck full of pictures) is read part by part from the file, so its pictures
    // are never read at all. Not a bound: it only trades reads for memory on small files.
    std::uint64_t wholeFileUpTo = 512u << 10;
};

struct RecoveredPart;
class ZipPackage;

// How a package whose parts are encrypted one by one (a protected OpenDocument package) turns a part's
// stored bytes into its content.
class PartDecryption {
public:
    virtual ~PartDecryption() = default;
    // Whether the part name is stored encrypted.
    virtual bool encrypts(std::string_view name) const = 0;
    // Replaces buffer, the stored bytes of part name, by its content, within package's limits. Throws
    // ReadError "<file name>: <name>: <reason>".
    virtual void decrypt(std::string_view name, std::string& buffer, const ZipPackage& package) const = 0;
};

// A zip archive opened read-only through libzip, read one part at a time. The whole package is never
// inflated: read() inflates just the part asked for, counting the bytes it actually produces. A part
// whose recorded size keeps the limits is inflated in one call with libdeflate; any other, or one that
// fails so, is inflated as a stream with zlib, where the limits apply as the bytes come.
//
// An archive whose directory is missing (a file cut short) or damaged is read from its local file
// headers instead (recovered() is then true): the package holds the XML parts that come whole, with
// a matching CRC, before the first one that is cut or damaged, and damage() says what was lost.
class ZipPackage {
public:
    // Opens the archive at path. Throws ReadError "<file name>: <reason>" when the file is not
    // a regular readable file, not a zip archive, damaged beyond reading any entry, has more entries
    // than the limit or the same entry name twice.
    explicit ZipPackage(const QString& path, const ZipLimits& limits = {});
    // The same for a file already opened with openRegularFile (at offset 0 or not): the package takes
    // the descriptor over and closes it, also when it throws.
    ZipPackage(const QString& path, int fd, const ZipLimits& limits = {});
    // The same for a package held in memory (a decrypted one: its bytes are wiped when it goes); path
    // only names it in messages.
    ZipPackage(const QString& path, std::string bytes, const ZipLimits& limits = {});
    ~ZipPackage();
    ZipPackage(const ZipPackage&) = delete;
    ZipPackage& operator=(const ZipPackage&) = delete;

    // The file name used in messages.
    const QString& fileName() const;

    // Whether the archive was read from its local headers, its directory being missing or damaged. Any
    // part it does not hold may then have been lost.
    bool recovered() const { return m_recovered; }
    // For a recovered package, what was lost ("its zip directory is missing", "cut short in
    // ppt/slides/slide4.xml", ...); empty otherwise.
    const QString& damage() const { return m_damage; }

    // The entry names in the order of the central directory (UTF-8).
    const std::vector<std::string>& names() const;

    // Whether an entry of that name exists. The exact name is preferred; otherwise the name is matched
    // ignoring ASCII case, as package part names are.
    bool contains(std::string_view name) const { return find(name) >= 0; }

    // Inflates the entry name into buffer, replacing what it held (its capacity is reused, so one buffer
    // can serve every part of a file). Throws ReadError "<file name>: <name>: <reason>" when the
    // entry is missing, encrypted, damaged (CRC, truncation) or breaks a limit. What a failed read
    // inflated counts against maxTotalSize like any other read, and a part that failed once fails
    // again at once with the same error.
    void read(std::string_view name, std::string& buffer) const;
    std::string read(std::string_view name) const;

    // Throws ReadError "<file name>: <reason>".
    [[noreturn]] void fail(const QString& reason) const;

    // From now on the parts that decryption encrypts are decrypted as they are read.
    void setDecryption(std::unique_ptr<PartDecryption> decryption);
    const ZipLimits& limits() const { return m_limits; }
    // Counts bytes that were inflated for part name outside read() against the bound of all parts
    // together; throws ReadError like read() when they pass it.
    void countInflated(std::string_view name, std::uint64_t bytes) const;

private:
    void openArchive(int fd);
    void indexEntries();
    void readStored(std::string_view name, std::string& buffer) const;
    // Reads the parts from the local headers of the file (fd, or m_bytes when it holds the file), after
    // libzip failed to open it with code; false when no entry could be read at all.
    bool recover(int fd, std::uint64_t size, int code);
    std::int64_t find(std::string_view name) const;
    // read() of the entry at index, once it is found and has not failed before.
    void readEntry(std::int64_t index, std::string_view name, std::string& buffer) const;
    [[noreturn]] void failPart(std::string_view name, const QString& reason) const;
    // Throws ReadLimitPassed: reading name would take the parts read past maxTotalSize.
    [[noreturn]] void failTotal(std::string_view name) const;

    // Most files open, are read and close without a message, so the name for messages, the name
    // list and the case-folded index are only worked out when first needed.
    QString m_path;
    mutable QString m_fileName;
    ZipLimits m_limits;
    std::string m_bytes; // the whole file when it is small (see ZipLimits::wholeFileUpTo)
    zip* m_archive = nullptr;
    mutable std::uint64_t m_inflated = 0; // by every read() so far, failed ones too (ZipLimits::maxTotalSize)
    struct Failure {
        QString description;
        bool limit = false; // a ReadLimitPassed
    };
    mutable std::unordered_map<std::int64_t, Failure> m_failures; // of each entry whose read failed
    bool m_recovered = false;
    std::vector<RecoveredPart> m_parts; // the parts of a recovered package, in file order
    QString m_damage;
    // Entry names (views into libzip's copies, valid while the archive is open, or into m_parts)
    // sorted for lookup.
    std::vector<std::pair<std::string_view, std::int64_t>> m_sorted;
    mutable std::vector<std::pair<std::string, std::int64_t>> m_folded; // ASCII-lowercased, sorted
    mutable std::vector<std::string> m_names;
    std::unique_ptr<PartDecryption> m_decryption;
    bool m_secret = false; // m_bytes holds decrypted bytes, to be wiped
};

} // namespace quorvane::office
