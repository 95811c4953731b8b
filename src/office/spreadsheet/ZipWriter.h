#pragma once

#include <QString>

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>

namespace quorvane::office {

// Writes a zip archive whose entries arrive already deflated (raw deflate data with its size and
// CRC-32) or to be stored as they are, one after the other, straight into a file. An archive that
// passes 4 GiB gets the Zip64 records on its own; an entry gets them when the caller says its data
// passes 4 GiB. Every function throws SaveError with the reason.
class ZipWriter {
public:
    // fd: a new, empty file open for reading and writing; it stays open (the caller owns it). time:
    // the date the entries carry.
    ZipWriter(int fd, std::time_t time);
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;
    ~ZipWriter();

    // level: the deflate level the data was made with, which the entry's header records. zip64: the
    // entry's data passes 4 GiB; exactly then, for readers take the records on an entry that does not
    // need them for an inconsistency.
    void beginEntry(const std::string& name, bool zip64, int level);
    // Begins an entry whose data is stored as it is, not deflated, and under 4 GiB.
    void beginStoredEntry(const std::string& name);
    void write(std::string_view deflated);
    void endEntry(std::uint64_t size, std::uint32_t crc);
    // Writes the central directory. Nothing may follow.
    void close();

private:
    struct Output;
    [[noreturn]] void fail(int result, const QString& what) const;
    void open(const std::string& name, bool zip64, int method, int level);

    std::unique_ptr<Output> m_output;
    void* m_zip = nullptr;
    std::time_t m_time;
};

} // namespace quorvane::office
