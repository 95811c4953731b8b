#pragma once

// The edit and persist chain of a binary presentation: the edit records, newest first, and the persist
// directory they make up together (object id -> stream offset).

#include "office/presentation/PptRecords.h"

#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace quorvane::office::ppt {

class PersistDirectory {
public:
    // The chain of edits as it was followed: whole, mended past a broken link, or cut at one.
    enum class Chain { Whole, Mended, Broken };

    explicit PersistDirectory(const RecordStream& stream) : m_stream(stream) {}

    // Walks the edit records newest first and merges their persist directories; an id keeps the offset
    // from the newest edit that lists it. Every save appends to the stream, so an edit's link to the one
    // before points further back. A link that does not (it loops back, or points outside the stream or
    // at no edit) is mended where a sound way is found: the edit that ends right before the smallest
    // offset known so far, where a save writes its records after the edit before it. Otherwise the
    // chain ends there, and what only older edits hold is lost.
    // currentEdit is where "Current User" says the newest edit is. Throws ReadError (damaged) when no
    // edit can be found or an edit or a directory is not sound.
    void read(std::optional<std::uint32_t> currentEdit);

    Chain chain() const { return m_chain; }
    // The persist id of the document record, as the newest edit gives it.
    std::uint32_t documentRef() const { return m_documentRef; }
    bool contains(std::uint32_t id) const { return m_persist.count(id) != 0; }
    // The record of persist id id, which must be of type; what names it in the damage reported.
    Record record(std::uint32_t id, std::uint16_t type, const char* what) const;
    // Whether the newest edit points at an encryption record instead of a readable document.
    bool isEncrypted() const;
    // The persist id of the encryption record the newest edit names, if it names one.
    std::optional<std::uint32_t> encryptionRef() const { return m_encryptionRef; }
    // Every persist id with the offset of its object.
    const std::unordered_map<std::uint32_t, std::uint32_t>& objects() const { return m_persist; }

private:
    bool isUserEdit(std::uint32_t offset) const;
    // The edit record of either length that ends exactly at end, if there is one.
    std::optional<std::uint32_t> editEndingAt(std::uint32_t end) const;
    // The top-level records of the stream, from its start, as far as they follow one another.
    template <typename Visit> void visitTopLevel(Visit&& visit) const {
        std::uint32_t at = 0;
        while (at < m_stream.size() && m_stream.size() - at >= 8) {
            const std::uint32_t length = m_stream.u32(at + 4);
            if (length > m_stream.size() - at - 8)
                break;
            visit(at, m_stream.u16(at + 2), length);
            at += 8 + length;
        }
    }
    std::optional<std::uint32_t> lastUserEditInStream() const;
    // Reads the persist directory of edit into the map; returns the smallest offset it lists (or the
    // directory's own). Where the edit's link to its directory is unsound (outside the stream, at no
    // directory, or at one an edit read before), the directory that ends where the edit starts is
    // taken, as a save writes it; where there is none, the edit's objects are lost.
    std::uint32_t readDirectoryOf(const Record& edit);

    const RecordStream& m_stream;
    std::unordered_map<std::uint32_t, std::uint32_t> m_persist;
    Chain m_chain = Chain::Whole;
    std::unordered_set<std::uint32_t> m_directories; // the persist directories read, by offset
    std::optional<std::unordered_map<std::uint32_t, std::uint32_t>> m_directoriesByEnd;
    std::uint32_t m_documentRef = 0;
    std::optional<std::uint32_t> m_encryptionRef;
};

} // namespace quorvane::office::ppt
