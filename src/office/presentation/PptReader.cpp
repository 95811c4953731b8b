// The reader of binary presentations (PowerPoint 97 to 2003 .ppt, .pps, .pot). It takes the shortest
// path from the container to each slide's shape text: the "Current User" stream points at the newest
// edit record; the edit records, newest first, give the persist directory (object id -> stream offset,
// the newest entry wins because an incremental save leaves older copies in the stream); the document
// record's slide list gives the slides in order and the placeholder texts stored outside the drawing;
// each slide's drawing gives its top-level shapes.
#include "office/presentation/PptReader.h"

#include "office/presentation/CompoundFile.h"
#include "office/presentation/FileAccess.h"
#include "office/presentation/OfficeEncryption.h"
#include "office/presentation/OoxmlPresentation.h"
#include "office/presentation/PptDecryption.h"
#include "office/presentation/PptDrawing.h"
#include "office/presentation/PptPersist.h"
#include "office/presentation/PptRecords.h"
#include "office/presentation/ReadError.h"
#include "office/presentation/ZipPackage.h"

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

using namespace ppt;

constexpr std::uint32_t kHeaderToken = 0xE391C05F;
constexpr std::uint32_t kEncryptedHeaderToken = 0xF3D1C4DF;
// SlideShowSlideInfoAtom: the flags after the time, the sound and the effect; this one hides the slide.
constexpr std::uint32_t kSlideShowFlagsAt = 10;
constexpr std::uint16_t kSlideHidden = 0x4;

// The largest protected OOXML package decrypted (in memory, the whole of it at once).
constexpr std::uint64_t kMaxProtectedPackage = 1024u << 20;

// The whole message: "<file name>: <reason>".
[[noreturn]] void failWith(const QString& fileName, const QString& reason) {
    throw ReadError(fileName + u": "_s + reason);
}

// Thrown by the document of a stream whose newest edit names an encryption record instead of a
// readable document: the stream is to be decrypted first. No std::exception, so no reader takes it
// for damage.
struct ProtectedStream {};

struct SlideEntry {
    std::uint32_t persistId = 0;
    std::vector<TextBlock> placeholderTexts; // reached from the drawing by OutlineTextRefAtom
};

class PptDocument final : public PresentationDocument {
public:
    PptDocument(const QString& fileName, QByteArray stream, std::optional<std::uint32_t> currentEdit)
        : PresentationDocument(fileName), m_fileName(fileName), m_stream(std::move(stream)), m_directory(m_stream),
          m_drawings(m_stream, m_documentFields, budget()) {
        bool encrypted = false;
        try {
            m_directory.read(currentEdit);
            encrypted = m_directory.isEncrypted();
            if (!encrypted)
                readDocument();
        } catch (const ReadError& e) {
            failWith(m_fileName, u"damaged presentation: "_s + e.description());
        }
        // Protected, though "Current User" does not say so: read again, decrypted.
        if (encrypted)
            throw ProtectedStream{};
        if (m_directory.chain() == Chain::Whole)
            return;
        // Where the chain could not be followed to its start, a slide that only the lost edits held
        // gives nothing.
        m_damage.emplace().cause = m_directory.chain() == Chain::Mended
                                       ? u"its chain of saved edits is broken and was mended"_s
                                       : u"its chain of saved edits is broken"_s;
        if (m_directory.chain() == Chain::Broken)
            for (std::size_t i = 0; i < m_slides.size(); ++i)
                if (!m_directory.contains(m_slides[i].persistId))
                    m_damage->lostSlides.push_back(static_cast<int>(i) + 1);
    }

    int slideCount() const override { return static_cast<int>(m_slides.size()); }
    const DocumentDamage* readDamage() const override { return m_damage ? &*m_damage : nullptr; }

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

    void readDocument() {
        const Record document = m_directory.record(m_directory.documentRef(), rtDocument, "the document record");
        const std::vector<Record> parts = m_stream.children(document);
        if (const Record* atom = firstChild(parts, rtDocumentAtom); atom && atom->length >= 34)
            m_firstSlideNumber = static_cast<std::int16_t>(m_stream.u16(atom->body + 32));
        // The slides' footer, header and date; a slide may override them with its own container.
        for (const Record& part : parts)
            if (part.type == rtHeadersFooters && part.instance == 3)
                m_drawings.readHeadersFooters(part, m_documentFields);

        // The slide list with instance 2 holds the notes, with the texts their placeholders show.
        if (const auto notes =
                std::find_if(parts.begin(), parts.end(),
                             [](const Record& r) { return r.type == rtSlideListWithText && r.instance == 2; });
            notes != parts.end())
            readNotesList(*notes);
        // The slide list with instance 0 holds the slides in order; 1 and 2 are masters and notes.
        const auto list = std::find_if(parts.begin(), parts.end(), [](const Record& r) {
            return r.type == rtSlideListWithText && r.instance == 0;
        });
        if (list != parts.end())
            readSlideList(*list);
    }

