// The binary presentation reader on a file LibreOffice wrote and on files built from it: incremental
// saves, placeholder text kept only in the slide list, Latin-1 text, loops and damage.
#include "support/PptTestFiles.h"

#include "office/AutomationError.h"
#include "office/presentation/CompoundFile.h"
#include "office/presentation/OpenPresentation.h"
#include "office/presentation/PptReader.h"
#include "office/presentation/ReadError.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include "support/TestTools.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace quorvane;
using namespace quorvane::test;
using office::AutomationError;
using office::ShapeInfo;
using test::failureOf;

namespace {

const QString kSample = QStringLiteral(QUORVANE_TEST_DATA "/ppt/sample.ppt");

struct Expected {
    bool frame;
    QString text;
};
using SlideTexts = std::vector<std::vector<Expected>>;

// What sample.fodp holds, as the reader must give it back from sample.ppt.
SlideTexts sampleTexts() {
    return {
        {{true, u"Quarterly Review"_s},
         {true, u"First point\rLine one\vline two"_s},
         {true, u"Ελληνικά 日本語 текст"_s},
         {true, u"Café crème à la française\rÜnïcödé ±½"_s}},
        {{false, {}}, {false, {}}, {false, {}}, {true, u"Shape text"_s}, {true, u"Page 2 of deck"_s}},
        {{true, {}}, {false, {}}, {true, u"A\tB   C"_s}},
    };
}

SlideTexts readAll(office::PresentationDocument& document) {
    SlideTexts out;
    for (int s = 1; s <= document.slideCount(); ++s) {
        out.emplace_back();
        for (const ShapeInfo& shape : document.shapes(s))
            out.back().push_back({shape.hasTextFrame, shape.text});
    }
    return out;
}

void expectTexts(const SlideTexts& actual, const SlideTexts& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t s = 0; s < expected.size(); ++s) {
        ASSERT_EQ(actual[s].size(), expected[s].size()) << "slide " << s + 1;
        for (std::size_t k = 0; k < expected[s].size(); ++k) {
            EXPECT_EQ(actual[s][k].frame, expected[s][k].frame) << "slide " << s + 1 << " shape " << k + 1;
            EXPECT_EQ(actual[s][k].text, expected[s][k].text) << "slide " << s + 1 << " shape " << k + 1;
        }
    }
}

SlideTexts readData(const QByteArray& file) {
    auto document = office::openCompoundFileData(file, u"built.ppt"_s);
    return readAll(*document);
}

// The reason a built file fails with, or "" when it opens and every slide reads.
QString failure(const QByteArray& file) {
    try {
        readData(file);
        return {};
    } catch (const AutomationError& e) {
        return e.description();
    }
}

Streams sampleStreams() {
    Streams streams = readCompoundFile(kSample);
    // The thumbnail in the summary is large and plays no part; leaving it out keeps the built files small.
    std::erase_if(streams, [](const auto& s) { return s.first.contains(u"SummaryInformation"_s); });
    return streams;
}

std::vector<std::uint32_t> slidePersistIds(const Streams& file, std::uint32_t documentOffset) {
    Streams copy = file;
    PptRecord document = parseRecord(streamNamed(copy, u"PowerPoint Document"_s), documentOffset);
    std::vector<std::uint32_t> ids;
    for (const PptRecord& part : document.children)
        if (part.type == 4080 && (part.verInstance >> 4) == 0)
            for (const PptRecord& r : part.children)
                if (r.type == 1011)
                    ids.push_back(readU32(r.atom, 0));
    return ids;
}

// The text box record of shape k (1-based, after the group's own record) on a parsed slide.
PptRecord& textBoxOf(PptRecord& slide, std::size_t k) {
    PptRecord* group = slide.find(0xF003);
    PptRecord* box = group->children.at(k).find(0xF00D);
    if (!box)
        throw std::runtime_error("shape has no text box");
    return *box;
}

} // namespace

TEST(PptReader, ReadsSlidesShapesAndTextOfALibreOfficeFile) {
    auto document = office::openCompoundFilePresentation(kSample);
    expectTexts(readAll(*document), sampleTexts());
    // The reference stays valid and the same slide can be read again.
    EXPECT_EQ(document->shapes(2).size(), 5u);
    EXPECT_EQ(document->shapes(1).front().text, u"Quarterly Review"_s);
    EXPECT_THROW(document->shapes(4), AutomationError);
    EXPECT_THROW(document->shapes(0), AutomationError);
}

