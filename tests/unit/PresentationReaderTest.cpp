// The presentation reader on files made by real producers, on hand-written packages for what they do
// not write (Strict namespaces, other prefixes, alternate content), and on damaged and hostile files.
#include "support/PackageBuilder.h"

#include "office/AutomationError.h"
#include "office/presentation/OoxmlPresentation.h"
#include "office/presentation/OpenPresentation.h"
#include "office/presentation/ZipPackage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "support/TestTools.h"

#include <gtest/gtest.h>

#include <random>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace quorvane;
using test::textBox;
using test::textBoxOf;

namespace {

QString fixture(const QString& name) {
    return QStringLiteral(QUORVANE_TEST_DATA) + u"/pptx/"_s + name;
}

// The shapes of a slide as "T:text" (text frame) or "-" (none), for compact expectations.
QStringList describe(office::PresentationDocument& document, int slide) {
    QStringList shapes;
    for (const office::ShapeInfo& shape : document.shapes(slide))
        shapes << (shape.hasTextFrame ? u"T:"_s + shape.text : u"-"_s);
    return shapes;
}

using test::failureOf;

class ReaderTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    std::unique_ptr<office::PresentationDocument> openDeck(const std::vector<std::string>& slides) {
        test::writeDeck(path(u"deck.pptx"_s), slides);
        return office::openPresentationDocument(path(u"deck.pptx"_s));
    }
    void writeFile(const QString& name, const QByteArray& bytes) const {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QTemporaryDir m_dir;
};

// ---- Files made by real producers -----------------------------------------------------------------

TEST_F(ReaderTest, ImpressFileGivesShapesAndTextAsWritten) {
    const auto document = office::openPresentationDocument(fixture(u"impress-shapes.pptx"_s));
    ASSERT_EQ(document->slideCount(), 5); // the hidden fifth slide counts
    EXPECT_EQ(describe(*document, 1),
              QStringList({u"T:Quarterly review"_s, u"T:First paragraph\rSecond paragraph\rThird paragraph"_s,
                           u"T:Line one\vLine two"_s, u"T:Name\tValue"_s, u"T:Привет, мир — 日本語 — עברית — 😀👍🏽"_s,
                           u"T:price¸unit"_s, u"T: "_s, u"T:In a rectangle"_s}));
    // A picture, a line (written as a p:sp with the line preset) and an empty text frame.
    EXPECT_EQ(describe(*document, 2), QStringList({u"-"_s, u"-"_s, u"T:"_s}));
    EXPECT_EQ(describe(*document, 3), QStringList());
    // A table and a group, neither entered, then a text box.
    EXPECT_EQ(describe(*document, 4), QStringList({u"-"_s, u"-"_s, u"T:After the group"_s}));
    // The slide-number field by the text stored in it.
    EXPECT_EQ(describe(*document, 5), QStringList({u"T:Slide <number> is hidden"_s}));
}

TEST_F(ReaderTest, PptxgenjsFileGivesShapesAndTextAsWritten) {
    const auto document = office::openPresentationDocument(fixture(u"pptxgenjs-deck.pptx"_s));
    ASSERT_EQ(document->slideCount(), 4);
    // A title placeholder, an empty body placeholder, three paragraphs, a manual line break.
    EXPECT_EQ(describe(*document, 1),
              QStringList({u"T:Agenda"_s, u"T:"_s, u"T:First point\rSecond point\rThird point"_s,
                           u"T:Before the break\vafter the break"_s}));
    // A line, a picture, then text with tabs, non-Latin text and emoji, the SplitMark and a literal
    // _x0041_ that is not an escape in slide text.
    EXPECT_EQ(describe(*document, 2), QStringList({u"-"_s, u"-"_s, u"T:Qty\t12\tunits"_s,
                                                   u"T:Ελληνικά, 中文, हिन्दी and 🎉"_s, u"T:a¸b _x0041_ stays"_s}));
    EXPECT_EQ(describe(*document, 3), QStringList({u"-"_s, u"T:Below the table"_s}));
    EXPECT_EQ(describe(*document, 4), QStringList());

    EXPECT_EQ(office::openPresentationDocument(fixture(u"pptxgenjs-empty.pptx"_s))->slideCount(), 0);
}

// ---- Package structure --------------------------------------------------------------------------

// A Strict package with other prefixes, a default namespace, a main part that is not at the usual
// place, relative and absolute targets, and a slide order unlike the part names and ids.
TEST_F(ReaderTest, StrictPackageWithOtherPrefixesReadsLikeTheUsualOne) {
    const std::string strictPml = "http://purl.oclc.org/ooxml/presentationml/main";
    const std::string strictDml = "http://purl.oclc.org/ooxml/drawingml/main";
    const std::string strictRel = "http://purl.oclc.org/ooxml/officeDocument/relationships";
    auto slide = [&](const std::string& text) {
        return R"(<sld xmlns=")" + strictPml + R"(" xmlns:d=")" + strictDml +
               R"("><cSld><spTree>)"
               R"(<nvGrpSpPr><cNvPr id="1" name=""/><cNvGrpSpPr/><nvPr/></nvGrpSpPr><grpSpPr/>)"
               R"(<sp><nvSpPr><cNvPr id="2" name="t"/><cNvSpPr/><nvPr/></nvSpPr><spPr/>)"
               R"(<txBody><d:bodyPr/><d:p><d:r><d:t>)" +
               text +
               R"(</d:t></d:r></d:p></txBody></sp>)"
               R"(<cxnSp><nvCxnSpPr/><spPr/></cxnSp></spTree></cSld></sld>)";
    };
    test::writeZip(
        path(u"strict.pptx"_s),
        {{"[Content_Types].xml",
          R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
          R"(<Default Extension="xml" ContentType="application/xml"/>)"
          R"(<Override PartName="/DECK/Main.xml" ContentType="application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml"/>)"
          R"(</Types>)"},
         {"_rels/.rels", R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
                         R"(<Relationship Id="x" Type=")" +
                             strictRel + R"(/officeDocument" Target="deck/main.xml"/></Relationships>)"},
         {"deck/main.xml",
          R"(<pres:presentation xmlns:pres=")" + strictPml + R"(" xmlns:rel=")" + strictRel +
              R"(">)"
              R"(<pres:sldIdLst><pres:sldId id="300" rel:id="s1"/><pres:sldId id="256" rel:id="s2"/></pres:sldIdLst>)"
              R"(</pres:presentation>)"},
         {"deck/_rels/main.xml.rels",
          R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
          R"(<Relationship Id="s2" Type=")" +
              strictRel +
              R"(/slide" Target="/pages/slide1.xml"/>)"
              R"(<Relationship Id="s1" Type=")" +
              strictRel +
              R"(/slide" Target="../pages/./slide2.xml"/>)"
              R"(</Relationships>)"},
         {"pages/slide1.xml", slide("second")},
         {"pages/slide2.xml", slide("first")}});
    const auto document = office::openPresentationDocument(path(u"strict.pptx"_s));
    ASSERT_EQ(document->slideCount(), 2);
    EXPECT_EQ(describe(*document, 1), QStringList({u"T:first"_s, u"-"_s}));
    EXPECT_EQ(describe(*document, 2), QStringList({u"T:second"_s, u"-"_s}));
}

