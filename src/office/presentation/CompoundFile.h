#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace quorvane::office {

// A strict, read-only reader of the compound-file container (of .ppt files and of password-protected
// OOXML packages). It reads the streams of the root storage, or of one storage in it. Every
// sector number, chain and directory link is checked against the file, so a damaged or hostile file
// ends in a ReadError with the reason (a sector outside the file, a chain that loops or ends early, a
// broken directory), never in a loop or a read outside the data.
class CompoundFile {
public:
    // True when data starts with the compound-file signature.
    static bool hasSignature(QByteArrayView data);

    // Parses the header, the allocation tables and the directory of data, which must outlive this
    // object. Throws ReadError with the reason when the container is damaged.
    explicit CompoundFile(QByteArrayView data);
    // The same for the open regular file fd (not taken over, and it must stay open while this object
    // lives), of size bytes when reading starts. Only the sectors that are needed are read, with pread:
    // a file that grows shorter while it is read ends in a ReadError, like any damage.
    CompoundFile(int fd, std::uint64_t size);

    // Names of the streams directly in the root storage, in directory order.
    QStringList streamNames() const;
    // True when the root storage holds a stream of that name (compared without regard to case).
    bool hasStream(const QString& name) const;
    // The whole content of a root stream, or nullopt when there is none. Throws ReadError when
    // its sectors are damaged (outside the file, looping chain, chain shorter than the size).
    std::optional<QByteArray> readStream(const QString& name) const;

    // The same container with the streams of the storage name (compared without regard to case),
    // which lies in the root storage, in place of the root's: nullopt when there is no such storage,
    // or when this is such a view already. Throws ReadError when the directory is damaged.
    std::optional<CompoundFile> storage(const QString& name) const;

private:
    struct Entry {
        QString name;
        std::uint8_t type = 0;
        std::uint32_t left = 0, right = 0, child = 0;
        std::uint32_t start = 0;
        std::uint64_t size = 0;
    };

    void parse();
    // length bytes from offset, which the caller has checked to lie inside the file.
    void readInto(char* out, std::uint64_t offset, std::uint64_t length) const;
    QByteArray bytesAt(std::uint64_t offset, std::uint64_t length) const;
    // The sector's bytes: fewer than a sector for the last one of a file cut short.
    QByteArray sector(std::uint32_t id) const;
    std::vector<std::uint32_t> chain(const std::vector<std::uint32_t>& table, std::uint32_t start,
                                     std::uint64_t maxLength, const char* what) const;
    QByteArray readChain(std::uint32_t start, std::uint64_t size, const char* what) const;
    void readAllocationTable();
    void readDirectory();
    void collectRootStreams();
    // The entries of the given type (1 storage, 2 stream) directly in the storage at parent, in
    // directory order.
    std::vector<std::uint32_t> childrenOf(std::uint32_t parent, std::uint8_t type) const;
    const Entry* find(const QString& name) const;

    QByteArrayView m_data; // the container in memory, or
    int m_fd = -1;         // the file it is read from
    std::uint64_t m_size = 0;
    QByteArray m_header;
    std::uint32_t m_sectorSize = 512;
    std::uint32_t m_miniSectorSize = 64;
    std::uint32_t m_miniCutoff = 4096;
    std::uint32_t m_sectorCount = 0; // sectors that start inside the file
    std::vector<std::uint32_t> m_fat;
    std::vector<std::uint32_t> m_miniFat;
    QByteArray m_miniStream;
    std::vector<Entry> m_entries;
    std::vector<std::uint32_t> m_rootStreams; // indexes into m_entries: the streams read
    std::uint32_t m_storage = 0;              // the storage that holds them (0: the root)
};

} // namespace quorvane::office