TEST(PptReader, ShapeNamesComeFromTheDrawingProperties) {
    Streams file = sampleStreams();
    const PptEdits before = readEdits(file);
    const std::vector<std::uint32_t> slides = slidePersistIds(file, before.persist.at(before.documentId));
    PptRecord slide1 = parseRecord(streamNamed(file, u"PowerPoint Document"_s), before.persist.at(slides[0]));
    // A simple property, a complex one before the name (its data comes first), then the name itself.
    const QString name = u"Headline"_s;
    QByteArray nameData(reinterpret_cast<const char*>(name.utf16()), name.size() * 2);
    nameData.append(2, '\0');
    QByteArray table;
    const auto property = [&](std::uint16_t id, std::uint32_t value) {
        table.append(static_cast<char>(id & 0xFF)).append(static_cast<char>(id >> 8));
        for (int i = 0; i < 4; ++i)
            table.append(static_cast<char>((value >> (8 * i)) & 0xFF));
    };
    property(0x007F, 0);
    property(0x8145, 6);
    property(0x8380, static_cast<std::uint32_t>(nameData.size()));
    std::vector<PptRecord>& parts = slide1.find(0xF003)->children.at(1).children;
    parts.insert(parts.begin() + 1, atom(0xF00B, table + QByteArray(6, 'x') + nameData, 3));
    appendEdit(file, {{slides[0], slide1.bytes()}});

    auto document = office::openCompoundFileData(writeCompoundFile(file), u"named.ppt"_s);
    const std::vector<ShapeInfo>& shapes = document->shapes(1);
    EXPECT_EQ(shapes.at(0).name, name);
    EXPECT_EQ(shapes.at(0).kind, office::ShapeKind::Text); // a text box: Impress kept no placeholder here
    EXPECT_EQ(shapes.at(0).text, u"Quarterly Review"_s);
    EXPECT_EQ(shapes.at(1).name, QString());
}

TEST(PptReader, IsChosenByContentNotByName) {
    QTemporaryDir dir;
    const QString renamed = dir.filePath(u"looks-like.pptx"_s);
    ASSERT_TRUE(QFile::copy(kSample, renamed));
    auto document = office::openPresentationDocument(renamed);
    expectTexts(readAll(*document), sampleTexts());
}

TEST(PptReader, RewrittenContainerReadsTheSame) {
    // The test writer puts the small streams in the mini stream and the rest in regular sectors.
    expectTexts(readData(writeCompoundFile(sampleStreams())), sampleTexts());
    expectTexts(readData(writeCompoundFile(sampleStreams(), 4)), sampleTexts());
}

TEST(PptReader, IncrementalSavesPlaceholderTextInTheSlideListAndLatin1Text) {
    Streams file = sampleStreams();
    const PptEdits before = readEdits(file);
    const std::vector<std::uint32_t> slides = slidePersistIds(file, before.persist.at(before.documentId));
    ASSERT_EQ(slides.size(), 3u);
    const QByteArray& stream = streamNamed(file, u"PowerPoint Document"_s);

    // First save on top: the document numbers slides from 5 and keeps slide 1's placeholder texts in
    // its slide list; slide 1's drawing refers to them and holds one Latin-1 text.
    PptRecord document = parseRecord(stream, before.persist.at(before.documentId));
    for (PptRecord& part : document.children) {
        if (part.type == 1001)
            part.atom[32] = 5;
        if (part.type != 4080 || (part.verInstance >> 4) != 0)
            continue;
        std::vector<PptRecord> list;
        int slide = 0;
        for (PptRecord& r : part.children) {
            if (r.type == 1011)
                ++slide;
            if (slide == 1 && r.type != 1011)
                continue; // slide 1's old texts go
            list.push_back(r);
            if (slide == 1 && r.type == 1011) {
                list.push_back(atom(3999, QByteArray(4, '\0')));
                list.push_back(textChars(u"Title kept in the slide list"_s));
                list.push_back(atom(3999, QByteArray("\x01\0\0\0", 4)));
                list.push_back(textBytes(QByteArray("Liste: caf\xE9\rzweite Zeile")));
            }
        }
        part.children = list;
    }
    PptRecord slide1 = parseRecord(stream, before.persist.at(slides[0]));
    textBoxOf(slide1, 1).children = {atom(3998, QByteArray(4, '\0'))};
    textBoxOf(slide1, 2).children = {atom(3998, QByteArray("\x01\0\0\0", 4))};
    for (PptRecord& r : textBoxOf(slide1, 4).children)
        if (r.type == 4000)
            r = textBytes(QByteArray("D\xE9j\xE0 vu \xB1\xBD"));
    appendEdit(file, {{before.documentId, document.bytes()}, {slides[0], slide1.bytes()}});

    // Second save on top: only slide 3 changes; the first save's copies must still win over the originals.
    const PptEdits middle = readEdits(file);
    PptRecord slide3 = parseRecord(streamNamed(file, u"PowerPoint Document"_s), middle.persist.at(slides[2]));
    for (PptRecord& r : textBoxOf(slide3, 3).children)
        if (r.type == 4000)
            r = textChars(u"Second edit"_s);
    appendEdit(file, {{slides[2], slide3.bytes()}});

    SlideTexts expected = sampleTexts();
    expected[0][0].text = u"Title kept in the slide list"_s;
    expected[0][1].text = u"Liste: café\rzweite Zeile"_s;
    expected[0][3].text = u"Déjà vu ±½"_s;
    expected[1][4].text = u"Page 6 of deck"_s;
    expected[2][2].text = u"Second edit"_s;
    expectTexts(readData(writeCompoundFile(file)), expected);

    // A loop in the edit chain (the oldest edit pointing back to the newest) is cut, not followed.
    Streams looped = file;
    QByteArray& loopStream = streamNamed(looped, u"PowerPoint Document"_s);
    writeU32(loopStream, before.currentEdit + 8 + 8, readEdits(looped).currentEdit);
    expectTexts(readData(writeCompoundFile(looped)), expected);

    // A "Current User" that points nowhere: the newest edit is found in the stream itself.
    Streams stale = file;
    writeU32(streamNamed(stale, u"Current User"_s), 16, 3);
    expectTexts(readData(writeCompoundFile(stale)), expected);
}