class MainContentTypeTest : public ReaderTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(MainContentTypeTest, PresentationShowAndTemplateWithAndWithoutMacrosOpen) {
    test::writeZip(path(u"typed.bin"_s), test::deckParts({test::slideXml(textBoxOf("x"))}, GetParam()));
    EXPECT_EQ(describe(*office::openPresentationDocument(path(u"typed.bin"_s)), 1), QStringList({u"T:x"_s}));
}

INSTANTIATE_TEST_SUITE_P(
    AllSix, MainContentTypeTest,
    ::testing::Values("application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml",
                      "application/vnd.openxmlformats-officedocument.presentationml.slideshow.main+xml",
                      "application/vnd.openxmlformats-officedocument.presentationml.template.main+xml",
                      "application/vnd.ms-powerpoint.presentation.macroEnabled.main+xml",
                      "application/vnd.ms-powerpoint.slideshow.macroEnabled.main+xml",
                      "application/vnd.ms-powerpoint.template.macroEnabled.main+xml"));

TEST_F(ReaderTest, PackagesThatAreNotPresentationsAreRefusedWithTheReason) {
    test::writeZip(
        path(u"letter.docx"_s),
        test::deckParts({}, "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"));
    EXPECT_EQ(failureOf([&] { office::openPresentationDocument(path(u"letter.docx"_s)); }),
              path(u"letter.docx"_s) +
                  u": not a presentation package: its main part is of type "
                  u"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"_s);

    test::writeZip(path(u"plain.zip"_s), {{"readme.txt", "hello"}});
    EXPECT_EQ(failureOf([&] { office::openPresentationDocument(path(u"plain.zip"_s)); }),
              path(u"plain.zip"_s) + u": not a presentation package: the zip archive holds no presentation"_s);

    std::vector<test::PackagePart> parts = test::deckParts({});
    parts.erase(parts.begin() + 1); // _rels/.rels
    test::writeZip(path(u"norels.pptx"_s), parts);
    EXPECT_TRUE(failureOf([&] {
                    office::openPresentationDocument(path(u"norels.pptx"_s));
                }).startsWith(path(u"norels.pptx"_s) + u": not a presentation package: the package relationships"_s));

    parts = test::deckParts({});
    parts.erase(parts.begin() + 2); // ppt/presentation.xml
    test::writeZip(path(u"nomain.pptx"_s), parts);
    EXPECT_EQ(failureOf([&] { office::openPresentationDocument(path(u"nomain.pptx"_s)); }),
              path(u"nomain.pptx"_s) +
                  u": not a presentation package: its main part ppt/presentation.xml is missing"_s);
}

