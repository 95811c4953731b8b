// The OpenDocument presentation reader on files LibreOffice wrote, on the hand-written source, and on
// small documents for each rule and each kind of damage.
#include "office/presentation/OdpReader.h"
#include "office/AutomationError.h"
#include "office/presentation/OpenPresentation.h"

#include <QFile>
#include <QTemporaryDir>

#include "support/TestTools.h"

#include <gtest/gtest.h>
#include <zip.h>

using namespace Qt::StringLiterals;
using namespace quorvane;
using office::AutomationError;
using office::ShapeInfo;

namespace {

QString data(const char* name) {
    return QStringLiteral(QUORVANE_TEST_DATA "/odp/") + QString::fromUtf8(name);
}

using Slide = std::vector<std::pair<bool, QString>>;

std::vector<Slide> readAll(office::PresentationDocument& document) {
    std::vector<Slide> out;
    for (int s = 1; s <= document.slideCount(); ++s) {
        out.emplace_back();
        for (const ShapeInfo& shape : document.shapes(s))
            out.back().emplace_back(shape.hasTextFrame, shape.text);
    }
    return out;
}

// What deck.fodp holds, as every form of it must read.
std::vector<Slide> deckTexts() {
    return {
        {{true, u"Plans for next year"_s},
         {true, u"Level one\rLevel two a\rLevel two b\rBack to one"_s},
         {true, u"Heading\rLeading span joined words  end\ttab\vafter break"_s}},
        {{false, {}},
         {false, {}},
         {false, {}},
         {false, {}},
         {false, {}},
         {true, u"Rectangle text"_s},
         {true, {}},
         {true, u"Slide 2"_s},
         {true, u"Star shape\r"_s}},
        {},
    };
}

class OdpReaderTest : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& content) {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return path;
    }

    QString writeZip(const QString& name, const std::vector<std::pair<const char*, QByteArray>>& entries) {
        const QString path = m_dir.filePath(name);
        int error = 0;
        zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        EXPECT_NE(archive, nullptr);
        for (const auto& [entry, bytes] : entries) {
            m_keep.push_back(bytes);
            zip_source_t* source =
                zip_source_buffer(archive, m_keep.back().constData(), static_cast<zip_uint64_t>(bytes.size()), 0);
            EXPECT_GE(zip_file_add(archive, entry, source, ZIP_FL_ENC_UTF_8), 0);
        }
        EXPECT_EQ(zip_close(archive), 0);
        return path;
    }

    // A flat document with the given page content (draw:page children) in the usual prefixes.
    static QByteArray flat(const QByteArray& pages) {
        return "<?xml version=\"1.0\"?><office:document "
               "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
               "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
               "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
               "xmlns:presentation=\"urn:oasis:names:tc:opendocument:xmlns:presentation:1.0\">"
               "<office:body><office:presentation>" +
               pages + "</office:presentation></office:body></office:document>";
    }

    QString failure(const QString& path) {
        try {
            auto document = office::openPresentationDocument(path);
            readAll(*document);
            return {};
        } catch (const AutomationError& e) {
            return e.description();
        }
    }

    QTemporaryDir m_dir;
    std::vector<QByteArray> m_keep; // zip sources are read at zip_close
};

} // namespace

TEST_F(OdpReaderTest, EveryFormOfTheDeckReadsTheSame) {
    for (const char* name : {"deck.odp", "deck.otp", "deck.fodp", "deck-lo.fodp"}) {
        SCOPED_TRACE(name);
        auto document = office::openPresentationDocument(data(name));
        EXPECT_EQ(readAll(*document), deckTexts());
    }
    // Chosen by content: a zipped deck under a binary name and a flat one under a zipped name.
    ASSERT_TRUE(QFile::copy(data("deck.odp"), m_dir.filePath(u"deck.ppt"_s)));
    ASSERT_TRUE(QFile::copy(data("deck.fodp"), m_dir.filePath(u"deck.odp"_s)));
    EXPECT_EQ(readAll(*office::openPresentationDocument(m_dir.filePath(u"deck.ppt"_s))), deckTexts());
    EXPECT_EQ(readAll(*office::openPresentationDocument(m_dir.filePath(u"deck.odp"_s))), deckTexts());
}