TEST(PptReader, FieldsShowSlideNumberFooterHeaderAndFixedDate) {
    Streams file = sampleStreams();
    const PptEdits before = readEdits(file);
    const std::vector<std::uint32_t> slides = slidePersistIds(file, before.persist.at(before.documentId));
    const QByteArray& stream = streamNamed(file, u"PowerPoint Document"_s);
    auto u32 = [](std::uint32_t v) {
        QByteArray b(4, '\0');
        writeU32(b, 0, v);
        return b;
    };
    auto headersFooters = [&](std::uint16_t flags, const std::vector<std::pair<int, QString>>& texts) {
        PptRecord c;
        c.verInstance = 0xF | (3 << 4);
        c.type = 4057;
        c.children.push_back(atom(4058, u32(std::uint32_t{flags} << 16)));
        for (const auto& [instance, text] : texts) {
            PptRecord string = textChars(text);
            string.type = 4026;
            string.verInstance = static_cast<std::uint16_t>(instance << 4);
            c.children.push_back(string);
        }
        return c;
    };
    // The document gives every slide a header and a footer; slide 2 has its own footer and a fixed date.
    PptRecord document = parseRecord(stream, before.persist.at(before.documentId));
    std::erase_if(document.children, [](const PptRecord& r) { return r.type == 4057; });
    document.children.push_back(headersFooters(0x30, {{1, u"Deck header"_s}, {2, u"Deck footer"_s}}));
    PptRecord slide2 = parseRecord(stream, before.persist.at(slides[1]));
    std::erase_if(slide2.children, [](const PptRecord& r) { return r.type == 4057; });
    slide2.children.push_back(headersFooters(0x24, {{0, u"01/02/2003"_s}, {2, u"Slide footer"_s}}));
    textBoxOf(slide2, 5).children = {atom(3999, u32(4)), textChars(u"* | * | * | * | *"_s),
                                     atom(4056, u32(0)), atom(4090, u32(4)),
                                     atom(4089, u32(8)), atom(4088, u32(12))};
    PptRecord slide3 = parseRecord(stream, before.persist.at(slides[2]));
    std::erase_if(slide3.children, [](const PptRecord& r) { return r.type == 4057; });
    textBoxOf(slide3, 3).children = {atom(3999, u32(4)), textChars(u"*, *, *"_s), atom(4089, u32(0)),
                                     atom(4090, u32(3)), atom(4088, u32(6))};
    appendEdit(file, {{before.documentId, document.bytes()}, {slides[1], slide2.bytes()}, {slides[2], slide3.bytes()}});

    const SlideTexts texts = readData(writeCompoundFile(file));
    EXPECT_EQ(texts[1][4].text, u"2 | Slide footer |  | 01/02/2003 | *"_s);
    EXPECT_EQ(texts[2][2].text, u"Deck header, Deck footer, *"_s); // a date that is not fixed stays as stored
}