    void readNotesList(const Record& list) {
        std::vector<TextBlock>* texts = nullptr;
        for (const Record& r : m_stream.children(list)) {
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

    void readSlideList(const Record& list) {
        std::unordered_set<std::uint32_t> listed;
        for (const Record& r : m_stream.children(list)) {
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
    // This reader gives a diagram or a chart no kind of its own: to it they are pictures.
    std::vector<QString> readGraphicTexts(int, const ShapeInfo&) override { return {}; }

    // When a comment was written: the date and time of its atom (after its index), as the fields
    // store them, "2026-05-04T10:00:00.000".
    QString dateOf(const Record& atom) const {
        const auto field = [&](std::uint32_t n) { return m_stream.u16(atom.body + 4 + 2 * n); };
        // The fields: year, month, day of the week, day, hour, minute, second, millisecond.
        return u"%1-%2-%3T%4:%5:%6.%7"_s.arg(field(0), 4, 10, QChar(u'0'))
            .arg(field(1), 2, 10, QChar(u'0'))
            .arg(field(3), 2, 10, QChar(u'0'))
            .arg(field(4), 2, 10, QChar(u'0'))
            .arg(field(5), 2, 10, QChar(u'0'))
            .arg(field(6), 2, 10, QChar(u'0'))
            .arg(field(7), 3, 10, QChar(u'0'));
    }

    // The review comments of slide: the comment containers in the binary tags of its record, author
    // and text each a string of its own, the date in its atom. The format has no replies.
    std::vector<SlideComment> readComments(int slide) override {
        if (slide < 1 || slide > slideCount() || lost(slide))
            return {};
        const Record container =
            m_directory.record(m_slides[static_cast<std::size_t>(slide - 1)].persistId, rtSlide, "the slide record");
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
                            else if (part.type == rtComment10Atom && part.length >= 20)
                                item.date = dateOf(part);
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
            const SlideRecord notes = m_drawings.readDrawing(m_directory.record(notesId, rtNotes, "the notes record"));
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
        const Record slide = m_directory.record(persistId, rtSlide, "the slide record");
        SlideRecord record = m_drawings.readDrawing(slide);
        const std::vector<Record> slideParts = m_stream.children(slide);
        if (const Record* atom = firstChild(slideParts, rtSlideAtom); atom && atom->length >= 20)
            record.notesId = m_stream.u32(atom->body + 16);
        if (const Record* info = firstChild(slideParts, rtSlideShowSlideInfoAtom);
            info && info->length >= kSlideShowFlagsAt + 2)
            record.hidden = (m_stream.u16(info->body + kSlideShowFlagsAt) & kSlideHidden) != 0;
        return record;
    }

    using Chain = PersistDirectory::Chain;

    QString m_fileName;
    RecordStream m_stream;
    PersistDirectory m_directory;
    std::optional<DocumentDamage> m_damage;
    int m_firstSlideNumber = 1;
    FieldValues m_documentFields;
    DrawingReader m_drawings;
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

// A password-protected OOXML package, held in the compound file: decrypted in memory and read as the
// package it is.
std::unique_ptr<PresentationDocument> readProtectedPackage(const CompoundFile& file, const QString& fileName,
                                                           PasswordSource* passwords) {
    const std::optional<QByteArray> info = inContainer(fileName, [&] { return file.readStream(u"EncryptionInfo"_s); });
    const std::optional<QByteArray> package =
        inContainer(fileName, [&] { return file.readStream(u"EncryptedPackage"_s); });
    if (!info || !package)
        failWith(fileName, u"damaged protected package: its "_s + (info ? u"EncryptedPackage"_s : u"EncryptionInfo"_s) +
                               u" stream is missing"_s);
    crypto::SecretBytes plain = decryptOoxmlPackage(*info, *package, fileName, passwords, kMaxProtectedPackage);
    return openOoxmlPackage(std::make_unique<ZipPackage>(fileName, plain.release()));
}

// Whether the root "Current User" stream of file begins with a CurrentUserAtom, as every presentation
// saved by PowerPoint 97 or later has it. Damage in the container counts as none.
bool holdsCurrentUserAtom(const CompoundFile& file) {
    try {
        const std::optional<QByteArray> user = file.readStream(u"Current User"_s);
        return user && user->size() >= 28 && RecordStream(*user).u16(2) == rtCurrentUserAtom;
    } catch (const ReadError&) {
        return false;
    }
}

// The presentation in file, throwing ReadError.
std::unique_ptr<PresentationDocument> readPresentation(const CompoundFile& file, const QString& fileName,
                                                       PasswordSource* passwords) {
    // A password-protected OOXML package is a compound file holding the encrypted package.
    if (file.hasStream(u"EncryptedPackage"_s) || file.hasStream(u"EncryptionInfo"_s))
        return readProtectedPackage(file, fileName, passwords);
    // Saved for PowerPoint 95 and 97 at once, a presentation keeps the older form in the root, where its
    // "Current User" is no CurrentUserAtom, and the 97 form in a storage of its own.
    if (!holdsCurrentUserAtom(file))
        if (const std::optional<CompoundFile> dual =
                inContainer(fileName, [&] { return file.storage(u"PP97_DUALSTORAGE"_s); });
            dual && dual->hasStream(u"PowerPoint Document"_s))
            return readPresentation(*dual, fileName, passwords);
    if (file.hasStream(u"PP40"_s))
        failWith(fileName, u"too old (PowerPoint 95 or older)"_s);
    if (!file.hasStream(u"PowerPoint Document"_s))
        failWith(fileName, u"not a presentation (a compound file without a \"PowerPoint Document\" stream)"_s);

    std::optional<std::uint32_t> currentEdit;
    bool encrypted = false;
    if (const std::optional<QByteArray> user =
            inContainer(fileName, [&] { return file.readStream(u"Current User"_s); })) {
        // Before PowerPoint 97 the stream was shorter than this atom.
        if (user->size() < 28)
            failWith(fileName, u"too old (PowerPoint 95 or older)"_s);
        const RecordStream u(*user);
        if (u.u16(2) == rtCurrentUserAtom) {
            const std::uint32_t token = u.u32(12);
            encrypted = token == kEncryptedHeaderToken;
            if (token == kHeaderToken || encrypted)
                currentEdit = u.u32(16);
        }
    }
    encrypted = encrypted || file.hasStream(u"EncryptedSummary"_s);
    std::optional<QByteArray> stream = inContainer(fileName, [&] { return file.readStream(u"PowerPoint Document"_s); });
    if (stream->size() > 0x7FFFFFFF)
        failWith(fileName, u"damaged presentation: the \"PowerPoint Document\" stream is too large"_s);
    if (!encrypted) {
        try {
            return std::make_unique<PptDocument>(fileName, *stream, currentEdit);
        } catch (const ProtectedStream&) {
        }
    }
    stream = ppt::decryptedDocumentStream(std::move(*stream), currentEdit, fileName, passwords);
    try {
        return std::make_unique<PptDocument>(fileName, std::move(*stream), currentEdit);
    } catch (const ProtectedStream&) {
        failWith(fileName, u"damaged presentation: the document record is not one, decrypted or not"_s);
    }
}

// Whether the open file fd is no longer as it was when before was taken: a file rewritten while it is
// read gives no whole presentation, whatever the bytes read say.
bool changedSince(int fd, const struct stat& before) {
    struct stat now{};
    return ::fstat(fd, &now) != 0 || now.st_size != before.st_size || now.st_mtim.tv_sec != before.st_mtim.tv_sec ||
           now.st_mtim.tv_nsec != before.st_mtim.tv_nsec;
}

} // namespace

std::unique_ptr<PresentationDocument> openCompoundFileData(QByteArrayView data, const QString& fileName,
                                                           PasswordSource* passwords) {
    return reportingReadErrors([&] {
        const CompoundFile file = inContainer(fileName, [&] { return CompoundFile(data); });
        return readPresentation(file, fileName, passwords);
    });
}

std::unique_ptr<PresentationDocument> openCompoundFilePresentation(const QString& path, PasswordSource* passwords) {
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
            std::unique_ptr<PresentationDocument> document = readPresentation(file, fileName, passwords);
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