TEST_F(ReaderTest, SlideReferencesThatLeadNowhereFailOpen) {
    std::vector<test::PackagePart> parts = test::deckParts({test::slideXml(""), test::slideXml("")});
    parts.pop_back(); // ppt/slides/slide2.xml
    test::writeZip(path(u"missing.pptx"_s), parts);
    EXPECT_EQ(failureOf([&] { office::openPresentationDocument(path(u"missing.pptx"_s)); }),
              path(u"missing.pptx"_s) + u": slide 2 is damaged: its part ppt/slides/slide2.xml is missing"_s);

    // An external target points outside the package and is never followed.
    parts = test::deckParts({test::slideXml("")});
    parts[3].content =
        R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/slide")"
        R"( Target="file:///etc/passwd" TargetMode="External"/></Relationships>)";
    test::writeZip(path(u"external.pptx"_s), parts);
    EXPECT_EQ(failureOf([&] { office::openPresentationDocument(path(u"external.pptx"_s)); }),
              path(u"external.pptx"_s) + u": damaged part ppt/presentation.xml: slide 1 refers to no slide part"_s);

    // A target that climbs above the package root resolves to nothing.
    parts[3].content =
        R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/slide")"
        R"( Target="../../slides/slide1.xml"/></Relationships>)";
    test::writeZip(path(u"climb.pptx"_s), parts);
    EXPECT_TRUE(failureOf([&] {
                    office::openPresentationDocument(path(u"climb.pptx"_s));
                }).startsWith(path(u"climb.pptx"_s) + u": slide 1 is damaged: its part"_s));
}

// ---- Shapes and text ----------------------------------------------------------------------------