// The sample's first slide and the document record, to be given other shapes and slide list entries.
class SlideListTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_file = sampleStreams();
        m_edits = readEdits(m_file);
        const QByteArray& stream = streamNamed(m_file, u"PowerPoint Document"_s);
        const std::uint32_t documentOffset = m_edits.persist.at(m_edits.documentId);
        m_slideId = slidePersistIds(m_file, documentOffset).front();
        m_document = parseRecord(stream, documentOffset);
        m_slide = parseRecord(stream, m_edits.persist.at(m_slideId));
        for (const PptRecord& r : slideList().children)
            if (r.type == 1011 && m_entry.atom.isEmpty())
                m_entry = r;
    }

    PptRecord& slideList() {
        return *std::find_if(m_document.children.begin(), m_document.children.end(),
                             [](const PptRecord& r) { return r.type == 4080 && (r.verInstance >> 4) == 0; });
    }

    // The sample's first text shape with its text box holding records.
    PptRecord textShape(std::vector<PptRecord> records) {
        PptRecord shape = m_slide.find(0xF003)->children.at(1);
        shape.find(0xF00D)->children = std::move(records);
        return shape;
    }

    // The first slide with shapes, listed once for each entry of texts (the entry's texts of the
    // slide list); the document's footer is footer.
    std::unique_ptr<office::PresentationDocument> build(const std::vector<PptRecord>& shapes,
                                                        const std::vector<std::vector<QString>>& texts,
                                                        const QString& footer = {}) {
        Streams file = m_file;
        PptRecord slide = m_slide;
        std::erase_if(slide.children, [](const PptRecord& r) { return r.type == 4057; }); // the document's footer
        PptRecord* group = slide.find(0xF003);
        group->children.resize(1);
        group->children.insert(group->children.end(), shapes.begin(), shapes.end());
        PptRecord document = m_document;
        std::erase_if(document.children, [](const PptRecord& r) { return r.type == 4057; });
        PptRecord footerText = textChars(footer);
        footerText.type = 4026;
        footerText.verInstance = 2 << 4;
        PptRecord headersFooters;
        headersFooters.verInstance = 0xF | (3 << 4);
        headersFooters.type = 4057;
        headersFooters.children = {atom(4058, u32(0)), footerText};
        document.children.push_back(headersFooters);
        PptRecord& list = *std::find_if(document.children.begin(), document.children.end(),
                                        [](const PptRecord& r) { return r.type == 4080 && (r.verInstance >> 4) == 0; });
        list.children.clear();
        for (const std::vector<QString>& entryTexts : texts) {
            list.children.push_back(m_entry);
            for (const QString& text : entryTexts) {
                list.children.push_back(atom(3999, u32(1)));
                list.children.push_back(textChars(text));
            }
        }
        appendEdit(file, {{m_edits.documentId, document.bytes()}, {m_slideId, slide.bytes()}});
        return office::openCompoundFileData(writeCompoundFile(file), u"built.ppt"_s);
    }

    static QByteArray u32(std::uint32_t v) {
        QByteArray b(4, '\0');
        writeU32(b, 0, v);
        return b;
    }

    Streams m_file;
    PptEdits m_edits;
    std::uint32_t m_slideId = 0;
    PptRecord m_document, m_slide, m_entry;
};

TEST_F(SlideListTest, ASlideListedManyTimesShowsEachListingsNumberAndTexts) {
    const auto document = build({textShape({atom(3999, u32(4)), textChars(u"Slide *"_s), atom(4056, u32(6))}),
                                 textShape({atom(3998, u32(0))}), textShape({atom(3998, u32(1))})},
                                {{u"a"_s, u"second"_s}, {u"b"_s}, {u"c"_s}});
    ASSERT_EQ(document->slideCount(), 3);
    const std::vector<SlideTexts::value_type> expected = {
        {{true, u"Slide 1"_s}, {true, u"a"_s}, {true, u"second"_s}},
        {{true, u"Slide 2"_s}, {true, u"b"_s}, {true, {}}}, // no second text: the shape's own, none
        {{true, u"Slide 3"_s}, {true, u"c"_s}, {true, {}}}};
    expectTexts(readAll(*document), expected);
    EXPECT_EQ(document->shapes(1)[1].text, u"a"_s); // after the last, the first again
}

TEST_F(SlideListTest, FieldsFillInInOnePassAndTextPastTheBoundFailsBeforeItIsMade) {
    // 20,000 footer fields: each once replaced in a text that grows with every one, it took minutes.
    std::vector<PptRecord> records = {atom(3999, u32(4)), textChars(QString(20000, u'*'))};
    for (std::uint32_t at = 0; at < 20000; ++at)
        records.push_back(atom(4090, u32(at)));
    const auto fields = build({textShape(records)}, {{}}, u"Footer"_s);
    EXPECT_EQ(fields->shapes(1).front().text, u"Footer"_s.repeated(20000));

    const QString tooMuch =
        u"built.ppt: too much text: the presentation holds more than 50,000,000 characters, the most that is read "
        "from one presentation"_s;
    // The same fields with a footer of 2,500 characters ask for 50 million.
    EXPECT_EQ(failureOf([&] { build({textShape(records)}, {{}}, QString(2500, u'f'))->shapes(1); }), tooMuch);
    // 501 placeholders showing one text of 100,000 characters.
    const auto placeholders =
        build(std::vector<PptRecord>(501, textShape({atom(3998, u32(0))})), {{QString(100000, u'x')}});
    EXPECT_EQ(failureOf([&] { placeholders->shapes(1); }), tooMuch);
}

TEST(PptReader, EditPointingAtItselfEndsTheChain) {
    Streams file = sampleStreams();
    const PptEdits edits = readEdits(file);
    writeU32(streamNamed(file, u"PowerPoint Document"_s), edits.currentEdit + 8 + 8, edits.currentEdit);
    expectTexts(readData(writeCompoundFile(file)), sampleTexts());
}

