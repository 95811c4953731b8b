#include "office/presentation/PptPersist.h"

#include <algorithm>

namespace quorvane::office::ppt {

namespace {

// An edit chain longer than this is not a real file's history; it is cut like a loop.
constexpr std::size_t kMaxEdits = 65536;

} // namespace

void PersistDirectory::read(std::optional<std::uint32_t> currentEdit) {
    std::uint32_t offset = 0;
    if (currentEdit && isUserEdit(*currentEdit))
        offset = *currentEdit;
    else if (const auto found = lastUserEditInStream())
        offset = *found; // "Current User" is missing or stale: the newest edit is the last one written
    else
        damaged("no edit record found");

    std::uint32_t lowest = offset; // the smallest offset of a record known so far
    bool newest = true;
    for (std::size_t edits = 1;; ++edits) {
        const Record edit = m_stream.recordAt(offset);
        if (edit.type != rtUserEditAtom || edit.length < 0x1C)
            damaged("the edit record at offset " + std::to_string(offset) + " is not one");
        const std::uint32_t lastEdit = m_stream.u32(edit.body + 8);
        if (newest) {
            m_documentRef = m_stream.u32(edit.body + 16);
            // Only an encrypted file carries the reference to its encryption record.
            if (edit.length >= 0x20)
                m_encryptionRef = m_stream.u32(edit.body + 28);
            newest = false;
        }
        lowest = std::min({lowest, offset, readDirectoryOf(edit)});
        if (lastEdit == 0)
            break;
        if (edits == kMaxEdits) {
            m_chain = Chain::Broken;
            break;
        }
        if (lastEdit < offset && isUserEdit(lastEdit)) {
            offset = lastEdit;
            continue;
        }
        const std::optional<std::uint32_t> before = editEndingAt(lowest);
        if (!before) {
            m_chain = Chain::Broken;
            break;
        }
        if (m_chain == Chain::Whole)
            m_chain = Chain::Mended;
        offset = *before;
    }
}

bool PersistDirectory::isUserEdit(std::uint32_t offset) const {
    if (offset > m_stream.size() || m_stream.size() - offset < 8 + 0x1C)
        return false;
    return m_stream.u16(offset + 2) == rtUserEditAtom && m_stream.u32(offset + 4) >= 0x1C &&
           m_stream.u32(offset + 4) <= m_stream.size() - offset - 8;
}

std::optional<std::uint32_t> PersistDirectory::editEndingAt(std::uint32_t end) const {
    for (const std::uint32_t length : {0x1Cu, 0x20u})
        if (end >= 8 + length && m_stream.u16(end - 8 - length) == 0 &&
            m_stream.u16(end - 8 - length + 2) == rtUserEditAtom && m_stream.u32(end - 8 - length + 4) == length)
            return end - 8 - length;
    return std::nullopt;
}

std::optional<std::uint32_t> PersistDirectory::lastUserEditInStream() const {
    std::optional<std::uint32_t> found;
    visitTopLevel([&](std::uint32_t at, std::uint16_t, std::uint32_t) {
        if (isUserEdit(at))
            found = at;
    });
    return found;
}

std::uint32_t PersistDirectory::readDirectoryOf(const Record& edit) {
    std::uint32_t offset = m_stream.u32(edit.body + 12);
    const bool sound = offset < m_stream.size() && m_stream.size() - offset >= 8 &&
                       m_stream.u16(offset + 2) == rtPersistDirectoryAtom &&
                       m_stream.u32(offset + 4) <= m_stream.size() - offset - 8 && !m_directories.count(offset);
    if (!sound) {
        // The stream's directories by where they end, found in one walk however many links are broken.
        if (!m_directoriesByEnd) {
            m_directoriesByEnd.emplace();
            visitTopLevel([&](std::uint32_t at, std::uint16_t type, std::uint32_t length) {
                if (type == rtPersistDirectoryAtom)
                    m_directoriesByEnd->emplace(at + 8 + length, at);
            });
        }
        std::optional<std::uint32_t> found;
        if (const auto ending = m_directoriesByEnd->find(edit.offset);
            ending != m_directoriesByEnd->end() && !m_directories.count(ending->second))
            found = ending->second;
        if (!found) {
            m_chain = Chain::Broken;
            return edit.offset;
        }
        if (m_chain == Chain::Whole)
            m_chain = Chain::Mended;
        offset = *found;
    }
    m_directories.insert(offset);
    const Record dir = m_stream.recordAt(offset);
    std::uint32_t lowest = offset;
    std::uint32_t at = dir.body;
    while (at < dir.end()) {
        if (dir.end() - at < 4)
            damaged("the persist directory at offset " + std::to_string(offset) + " is cut short");
        const std::uint32_t head = m_stream.u32(at);
        const std::uint32_t first = head & 0xFFFFF;
        const std::uint32_t count = head >> 20;
        at += 4;
        if (count > (dir.end() - at) / 4)
            damaged("the persist directory at offset " + std::to_string(offset) + " overruns itself");
        for (std::uint32_t i = 0; i < count; ++i, at += 4) {
            const std::uint32_t object = m_stream.u32(at);
            m_persist.try_emplace(first + i, object);
            if (object < m_stream.size())
                lowest = std::min(lowest, object);
        }
    }
    return lowest;
}

Record PersistDirectory::record(std::uint32_t id, std::uint16_t type, const char* what) const {
    const auto it = m_persist.find(id);
    if (it == m_persist.end())
        damaged(std::string(what) + " is missing from the persist directory");
    const Record r = m_stream.recordAt(it->second);
    if (r.type != type)
        damaged(std::string(what) + " at offset " + std::to_string(it->second) + " is a record of type " +
                hexType(r.type));
    return r;
}

bool PersistDirectory::isEncrypted() const {
    const auto it = m_persist.find(m_documentRef);
    return m_encryptionRef && it != m_persist.end() && m_persist.count(*m_encryptionRef) &&
           m_stream.recordAt(it->second).type != rtDocument;
}

} // namespace quorvane::office::ppt