TEST_F(ReaderTest, OnlyShapesThatCanHoldTextHaveATextFrame) {
    const auto document = openDeck({test::slideXml(
        R"(<p:sp><p:nvSpPr><p:cNvPr id="3" name="no body"/><p:cNvSpPr/><p:nvPr><p:ph type="body"/></p:nvPr></p:nvSpPr><p:spPr/></p:sp>)"
        R"(<p:sp><p:nvSpPr/><p:spPr/><p:txBody><a:bodyPr/></p:txBody></p:sp>)"
        R"(<p:sp><p:nvSpPr/><p:spPr><a:prstGeom prst="bentConnector3"/></p:spPr><p:txBody><a:p><a:r><a:t>gone</a:t></a:r></a:p></p:txBody></p:sp>)"
        R"(<p:sp><p:nvSpPr/><p:spPr><a:prstGeom prst="curvedConnector5"/></p:spPr></p:sp>)"
        R"(<p:sp><p:nvSpPr/><p:spPr><a:prstGeom prst="straightConnector1"/></p:spPr></p:sp>)"
        R"(<p:sp><p:nvSpPr/><p:spPr><a:prstGeom prst="lineInv"/></p:spPr></p:sp>)"
        R"(<p:cxnSp/><p:pic/><p:graphicFrame/><p:contentPart r:id="rId9"/>)"
        R"(<p:grpSp><p:nvGrpSpPr/><p:grpSpPr/>)" +
        textBoxOf("grouped") +
        R"(</p:grpSp>)"
        R"(<p:extLst/><x:sp xmlns:x="urn:example:other"/>)" +
        textBoxOf("last"))});
    EXPECT_EQ(describe(*document, 1), QStringList({u"T:"_s, u"T:"_s, u"-"_s, u"-"_s, u"-"_s, u"T:"_s, u"-"_s, u"-"_s,
                                                   u"-"_s, u"-"_s, u"-"_s, u"T:last"_s}));
}

TEST_F(ReaderTest, TextKeepsParagraphsBreaksFieldsAndCharactersAsTheyStand) {
    const auto document = openDeck({test::slideXml(
        textBox(R"(<a:p><a:r><a:t>one</a:t></a:r><a:br><a:rPr/></a:br><a:r><a:t>two</a:t></a:r></a:p>)"
                R"(<a:p><a:pPr/><a:endParaRPr/></a:p><a:p><a:r><a:t>four</a:t></a:r></a:p>)") +
        textBox(
            R"(<a:p><a:r><a:t>Slide </a:t></a:r><a:fld id="{1}" type="slidenum"><a:rPr/><a:t>7</a:t></a:fld></a:p>)") +
        // Whitespace-only runs stay: a space, a tab, a line feed.
        textBox("<a:p><a:r><a:t> </a:t></a:r><a:r><a:t>&#9;</a:t></a:r><a:r><a:t>\n</a:t></a:r></a:p>") +
        // Characters XML does not allow are dropped; a CR reference stays; nothing else is decoded.
        textBoxOf("a&#x1;b&#x8;c&#xB;d&#13;e_x000D_f&#xFFFE;") +
        textBoxOf("&lt;tag&gt; &amp; &quot;<![CDATA[ <cdata> ]]>") + textBox(""))});
    EXPECT_EQ(describe(*document, 1), QStringList({u"T:one\vtwo\r\rfour"_s, u"T:Slide 7"_s, u"T: \t\n"_s,
                                                   u"T:abcd\re_x000D_f"_s, u"T:<tag> & \" <cdata> "_s, u"T:"_s}));
}

TEST_F(ReaderTest, AlternateContentTakesTheFirstUnderstoodChoiceElseTheFallback) {
    const auto document = openDeck({test::slideXml(
        R"(<mc:AlternateContent><mc:Choice Requires="p14">)" + textBoxOf("newer") + R"(</mc:Choice><mc:Fallback>)" +
        textBoxOf("fallback") +
        R"(</mc:Fallback></mc:AlternateContent>)"
        R"(<mc:AlternateContent xmlns:dml="http://schemas.openxmlformats.org/drawingml/2006/main">)"
        R"(<mc:Choice Requires="dml p">)" +
        textBoxOf("understood") + R"(</mc:Choice><mc:Fallback>)" + textBoxOf("not this") +
        R"(</mc:Fallback></mc:AlternateContent>)"
        R"(<mc:AlternateContent><mc:Choice Requires="a p14">)" +
        textBoxOf("half understood") + R"(</mc:Choice><mc:Choice Requires="a">)" + textBoxOf("second choice") +
        R"(</mc:Choice></mc:AlternateContent>)"
        // Ink: a content part with a picture as fallback; and a choice nobody understands, no fallback.
        R"(<mc:AlternateContent><mc:Choice Requires="p14"><p14:contentPart r:id="rId3"/></mc:Choice>)"
        R"(<mc:Fallback><p:pic/></mc:Fallback></mc:AlternateContent>)"
        R"(<mc:AlternateContent><mc:Choice Requires="p14">)" +
        textBoxOf("dropped") + R"(</mc:Choice></mc:AlternateContent>)" +
        // Inside a paragraph: an equation with its text fallback.
        textBox(
            R"(<a:p><a:r><a:t>x = </a:t></a:r><mc:AlternateContent><mc:Choice Requires="a14"><a14:m xmlns:a14="urn:a14"/></mc:Choice>)"
            R"(<mc:Fallback><a:r><a:t>y²</a:t></a:r></mc:Fallback></mc:AlternateContent></a:p>)"))});
    EXPECT_EQ(describe(*document, 1),
              QStringList({u"T:fallback"_s, u"T:understood"_s, u"T:second choice"_s, u"-"_s, u"T:x = y²"_s}));
}

