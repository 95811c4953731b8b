// The reader of binary presentations (PowerPoint 97 to 2003 .ppt, .pps, .pot). It takes the shortest
// path from the container to each slide's shape text: the "Current User" stream points at the newest
// edit record; the edit records, newest first, give the persist directory (object id -> stream offset,
// the newest entry wins because an incremental save leaves older copies in the stream); the document
// record's slide list gives the slides in order and the placeholder texts stored outside the drawing;
// each slide's drawing gives its top-level shapes.
#include "office/presentation/PptReader.h"

#include "office/presentation/CompoundFile.h"
#include "office/presentation/FileAccess.h"
#include "office/presentation/LittleEndian.h"
#include "office/presentation/ReadError.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quorvane::office {

namespace {

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

constexpr std::uint32_t kHeaderToken = 0xE391C05F;
constexpr std::uint32_t kEncryptedHeaderToken = 0xF3D1C4DF;
// An edit chain longer than this is not a real file's history; it is cut like a loop.
constexpr std::size_t kMaxEdits = 65536;

// Drawing shape types that have no text frame.
constexpr std::uint16_t kShapeLine = 20;
constexpr std::uint16_t kShapePictureFrame = 75;
constexpr std::uint16_t kFirstConnector = 32; // straight, bent and curved connectors: 32 to 40
constexpr std::uint16_t kLastConnector = 40;
// Flags of a drawing shape.
constexpr std::uint32_t kShapeGroup = 0x1;
constexpr std::uint32_t kShapePatriarch = 0x4;
constexpr std::uint32_t kShapeDeleted = 0x8;
constexpr std::uint32_t kShapeOle = 0x10;
constexpr std::uint32_t kShapeConnector = 0x100;
constexpr std::uint32_t kShapeBackground = 0x400;
// Drawing properties: the shape's name, and the mark of a group that is a table.
constexpr std::uint16_t kPropertyName = 0x0380;
constexpr std::uint16_t kPropertyDescription = 0x0381;
// SlideShowSlideInfoAtom: the flags after the time, the sound and the effect; this one hides the slide.
constexpr std::uint32_t kSlideShowFlagsAt = 10;
constexpr std::uint16_t kSlideHidden = 0x4;
constexpr std::uint16_t kPropertyTable = 0x039F;
// Groups nested deeper than this are damage, not a drawing.
constexpr int kMaxGroupDepth = 64;

// Damage found in the records: the bare reason, to which the caller adds the file and the place.
[[noreturn]] void damaged(const std::string& what) {
    throw ReadError(QString::fromStdString(what));
}

// The reason for a password-protected file, in whichever of its places the protection shows.
const QString kEncrypted = QStringLiteral("encrypted (the presentation is protected by a password)");

// The whole message: "<file name>: <reason>".
[[noreturn]] void failWith(const QString& fileName, const QString& reason) {
    throw ReadError(fileName + u": "_s + reason);
}

std::string hexType(std::uint16_t type) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s = "0x0000";
    for (int i = 0; i < 4; ++i)
        s[static_cast<std::size_t>(5 - i)] = digits[(type >> (4 * i)) & 0xF];
    return s;
}

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
    Record recordAt(std::uint32_t offset, std::optional<std::uint32_t> limit = std::nullopt) const {
        const std::uint32_t end = limit.value_or(size());
        if (offset > end || end - offset < 8)
            damaged("the record at offset " + std::to_string(offset) + " lies outside the stream");
        Record r;
        const std::uint16_t verInstance = u16(offset);
        r.instance = static_cast<std::uint16_t>(verInstance >> 4);
        r.type = u16(offset + 2);
        r.length = u32(offset + 4);
        r.offset = offset;
        r.body = offset + 8;
        if (r.length > end - r.body)
            damaged("record " + hexType(r.type) + " at offset " + std::to_string(offset) +
                    (limit ? " overruns its container" : " runs past the end of the stream"));
        return r;
    }

    // The records directly inside container, each checked to lie inside it.
    std::vector<Record> children(const Record& container) const {
        std::vector<Record> out;
        std::uint32_t at = container.body;
        while (at < container.end()) {
            out.push_back(recordAt(at, container.end()));
            at = out.back().end();
        }
        return out;
    }

    // The record's body as UTF-16LE text (TextCharsAtom) or as Latin-1 text (TextBytesAtom).
    QString utf16(const Record& r) const {
        const auto* p = bytes(r.body, r.length);
        QString s(static_cast<qsizetype>(r.length / 2), Qt::Uninitialized);
        for (std::uint32_t i = 0; i < r.length / 2; ++i)
            s[i] = QChar(le::u16(p + 2 * i));
        return s;
    }
    QString latin1(const Record& r) const {
        return QString::fromLatin1(reinterpret_cast<const char*>(bytes(r.body, r.length)),
                                   static_cast<qsizetype>(r.length));
    }

private:
    const unsigned char* bytes(std::uint32_t at, std::uint32_t count) const {
        if (at > size() || count > size() - at)
            damaged("a read at offset " + std::to_string(at) + " runs past the end of the stream");
        return reinterpret_cast<const unsigned char*>(m_data.constData()) + at;
    }

    QByteArray m_data;
};

