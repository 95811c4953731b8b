#include "support/PptTestFiles.h"

#include "office/presentation/CompoundFile.h"

#include <QFile>
#include <QtEndian>

#include <stdexcept>

namespace quorvane::test {

namespace {

constexpr std::uint32_t kEnd = 0xFFFFFFFE;
constexpr std::uint32_t kFree = 0xFFFFFFFF;
constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
constexpr std::uint32_t kMini = 64;
constexpr std::uint32_t kCutoff = 4096;

// The container and the records store every number least significant byte first.
void appendU16(QByteArray& out, std::uint16_t v) {
    char bytes[2];
    qToLittleEndian(v, bytes);
    out.append(bytes, 2);
}
void appendU32(QByteArray& out, std::uint32_t v) {
    char bytes[4];
    qToLittleEndian(v, bytes);
    out.append(bytes, 4);
}
std::uint32_t sectorsFor(std::uint64_t bytes, std::uint32_t size) {
    return static_cast<std::uint32_t>((bytes + size - 1) / size);
}
void padTo(QByteArray& data, std::uint32_t unit) {
    while (data.size() % unit != 0)
        data.append('\0');
}

QByteArray directoryEntry(const QString& name, std::uint8_t type, std::uint32_t right, std::uint32_t child,
                          std::uint32_t start, std::uint32_t size) {
    QByteArray e;
    for (const QChar c : name)
        appendU16(e, c.unicode());
    e.append(64 - e.size(), '\0');
    appendU16(e, name.isEmpty() ? 0 : static_cast<std::uint16_t>((name.size() + 1) * 2));
    e.append(static_cast<char>(type));
    e.append(static_cast<char>(1)); // black
    appendU32(e, kFree);            // left
    appendU32(e, right);
    appendU32(e, child);
    e.append(16 + 4 + 16, '\0'); // class id, state bits, times
    appendU32(e, start);
    appendU32(e, size);
    appendU32(e, 0);
    return e;
}

} // namespace

QByteArray writeCompoundFile(const Streams& streams, int version) {
    const std::uint32_t sectorSize = version == 4 ? 4096 : 512;
    // The mini stream and its table.
    QByteArray mini;
    std::vector<std::uint32_t> miniFat;
    std::vector<std::uint32_t> starts(streams.size(), kEnd);
    std::vector<std::size_t> big;
    for (std::size_t i = 0; i < streams.size(); ++i) {
        const QByteArray& data = streams[i].second;
        if (data.size() >= kCutoff) {
            big.push_back(i);
            continue;
        }
        if (data.isEmpty())
            continue;
        const auto first = static_cast<std::uint32_t>(miniFat.size());
        const std::uint32_t count = sectorsFor(static_cast<std::uint64_t>(data.size()), kMini);
        for (std::uint32_t k = 0; k < count; ++k)
            miniFat.push_back(k + 1 < count ? first + k + 1 : kEnd);
        starts[i] = first;
        mini.append(data);
        padTo(mini, kMini);
    }

    // Sector plan: allocation table, directory, mini table, mini stream, large streams.
    const std::uint32_t dirSectors = sectorsFor((streams.size() + 1) * 128, sectorSize);
    const std::uint32_t miniFatSectors = sectorsFor(miniFat.size() * 4, sectorSize);
    const std::uint32_t miniSectors = sectorsFor(static_cast<std::uint64_t>(mini.size()), sectorSize);
    std::uint32_t rest = dirSectors + miniFatSectors + miniSectors;
    for (const std::size_t i : big)
        rest += sectorsFor(static_cast<std::uint64_t>(streams[i].second.size()), sectorSize);
    std::uint32_t fatSectors = 1;
    while (fatSectors * (sectorSize / 4) < fatSectors + rest)
        ++fatSectors;
    if (fatSectors > 109)
        throw std::runtime_error("test compound file too large");

    std::vector<std::uint32_t> fat(fatSectors * (sectorSize / 4), kFree);
    std::uint32_t next = 0;
    auto allocate = [&](std::uint32_t count) {
        const std::uint32_t first = next;
        for (std::uint32_t k = 0; k < count; ++k)
            fat[first + k] = k + 1 < count ? first + k + 1 : kEnd;
        next += count;
        return count ? first : kEnd;
    };
    for (std::uint32_t k = 0; k < fatSectors; ++k)
        fat[next++] = kFatSector;
    const std::uint32_t dirStart = allocate(dirSectors);
    const std::uint32_t miniFatStart = allocate(miniFatSectors);
    const std::uint32_t miniStart = allocate(miniSectors);
    for (const std::size_t i : big)
        starts[i] = allocate(sectorsFor(static_cast<std::uint64_t>(streams[i].second.size()), sectorSize));

    QByteArray file;
    static const char signature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
    file.append(signature, 8);
    file.append(16, '\0');
    appendU16(file, 0x3E);
    appendU16(file, static_cast<std::uint16_t>(version));
    appendU16(file, 0xFFFE);
    appendU16(file, version == 4 ? 12 : 9);
    appendU16(file, 6);
    file.append(6, '\0');
    appendU32(file, version == 4 ? dirSectors : 0);
    appendU32(file, fatSectors);
    appendU32(file, dirStart);
    appendU32(file, 0);
    appendU32(file, kCutoff);
    appendU32(file, miniFatSectors ? miniFatStart : kEnd);
    appendU32(file, miniFatSectors);
    appendU32(file, kEnd);
    appendU32(file, 0);
    for (std::uint32_t k = 0; k < 109; ++k)
        appendU32(file, k < fatSectors ? k : kFree);
    padTo(file, sectorSize); // a version 4 header fills a whole 4096-byte sector

    for (const std::uint32_t entry : fat)
        appendU32(file, entry);
    QByteArray dir = directoryEntry(QStringLiteral("Root Entry"), 5, kFree, streams.empty() ? kFree : 1,
                                    mini.isEmpty() ? kEnd : miniStart, static_cast<std::uint32_t>(mini.size()));
    for (std::size_t i = 0; i < streams.size(); ++i)
        dir += directoryEntry(streams[i].first, 2, i + 1 < streams.size() ? static_cast<std::uint32_t>(i + 2) : kFree,
                              kFree, starts[i], static_cast<std::uint32_t>(streams[i].second.size()));
    while (dir.size() % sectorSize != 0)
        dir += directoryEntry(QString(), 0, kFree, kFree, 0, 0);
    file += dir;
    QByteArray table;
    for (const std::uint32_t entry : miniFat)
        appendU32(table, entry);
    padTo(table, sectorSize);
    file += table;
    padTo(mini, sectorSize);
    file += mini;
    for (const std::size_t i : big) {
        QByteArray data = streams[i].second;
        padTo(data, sectorSize);
        file += data;
    }
    return file;
}

Streams readCompoundFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot open test file");
    const QByteArray data = f.readAll();
    const office::CompoundFile file(data);
    Streams out;
    for (const QString& name : file.streamNames())
        out.emplace_back(name, *file.readStream(name));
    return out;
}