TEST_F(ReaderTest, PrefixesResolveThroughTheDeclarationsInForce) {
    const auto document = openDeck({test::slideXml(
        // a is rebound to another vocabulary inside this shape: its paragraphs are not DrawingML.
        R"(<p:sp xmlns:a="urn:example:not-drawingml"><p:txBody><a:p><a:r><a:t>foreign</a:t></a:r></a:p></p:txBody></p:sp>)"
        // q is bound to DrawingML on the text body only.
        R"(<p:sp><p:txBody xmlns:q="http://schemas.openxmlformats.org/drawingml/2006/main"><q:p><q:r><q:t>local</q:t></q:r></q:p></p:txBody></p:sp>)"
        // A default namespace on the shape.
        R"(<sp xmlns="http://schemas.openxmlformats.org/presentationml/2006/main"><txBody><a:p><a:r><a:t>default</a:t></a:r></a:p></txBody></sp>)"
        // An unbound prefix names nothing the reader knows.
        R"(<z:sp/>)")});
    EXPECT_EQ(describe(*document, 1), QStringList({u"T:"_s, u"T:local"_s, u"T:default"_s}));
}

TEST_F(ReaderTest, SlidesAreReadOneAtATimeAndADamagedSlideFailsOnlyWhenRead) {
    const auto document = openDeck({test::slideXml(textBoxOf("fine")), "<p:sld><p:cSld><unclosed", test::slideXml("")});
    ASSERT_EQ(document->slideCount(), 3);
    EXPECT_EQ(describe(*document, 1), QStringList({u"T:fine"_s}));
    EXPECT_TRUE(failureOf([&] { document->shapes(2); })
                    .startsWith(path(u"deck.pptx"_s) +
                                u": slide 2 is damaged: ppt/slides/slide2.xml: not well-formed XML at byte"_s));
    EXPECT_EQ(describe(*document, 3), QStringList());
    EXPECT_EQ(describe(*document, 1), QStringList({u"T:fine"_s}));
}

// ---- Hostile and damaged files ------------------------------------------------------------------

TEST_F(ReaderTest, FilesThatAreNoPackageSayWhatTheyAre) {
    writeFile(u"notes.txt"_s, "just some text\n");
    EXPECT_EQ(failureOf([&] { office::openPresentationDocument(path(u"notes.txt"_s)); }),
              path(u"notes.txt"_s) + u": not a presentation file (not a zip archive)"_s);
    writeFile(u"empty.pptx"_s, {});
    EXPECT_EQ(failureOf([&] { office::openPresentationDocument(path(u"empty.pptx"_s)); }),
              path(u"empty.pptx"_s) + u": the file is empty"_s);
    EXPECT_EQ(failureOf([&] { office::openPresentationDocument(path(u"absent.pptx"_s)); }),
              path(u"absent.pptx"_s) + u": cannot open the file: No such file or directory"_s);
    // A regular file whose read fails: the first page of this process's memory is never mapped.
    EXPECT_EQ(failureOf([&] { office::openPresentationDocument(u"/proc/self/mem"_s); }),
              u"/proc/self/mem: cannot read the file: Input/output error"_s);

    QFile original(fixture(u"impress-shapes.pptx"_s));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray whole = original.readAll();
    // Cut inside its first entry, nothing of it survives.
    writeFile(u"cut.pptx"_s, whole.left(100));
    EXPECT_EQ(failureOf([&] { office::openPresentationDocument(path(u"cut.pptx"_s)); }),
              path(u"cut.pptx"_s) + u": damaged zip archive: its directory is missing (is the file truncated?)"_s);

    // An OLE compound file goes to the compound-file reader, XML text to the flat OpenDocument reader.
    writeFile(u"legacy.ppt"_s, QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(600, '\0'));
    const QString legacy = failureOf([&] { office::openPresentationDocument(path(u"legacy.ppt"_s)); });
    EXPECT_TRUE(legacy.startsWith(path(u"legacy.ppt"_s) + u": "_s)) << legacy.toStdString();
    EXPECT_FALSE(legacy.contains(u"zip"_s)) << legacy.toStdString();
    writeFile(u"flat.fodp"_s, "\xEF\xBB\xBF  \n<?xml version=\"1.0\"?><nothing/>");
    const QString flat = failureOf([&] { office::openPresentationDocument(path(u"flat.fodp"_s)); });
    EXPECT_TRUE(flat.startsWith(path(u"flat.fodp"_s) + u": "_s)) << flat.toStdString();
    EXPECT_FALSE(flat.contains(u"zip"_s)) << flat.toStdString();
}