const Record* firstChild(const std::vector<Record>& records, std::uint16_t type) {
    const auto it = std::find_if(records.begin(), records.end(), [type](const Record& r) { return r.type == type; });
    return it == records.end() ? nullptr : &*it;
}

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
void addToText(const RecordStream& s, const Record& r, TextBlock& block) {
    switch (r.type) {
    case rtTextCharsAtom:
        block.text = s.utf16(r);
        break;
    case rtTextBytesAtom:
        block.text = s.latin1(r);
        break;
    case rtSlideNumberMetaCharAtom:
    case rtFooterMetaCharAtom:
    case rtHeaderMetaCharAtom:
    case rtGenericDateMetaCharAtom:
        if (r.length >= 4) {
            const Field field = r.type == rtSlideNumberMetaCharAtom ? Field::SlideNumber
                                : r.type == rtFooterMetaCharAtom    ? Field::Footer
                                : r.type == rtHeaderMetaCharAtom    ? Field::Header
                                                                    : Field::Date;
            block.fields.emplace_back(s.u32(r.body), field);
        }
        break;
    default:
        break;
    }
}

// Fills the fields of block in: each field's place character gives way to the field's value (a date
// that is not fixed stays as stored). With keepSlideNumbers the slide-number fields stay fields, at
// their places in the new text, so that a text is filled in once with what its slide record gives and
// then with the number of each slide that shows it. A value may be long and a text may hold many
// fields: the new length is worked out first and handed to requireRoom (which throws when it is too
// much), and the text is then built in one pass.
template <typename RequireRoom>
TextBlock filledIn(const TextBlock& block, const FieldValues& values, bool keepSlideNumbers,
                   RequireRoom&& requireRoom) {
    if (block.fields.empty()) {
        requireRoom(block.text.size());
        return block;
    }
    std::vector<std::pair<std::uint32_t, Field>> fields = block.fields;
    // In text order; of two fields at one place the first listed counts, and one beyond the text none.
    const auto byPlace = [](const auto& a, const auto& b) { return a.first < b.first; };
    if (!std::is_sorted(fields.begin(), fields.end(), byPlace))
        std::stable_sort(fields.begin(), fields.end(), byPlace);
    fields.erase(
        std::unique(fields.begin(), fields.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
        fields.end());
    const auto size = static_cast<std::uint32_t>(block.text.size());
    fields.erase(std::lower_bound(fields.begin(), fields.end(), std::pair(size, Field::SlideNumber), byPlace),
                 fields.end());

    const QString slideNumber = QString::number(values.slideNumber);
    auto valueOf = [&](Field field) -> const QString* {
        switch (field) {
        case Field::SlideNumber:
            return keepSlideNumbers ? nullptr : &slideNumber;
        case Field::Footer:
            return &values.footer;
        case Field::Header:
            return &values.header;
        case Field::Date:
            return values.fixedDate ? &*values.fixedDate : nullptr;
        }
        return nullptr;
    };
    qsizetype length = block.text.size();
    for (const auto& [at, field] : fields)
        if (const QString* value = valueOf(field))
            length += value->size() - 1;
    requireRoom(length);

    TextBlock filled;
    filled.text.reserve(length);
    std::uint32_t done = 0; // characters of the stored text taken over so far
    for (const auto& [at, field] : fields) {
        if (const QString* value = valueOf(field)) {
            filled.text.append(QStringView(block.text).sliced(done, at - done));
            filled.text.append(*value);
            done = at + 1;
        } else if (field == Field::SlideNumber) {
            filled.fields.emplace_back(static_cast<std::uint32_t>(filled.text.size()) + (at - done), field);
        }
    }
    filled.text.append(QStringView(block.text).sliced(done));
    return filled;
}

struct SlideEntry {
    std::uint32_t persistId = 0;
    std::vector<TextBlock> placeholderTexts; // reached from the drawing by OutlineTextRefAtom
};

// A top-level shape as its slide record gives it. All that is missing is the slide's number and the
// slide list's texts, so a slide record that the slide list names many times is read once.
struct RecordShape {
    bool hasTextFrame = false;
    ShapeKind kind = ShapeKind::Other;
    QString name;
    QString description; // a picture's alternative text
    // A group's shapes in z-order; for a table, its cells and its borders.
    std::vector<RecordShape> items;
    // A table: its columns, and for each position, row by row, the item that is the cell there (-1
    // for a position that a merged cell covers).
    int columns = 0;
    std::vector<int> grid;
    // The index of the text among its slide's texts in the slide list that the shape shows, if any.
    std::optional<std::uint32_t> placeholder;
    // Its own text, with every field but the slide number filled in.
    TextBlock text;
};

struct SlideRecord {
    FieldValues values; // the footer, header and date of the slide
    std::vector<RecordShape> shapes;
    std::uint32_t notesId = 0; // the persist id of its notes, 0 for none
    bool hidden = false;       // left out of the slide show
};

// The placeholder types of a drawing shape ([MS-PPT] PlaceholderEnum) as kinds of shape.
ShapeKind kindOfPlaceholder(std::uint8_t type) {
    switch (type) {
    case 0x01: // master title
    case 0x03: // master centred title
    case 0x0D: // title
    case 0x0F: // centred title
    case 0x11: // vertical title
        return ShapeKind::Title;
    case 0x02: // master body
    case 0x04: // master subtitle
    case 0x06: // master notes body
    case 0x0C: // notes body
    case 0x0E: // body
    case 0x10: // subtitle
    case 0x12: // vertical body
    case 0x13: // object
    case 0x19: // vertical object
        return ShapeKind::Body;
    default:
        return ShapeKind::Text;
    }
}

// Where a shape lies inside its group.
struct ChildAnchor {
    std::int32_t left = 0, top = 0, right = 0;
};

class PptDocument final : public PresentationDocument {
public:
    PptDocument(const QString& fileName, QByteArray stream, std::optional<std::uint32_t> currentEdit)
        : PresentationDocument(fileName), m_fileName(fileName), m_stream(std::move(stream)) {
        bool encrypted = false;
        try {
            readPersistDirectory(currentEdit);
            encrypted = isEncrypted();
            if (!encrypted)
                readDocument();
        } catch (const ReadError& e) {
            failWith(m_fileName, u"damaged presentation: "_s + e.description());
        }
        if (encrypted)
            failWith(m_fileName, kEncrypted);
        if (m_chain == Chain::Whole)
            return;
        // Where the chain could not be followed to its start, a slide that only the lost edits held
        // gives nothing.
        m_damage.emplace(DocumentDamage{m_chain == Chain::Mended
                                            ? u"its chain of saved edits is broken and was mended"_s
                                            : u"its chain of saved edits is broken"_s,
                                        {},
                                        false});
        if (m_chain == Chain::Broken)
            for (std::size_t i = 0; i < m_slides.size(); ++i)
                if (!m_persist.count(m_slides[i].persistId))
                    m_damage->lostSlides.push_back(static_cast<int>(i) + 1);
    }

    int slideCount() const override { return static_cast<int>(m_slides.size()); }
    const DocumentDamage* damage() const override { return m_damage ? &*m_damage : nullptr; }

private:
    bool lost(int slide) const {
        return m_damage && std::binary_search(m_damage->lostSlides.begin(), m_damage->lostSlides.end(), slide);
    }

    const std::vector<ShapeInfo>& readShapes(int slide) override {
        if (slide < 1 || slide > slideCount())
            failWith(m_fileName, u"there is no slide "_s + QString::number(slide));
        static const std::vector<ShapeInfo> none;
        if (lost(slide))
            return none;
        if (slide != m_shapesSlide) {
            m_shapesSlide = 0;
            m_shapes.clear();
            try {
                collectShapes(slide);
            } catch (const ReadBudget::Exceeded&) {
                m_shapes.clear();
                throw;
            } catch (const ReadError& e) {
                m_shapes.clear();
                failWith(m_fileName, u"slide "_s + QString::number(slide) + u" is damaged: "_s + e.description());
            }
            m_shapesSlide = slide;
        }
        return m_shapes;
    }

    // Walks the edit records newest first and merges their persist directories; an id keeps the offset
    // from the newest edit that lists it. Every save appends to the stream, so an edit's link to the one
    // before points further back. A link that does not (it loops back, or points outside the stream or
    // at no edit) is mended where a sound way is found: the edit that ends right before the smallest
    // offset known so far, where a save writes its records after the edit before it. Otherwise the
    // chain ends there, and what only older edits hold is lost.
    void readPersistDirectory(std::optional<std::uint32_t> currentEdit) {
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

    bool isUserEdit(std::uint32_t offset) const {
        if (offset > m_stream.size() || m_stream.size() - offset < 8 + 0x1C)
            return false;
        return m_stream.u16(offset + 2) == rtUserEditAtom && m_stream.u32(offset + 4) >= 0x1C &&
               m_stream.u32(offset + 4) <= m_stream.size() - offset - 8;
    }

    // The edit record of either length that ends exactly at end, if there is one.
    std::optional<std::uint32_t> editEndingAt(std::uint32_t end) const {
        for (const std::uint32_t length : {0x1Cu, 0x20u})
            if (end >= 8 + length && m_stream.u16(end - 8 - length) == 0 &&
                m_stream.u16(end - 8 - length + 2) == rtUserEditAtom && m_stream.u32(end - 8 - length + 4) == length)
                return end - 8 - length;
        return std::nullopt;
    }

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

    std::optional<std::uint32_t> lastUserEditInStream() const {
        std::optional<std::uint32_t> found;
        visitTopLevel([&](std::uint32_t at, std::uint16_t, std::uint32_t) {
            if (isUserEdit(at))
                found = at;
        });
        return found;
    }

    // Reads the persist directory of edit into the map; returns the smallest offset it lists (or the
    // directory's own). Where the edit's link to its directory is unsound (outside the stream, at no
    // directory, or at one an edit read before), the directory that ends where the edit starts is
    // taken, as a save writes it; where there is none, the edit's objects are lost.
    std::uint32_t readDirectoryOf(const Record& edit) {
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

    Record persistRecord(std::uint32_t id, std::uint16_t type, const char* what) const {
        const auto it = m_persist.find(id);
        if (it == m_persist.end())
            damaged(std::string(what) + " is missing from the persist directory");
        const Record r = m_stream.recordAt(it->second);
        if (r.type != type)
            damaged(std::string(what) + " at offset " + std::to_string(it->second) + " is a record of type " +
                    hexType(r.type));
        return r;
    }

    // Whether the newest edit points at an encryption record instead of a readable document.
    bool isEncrypted() const {
        const auto it = m_persist.find(m_documentRef);
        return m_encryptionRef && it != m_persist.end() && m_persist.count(*m_encryptionRef) &&
               m_stream.recordAt(it->second).type != rtDocument;
    }

    void readDocument() {
        const Record document = persistRecord(m_documentRef, rtDocument, "the document record");
        const std::vector<Record> parts = m_stream.children(document);
        if (const Record* atom = firstChild(parts, rtDocumentAtom); atom && atom->length >= 34)
            m_firstSlideNumber = static_cast<std::int16_t>(m_stream.u16(atom->body + 32));
        // The slides' footer, header and date; a slide may override them with its own container.
        for (const Record& part : parts)
            if (part.type == rtHeadersFooters && part.instance == 3)
                readHeadersFooters(part, m_documentFields);

        // The slide list with instance 2 holds the notes, with the texts their placeholders show.
        if (const auto notes =
                std::find_if(parts.begin(), parts.end(),
                             [](const Record& r) { return r.type == rtSlideListWithText && r.instance == 2; });
            notes != parts.end()) {
            std::vector<TextBlock>* texts = nullptr;
            for (const Record& r : m_stream.children(*notes)) {
                if (r.type == rtSlidePersistAtom && r.length >= 16) {
                    if (const std::uint32_t id = m_stream.u32(r.body + 12); id != 0)
                        m_notesIds.try_emplace(id, m_stream.u32(r.body));
                    texts = &m_notesTexts[m_stream.u32(r.body)];
                } else if (texts && r.type == rtTextHeaderAtom)
                    texts->emplace_back();
                else if (texts && !texts->empty())
                    addToText(m_stream, r, texts->back());
            }
        }
        // The slide list with instance 0 holds the slides in order; 1 and 2 are masters and notes.
        const auto list = std::find_if(parts.begin(), parts.end(), [](const Record& r) {
            return r.type == rtSlideListWithText && r.instance == 0;
        });
        if (list == parts.end())
            return;
        std::unordered_set<std::uint32_t> listed;
        for (const Record& r : m_stream.children(*list)) {
            if (r.type == rtSlidePersistAtom) {
                if (r.length < 4)
                    damaged("a slide entry of the slide list is cut short");
                m_slides.push_back(SlideEntry{m_stream.u32(r.body), {}});
                if (!listed.insert(m_slides.back().persistId).second)
                    m_repeatedRecords.try_emplace(m_slides.back().persistId);
            } else if (!m_slides.empty()) {
                auto& texts = m_slides.back().placeholderTexts;
                if (r.type == rtTextHeaderAtom)
                    texts.emplace_back();
                else if (!texts.empty())
                    addToText(m_stream, r, texts.back());
            }
        }
    }

    // The shapes of slide: the shapes of its slide record, each filled in with the slide's number and,
    // for a placeholder, its text from the slide's entry of the slide list.
    void collectShapes(int slide) {
        const SlideEntry& entry = m_slides[static_cast<std::size_t>(slide - 1)];
        const SlideRecord& record = slideRecord(entry.persistId);
        FieldValues values = record.values;
        values.slideNumber = m_firstSlideNumber + slide - 1;
        ShapeFilling filling{values, entry.placeholderTexts, {}, 0, 0};
        filling.texts.resize(entry.placeholderTexts.size());
        m_shapes.reserve(record.shapes.size());
        for (const RecordShape& shape : record.shapes)
            m_shapes.push_back(filledShape(shape, filling));
        m_shapesHidden = record.hidden;
    }

    bool readHidden(int slide) override { return slide == m_shapesSlide && m_shapesHidden; }

    // The review comments of slide: the comment containers in the binary tags of its record, author
    // and text each a string of its own.
    std::vector<SlideComment> readComments(int slide) override {
        if (slide < 1 || slide > slideCount() || lost(slide))
            return {};
        const Record container =
            persistRecord(m_slides[static_cast<std::size_t>(slide - 1)].persistId, rtSlide, "the slide record");
        std::vector<SlideComment> comments;
        for (const Record& tags : m_stream.children(container)) {
            if (tags.type != rtProgTags)
                continue;
            for (const Record& tag : m_stream.children(tags)) {
                if (tag.type != rtProgBinaryTag)
                    continue;
                for (const Record& blob : m_stream.children(tag)) {
                    if (blob.type != rtBinaryTagDataBlob)
                        continue;
                    for (const Record& comment : m_stream.children(blob)) {
                        if (comment.type != rtComment10)
                            continue;
                        SlideComment item;
                        for (const Record& part : m_stream.children(comment)) {
                            if (part.type == rtCString && part.instance == 0)
                                item.author = m_stream.utf16(part);
                            else if (part.type == rtCString && part.instance == 1)
                                item.text = m_stream.utf16(part);
                        }
                        // Paragraphs end in CR as in a shape's text, whatever line ends were stored.
                        item.text.replace(u"\r\n"_s, u"\r"_s).replace(u'\n', u'\r');
                        comments.push_back(std::move(item));
                    }
                }
            }
        }
        return comments;
    }

    // What the shapes of one slide (or notes page) are filled in with, and what they hold so far.
    struct ShapeFilling {
        const FieldValues& values;
        const std::vector<TextBlock>& placeholderTexts;
        // Many placeholders may show one text of the slide list: each text is filled in once.
        std::vector<std::optional<QString>> texts;
        // The slide's text and shapes so far, held to the budget as they grow.
        qsizetype text;
        qsizetype shapes;
    };

    ShapeInfo filledShape(const RecordShape& shape, ShapeFilling& filling) const {
        auto requireRoom = [&](qsizetype length) {
            budget().requireRoom(filling.text + length + 2, filling.shapes + 1);
        };
        ShapeInfo info;
        info.hasTextFrame = shape.hasTextFrame;
        info.kind = shape.kind;
        info.name = shape.name;
        info.description = shape.description;
        if (shape.placeholder && *shape.placeholder < filling.texts.size()) {
            std::optional<QString>& text = filling.texts[*shape.placeholder];
            if (text)
                requireRoom(text->size());
            else
                text = filledIn(filling.placeholderTexts[*shape.placeholder], filling.values, false, requireRoom).text;
            info.text = *text;
        } else if (shape.hasTextFrame) {
            info.text = filledIn(shape.text, filling.values, false, requireRoom).text;
        }
        filling.text += info.hasTextFrame ? info.text.size() + 2 : 0;
        filling.shapes += 1;
        budget().requireRoom(filling.text, filling.shapes);
        if (shape.grid.empty()) {
            info.items.reserve(shape.items.size());
            for (const RecordShape& item : shape.items)
                info.items.push_back(filledShape(item, filling));
            return info;
        }
        // A table: the text of the cell at each position.
        info.columns = shape.columns;
        info.cells.reserve(shape.grid.size());
        for (const int at : shape.grid) {
            if (at < 0) {
                info.cells.emplace_back();
                continue;
            }
            ShapeInfo cell = filledShape(shape.items[static_cast<std::size_t>(at)], filling);
            info.cells.push_back(std::move(cell.text));
        }
        return info;
    }

    // The speaker notes of slide: the body placeholders of its notes page.
    QString readNotes(int slide) override {
        if (slide < 1 || slide > slideCount())
            failWith(m_fileName, u"there is no slide "_s + QString::number(slide));
        if (lost(slide))
            return {};
        try {
            const SlideEntry& entry = m_slides[static_cast<std::size_t>(slide - 1)];
            // The slide names its notes by their id; the notes list gives the persist id of that id.
            const auto listed = m_notesIds.find(slideRecord(entry.persistId).notesId);
            if (listed == m_notesIds.end())
                return {};
            const std::uint32_t notesId = listed->second;
            const SlideRecord notes = readDrawing(persistRecord(notesId, rtNotes, "the notes record"));
            FieldValues values = notes.values;
            values.slideNumber = m_firstSlideNumber + slide - 1;
            static const std::vector<TextBlock> none;
            const auto texts = m_notesTexts.find(notesId);
            ShapeFilling filling{values, texts == m_notesTexts.end() ? none : texts->second, {}, 0, 0};
            filling.texts.resize(filling.placeholderTexts.size());
            QString text;
            for (const RecordShape& shape : notes.shapes) {
                if (shape.kind != ShapeKind::Body)
                    continue;
                const ShapeInfo body = filledShape(shape, filling);
                if (!text.isEmpty() && !body.text.isEmpty())
                    text += u'\r';
                text += body.text;
            }
            return text;
        } catch (const ReadBudget::Exceeded&) {
            throw;
        } catch (const ReadError& e) {
            failWith(m_fileName,
                     u"the notes of slide "_s + QString::number(slide) + u" are damaged: "_s + e.description());
        }
    }

    // The slide record with persistId, read once when the slide list names it more than once.
    const SlideRecord& slideRecord(std::uint32_t persistId) {
        const auto repeated = m_repeatedRecords.find(persistId);
        if (repeated == m_repeatedRecords.end()) {
            m_record = readSlideRecord(persistId);
            return m_record;
        }
        if (!repeated->second)
            repeated->second = readSlideRecord(persistId);
        return *repeated->second;
    }

    SlideRecord readSlideRecord(std::uint32_t persistId) const {
        const Record slide = persistRecord(persistId, rtSlide, "the slide record");
        SlideRecord record = readDrawing(slide);
        const std::vector<Record> slideParts = m_stream.children(slide);
        if (const Record* atom = firstChild(slideParts, rtSlideAtom); atom && atom->length >= 20)
            record.notesId = m_stream.u32(atom->body + 16);
        if (const Record* info = firstChild(slideParts, rtSlideShowSlideInfoAtom);
            info && info->length >= kSlideShowFlagsAt + 2)
            record.hidden = (m_stream.u16(info->body + kSlideShowFlagsAt) & kSlideHidden) != 0;
        return record;
    }

    // The shapes of the drawing of a slide or notes container, with its footer, header and date.
    SlideRecord readDrawing(const Record& container) const {
        SlideRecord record;
        const std::vector<Record> slideParts = m_stream.children(container);
        const Record* drawing = firstChild(slideParts, rtDrawing);
        if (!drawing)
            return record;
        const std::vector<Record> drawingParts = m_stream.children(*drawing);
        const Record* dg = firstChild(drawingParts, rtDgContainer);
        if (!dg)
            return record;
        const std::vector<Record> dgParts = m_stream.children(*dg);
        const Record* top = firstChild(dgParts, rtSpgrContainer);
        if (!top)
            return record;
        const std::vector<Record> members = m_stream.children(*top);
        // The top group's first shape record describes the group itself, not a shape on the slide.
        const std::size_t first = !members.empty() && members.front().type == rtSpContainer ? 1 : 0;
        record.values = m_documentFields;
        if (const Record* own = firstChild(slideParts, rtHeadersFooters))
            readHeadersFooters(*own, record.values);
        for (std::size_t i = first; i < members.size(); ++i) {
            if (members[i].type == rtSpgrContainer)
                record.shapes.push_back(readGroup(members[i], record.values, 1));
            else if (members[i].type == rtSpContainer)
                if (std::optional<RecordShape> shape = readShape(members[i], record.values))
                    record.shapes.push_back(std::move(*shape));
        }
        return record;
    }

    // A group and its shapes, depth first. A group marked as a table lays its text shapes out by
    // where they lie: a row for each top edge, a column for each left edge.
    RecordShape readGroup(const Record& container, const FieldValues& values, int depth) const {
        if (depth > kMaxGroupDepth)
            damaged("groups are nested more than " + std::to_string(kMaxGroupDepth) + " deep");
        RecordShape group;
        group.kind = ShapeKind::Group;
        const std::vector<Record> members = m_stream.children(container);
        std::size_t first = 0;
        bool table = false;
        if (!members.empty() && members.front().type == rtSpContainer) {
            first = 1;
            const std::vector<Record> parts = m_stream.children(members.front());
            group.name = shapeName(parts);
            table = hasProperty(parts, kPropertyTable);
        }
        std::vector<std::optional<ChildAnchor>> anchors;
        for (std::size_t i = first; i < members.size(); ++i) {
            if (members[i].type == rtSpgrContainer) {
                group.items.push_back(readGroup(members[i], values, depth + 1));
                anchors.emplace_back();
            } else if (members[i].type == rtSpContainer) {
                if (std::optional<RecordShape> shape = readShape(members[i], values)) {
                    group.items.push_back(std::move(*shape));
                    anchors.push_back(childAnchor(m_stream.children(members[i])));
                }
            }
        }
        if (table)
            layOutTable(group, anchors);
        return group;
    }

    // Makes group a table when its text shapes lie on a grid, each at a place of its own; otherwise it
    // stays a group.
    static void layOutTable(RecordShape& group, const std::vector<std::optional<ChildAnchor>>& anchors) {
        std::vector<std::int32_t> lefts, tops;
        for (std::size_t i = 0; i < group.items.size(); ++i) {
            if (!group.items[i].hasTextFrame)
                continue;
            if (!anchors[i])
                return;
            lefts.push_back(anchors[i]->left);
            tops.push_back(anchors[i]->top);
        }
        for (auto* edges : {&lefts, &tops}) {
            std::sort(edges->begin(), edges->end());
            edges->erase(std::unique(edges->begin(), edges->end()), edges->end());
        }
        if (lefts.empty() || lefts.size() * tops.size() > group.items.size() * 64)
            return;
        const auto indexOf = [](const std::vector<std::int32_t>& edges, std::int32_t edge) {
            return static_cast<std::size_t>(std::lower_bound(edges.begin(), edges.end(), edge) - edges.begin());
        };
        std::vector<int> grid(lefts.size() * tops.size(), -1);
        for (std::size_t i = 0; i < group.items.size(); ++i) {
            if (!group.items[i].hasTextFrame)
                continue;
            int& at = grid[indexOf(tops, anchors[i]->top) * lefts.size() + indexOf(lefts, anchors[i]->left)];
            if (at >= 0)
                return;
            at = static_cast<int>(i);
        }
        group.kind = ShapeKind::Table;
        group.columns = static_cast<int>(lefts.size());
        group.grid = std::move(grid);
    }

    std::optional<ChildAnchor> childAnchor(const std::vector<Record>& parts) const {
        const Record* anchor = firstChild(parts, rtChildAnchor);
        if (!anchor || anchor->length < 16)
            return std::nullopt;
        return ChildAnchor{static_cast<std::int32_t>(m_stream.u32(anchor->body)),
                           static_cast<std::int32_t>(m_stream.u32(anchor->body + 4)),
                           static_cast<std::int32_t>(m_stream.u32(anchor->body + 8))};
    }

    // Calls visit(id, value, complex data) for each drawing property of a shape, in its property
    // records; complex data is empty for a simple property. A record whose table or data runs past
    // its end is read as far as it goes.
    template <typename Visit> void visitProperties(const std::vector<Record>& parts, Visit&& visit) const {
        for (const Record& r : parts) {
            if (r.type != rtFOPT && r.type != rtTertiaryFOPT)
                continue;
            const std::uint32_t count = r.instance;
            if (count > r.length / 6)
                continue;
            std::uint32_t complexAt = r.body + count * 6;
            for (std::uint32_t k = 0; k < count; ++k) {
                const std::uint16_t id = m_stream.u16(r.body + 6 * k);
                const std::uint32_t value = m_stream.u32(r.body + 6 * k + 2);
                std::pair<std::uint32_t, std::uint32_t> complex{0, 0};
                if (id & 0x8000) {
                    if (value > r.end() - complexAt)
                        break;
                    complex = {complexAt, value};
                    complexAt += value;
                }
                visit(static_cast<std::uint16_t>(id & 0x3FFF), value, complex);
            }
        }
    }

    QString shapeName(const std::vector<Record>& parts) const { return stringProperty(parts, kPropertyName); }

    // A text property of a shape (UTF-16, up to its first NUL); empty when it has none.
    QString stringProperty(const std::vector<Record>& parts, std::uint16_t property) const {
        QString name;
        visitProperties(parts, [&](std::uint16_t id, std::uint32_t, std::pair<std::uint32_t, std::uint32_t> data) {
            if (id != property || data.second < 2)
                return;
            Record text;
            text.body = data.first;
            text.length = data.second & ~1U;
            name = m_stream.utf16(text);
            if (const qsizetype end = name.indexOf(QChar(u'\0')); end >= 0)
                name.truncate(end);
        });
        return name;
    }

    bool hasProperty(const std::vector<Record>& parts, std::uint16_t property) const {
        bool found = false;
        visitProperties(parts, [&](std::uint16_t id, std::uint32_t, auto) { found = found || id == property; });
        return found;
    }

    // The footer, header and fixed date texts of a headers-and-footers container.
    void readHeadersFooters(const Record& container, FieldValues& values) const {
        std::uint16_t flags = 0;
        QString userDate;
        values.footer.clear();
        values.header.clear();
        for (const Record& r : m_stream.children(container)) {
            if (r.type == rtHeadersFootersAtom && r.length >= 4)
                flags = m_stream.u16(r.body + 2);
            else if (r.type == rtCString && r.instance == 0)
                userDate = m_stream.utf16(r);
            else if (r.type == rtCString && r.instance == 1)
                values.header = m_stream.utf16(r);
            else if (r.type == rtCString && r.instance == 2)
                values.footer = m_stream.utf16(r);
        }
        constexpr std::uint16_t kHasUserDate = 0x4;
        values.fixedDate.reset();
        if (flags & kHasUserDate)
            values.fixedDate = userDate;
    }

    // The shape of container, or none (deleted, the background).
    std::optional<RecordShape> readShape(const Record& container, const FieldValues& values) const {
        const std::vector<Record> parts = m_stream.children(container);
        std::uint16_t shapeType = 0;
        std::uint32_t flags = 0;
        if (const Record* fsp = firstChild(parts, rtFSP); fsp && fsp->length >= 8) {
            shapeType = fsp->instance;
            flags = m_stream.u32(fsp->body + 4);
        }
        if (flags & (kShapeDeleted | kShapePatriarch | kShapeBackground))
            return std::nullopt;
        RecordShape shape;
        shape.name = shapeName(parts);
        bool ole = (flags & kShapeOle) != 0;
        std::optional<std::uint8_t> placeholderType;
        if (const Record* data = firstChild(parts, rtClientData)) {
            const std::vector<Record> client = m_stream.children(*data);
            ole = ole || firstChild(client, rtExObjRefAtom) != nullptr;
            if (const Record* placeholder = firstChild(client, rtOEPlaceholderAtom);
                placeholder && placeholder->length >= 8)
                placeholderType = static_cast<std::uint8_t>(m_stream.u16(placeholder->body + 4) & 0xFF);
        }
        const bool connector = (flags & kShapeConnector) || shapeType == kShapeLine ||
                               (shapeType >= kFirstConnector && shapeType <= kLastConnector);
        if (flags & kShapeGroup)
            shape.kind = ShapeKind::Group;
        if (shapeType == kShapePictureFrame && !ole) {
            shape.kind = ShapeKind::Picture;
            shape.description = stringProperty(parts, kPropertyDescription);
        }
        if ((flags & kShapeGroup) || connector || ole || shapeType == kShapePictureFrame)
            return shape;

        shape.hasTextFrame = true;
        shape.kind = placeholderType ? kindOfPlaceholder(*placeholderType) : ShapeKind::Text;
        if (const Record* box = firstChild(parts, rtClientTextbox)) {
            TextBlock block;
            for (const Record& r : m_stream.children(*box)) {
                if (r.type == rtOutlineTextRefAtom && r.length >= 4) {
                    // The placeholder's text lives in the slide list, by its index among the slide's texts;
                    // the text so far is shown when there is no such text.
                    shape.placeholder = m_stream.u32(r.body);
                    break;
                }
                addToText(m_stream, r, block);
            }
            // Filled in so far already: the text itself stays within the budget.
            shape.text = filledIn(block, values, true, [&](qsizetype length) { budget().requireRoom(length + 2, 1); });
        }
        return shape;
    }

    QString m_fileName;
    RecordStream m_stream;
    std::unordered_map<std::uint32_t, std::uint32_t> m_persist;
    // The chain of edits as it was followed: whole, mended past a broken link, or cut at one.
    enum class Chain { Whole, Mended, Broken };
    Chain m_chain = Chain::Whole;
    std::unordered_set<std::uint32_t> m_directories; // the persist directories read, by offset
    std::optional<std::unordered_map<std::uint32_t, std::uint32_t>> m_directoriesByEnd;
    std::optional<DocumentDamage> m_damage;
    std::uint32_t m_documentRef = 0;
    std::optional<std::uint32_t> m_encryptionRef;
    int m_firstSlideNumber = 1;
    FieldValues m_documentFields;
    std::vector<SlideEntry> m_slides;
    // The slide record read last, and each one the slide list names more than once, once it is read.
    SlideRecord m_record;
    std::unordered_map<std::uint32_t, std::optional<SlideRecord>> m_repeatedRecords;
    // The texts of each notes page's placeholders, by the notes' persist id.
    std::unordered_map<std::uint32_t, std::vector<TextBlock>> m_notesTexts;
    // The persist id of each notes id that the notes list names (a notes id 0 names none).
    std::unordered_map<std::uint32_t, std::uint32_t> m_notesIds;
    std::vector<ShapeInfo> m_shapes;
    int m_shapesSlide = 0;
    bool m_shapesHidden = false; // whether the slide of m_shapes is hidden
};

// A step on the container: damage it finds is reported as the compound file's.
template <typename Step> auto inContainer(const QString& fileName, Step&& step) {
    try {
        return step();
    } catch (const ReadError& e) {
        failWith(fileName, u"damaged compound file: "_s + e.description());
    }
}

// The presentation in file, throwing ReadError.
std::unique_ptr<PresentationDocument> readPresentation(const CompoundFile& file, const QString& fileName) {
    // A password-protected OOXML package is a compound file holding the encrypted package.
    if (file.hasStream(u"EncryptedPackage"_s) || file.hasStream(u"EncryptionInfo"_s))
        failWith(fileName, kEncrypted);
    if (file.hasStream(u"PP40"_s))
        failWith(fileName, u"too old (PowerPoint 95 or older)"_s);
    if (!file.hasStream(u"PowerPoint Document"_s))
        failWith(fileName, u"not a presentation (a compound file without a \"PowerPoint Document\" stream)"_s);

    std::optional<std::uint32_t> currentEdit;
    if (const std::optional<QByteArray> user =
            inContainer(fileName, [&] { return file.readStream(u"Current User"_s); })) {
        // Before PowerPoint 97 the stream was shorter than this atom.
        if (user->size() < 28)
            failWith(fileName, u"too old (PowerPoint 95 or older)"_s);
        const RecordStream u(*user);
        if (u.u16(2) == rtCurrentUserAtom) {
            const std::uint32_t token = u.u32(12);
            if (token == kEncryptedHeaderToken)
                failWith(fileName, kEncrypted);
            if (token == kHeaderToken)
                currentEdit = u.u32(16);
        }
    }
    if (file.hasStream(u"EncryptedSummary"_s))
        failWith(fileName, kEncrypted);
    std::optional<QByteArray> stream = inContainer(fileName, [&] { return file.readStream(u"PowerPoint Document"_s); });
    if (stream->size() > 0x7FFFFFFF)
        failWith(fileName, u"damaged presentation: the \"PowerPoint Document\" stream is too large"_s);
    return std::make_unique<PptDocument>(fileName, std::move(*stream), currentEdit);
}

// Whether the open file fd is no longer as it was when before was taken: a file rewritten while it is
// read gives no whole presentation, whatever the bytes read say.
bool changedSince(int fd, const struct stat& before) {
    struct stat now{};
    return ::fstat(fd, &now) != 0 || now.st_size != before.st_size || now.st_mtim.tv_sec != before.st_mtim.tv_sec ||
           now.st_mtim.tv_nsec != before.st_mtim.tv_nsec;
}

} // namespace

std::unique_ptr<PresentationDocument> openCompoundFileData(QByteArrayView data, const QString& fileName) {
    return reportingReadErrors([&] {
        const CompoundFile file = inContainer(fileName, [&] { return CompoundFile(data); });
        return readPresentation(file, fileName);
    });
}

std::unique_ptr<PresentationDocument> openCompoundFilePresentation(const QString& path) {
    return reportingReadErrors([&]() -> std::unique_ptr<PresentationDocument> {
        const QString fileName = displayName(path);
        // A folder, a pipe or a device is refused here without blocking.
        const int fd = openRegularFile(path);
        const struct Closer {
            int fd;
            ~Closer() { ::close(fd); }
        } closer{fd};
        struct stat before{};
        if (::fstat(fd, &before) != 0)
            failWith(fileName, u"cannot read the file: "_s + QString::fromLocal8Bit(std::strerror(errno)));
        if (before.st_size <= 0)
            failWith(fileName, u"the file is empty"_s);
        // Only the sectors of the streams we need are read, so large embedded media never are.
        try {
            const CompoundFile file =
                inContainer(fileName, [&] { return CompoundFile(fd, static_cast<std::uint64_t>(before.st_size)); });
            std::unique_ptr<PresentationDocument> document = readPresentation(file, fileName);
            if (!changedSince(fd, before))
                return document;
        } catch (const ReadError&) {
            // Damage found in a file that changed meanwhile is the change's doing.
            if (!changedSince(fd, before))
                throw;
        }
        failWith(fileName, u"cannot read the file: it changed while it was read"_s);
    });
}

} // namespace quorvane::office
