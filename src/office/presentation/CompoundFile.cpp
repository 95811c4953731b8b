// A strict reader of the compound-file container, written from the published format. A library would
// bring a whole object system and a second allocator model for one container of which we read three
// streams; the format is small enough to check every link ourselves.
#include "office/presentation/CompoundFile.h"

#include "office/presentation/LittleEndian.h"
#include "office/presentation/PresentationDocument.h"
#include "office/presentation/ReadError.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include <unistd.h>

namespace quorvane::office {

namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::uint32_t kMaxRegularSector = 0xFFFFFFFA;
constexpr std::size_t kHeaderDifatEntries = 109;
constexpr std::size_t kDirectoryEntrySize = 128;

constexpr unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

[[noreturn]] void fail(const std::string& reason) {
    throw ReadError(QString::fromStdString(reason));
}

} // namespace

bool CompoundFile::hasSignature(QByteArrayView data) {
    return data.size() >= 8 && std::memcmp(data.data(), kSignature, 8) == 0;
}

CompoundFile::CompoundFile(QByteArrayView data) : m_data(data), m_size(static_cast<std::uint64_t>(data.size())) {
    if (!hasSignature(data))
        fail("not a compound file");
    parse();
}

CompoundFile::CompoundFile(int fd, std::uint64_t size) : m_fd(fd), m_size(size) {
    if (size < 8 || !hasSignature(bytesAt(0, 8)))
        fail("not a compound file");
    parse();
}

void CompoundFile::parse() {
    if (m_size < 512)
        fail("the compound file is shorter than its header");
    m_header = bytesAt(0, 512);
    const QByteArrayView header = m_header;
    if (le::u16(header, 0x1C) != 0xFFFE)
        fail("the compound-file header is damaged (byte order mark)");
    const std::uint16_t sectorShift = le::u16(header, 0x1E);
    const std::uint16_t miniShift = le::u16(header, 0x20);
    if ((sectorShift != 9 && sectorShift != 12) || miniShift != 6)
        fail("the compound-file header is damaged (sector size)");
    m_sectorSize = 1u << sectorShift;
    m_miniSectorSize = 1u << miniShift;
    m_miniCutoff = le::u32(header, 0x38);
    if (m_miniCutoff == 0 || m_miniCutoff > 0x10000)
        fail("the compound-file header is damaged (mini stream cutoff)");
    if (m_size < m_sectorSize)
        fail("the compound file is shorter than its header");
    // Sector n starts at (n + 1) * sector size; a last sector cut short still counts, its missing bytes
    // are caught where they are needed.
    m_sectorCount = static_cast<std::uint32_t>(
        std::min<std::uint64_t>((m_size - m_sectorSize + m_sectorSize - 1) / m_sectorSize, kMaxRegularSector));

    readAllocationTable();
    readDirectory();

    // The mini stream is the root entry's data; small streams live in it in 64-byte sectors.
    const Entry& root = m_entries.front();
    if (root.size > 0) {
        m_miniStream = readChain(root.start, root.size, "the mini stream");
        const std::uint32_t miniFatStart = le::u32(header, 0x3C);
        const std::uint32_t miniFatCount = le::u32(header, 0x40);
        if (miniFatCount > m_sectorCount)
            fail("the compound-file header is damaged (mini allocation table size)");
        const QByteArray table =
            readChain(miniFatStart, std::uint64_t{miniFatCount} * m_sectorSize, "the mini allocation table");
        m_miniFat.resize(static_cast<std::size_t>(table.size()) / 4);
        for (std::size_t i = 0; i < m_miniFat.size(); ++i)
            m_miniFat[i] = le::u32(table, i * 4);
    }
}