TEST_F(ReaderTest, WithoutItsZipDirectoryADeckGivesTheSlidesWhosePartsSurvived) {
    std::vector<std::string> slides;
    for (int k = 1; k <= 10; ++k)
        slides.push_back(test::slideXml(textBoxOf("slide " + std::to_string(k))));
    const std::vector<test::PackagePart> parts = test::deckParts(slides);
    // The package with its parts in the order given, cut short in the middle of part.
    const auto cutIn = [&](const std::vector<test::PackagePart>& ordered, const std::string& part) {
        test::writeZip(path(u"whole.pptx"_s), ordered);
        QFile whole(path(u"whole.pptx"_s));
        EXPECT_TRUE(whole.open(QIODevice::ReadOnly));
        const QByteArray bytes = whole.readAll();
        for (const test::ZipEntrySpan& span : test::zipEntrySpans(bytes))
            if (span.name == part)
                writeFile(u"cut.pptx"_s, bytes.left((span.start + span.end) / 2));
        return office::openPresentationDocument(path(u"cut.pptx"_s));
    };
    const auto slideText = [](int k) { return QStringList{u"T:slide %1"_s.arg(k)}; };

    // The slide parts come last: those before the cut give their text, the others keep their places.
    const auto cut = cutIn(parts, "ppt/slides/slide4.xml");
    ASSERT_EQ(cut->slideCount(), 10);
    ASSERT_NE(cut->damage(), nullptr);
    EXPECT_EQ(cut->damage()->cause, u"cut short in ppt/slides/slide4.xml"_s);
    EXPECT_EQ(cut->damage()->lostSlides, (std::vector<int>{4, 5, 6, 7, 8, 9, 10}));
    EXPECT_FALSE(cut->damage()->slideListLost);
    for (int k = 1; k <= 3; ++k)
        EXPECT_EQ(describe(*cut, k), slideText(k));
    EXPECT_EQ(describe(*cut, 4), QStringList());
    EXPECT_EQ(cut->notes(4), QString());

    // The slide list written after the slides, which come last first: without it, the slides that
    // survived are read in the order of their part names, numbers by their value.
    std::vector<test::PackagePart> listLast{parts[0], parts[1]};
    listLast.insert(listLast.end(), parts.rbegin(), parts.rend() - 4);
    listLast.push_back(parts[2]);
    listLast.push_back(parts[3]);
    const auto withoutList = cutIn(listLast, "ppt/presentation.xml");
    ASSERT_NE(withoutList->damage(), nullptr);
    EXPECT_TRUE(withoutList->damage()->slideListLost);
    ASSERT_EQ(withoutList->slideCount(), 10);
    for (int k = 1; k <= 10; ++k)
        EXPECT_EQ(describe(*withoutList, k), slideText(k));
    EXPECT_EQ(failureOf([&] { cutIn(listLast, "ppt/slides/slide10.xml"); }),
              path(u"cut.pptx"_s) +
                  u": damaged zip archive (cut short in ppt/slides/slide10.xml): no slide survived"_s);
}