// Apache POI's test file whose newest edits point back at themselves: mended, it reads as Apache POI
// 4.0.1 reads it (which joins paragraphs by LF where the presentation stores CR).
TEST(PptReader, ALoopingChainOfEditsIsMendedAsApachePoiReadsIt) {
    const auto document = office::openCompoundFilePresentation(
        QStringLiteral(QUORVANE_TEST_DATA "/ppt/57272_corrupted_usereditatom.ppt"));
    ASSERT_NE(document->damage(), nullptr);
    EXPECT_EQ(document->damage()->cause, u"its chain of saved edits is broken and was mended"_s);
    EXPECT_TRUE(document->damage()->lostSlides.empty());
    SlideTexts expected(6, {{true, {}}, {true, {}}});
    expected[1][0].text = u"RISPETTO DAO 100%\rBACHE GRIGE SU TUTTO IL LINEARE ELETTRONICA\r97% DISPO ATTIVI\rCROSS "
                          u"MARKETING SU TUTTO IL NEGOZIO\rMULIMPIANTAZIONE LINEARI STRATEGICI:\rOCCHIALI\rBORSE\r"
                          u"PROTEZIONI E CURE\rSUOLETTE"_s;
    expected[2][0].text =
        u"VALORIZZAZIONE LINEARE\rAUMENTO PANIERE MEDIO\rAUMENTO ARTICOLO CLIENTE\r50% PRODOTTI M%> 45%\rAUMENTO "
        u"MARGINE NEGOZIO"_s;
    expected[3][0].text = u"CA: 263618 \u20AC\rPROG: 4%\rMARGINE: 32.4\rQTA\u2019: 43450 ARTICOLI\r"_s;
    expected[4][1].text = u"CA: 257281 \u20AC\rPROG: 1.5%\rMARGINE: 32.3\rQTA\u2019: 43236 ARTICOLI\r"_s;
    expectTexts(readAll(*document), expected);
}

// Apache POI's test deck saved for PowerPoint 95 and 97 at once: its 97 form, in a storage of its own,
// reads as Apache POI 4.0.1 reads it (which writes a line break as a space, or in a title as LF).
TEST(PptReader, ADeckSavedForTwoVersionsIsReadFromItsNewerFormAsApachePoiReadsIt) {
    const auto document = office::openCompoundFilePresentation(QStringLiteral(QUORVANE_TEST_DATA "/ppt/bug56240.ppt"));
    EXPECT_EQ(document->damage(), nullptr);
    EXPECT_EQ(document->slideCount(), 105);
    QStringList read;
    for (int slide = 1; slide <= document->slideCount(); ++slide)
        for (const office::ShapeInfo& shape : document->shapes(slide))
            if (shape.hasTextFrame && !shape.text.isEmpty()) {
                QString text = shape.text;
                text.replace(u'\v', shape.kind == office::ShapeKind::Title ? u'\n' : u' ');
                text.replace(u'\r', u'\n');
                read << QString::number(slide) + u'\t' + text.replace(u"\n"_s, u"\\n"_s);
            }
    QFile reference(QStringLiteral(QUORVANE_TEST_DATA "/ppt/bug56240.poi.txt"));
    ASSERT_TRUE(reference.open(QIODevice::ReadOnly));
    EXPECT_EQ(read, QString::fromUtf8(reference.readAll()).split(u'\n', Qt::SkipEmptyParts));
}