TEST_F(OdpReaderTest, ShapeKindsAndTextRules) {
    const QString path = write(u"kinds.fodp"_s, flat(R"(<draw:page>
  <draw:frame presentation:class="title" presentation:placeholder="true"/>
  <draw:frame presentation:class="graphic"><draw:object/><draw:image/></draw:frame>
  <draw:frame><draw:image/><draw:text-box><text:p>replacement</text:p></draw:text-box></draw:frame>
  <draw:a><draw:custom-shape><text:p>linked</text:p></draw:custom-shape></draw:a>
  <draw:polyline/><draw:measure/>
  <presentation:notes><draw:frame><draw:text-box><text:p>note</text:p></draw:text-box></draw:frame></presentation:notes>
  <draw:frame><draw:text-box><text:p> a&#x1;b <text:span> c </text:span> <office:annotation><text:p>comment</text:p>
   </office:annotation>d
     e<text:a>link</text:a><text:page-number>99</text:page-number></text:p><text:p/><text:p>x<text:s/>y</text:p>
  </draw:text-box></draw:frame>
</draw:page>
<draw:page><draw:custom-shape><text:p><text:page-number/></text:p></draw:custom-shape></draw:page>)"));
    auto document = office::openFlatOpenDocumentPresentation(path);
    const std::vector<Slide> expected = {
        {{true, {}},
         {false, {}},
         {false, {}},
         {true, u"linked"_s},
         {true, {}},
         {false, {}},
         {true, u"ab c d elink1\r\rx y"_s}},
        {{true, u"2"_s}},
    };
    EXPECT_EQ(readAll(*document), expected);
}

TEST_F(OdpReaderTest, OtherPrefixesReadTheSame) {
    const QString path =
        write(u"prefixes.fodp"_s, R"(<doc:document xmlns:doc="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" xmlns:t="urn:oasis:names:tc:opendocument:xmlns:text:1.0">
 <doc:body><doc:presentation><page><frame><text-box><t:p>one</t:p><t:h>two</t:h></text-box></frame>
 <t:p>not a shape</t:p></page></doc:presentation></doc:body></doc:document>)");
    EXPECT_EQ(readAll(*office::openFlatOpenDocumentPresentation(path)), (std::vector<Slide>{{{true, u"one\rtwo"_s}}}));
}

TEST_F(OdpReaderTest, WrongOrDamagedDocumentsFailClearly) {
    EXPECT_TRUE(
        failure(write(u"bad.fodp"_s, flat("<draw:page><draw:frame>")))
            .startsWith(m_dir.filePath(u"bad.fodp"_s) + u": damaged presentation: not well-formed XML at byte"_s));
    EXPECT_EQ(failure(write(u"other.fodp"_s, "<?xml version=\"1.0\"?><html/>")),
              m_dir.filePath(u"other.fodp"_s) + u": not a presentation: the document is no OpenDocument document"_s);
    EXPECT_EQ(failure(write(u"text.fodp"_s,
                            R"(<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0">
        <office:body><office:text/></office:body></office:document>)")),
              m_dir.filePath(u"text.fodp"_s) +
                  u": not a presentation: the OpenDocument document holds no presentation"_s);

    // A run of spaces far beyond any text, and nesting beyond any document: the slide fails, nothing crashes.
    EXPECT_EQ(failure(write(u"spaces.fodp"_s, flat(R"(<draw:page/><draw:page><draw:custom-shape><text:p>
        <text:s text:c="2000000000"/></text:p></draw:custom-shape></draw:page>)"))),
              m_dir.filePath(u"spaces.fodp"_s) +
                  u": slide 2 is damaged: a shape holds more than 8388608 characters of text"_s);
    QByteArray deep = "<draw:page><draw:custom-shape><text:p>";
    for (int i = 0; i < 5000; ++i)
        deep += "<text:span>";
    deep += "x";
    for (int i = 0; i < 5000; ++i)
        deep += "</text:span>";
    deep += "</text:p></draw:custom-shape></draw:page>";
    EXPECT_EQ(failure(write(u"deep.fodp"_s, flat(deep))),
              m_dir.filePath(u"deep.fodp"_s) + u": slide 1 is damaged: elements nested deeper than 256 levels"_s);

    const QByteArray content = flat("<draw:page/>");
    EXPECT_EQ(failure(writeZip(u"writer.odp"_s,
                               {{"mimetype", "application/vnd.oasis.opendocument.text"}, {"content.xml", content}})),
              m_dir.filePath(u"writer.odp"_s) + u": not a presentation: the OpenDocument package is of type "
                                                "application/vnd.oasis.opendocument.text"_s);
    EXPECT_EQ(failure(writeZip(u"locked.odp"_s,
                               {{"mimetype", "application/vnd.oasis.opendocument.presentation"},
                                {"META-INF/manifest.xml", "<manifest:manifest><manifest:file-entry manifest:full-path="
                                                          "\"content.xml\"><manifest:encryption-data/>"
                                                          "</manifest:file-entry></manifest:manifest>"},
                                {"content.xml", QByteArray(300, '\x9c')}})),
              m_dir.filePath(u"locked.odp"_s) + u": damaged encryption data: the manifest names no cipher"_s);
    EXPECT_EQ(failure(writeZip(u"empty.odp"_s, {{"mimetype", "application/vnd.oasis.opendocument.presentation"}})),
              m_dir.filePath(u"empty.odp"_s) + u": not a presentation package: content.xml is missing"_s);
    EXPECT_TRUE(failure(writeZip(u"cut.odp"_s, {{"mimetype", "application/vnd.oasis.opendocument.presentation"},
                                                {"content.xml", content.left(content.size() / 2)}}))
                    .startsWith(m_dir.filePath(u"cut.odp"_s) + u": damaged part content.xml: not well-formed XML"_s));
    // No mimetype entry: content.xml alone decides.
    auto bare = office::openPresentationDocument(writeZip(u"bare.odp"_s, {{"content.xml", content}}));
    EXPECT_EQ(bare->slideCount(), 1);
    EXPECT_TRUE(bare->shapes(1).empty());
}

TEST_F(OdpReaderTest, RunsOfSpacesOnManyShapesStopAtTheTextBound) {
    // Seven pages each with a shape of 8,000,000 spaces: the seventh passes 50 million characters.
    QByteArray pages;
    for (int page = 0; page < 7; ++page)
        pages += R"(<draw:page><draw:custom-shape><text:p><text:s text:c="8000000"/></text:p></draw:custom-shape>)"
                 "</draw:page>";
    const auto document = office::openPresentationDocument(write(u"spaces.fodp"_s, flat(pages)));
    for (int slide = 1; slide <= 6; ++slide)
        EXPECT_EQ(document->shapes(slide).front().text.size(), 8'000'000);
    EXPECT_EQ(test::failureOf([&] { document->shapes(7); }),
              m_dir.filePath(u"spaces.fodp"_s) +
                  u": too much text: the presentation holds more than 50,000,000 characters, the most that "
                  "is read from one presentation"_s);
}

TEST_F(OdpReaderTest, AReferenceToCharacterZeroIsDroppedNotTheRestOfTheText) {
    const QByteArray document =
        flat("<draw:page><draw:custom-shape><text:p>a&#0;b<![CDATA[&#0;]]>c&#x0;d</text:p></draw:custom-shape>"
             "</draw:page>");
    const std::vector<Slide> expected = {{{true, u"ab&#0;cd"_s}}};
    EXPECT_EQ(readAll(*office::openPresentationDocument(write(u"zero.fodp"_s, document))), expected);
    // The same in UTF-16, which the parser converts on its own.
    const QString text = QString::fromUtf8(document);
    const QByteArray utf16 = "\xFF\xFE" + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    EXPECT_EQ(readAll(*office::openPresentationDocument(write(u"zero16.fodp"_s, utf16))), expected);
}