TEST_F(ReaderTest, FoldersAndNamedPipesAreRefusedWithoutBlocking) {
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(u"folder.pptx"_s));
    EXPECT_EQ(failureOf([&] { office::openPresentationDocument(path(u"folder.pptx"_s)); }),
              path(u"folder.pptx"_s) + u": is a folder, not a file"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(path(u"pipe.pptx"_s)).constData(), 0600), 0);
    EXPECT_EQ(failureOf([&] { office::openPresentationDocument(path(u"pipe.pptx"_s)); }),
              path(u"pipe.pptx"_s) + u": is not a regular file"_s);
}

TEST_F(ReaderTest, AGraphicPartIsReadOnceAndWhatFailedReadsInflatedCountsTowardsTheBound) {
    // Three frames show one zip bomb, the fourth a sound chart of varied text too large for what
    // the bomb's one failed read left of the package's bound.
    std::mt19937 random(7);
    std::string varied(600000, ' ');
    for (char& c : varied)
        c = static_cast<char>('a' + random() % 26);
    std::vector<test::PackagePart> parts =
        test::deckParts({test::slideXml(test::chartFrame("A", "rId1") + test::chartFrame("B", "rId1") +
                                        test::chartFrame("C", "rId1") + test::chartFrame("D", "rId2"))});
    parts.push_back({"ppt/slides/_rels/slide1.xml.rels",
                     test::relationshipsPart(test::relationship("rId1", test::ChartType, "../charts/chart1.xml") +
                                             test::relationship("rId2", test::ChartType, "../charts/chart2.xml"))});
    parts.push_back({"ppt/charts/chart1.xml", test::chartPart("Bomb") + std::string(4u << 20, ' ')});
    parts.push_back({"ppt/charts/chart2.xml", test::chartPart("Sound") + "<!--" + varied + "-->"});
    test::writeZip(path(u"graphics.pptx"_s), parts);
    office::ZipLimits limits;
    limits.maxTotalSize = 3u << 19; // 1.5 MiB: the bomb inflates past 1 MiB before it is stopped
    const auto document =
        office::openOoxmlPackage(std::make_unique<office::ZipPackage>(path(u"graphics.pptx"_s), limits));
    for (const office::ShapeInfo& shape : document->shapes(1))
        EXPECT_TRUE(document->graphicTexts(1, shape).empty());
    ASSERT_NE(document->damage(), nullptr);
    const std::vector<office::LostItem>& lost = document->damage()->lostItems;
    ASSERT_EQ(lost.size(), 4u);
    for (int frame = 0; frame < 3; ++frame) {
        EXPECT_EQ(lost[frame].reason, u"ppt/charts/chart1.xml: the part inflates more than 100 times (a zip bomb?)"_s);
        EXPECT_FALSE(lost[frame].bound);
    }
    EXPECT_EQ(lost[3].reason, u"ppt/charts/chart2.xml: the parts read inflate to more than 1 MiB together"_s);
    EXPECT_TRUE(lost[3].bound);
    EXPECT_FALSE(document->damage()->bound); // the first loss is damage, and the message says so
}

TEST_F(ReaderTest, ZipBombsAndDeepNestingStopWithAReason) {
    // 40 MiB of spaces deflate to a few tens of KiB: far beyond any real ratio.
    const std::string bomb = test::slideXml(textBoxOf(std::string(40u << 20, ' ')));
    const auto document = openDeck({bomb});
    EXPECT_EQ(failureOf([&] { document->shapes(1); }),
              path(u"deck.pptx"_s) + u": ppt/slides/slide1.xml: the part inflates more than 100 times (a zip bomb?)"_s);

    // Alternate content nested past the cap: the reader stops instead of descending further.
    std::string deep;
    for (int i = 0; i < 200; ++i)
        deep += "<mc:AlternateContent><mc:Fallback>";
    for (int i = 0; i < 200; ++i)
        deep += "</mc:Fallback></mc:AlternateContent>";
    const auto nested = openDeck({test::slideXml(deep)});
    EXPECT_EQ(failureOf([&] { nested->shapes(1); }),
              path(u"deck.pptx"_s) +
                  u": slide 1 is damaged: ppt/slides/slide1.xml: elements nested deeper than 256 levels"_s);
    // Deep nesting where the reader does not descend is harmless: pugixml builds the tree without recursion.
    std::string elsewhere;
    for (int i = 0; i < 20000; ++i)
        elsewhere += "<a:x>";
    for (int i = 0; i < 20000; ++i)
        elsewhere += "</a:x>";
    EXPECT_EQ(describe(*openDeck({test::slideXml(textBox("<a:p>" + elsewhere + "<a:r><a:t>t</a:t></a:r></a:p>"))}), 1),
              QStringList({u"T:t"_s}));
}