TEST(PptReader, ABrokenChainOfEditsIsMendedWhereASoundWayIsFoundElseItsOlderSlidesAreLost) {
    // An incremental save on top of the sample that rewrites the document and one text of slide 1.
    Streams saved = sampleStreams();
    const PptEdits before = readEdits(saved);
    const std::vector<std::uint32_t> slides = slidePersistIds(saved, before.persist.at(before.documentId));
    const QByteArray& original = streamNamed(saved, u"PowerPoint Document"_s);
    PptRecord slide1 = parseRecord(original, before.persist.at(slides[0]));
    for (PptRecord& r : textBoxOf(slide1, 4).children)
        if (r.type == 4000)
            r = textChars(u"Edited"_s);
    appendEdit(saved, {{before.documentId, parseRecord(original, before.persist.at(before.documentId)).bytes()},
                       {slides[0], slide1.bytes()}});
    const std::uint32_t newest = readEdits(saved).currentEdit;
    SlideTexts expected = sampleTexts();
    expected[0][3].text = u"Edited"_s;
    expectTexts(readData(writeCompoundFile(saved)), expected);
    EXPECT_EQ(office::openCompoundFileData(writeCompoundFile(saved), u"built.ppt"_s)->damage(), nullptr);

    // The newest edit's field at offset (from its body) set to value.
    const auto damagedEdit = [&](std::uint32_t field, std::uint32_t value) {
        Streams copy = saved;
        writeU32(streamNamed(copy, u"PowerPoint Document"_s), newest + 8 + field, value);
        return office::openCompoundFileData(writeCompoundFile(copy), u"built.ppt"_s);
    };
    // Its link back points at itself, outside the stream, or at a record that is no edit; or its link
    // to its persist directory points outside the stream: the edit that ends where the save's records
    // begin, and the directory that ends where the edit begins, are taken.
    const std::uint32_t directory = readU32(streamNamed(saved, u"PowerPoint Document"_s), newest + 8 + 12);
    for (const auto& [field, value] : std::vector<std::pair<std::uint32_t, std::uint32_t>>{
             {8, newest}, {8, 0x7FFFFFF0}, {8, directory}, {12, 0x7FFFFFF0}, {12, newest}}) {
        SCOPED_TRACE(std::to_string(field) + " " + std::to_string(value));
        const auto mended = damagedEdit(field, value);
        ASSERT_NE(mended->damage(), nullptr);
        EXPECT_EQ(mended->damage()->cause, u"its chain of saved edits is broken and was mended"_s);
        expectTexts(readAll(*mended), expected);
    }

    // No sound way back (the older edit damaged too): what only the older edits hold is lost, the
    // slides keep their places.
    Streams broken = saved;
    QByteArray& brokenStream = streamNamed(broken, u"PowerPoint Document"_s);
    writeU32(brokenStream, newest + 8 + 8, newest);
    writeU32(brokenStream, before.currentEdit + 4, 0x1D);
    const auto lost = office::openCompoundFileData(writeCompoundFile(broken), u"built.ppt"_s);
    ASSERT_NE(lost->damage(), nullptr);
    EXPECT_EQ(lost->damage()->cause, u"its chain of saved edits is broken"_s);
    EXPECT_EQ(lost->damage()->lostSlides, (std::vector<int>{2, 3}));
    expectTexts(readAll(*lost), {expected[0], {}, {}});
    EXPECT_EQ(lost->notes(2), QString());
}

TEST(PptReader, EncryptedOldAndForeignCompoundFilesFailWithTheirReason) {
    Streams protectedPpt = sampleStreams();
    writeU32(streamNamed(protectedPpt, u"Current User"_s), 12, 0xF3D1C4DF);
    EXPECT_EQ(failure(writeCompoundFile(protectedPpt)),
              u"built.ppt: damaged presentation: the newest edit names no encryption record"_s);

    // An edit that refers to its encryption record, and a document record that cannot be read without it.
    Streams sealed = sampleStreams();
    const PptEdits edits = readEdits(sealed);
    constexpr std::uint32_t sessionId = 900;
    PptRecord session;
    session.verInstance = 0xF;
    session.type = 0x2F14;
    session.children.push_back(atom(0x2F15, QByteArray(16, 'k')));
    appendEdit(sealed,
               {{edits.documentId, atom(0x1234, QByteArray(40, '\x5A')).bytes()}, {sessionId, session.bytes()}});
    QByteArray& sealedStream = streamNamed(sealed, u"PowerPoint Document"_s);
    writeU32(sealedStream, sealedStream.size() - 0x1C - 4, 0x20); // the newest edit grows by the reference
    sealedStream.append(QByteArray(4, '\0'));
    writeU32(sealedStream, sealedStream.size() - 4, sessionId);
    EXPECT_TRUE(failure(writeCompoundFile(sealed)).startsWith(u"built.ppt: encrypted"_s))
        << failure(writeCompoundFile(sealed)).toStdString();

    const QByteArray ooxml = writeCompoundFile(
        {{u"EncryptionInfo"_s, QByteArray(200, 'i')}, {u"EncryptedPackage"_s, QByteArray(9000, 'p')}});
    EXPECT_TRUE(failure(ooxml).startsWith(u"built.ppt: encrypted"_s)) << failure(ooxml).toStdString();

    Streams old = sampleStreams();
    streamNamed(old, u"Current User"_s).truncate(20);
    EXPECT_EQ(failure(writeCompoundFile(old)), u"built.ppt: too old (PowerPoint 95 or older)"_s);
    EXPECT_EQ(failure(writeCompoundFile({{u"PP40"_s, QByteArray(100, 'x')}})),
              u"built.ppt: too old (PowerPoint 95 or older)"_s);

    EXPECT_TRUE(failure(writeCompoundFile({{u"WordDocument"_s, QByteArray(5000, 'w')}}))
                    .startsWith(u"built.ppt: not a presentation"_s));
}