QByteArray& streamNamed(Streams& streams, QStringView name) {
    for (auto& [n, data] : streams)
        if (n == name)
            return data;
    throw std::runtime_error("no such stream");
}

std::uint32_t readU32(const QByteArray& data, qsizetype at) {
    return qFromLittleEndian<std::uint32_t>(data.constData() + at);
}

void writeU32(QByteArray& data, qsizetype at, std::uint32_t value) {
    qToLittleEndian(value, data.data() + at);
}

QByteArray PptRecord::bytes() const {
    QByteArray body = atom;
    if (container()) {
        body.clear();
        for (const PptRecord& child : children)
            body += child.bytes();
    }
    QByteArray out;
    appendU16(out, verInstance);
    appendU16(out, type);
    appendU32(out, static_cast<std::uint32_t>(body.size()));
    return out + body;
}

PptRecord* PptRecord::find(std::uint16_t wanted) {
    for (PptRecord& child : children) {
        if (child.type == wanted)
            return &child;
        if (PptRecord* inner = child.find(wanted))
            return inner;
    }
    return nullptr;
}

PptRecord parseRecord(const QByteArray& stream, std::uint32_t offset) {
    PptRecord r;
    r.verInstance = static_cast<std::uint16_t>(readU32(stream, offset) & 0xFFFF);
    r.type = static_cast<std::uint16_t>(readU32(stream, offset) >> 16);
    const std::uint32_t length = readU32(stream, offset + 4);
    if (!r.container()) {
        r.atom = stream.mid(offset + 8, length);
        return r;
    }
    for (std::uint32_t at = offset + 8; at < offset + 8 + length;) {
        r.children.push_back(parseRecord(stream, at));
        at += 8 + readU32(stream, at + 4);
    }
    return r;
}

PptRecord atom(std::uint16_t type, QByteArray body, std::uint16_t instance) {
    PptRecord r;
    r.verInstance = static_cast<std::uint16_t>(instance << 4);
    r.type = type;
    r.atom = std::move(body);
    return r;
}

PptRecord textChars(const QString& text) {
    QByteArray body;
    for (const QChar c : text)
        appendU16(body, c.unicode());
    return atom(4000, body);
}

PptRecord textBytes(const QByteArray& latin1) {
    return atom(4008, latin1);
}

PptEdits readEdits(const Streams& file) {
    Streams copy = file;
    const QByteArray& user = streamNamed(copy, QStringLiteral("Current User"));
    const QByteArray& stream = streamNamed(copy, QStringLiteral("PowerPoint Document"));
    PptEdits edits;
    edits.currentEdit = readU32(user, 16);
    std::uint32_t offset = edits.currentEdit;
    for (int guard = 0; guard < 100; ++guard) {
        if (guard == 0)
            edits.documentId = readU32(stream, offset + 8 + 16);
        const std::uint32_t dir = readU32(stream, offset + 8 + 12);
        const std::uint32_t dirEnd = dir + 8 + readU32(stream, dir + 4);
        for (std::uint32_t at = dir + 8; at < dirEnd;) {
            const std::uint32_t head = readU32(stream, at);
            at += 4;
            for (std::uint32_t i = 0; i < (head >> 20); ++i, at += 4)
                edits.persist.try_emplace((head & 0xFFFFF) + i, readU32(stream, at));
        }
        offset = readU32(stream, offset + 8 + 8);
        if (offset == 0)
            break;
    }
    return edits;
}

void appendEdit(Streams& file, const std::map<std::uint32_t, QByteArray>& replaced) {
    const PptEdits edits = readEdits(file);
    QByteArray& stream = streamNamed(file, QStringLiteral("PowerPoint Document"));
    QByteArray directory;
    for (const auto& [id, bytes] : replaced) {
        appendU32(directory, id | (1u << 20));
        appendU32(directory, static_cast<std::uint32_t>(stream.size()));
        stream += bytes;
    }
    const auto directoryOffset = static_cast<std::uint32_t>(stream.size());
    stream += atom(6002, directory).bytes();
    PptRecord edit = atom(4085, stream.mid(edits.currentEdit + 8, 0x1C));
    writeU32(edit.atom, 8, edits.currentEdit);
    writeU32(edit.atom, 12, directoryOffset);
    const auto editOffset = static_cast<std::uint32_t>(stream.size());
    stream += edit.bytes();
    writeU32(streamNamed(file, QStringLiteral("Current User")), 16, editOffset);
}

} // namespace quorvane::test