TEST_F(ReaderTest, ASlidePartListedManyTimesIsReadOnceAndTheSlidesHaveBounds) {
    // The first part holds a million characters (just within what a part may inflate to without a
    // ratio check), the second 110,000 pictures; p:sldIdLst lists the first 60 times, the second 100.
    std::string pictures;
    for (int i = 0; i < 110000; ++i)
        pictures += "<p:pic/>";
    std::vector<test::PackagePart> parts =
        test::deckParts({test::slideXml(textBoxOf(std::string(1'000'000, 'x'))), test::slideXml(pictures)});
    std::string& presentation = parts[2].content;
    std::string list = "<p:sldIdLst>";
    for (int i = 0; i < 60; ++i)
        list += R"(<p:sldId id="256" r:id="rId1"/>)";
    for (int i = 0; i < 100; ++i)
        list += R"(<p:sldId id="257" r:id="rId2"/>)";
    const size_t start = presentation.find("<p:sldIdLst>");
    presentation.replace(start, presentation.find("</p:sldIdLst>") - start, list);
    test::writeZip(path(u"deck.pptx"_s), parts);
    const auto document = office::openPresentationDocument(path(u"deck.pptx"_s));
    ASSERT_EQ(document->slideCount(), 160);

    // Every listing shows the shapes the part gave when it was read.
    const std::vector<office::ShapeInfo>* text = &document->shapes(1);
    ASSERT_EQ(text->size(), 1u);
    EXPECT_EQ(text->front().text.size(), 1'000'000);
    EXPECT_EQ(&document->shapes(2), text);
    // A slide read again counts once; 49 listings are 49,000,098 characters, and 50 too many.
    for (int slide = 1; slide <= 49; ++slide)
        document->shapes(1 + slide % 3);
    for (int slide = 4; slide <= 49; ++slide)
        document->shapes(slide);
    EXPECT_EQ(failureOf([&] { document->shapes(50); }),
              path(u"deck.pptx"_s) +
                  u": too much text: the presentation holds more than 50,000,000 characters, the most that is "
                  "read from one presentation"_s);
    for (int slide = 61; slide <= 150; ++slide)
        document->shapes(slide);
    EXPECT_EQ(failureOf([&] { document->shapes(151); }),
              path(u"deck.pptx"_s) +
                  u": too many shapes: the presentation holds more than 10,000,000 shapes, the most that are "
                  "read from one presentation"_s);
}

TEST_F(ReaderTest, AReferenceToCharacterZeroIsDroppedNotTheRestOfTheText) {
    // As written, in a comment, and wrapping to zero as 32-bit numbers do; CDATA holds no references.
    const auto document = openDeck(
        {test::slideXml(textBoxOf("a&#0;b&#x0000;c&#4294967296;d<!-- &#0; -->e") + textBoxOf("<![CDATA[&#0;]]>f"))});
    EXPECT_EQ(describe(*document, 1), QStringList({u"T:abcde"_s, u"T:&#0;f"_s}));
}

TEST_F(ReaderTest, DeclaredEntitiesAreNeverExpanded) {
    const std::string laughs =
        R"(<?xml version="1.0"?><!DOCTYPE p:sld [<!ENTITY lol "lol"><!ENTITY lol2 "&lol;&lol;&lol;&lol;&lol;">)"
        R"(<!ENTITY lol3 "&lol2;&lol2;&lol2;&lol2;&lol2;">]>)" +
        test::slideXml(textBoxOf("&lol3;"))
            .substr(std::string_view(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)").size() + 1);
    const auto document = openDeck({laughs});
    EXPECT_EQ(describe(*document, 1), QStringList({u"T:&lol3;"_s}));
}

} // namespace