TEST(PptReader, DamagedRecordsNameTheSlideOrTheStructure) {
    const Streams good = sampleStreams();
    const PptEdits edits = readEdits(good);
    const std::vector<std::uint32_t> slides = slidePersistIds(good, edits.persist.at(edits.documentId));

    // Slide 2's record claims more bytes than the stream has: the file opens, slide 2 fails alone.
    Streams longSlide = good;
    writeU32(streamNamed(longSlide, u"PowerPoint Document"_s), edits.persist.at(slides[1]) + 4, 0x7FFFFFF0);
    auto document = office::openCompoundFileData(writeCompoundFile(longSlide), u"built.ppt"_s);
    EXPECT_EQ(document->shapes(1).size(), 4u);
    try {
        document->shapes(2);
        FAIL() << "slide 2 read";
    } catch (const AutomationError& e) {
        EXPECT_TRUE(e.description().startsWith(u"built.ppt: slide 2 is damaged: record 0x03EE"_s))
            << e.description().toStdString();
    }
    EXPECT_EQ(document->shapes(3).size(), 3u);

    // A drawing inside slide 1 longer than the slide that holds it.
    Streams inner = good;
    QByteArray& stream = streamNamed(inner, u"PowerPoint Document"_s);
    const std::uint32_t slide = edits.persist.at(slides[0]);
    const qsizetype drawing = stream.indexOf(QByteArray("\x0F\x00\x0C\x04", 4), slide);
    ASSERT_GT(drawing, 0);
    const std::uint32_t slideEnd = slide + 8 + readU32(stream, slide + 4);
    writeU32(stream, drawing + 4, slideEnd - static_cast<std::uint32_t>(drawing) - 8 + 4);
    EXPECT_TRUE(failure(writeCompoundFile(inner)).contains(u"slide 1 is damaged: record 0x040C"_s))
        << failure(writeCompoundFile(inner)).toStdString();

    // The persist directory sends the document to the middle of nowhere.
    Streams lost = good;
    QByteArray& lostStream = streamNamed(lost, u"PowerPoint Document"_s);
    const std::uint32_t directory = readU32(lostStream, edits.currentEdit + 8 + 12);
    writeU32(lostStream, directory, 0x7FFFFFFF);
    EXPECT_TRUE(failure(writeCompoundFile(lost)).startsWith(u"built.ppt: damaged presentation: "_s));
}

TEST(PptReader, DamagedContainersFailClearly) {
    QFile f(kSample);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray original = f.readAll();

    // A loop in the sector chain of the document stream: its second sector points back to its first.
    QByteArray looped = original;
    const QByteArray name = QByteArray("P\0o\0w\0e\0r\0P\0o\0i\0n\0t\0 \0D\0o\0c\0u\0m\0e\0n\0t\0", 38);
    const qsizetype entry = looped.indexOf(name);
    ASSERT_GT(entry, 0);
    const std::uint32_t start = readU32(looped, entry + 0x74);
    auto fatEntry = [&](std::uint32_t sector) {
        return (readU32(looped, 0x4C + 4 * (sector / 128)) + 1) * 512 + (sector % 128) * 4;
    };
    const std::uint32_t second = readU32(looped, fatEntry(start));
    writeU32(looped, fatEntry(second), start);
    EXPECT_EQ(failure(looped),
              u"built.ppt: damaged compound file: the sector chain of stream \"PowerPoint Document\" loops"_s);

    // A chain that leaves the allocation table, and a directory that is not one.
    QByteArray wild = original;
    writeU32(wild, fatEntry(start), 0x00FFFFF0);
    EXPECT_TRUE(failure(wild).startsWith(u"built.ppt: damaged compound file: the sector chain"_s));
    QByteArray noRoot = original;
    noRoot[(readU32(noRoot, 0x30) + 1) * 512 + 0x42] = 1;
    EXPECT_EQ(failure(noRoot), u"built.ppt: damaged compound file: the directory has no root entry"_s);

    // Truncated anywhere: a clear failure or, when only streams we do not need are cut, a good read.
    int failures = 0;
    for (const qsizetype cut : {qsizetype{8}, qsizetype{100}, qsizetype{511}, qsizetype{512}, qsizetype{1500},
                                original.size() / 8, original.size() / 4, original.size() / 2, original.size() - 700}) {
        const QString reason = failure(original.left(cut));
        if (!reason.isEmpty()) {
            ++failures;
            EXPECT_TRUE(reason.startsWith(u"built.ppt: damaged compound file: "_s) ||
                        reason.startsWith(u"built.ppt: not"_s))
                << reason.toStdString();
        }
    }
    EXPECT_GE(failures, 5);
    EXPECT_EQ(failure(original.left(511)),
              u"built.ppt: damaged compound file: the compound file is shorter than its header"_s);
}

TEST(PptReader, ScrambledDocumentStreamNeverCrashes) {
    // Deterministic byte damage all over the document stream: every outcome is a read or a clear failure.
    const Streams good = sampleStreams();
    const qsizetype size = streamNamed(const_cast<Streams&>(good), u"PowerPoint Document"_s).size();
    std::uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int round = 0; round < 300; ++round) {
        Streams file = good;
        QByteArray& stream = streamNamed(file, u"PowerPoint Document"_s);
        for (int k = 0; k < 1 + round % 4; ++k)
            stream[static_cast<qsizetype>(next() % static_cast<std::uint32_t>(size))] = static_cast<char>(next() >> 16);
        const QString reason = failure(writeCompoundFile(file));
        EXPECT_TRUE(reason.isEmpty() || reason.startsWith(u"built.ppt: "_s));
    }
}

