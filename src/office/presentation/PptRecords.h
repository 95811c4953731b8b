#pragma once

// The record layer of the binary presentation reader: the record types, the "PowerPoint Document"
// stream with bounds-checked access to its records, and the texts with their fields.

#include "office/presentation/LittleEndian.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvane::office::ppt {

// Record types of the binary format and of the drawing layer inside it.
enum RecordType : std::uint16_t {
    rtDocument = 1000,
    rtDocumentAtom = 1001,
    rtSlide = 1006,
    rtSlideAtom = 1007,
    rtNotes = 1008,
    rtSlidePersistAtom = 1011,
    rtSlideShowSlideInfoAtom = 1017,
    rtDrawing = 1036,
    rtExObjRefAtom = 3009,
    rtOEPlaceholderAtom = 3011,
    rtOutlineTextRefAtom = 3998,
    rtTextHeaderAtom = 3999,
    rtTextCharsAtom = 4000,
    rtTextBytesAtom = 4008,
    rtCString = 4026,
    rtSlideNumberMetaCharAtom = 4056,
    rtHeadersFooters = 4057,
    rtHeadersFootersAtom = 4058,
    rtSlideListWithText = 4080,
    rtGenericDateMetaCharAtom = 4088,
    rtHeaderMetaCharAtom = 4089,
    rtFooterMetaCharAtom = 4090,
    rtUserEditAtom = 4085,
    rtCurrentUserAtom = 4086,
    rtProgTags = 5000,
    rtProgBinaryTag = 5002,
    rtBinaryTagDataBlob = 5003,
    rtPersistDirectoryAtom = 6002,
    rtComment10 = 12000,
    rtComment10Atom = 12001,
    rtDgContainer = 0xF002,
    rtSpgrContainer = 0xF003,
    rtSpContainer = 0xF004,
    rtFSP = 0xF00A,
    rtFOPT = 0xF00B,
    rtClientTextbox = 0xF00D,
    rtChildAnchor = 0xF00F,
    rtClientData = 0xF011,
    rtTertiaryFOPT = 0xF122,
};

// Damage found in the records: the bare reason, to which the caller adds the file and the place.
[[noreturn]] void damaged(const std::string& what);

// A record type as "0x0FF0".
std::string hexType(std::uint16_t type);

struct Record {
    std::uint16_t type = 0;
    std::uint16_t instance = 0;
    std::uint32_t offset = 0; // of the header in the stream
    std::uint32_t body = 0;   // of the first byte after the header
    std::uint32_t length = 0;
    std::uint32_t end() const { return body + length; }
};

// The "PowerPoint Document" stream with bounds-checked access to its records.
class RecordStream {
public:
    explicit RecordStream(QByteArray data) : m_data(std::move(data)) {}

    std::uint32_t size() const { return static_cast<std::uint32_t>(m_data.size()); }

    std::uint16_t u16(std::uint32_t at) const { return le::u16(bytes(at, 2)); }
    std::uint32_t u32(std::uint32_t at) const { return le::u32(bytes(at, 4)); }

    // The record whose header starts at offset; it must lie wholly inside limit (the stream's end by
    // default, or its container's end).
    Record recordAt(std::uint32_t offset, std::optional<std::uint32_t> limit = std::nullopt) const;
    // The records directly inside container, each checked to lie inside it.
    std::vector<Record> children(const Record& container) const;
    // The record's body as UTF-16LE text (TextCharsAtom) or as Latin-1 text (TextBytesAtom).
    QString utf16(const Record& r) const;
    QString latin1(const Record& r) const;

private:
    const unsigned char* bytes(std::uint32_t at, std::uint32_t count) const {
        if (at > size() || count > size() - at)
            damaged("a read at offset " + std::to_string(at) + " runs past the end of the stream");
        return reinterpret_cast<const unsigned char*>(m_data.constData()) + at;
    }

    QByteArray m_data;
};

// The first of records with that type, or null.
const Record* firstChild(const std::vector<Record>& records, std::uint16_t type);

// The fields a text can hold; each occupies one character of the stored text.
enum class Field { SlideNumber, Footer, Header, Date };

// One text of a shape or of a placeholder in the slide list, with the places of its fields.
struct TextBlock {
    QString text;
    std::vector<std::pair<std::uint32_t, Field>> fields;
};

// What the fields of one slide show: its number, and the footer, header and fixed date its
// header-and-footer settings give (a date that is not fixed is left as stored).
struct FieldValues {
    int slideNumber = 1;
    QString footer, header;
    std::optional<QString> fixedDate;
};

// Applies the text records that follow a text header (in a shape's text box or in the slide list).
void addToText(const RecordStream& s, const Record& r, TextBlock& block);

// Fills the fields of block in: each field's place character gives way to the field's value (a date
// that is not fixed stays as stored). With keepSlideNumbers the slide-number fields stay fields, at
// their places in the new text, so that a text is filled in once with what its slide record gives and
// then with the number of each slide that shows it. A value may be long and a text may hold many
// fields: the new length is worked out first and handed to requireRoom (which throws when it is too
// much), and the text is then built in one pass.
TextBlock filledIn(const TextBlock& block, const FieldValues& values, bool keepSlideNumbers,
                   const std::function<void(qsizetype)>& requireRoom);

} // namespace quorvane::office::ppt