void CompoundFile::readInto(char* out, std::uint64_t offset, std::uint64_t length) const {
    if (m_fd < 0) {
        std::memcpy(out, m_data.data() + offset, length);
        return;
    }
    // Read, never mapped: a mapped file that shrinks under the reader kills the process with SIGBUS,
    // whereas a read only comes back short.
    std::uint64_t filled = 0;
    while (filled < length) {
        const ssize_t got = ::pread(m_fd, out + filled, length - filled, static_cast<off_t>(offset + filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            fail(std::string("cannot read the file: ") + std::strerror(errno));
        if (got == 0)
            fail("the file grew shorter while it was read");
        filled += static_cast<std::uint64_t>(got);
    }
}

QByteArray CompoundFile::bytesAt(std::uint64_t offset, std::uint64_t length) const {
    QByteArray bytes(static_cast<qsizetype>(length), Qt::Uninitialized);
    readInto(bytes.data(), offset, length);
    return bytes;
}

QByteArray CompoundFile::sector(std::uint32_t id) const {
    if (id >= m_sectorCount)
        fail("sector " + std::to_string(id) + " lies outside the file (truncated?)");
    const std::uint64_t offset = (std::uint64_t{id} + 1) * m_sectorSize;
    return bytesAt(offset, std::min<std::uint64_t>(m_sectorSize, m_size - offset));
}

void CompoundFile::readAllocationTable() {
    const QByteArrayView header = m_header;
    const std::uint32_t fatCount = le::u32(header, 0x2C);
    if (fatCount == 0 || fatCount > m_sectorCount)
        fail("the compound-file header is damaged (allocation table size)");
    std::vector<std::uint32_t> fatSectors;
    fatSectors.reserve(fatCount);
    for (std::size_t i = 0; i < kHeaderDifatEntries && fatSectors.size() < fatCount; ++i)
        fatSectors.push_back(le::u32(header, 0x4C + i * 4));

    // Further allocation-table sectors are listed in a chain of sectors of their own; each one ends with
    // the number of the next. The chain is bounded by the count in the header and checked for loops.
    std::uint32_t difat = le::u32(header, 0x44);
    const std::uint32_t difatCount = le::u32(header, 0x48);
    std::vector<bool> seen(m_sectorCount, false);
    const std::size_t perSector = m_sectorSize / 4 - 1;
    for (std::uint32_t n = 0; fatSectors.size() < fatCount; ++n) {
        if (n >= difatCount || difat == kEndOfChain || difat == kFreeSector)
            fail("the allocation table is incomplete");
        const QByteArray s = sector(difat);
        if (static_cast<std::uint32_t>(s.size()) < m_sectorSize)
            fail("the allocation table is truncated");
        if (seen[difat])
            fail("the allocation table's sector list loops");
        seen[difat] = true;
        for (std::size_t i = 0; i < perSector && fatSectors.size() < fatCount; ++i)
            fatSectors.push_back(le::u32(s, i * 4));
        difat = le::u32(s, perSector * 4);
    }

    const std::size_t entriesPerSector = m_sectorSize / 4;
    m_fat.resize(std::size_t{fatCount} * entriesPerSector);
    for (std::size_t f = 0; f < fatSectors.size(); ++f) {
        const QByteArray s = sector(fatSectors[f]);
        if (static_cast<std::uint32_t>(s.size()) < m_sectorSize)
            fail("the allocation table is truncated");
        for (std::size_t i = 0; i < entriesPerSector; ++i)
            m_fat[f * entriesPerSector + i] = le::u32(s, i * 4);
    }
}

std::vector<std::uint32_t> CompoundFile::chain(const std::vector<std::uint32_t>& table, std::uint32_t start,
                                               std::uint64_t maxLength, const char* what) const {
    // Follows a chain until its end or until maxLength links; every link must lie in the table and no
    // sector may come twice, so a looping chain ends here instead of spinning.
    std::vector<std::uint32_t> links;
    std::vector<bool> seen(table.size(), false);
    std::uint32_t current = start;
    while (current != kEndOfChain && links.size() < maxLength) {
        if (current >= table.size())
            fail(std::string("the sector chain of ") + what + " leaves the allocation table");
        if (seen[current])
            fail(std::string("the sector chain of ") + what + " loops");
        seen[current] = true;
        links.push_back(current);
        current = table[current];
    }
    return links;
}

QByteArray CompoundFile::readChain(std::uint32_t start, std::uint64_t size, const char* what) const {
    if (size == 0)
        return {};
    const std::uint64_t needed = (size + m_sectorSize - 1) / m_sectorSize;
    const std::vector<std::uint32_t> links = chain(m_fat, start, needed, what);
    if (links.size() < needed)
        fail(std::string("the sector chain of ") + what + " is shorter than its size");
    // Every sector must lie in the file before any is read, so the size asked for is never more than
    // the file holds.
    std::uint64_t remaining = size;
    for (const std::uint32_t id : links) {
        if (id >= m_sectorCount)
            fail("sector " + std::to_string(id) + " lies outside the file (truncated?)");
        const std::uint64_t offset = (std::uint64_t{id} + 1) * m_sectorSize;
        const std::uint64_t take = std::min<std::uint64_t>(remaining, m_sectorSize);
        if (m_size - offset < take)
            fail(std::string("the file ends inside ") + what + " (truncated)");
        remaining -= take;
    }
    // Consecutive sectors, the usual layout, are read in one go.
    QByteArray out(static_cast<qsizetype>(size), Qt::Uninitialized);
    std::uint64_t done = 0;
    for (std::size_t k = 0; done < size;) {
        std::size_t run = 1;
        while (k + run < links.size() && links[k + run] == links[k] + run && run * m_sectorSize < size - done)
            ++run;
        const std::uint64_t take = std::min<std::uint64_t>(size - done, std::uint64_t{run} * m_sectorSize);
        readInto(out.data() + done, (std::uint64_t{links[k]} + 1) * m_sectorSize, take);
        done += take;
        k += run;
    }
    return out;
}

void CompoundFile::readDirectory() {
    const std::uint32_t start = le::u32(m_header, 0x30);
    const std::vector<std::uint32_t> links = chain(m_fat, start, m_fat.size(), "the directory");
    if (links.empty())
        fail("the directory is missing");
    const std::size_t perSector = m_sectorSize / kDirectoryEntrySize;
    m_entries.reserve(links.size() * perSector);
    for (const std::uint32_t id : links) {
        const QByteArray s = sector(id);
        if (static_cast<std::uint32_t>(s.size()) < m_sectorSize)
            fail("the directory is truncated");
        for (std::size_t i = 0; i < perSector; ++i) {
            const QByteArrayView e = QByteArrayView(s).sliced(static_cast<qsizetype>(i * kDirectoryEntrySize),
                                                              static_cast<qsizetype>(kDirectoryEntrySize));
            Entry entry;
            entry.type = static_cast<std::uint8_t>(e[0x42]);
            const std::uint16_t nameBytes = std::min<std::uint16_t>(le::u16(e, 0x40), 64);
            const std::size_t nameChars = nameBytes >= 2 ? nameBytes / 2 - 1 : 0;
            entry.name.reserve(static_cast<qsizetype>(nameChars));
            for (std::size_t c = 0; c < nameChars; ++c)
                entry.name.append(QChar(le::u16(e, c * 2)));
            entry.left = le::u32(e, 0x44);
            entry.right = le::u32(e, 0x48);
            entry.child = le::u32(e, 0x4C);
            entry.start = le::u32(e, 0x74);
            entry.size = le::u32(e, 0x78);
            // Version 3 files may leave garbage in the high half of the size; only version 4 uses it.
            if (m_sectorSize == 4096)
                entry.size |= std::uint64_t{le::u32(e, 0x7C)} << 32;
            m_entries.push_back(std::move(entry));
        }
    }
    if (m_entries.front().type != 5)
        fail("the directory has no root entry");
    collectRootStreams();
}

void CompoundFile::collectRootStreams() {
    m_rootStreams = childrenOf(0, 2);
}

std::vector<std::uint32_t> CompoundFile::childrenOf(std::uint32_t parent, std::uint8_t type) const {
    // A storage's children form a tree through left and right links; each entry may be visited once.
    std::vector<std::uint32_t> children;
    std::vector<bool> seen(m_entries.size(), false);
    std::vector<std::uint32_t> pending{m_entries[parent].child};
    while (!pending.empty()) {
        const std::uint32_t index = pending.back();
        pending.pop_back();
        if (index == kNoStream)
            continue;
        if (index >= m_entries.size() || index == 0)
            fail("the directory is damaged (a link points outside it)");
        if (seen[index])
            fail("the directory is damaged (its tree loops)");
        seen[index] = true;
        const Entry& e = m_entries[index];
        if (e.type == type)
            children.push_back(index);
        pending.push_back(e.left);
        pending.push_back(e.right);
    }
    std::sort(children.begin(), children.end());
    return children;
}

std::optional<CompoundFile> CompoundFile::storage(const QString& name) const {
    if (m_storage != 0)
        return std::nullopt;
    for (const std::uint32_t index : childrenOf(0, 1))
        if (m_entries[index].name.compare(name, Qt::CaseInsensitive) == 0) {
            CompoundFile inner = *this;
            inner.m_storage = index;
            inner.m_rootStreams = childrenOf(index, 2);
            return inner;
        }
    return std::nullopt;
}

const CompoundFile::Entry* CompoundFile::find(const QString& name) const {
    for (const std::uint32_t index : m_rootStreams)
        if (m_entries[index].name.compare(name, Qt::CaseInsensitive) == 0)
            return &m_entries[index];
    return nullptr;
}

QStringList CompoundFile::streamNames() const {
    QStringList names;
    for (const std::uint32_t index : m_rootStreams)
        names.append(m_entries[index].name);
    return names;
}

bool CompoundFile::hasStream(const QString& name) const {
    return find(name) != nullptr;
}

std::optional<QByteArray> CompoundFile::readStream(const QString& name) const {
    const Entry* e = find(name);
    if (!e)
        return std::nullopt;
    const std::string what = "stream \"" + name.toStdString() + "\"";
    SharedReadRoom::claim(static_cast<qsizetype>(std::min<std::uint64_t>(e->size, m_size)) * 2); // and its records
    if (e->size >= m_miniCutoff)
        return readChain(e->start, e->size, what.c_str());
    if (e->size == 0)
        return QByteArray();
    const std::uint64_t needed = (e->size + m_miniSectorSize - 1) / m_miniSectorSize;
    const std::vector<std::uint32_t> links = chain(m_miniFat, e->start, needed, what.c_str());
    if (links.size() < needed)
        fail("the sector chain of " + what + " is shorter than its size");
    QByteArray out;
    out.reserve(static_cast<qsizetype>(e->size));
    std::uint64_t remaining = e->size;
    for (const std::uint32_t id : links) {
        const std::uint64_t offset = std::uint64_t{id} * m_miniSectorSize;
        const std::uint64_t take = std::min<std::uint64_t>(remaining, m_miniSectorSize);
        if (offset + take > static_cast<std::uint64_t>(m_miniStream.size()))
            fail("the " + what + " lies outside the mini stream");
        out.append(m_miniStream.constData() + offset, static_cast<qsizetype>(take));
        remaining -= take;
    }
    return out;
}

} // namespace quorvane::office