TEST(CompoundFile, AFileThatGrowsShorterWhileItIsReadFailsWithTheReason) {
    // The regular streams come last in the written file, so cutting it leaves the header and tables.
    QTemporaryDir dir;
    const QString path = dir.filePath(u"cut.ppt"_s);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QByteArray bytes = writeCompoundFile(sampleStreams());
    file.write(bytes);
    file.close();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const office::CompoundFile container(file.handle(), static_cast<std::uint64_t>(bytes.size()));
    ASSERT_TRUE(QFile::resize(path, 4096));
    // A memory map of the file would end the process with SIGBUS here.
    EXPECT_EQ(failureOf<office::ReadError>([&] { container.readStream(u"PowerPoint Document"_s); }),
              u"the file grew shorter while it was read"_s);
}

TEST(CompoundFile, ListsAndReadsRootStreams) {
    const QByteArray small(100, 's');
    QByteArray large(10000, '\0');
    for (int i = 0; i < large.size(); ++i)
        large[i] = static_cast<char>(i * 7);
    const QByteArray file = writeCompoundFile({{u"Small"_s, small}, {u"Large"_s, large}, {u"Empty"_s, {}}});
    const office::CompoundFile cf(file);
    EXPECT_EQ(cf.streamNames(), (QStringList{u"Small"_s, u"Large"_s, u"Empty"_s}));
    EXPECT_EQ(cf.readStream(u"small"_s), small); // names compare without regard to case
    EXPECT_EQ(cf.readStream(u"Large"_s), large);
    EXPECT_EQ(cf.readStream(u"Empty"_s), QByteArray());
    EXPECT_FALSE(cf.readStream(u"Missing"_s).has_value());
    EXPECT_FALSE(office::CompoundFile::hasSignature(QByteArray("PK\3\4")));
    EXPECT_THROW(office::CompoundFile(QByteArray(600, 'x')), office::ReadError);
}

namespace {

TEST(PptReader, CommentsHiddenSlidesAndPictureDescriptions) {
    const QString review = QStringLiteral(QUORVANE_TEST_DATA "/extras/review.ppt");
    Streams file = readCompoundFile(review);
    auto document = office::openCompoundFileData(writeCompoundFile(file), u"review.ppt"_s);
    ASSERT_EQ(document->slideCount(), 3);
    EXPECT_FALSE(document->hidden(1));
    EXPECT_TRUE(document->hidden(2));
    EXPECT_FALSE(document->hidden(3));
    const std::vector<office::SlideComment> comments = document->comments(1);
    ASSERT_EQ(comments.size(), 2u);
    EXPECT_EQ(comments[0].author, u"Ann Lee"_s);
    EXPECT_EQ(comments[0].text, u"Is the photo recent?"_s);
    EXPECT_EQ(comments[1].author, u"Bo Chen"_s);
    EXPECT_EQ(comments[1].text, u"Taken in May.\rReplace the logo."_s); // a paragraph end, as in shapes
    EXPECT_EQ(document->comments(2).size(), 1u);
    EXPECT_TRUE(document->comments(3).empty());
    EXPECT_EQ(document->shapes(1).at(1).kind, office::ShapeKind::Picture);
    // Impress does not store pictures' descriptions in this format.
    EXPECT_EQ(document->shapes(1).at(1).description, QString());

    // A description property as the format defines it: complex, its UTF-16 text after the table.
    const PptEdits before = readEdits(file);
    const std::vector<std::uint32_t> slides = slidePersistIds(file, before.persist.at(before.documentId));
    PptRecord slide1 = parseRecord(streamNamed(file, u"PowerPoint Document"_s), before.persist.at(slides[0]));
    const QString description = u"River bank"_s;
    QByteArray data(reinterpret_cast<const char*>(description.utf16()), description.size() * 2);
    data.append(2, '\0');
    const QByteArray table =
        QByteArray::fromHex("8183") + QByteArray(1, static_cast<char>(data.size())) + QByteArray(3, '\0');
    std::vector<PptRecord>& parts = slide1.find(0xF003)->children.at(2).children;
    parts.insert(parts.begin() + 1, atom(0xF00B, table + data, 1));
    appendEdit(file, {{slides[0], slide1.bytes()}});
    document = office::openCompoundFileData(writeCompoundFile(file), u"described.ppt"_s);
    EXPECT_EQ(document->shapes(1).at(1).description, description);
    EXPECT_EQ(document->shapes(1).at(2).description, QString());
}

} // namespace
