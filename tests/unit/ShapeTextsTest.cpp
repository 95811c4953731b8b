// What the command line reads besides the slides' text shapes (names, kinds, notes, tables, groups),
// through the real presentation server, from files that LibreOffice Impress and pptxgenjs made.
#include "import/ShapeTexts.h"
#include "import/PresentationText.h"
#include "office/AutomationError.h"
#include "office/presentation/LocalPresentationServer.h"

#include "support/PackageBuilder.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>

using namespace Qt::StringLiterals;
using namespace quorvane;

namespace {

const QString Extras = QStringLiteral(QUORVANE_TEST_DATA "/extras");

// One given shape as a line: "slide/shape kind name: text", a table as its rows "[a|b|c]".
QString describe(const import::ShapeText& shape) {
    QString text = shape.text;
    for (int row = 0; row < shape.rows(); ++row) {
        QStringList cells;
        for (int column = 0; column < shape.columns; ++column)
            cells << shape.cells[static_cast<size_t>(row * shape.columns + column)];
        text += u"[%1]"_s.arg(cells.join(u'|'));
    }
    // A comment shows its author ("↳" before a reply's), a hidden slide's shape a "h" after its number.
    const QString name = shape.kind == u"comment" ? (shape.reply ? u"↳"_s : QString()) + shape.author : shape.name;
    return u"%1%2/%3 %4 %5: %6"_s.arg(shape.slide)
        .arg(shape.hidden ? u"h"_s : QString())
        .arg(shape.shape)
        .arg(shape.kind, name, text);
}

// The shapes of the file; what the file lost goes to *lost, which must be given for a file that loses any.
QStringList read(const QString& path, const import::TextChoice& choice, QString* lost = nullptr) {
    office::LocalPresentationServer server;
    QStringList shapes;
    try {
        quorvane::import::ForEachShapeText(server, path, choice,
                                           [&](const import::ShapeText& shape) { shapes << describe(shape); });
    } catch (const office::PartialReadError& error) {
        if (lost == nullptr)
            ADD_FAILURE() << error.description().toStdString();
        else
            *lost = error.description();
    }
    EXPECT_EQ(server.running(), nullptr); // quit after a clean read
    return shapes;
}

constexpr import::TextChoice Everything{.notes = true, .tables = true, .groups = true};
// What slides show beyond their text frames, hidden slides marked.
import::TextChoice shown(bool skipHidden = false) {
    import::TextChoice choice;
    choice.groups = choice.smartart = choice.charts = choice.comments = choice.alt = true;
    choice.markHidden = true;
    choice.skipHidden = skipHidden;
    return choice;
}

// extras.fodp as Impress saves it: the same texts in the same order, under the names it stores.
struct Saved {
    const char* file;
    const char* title; // the names of the two placeholders
    const char* body;
    bool named; // whether it stores the names of other shapes (not in .ppt)
};

class ExtrasTest : public ::testing::TestWithParam<Saved> {};

TEST_P(ExtrasTest, NotesTablesAndGroupsInTheirPlaces) {
    const Saved saved = GetParam();
    const QString path = Extras + u'/' + QString::fromLatin1(saved.file);
    const auto name = [&](const QString& stored) { return saved.named ? stored : QString(); };
    const QStringList expected{
        u"1/1 title %1: Field notes"_s.arg(QString::fromLatin1(saved.title)),
        u"1/2 body %1: Soil samples\rWater samples"_s.arg(QString::fromLatin1(saved.body)),
        u"1/3 notes : Say where the samples came from.\rMention the river\vand the lake.\rAsk for questions."_s,
        u"2/1 text %1: Team"_s.arg(name(u"Caption"_s)),
        u"2/2 group %1: Lead"_s.arg(name(u"Lead"_s)),
        u"2/3 group %1: Member A"_s.arg(name(u"Member A"_s)),
        u"2/4 group %1: Member B"_s.arg(name(u"Member B"_s)),
        u"3/1 table %1: [Item|Price|Note][Tent|120|][Total for the trip||two nights]"_s.arg(name(u"Prices"_s)),
        u"4/1 text %1: Thank you"_s.arg(name(u"Thanks"_s)),
    };
    EXPECT_EQ(read(path, Everything), expected);

    // Without a choice: the slides' own text shapes only, exactly the text PresentationText gives.
    QString joined;
    for (const QString& line : read(path, {}))
        joined += line.section(u": "_s, 1) + u"\r\n"_s;
    office::LocalPresentationServer server;
    EXPECT_EQ(joined, import::PresentationText(server, path));
    EXPECT_EQ(read(path, {}).size(), 4);
}

INSTANTIATE_TEST_SUITE_P(Producers, ExtrasTest,
                         ::testing::Values(Saved{"extras.odp", "Title 1", "Content 2", true},
                                           Saved{"extras.ppt", "", "", false},
                                           Saved{"extras-impress.pptx", "PlaceHolder 1", "PlaceHolder 2", true}));

TEST(ShapeTextsTest, PptxgenjsNotesAndMergedCells) {
    const QStringList got = read(Extras + u"/extras-pptxgenjs.pptx"_s, Everything);
    const QStringList expected{
        u"1/1 text Heading: Survey plan"_s,
        u"1/2 notes : Start with the map.\nThen the route.\nEnd with the budget."_s,
        // "Ann" spans two rows, "Tuesday and Wednesday" two columns: the positions they cover are empty.
        u"2/1 table Schedule: [Day|Place|Lead][Monday||Ann][Tuesday and Wednesday||]"_s,
        u"3/1 text Text 0: Costs"_s,
        u"3/2 table Table 0: [Item|Cost][Boat\rwith driver|300]"_s,
        u"3/3 notes : Prices from last year."_s,
    };
    EXPECT_EQ(got, expected);
    // Tables only: the notes are not read, and the table's place counts among the shapes.
    EXPECT_EQ(read(Extras + u"/extras-pptxgenjs.pptx"_s, {false, true, false}).at(3),
              u"3/2 table Table 0: [Item|Cost][Boat\rwith driver|300]"_s);
}

TEST(ShapeTextsTest, ServerRefusesItemsAndCellsThatAreNotThere) {
    office::LocalPresentationServer server;
    const auto application = server.create();
    application->open(Extras + u"/extras.odp"_s);
    EXPECT_EQ(application->groupItemsCount(2, 2), 3); // nested groups entered
    EXPECT_EQ(application->shapeKind({2, 2, 0}), office::ShapeKind::Group);
    EXPECT_EQ(application->itemText({2, 2, 3}), u"Member B"_s);
    EXPECT_EQ(application->tableRowsCount({3, 1, 0}), 3);
    EXPECT_EQ(application->tableCellText({3, 1, 0}, 3, 3), u"two nights"_s);
    EXPECT_EQ(application->notesText(4), QString());
    const auto fails = [](auto&& call) {
        try {
            call();
        } catch (const office::AutomationError& error) {
            return error.description().contains(u"extras.odp"_s);
        }
        return false;
    };
    EXPECT_TRUE(fails([&] { application->itemText({2, 2, 4}); }));
    EXPECT_TRUE(fails([&] { application->tableCellText({3, 1, 0}, 4, 1); }));
    EXPECT_TRUE(fails([&] { application->itemText({2, 1, 1}); })); // no group: no items
    EXPECT_TRUE(fails([&] { application->notesText(5); }));
    EXPECT_EQ(application->slidesCount(), 4); // refusals leave the presentation readable
}

TEST(ShapeTextsTest, ChartsPicturesAndHiddenSlidesFromPptxgenjs) {
    const QString path = Extras + u"/graphics-pptxgenjs.pptx"_s;
    const QStringList expected{
        u"1/1 text Heading: Sales"_s,
        // The title, the series in plot-area order, then the axis titles, all of one shape; the line
        // chart has no title.
        u"1/2 chart Sales chart: Sales by region"_s,
        u"1/2 chart Sales chart: North"_s,
        u"1/2 chart Sales chart: South"_s,
        u"1/2 chart Sales chart: Quarter"_s,
        u"1/2 chart Sales chart: Units"_s,
        u"1/3 chart Trend chart: Trend"_s,
        u"2h/1 text Text 0: Backup figures"_s,
        u"2h/2 alt Red square: A red square"_s,
        // A line end in an attribute reads as a space, as XML has it.
        u"3/1 alt Map: Map of the site north at the top"_s,
        u"3/2 text Text 0: The end"_s,
    };
    EXPECT_EQ(read(path, shown()), expected);
    // Skipped, the hidden slide gives nothing and the next keeps its number.
    QStringList skipped = expected;
    skipped.remove(7, 2);
    EXPECT_EQ(read(path, shown(true)), skipped);
    // One kind alone; the text frames keep their numbers among the shapes that give text.
    import::TextChoice alt;
    alt.alt = true;
    EXPECT_EQ(read(path, alt),
              (QStringList{u"1/1 text Heading: Sales"_s, u"2/1 text Text 0: Backup figures"_s,
                           u"2/2 alt Red square: A red square"_s, u"3/1 alt Map: Map of the site north at the top"_s,
                           u"3/2 text Text 0: The end"_s}));
}

TEST(ShapeTextsTest, SmartArtNodesInTheOrderTheyHang) {
    EXPECT_EQ(read(Extras + u"/smartart-simple.pptx"_s, shown()).mid(0, 3),
              (QStringList{u"1/1 smartart Diagram 3: abc"_s, u"1/1 smartart Diagram 3: def"_s,
                           u"1/1 smartart Diagram 3: ghi"_s}));
}

// review.fodp as Impress saves it: comments with their authors, pictures with and without a
// description, a hidden slide.
struct Reviewed {
    const char* file;
    const char* title;   // the title as it reads (Impress keeps it as a text shape, not a placeholder)
    bool named;          // whether it stores the names of other shapes
    const char* unnamed; // the alternative text of a picture with a title only
};

class ReviewTest : public ::testing::TestWithParam<Reviewed> {};

TEST_P(ReviewTest, CommentsPicturesAndHiddenPages) {
    const Reviewed saved = GetParam();
    const QString path = Extras + u'/' + QString::fromLatin1(saved.file);
    const auto name = [&](const char* stored) { return saved.named ? QString::fromUtf8(stored) : QString(); };
    const QStringList expected{
        QString::fromLatin1(saved.title),
        u"1/2 alt %1: The river bank at the north end of the site"_s.arg(name("Photo")),
        u"1/3 alt %1: "_s.arg(name("Logo")),
        u"1/4 comment Ann Lee: Is the photo recent?"_s,
        u"1/5 comment Bo Chen: Taken in May.\rReplace the logo."_s,
        u"2h/1 text %1: Backup numbers"_s.arg(name("Note")),
        u"2h/2 comment Ann Lee: Keep this hidden."_s,
        u"3/1 alt %1: %2"_s.arg(name("Site map"), QString::fromUtf8(saved.unnamed)),
    };
    EXPECT_EQ(read(path, shown()), expected);
    EXPECT_EQ(read(path, shown(true)).size(), expected.size() - 2);
    // Without the choices, nothing is marked and nothing else read.
    EXPECT_EQ(read(path, {}),
              (QStringList{QString::fromLatin1(saved.title), u"2/1 text %1: Backup numbers"_s.arg(name("Note"))}));
}

INSTANTIATE_TEST_SUITE_P(Producers, ReviewTest,
                         ::testing::Values(Reviewed{"review-impress.pptx", "1/1 text Title 1: Site survey", true, ""},
                                           Reviewed{"review.odp", "1/1 text Title 1: Site survey", true, "Site map"},
                                           Reviewed{"review.fodp", "1/1 title Title 1: Site survey", true,
                                                    "Site map"}));

// A deck written by hand: what real producers rarely write (threaded comments, a diagram whose
// connections loop, parts that are missing or damaged).
TEST(ShapeTextsTest, DiagramsAndCommentsWalkedSafelyAndDamagedPartsGiveNothingButAreReported) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"hand.pptx"_s);
    const std::string slide = test::slideXml(test::diagramFrame("Loop", "rId1") + test::chartFrame("Gone", "rId2") +
                                             test::chartFrame("Broken", "rId3") + test::textBoxOf("still here") +
                                             test::chartFrame("Auto", "rId4") + test::diagramFrame("Nowhere", "rId9"));
    std::vector<test::PackagePart> parts = test::deckParts({slide});
    const std::string officeRels = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    const std::string threaded = "http://schemas.microsoft.com/office/2018/10/relationships/";
    parts.push_back({"ppt/slides/_rels/slide1.xml.rels",
                     R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)" +
                         test::relationship("rId1", officeRels + "diagramData", "../diagrams/data1.xml") +
                         test::relationship("rId2", officeRels + "chart", "../charts/chart9.xml") +
                         test::relationship("rId3", officeRels + "chart", "../charts/chart3.xml") +
                         test::relationship("rId4", officeRels + "chart", "/ppt/charts/chart4.xml") +
                         test::relationship("rId5", threaded + "comments", "../comments/modern1.xml") +
                         test::relationship("rId6", officeRels + "comments", "../comments/broken.xml") +
                         "</Relationships>"});
    for (test::PackagePart& part : parts)
        if (part.name == "ppt/_rels/presentation.xml.rels")
            part.content.insert(part.content.rfind("</Relationships>"),
                                test::relationship("rIdA", threaded + "authors", "authors.xml"));
    // Nodes hang by srcOrd, not by list order; "pres" points and sibling connections are no part of
    // the order; the last connection leads back up and is walked once.
    const std::string dgm = R"(xmlns:dgm="http://schemas.openxmlformats.org/drawingml/2006/diagram" )"
                            R"(xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main")";
    const auto point = [](const std::string& id, const std::string& type, const std::string& text) {
        return R"(<dgm:pt modelId=")" + id + R"(")" + (type.empty() ? "" : R"( type=")" + type + R"(")") +
               "><dgm:t><a:bodyPr/><a:p><a:r><a:t>" + text + "</a:t></a:r></a:p></dgm:t></dgm:pt>";
    };
    const auto link = [](const std::string& from, const std::string& to, int order, const std::string& type = {}) {
        return R"(<dgm:cxn modelId="c)" + from + to + R"(" srcId=")" + from + R"(" destId=")" + to + R"(" srcOrd=")" +
               std::to_string(order) + R"(")" + (type.empty() ? "" : R"( type=")" + type + R"(")") + "/>";
    };
    parts.push_back({"ppt/diagrams/data1.xml",
                     "<dgm:dataModel " + dgm + "><dgm:ptLst>" + point("0", "doc", "document") +
                         point("b", "", "second") + point("a", "node", "first") + point("a1", "asst", "helper") +
                         point("p", "pres", "shape text") + point("e", "", "") + "</dgm:ptLst><dgm:cxnLst>" +
                         link("0", "b", 1) + link("0", "a", 0) + link("a", "a1", 0) + link("0", "e", 2) +
                         link("0", "p", 3, "presOf") + link("a", "b", 1, "sibTrans") + link("a1", "0", 0) +
                         "</dgm:cxnLst></dgm:dataModel>"});
    parts.push_back({"ppt/charts/chart3.xml", "<c:chartSpace><unclosed>"});
    parts.push_back({"ppt/charts/chart4.xml",
                     R"(<c:chartSpace xmlns:c="http://schemas.openxmlformats.org/drawingml/2006/chart"><c:chart>)"
                     R"(<c:title><c:overlay val="0"/></c:title><c:plotArea><c:barChart><c:ser><c:tx><c:v>Only)"
                     R"(</c:v></c:tx></c:ser></c:barChart></c:plotArea></c:chart></c:chartSpace>)"});
    const std::string p188 = R"(xmlns:p188="http://schemas.microsoft.com/office/powerpoint/2018/8/main" )"
                             R"(xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main")";
    parts.push_back({"ppt/comments/modern1.xml",
                     "<p188:cmLst " + p188 +
                         R"(><p188:cm id="{1}" authorId="{A}"><p188:txBody><a:p><a:r><a:t>Why?</a:t></a:r></a:p>)"
                         R"(</p188:txBody><p188:replyLst><p188:reply id="{2}" authorId="{B}"><p188:txBody><a:p>)"
                         R"(<a:r><a:t>Because.</a:t></a:r></a:p></p188:txBody></p188:reply></p188:replyLst>)"
                         R"(</p188:cm><p188:cm id="{3}" authorId="{C}"><p188:txBody><a:p><a:r><a:t>Next</a:t>)"
                         R"(</a:r></a:p></p188:txBody></p188:cm></p188:cmLst>)"});
    parts.push_back({"ppt/comments/broken.xml", "<p:cmLst"});
    parts.push_back({"ppt/authors.xml", "<p188:authorLst " + p188 +
                                            R"(><p188:author id="{A}" name="Ann"/><p188:author id="{B}" )"
                                            R"(name="Bo"/></p188:authorLst>)"});
    test::writeZip(path, parts);

    QString lost;
    EXPECT_EQ(read(path, shown(), &lost), (QStringList{
                                              u"1/1 smartart Loop: first"_s,
                                              u"1/1 smartart Loop: helper"_s,
                                              u"1/1 smartart Loop: second"_s,
                                              u"1/4 text Text: still here"_s,
                                              u"1/5 chart Auto: Only"_s,
                                              u"1/7 comment Ann: Why?"_s,
                                              u"1/8 comment ↳Bo: Because."_s,
                                              u"1/9 comment : Next"_s,
                                          }));
    EXPECT_EQ(lost, path + u": damaged (ppt/charts/chart9.xml: the part is missing): 1 of 1 slide read; 2 charts "
                           u"of slide 1 are lost; the SmartArt graphic of slide 1 is lost; the comments of slide 1 "
                           u"are lost"_s)
        << lost.toStdString();
}

TEST(ShapeTextsTest, ChartTitlesOfEmbeddedObjects) {
    // Impress's own reading of the pptxgenjs deck: the chart keeps its titles, not its series' names.
    const QStringList got = read(Extras + u"/graphics-impress.odp"_s, shown());
    EXPECT_EQ(got.mid(0, 4), (QStringList{u"1/1 text Heading: Sales"_s, u"1/2 chart Sales chart: Sales by region"_s,
                                          u"1/2 chart Sales chart: Quarter"_s, u"1/2 chart Sales chart: Units"_s}));
    EXPECT_EQ(got.at(5), u"2h/2 alt Red square: A red square"_s);

    // A flat file holds its charts inside the frames; a package's object part may be missing or damaged.
    const std::string namespaces =
        R"(xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" )"
        R"(xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" )"
        R"(xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" )"
        R"(xmlns:chart="urn:oasis:names:tc:opendocument:xmlns:chart:1.0" xmlns:xlink="http://www.w3.org/1999/xlink")";
    const auto page = [&](const std::string& frames) {
        return "<office:document " + namespaces + "><office:body><office:presentation><draw:page>" + frames +
               "</draw:page></office:presentation></office:body></office:document>";
    };
    const std::string chart =
        R"(<office:body><office:chart><chart:chart><chart:title><text:p>Yield</text:p>)"
        R"(</chart:title><chart:plot-area><chart:axis><chart:title><text:p>Year</text:p>)"
        R"(</chart:title></chart:axis></chart:plot-area></chart:chart></office:chart></office:body>)";
    QTemporaryDir dir;
    const QString flat = dir.filePath(u"inline.fodp"_s);
    QFile file(flat);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(
        page(R"(<draw:frame draw:name="Inline"><draw:object><text:p/><office:document>)" + chart +
             R"(</office:document></draw:object></draw:frame><draw:frame draw:name="Outside">)"
             R"(<draw:object xlink:href="./Object 1"/></draw:frame>)")));
    file.close();
    EXPECT_EQ(read(flat, shown()), (QStringList{u"1/1 chart Inline: Yield"_s, u"1/1 chart Inline: Year"_s}));

    const QString zipped = dir.filePath(u"objects.odp"_s);
    test::writeZip(zipped,
                   {{"mimetype", "application/vnd.oasis.opendocument.presentation", true},
                    {"content.xml", page(R"(<draw:frame draw:name="Broken"><draw:object xlink:href="./Object 1"/>)"
                                         R"(</draw:frame><draw:frame draw:name="Gone"><draw:object )"
                                         R"(xlink:href="./Object 9"/></draw:frame><draw:frame draw:name="Good">)"
                                         R"(<draw:object xlink:href="./Object 2"/></draw:frame>)")},
                    {"Object 1/content.xml", "<office:document-content"},
                    {"Object 2/content.xml",
                     "<office:document-content " + namespaces + ">" + chart + "</office:document-content>"}});
    QString lost;
    EXPECT_EQ(read(zipped, shown(), &lost), (QStringList{u"1/3 chart Good: Yield"_s, u"1/3 chart Good: Year"_s}));
    EXPECT_EQ(lost, zipped + u": damaged (damaged part Object 1/content.xml: not well-formed XML at byte 23: "_s
                             u"Error parsing start element tag): 1 of 1 slide read; 2 charts of slide 1 are lost"_s)
        << lost.toStdString();
}

// One way a part of what a slide shows besides its shapes is lost, and what the report says of it.
struct LostPart {
    const char* name;
    void (*damage)(std::vector<test::PackagePart>& parts);
    const char* gone;    // the line that no longer comes ("" for none)
    const char* changed; // the line that comes instead ("" for none)
    const char* reason;  // how the report's cause starts
    const char* clause;  // what the report says was lost
};

test::PackagePart& partNamed(std::vector<test::PackagePart>& parts, const std::string& name) {
    return *std::find_if(parts.begin(), parts.end(), [&](const test::PackagePart& part) { return part.name == name; });
}
void removePart(std::vector<test::PackagePart>& parts, const std::string& name) {
    parts.erase(
        std::find_if(parts.begin(), parts.end(), [&](const test::PackagePart& part) { return part.name == name; }));
}

class LostPartTest : public ::testing::TestWithParam<LostPart> {};

TEST_P(LostPartTest, IsReportedLikeDamageWhileTheRestStillArrives) {
    const LostPart lost = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(u"reviewed.pptx"_s);
    std::vector<test::PackagePart> parts = test::reviewedDeckParts();
    lost.damage(parts);
    test::writeZip(path, parts);
    if (std::string_view(lost.name) == "ChartBytesDamaged") {
        // The stored chart's bytes changed after it was written: its CRC no longer matches.
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        bytes.replace("Revenue", "Revenux");
        file.seek(0);
        file.write(bytes);
    }
    QStringList expected{u"1/1 chart Chart: Revenue"_s, u"1/2 smartart Diagram: Plan"_s, u"1/3 text Text: Kept"_s,
                         u"1/4 comment Ann: Check this"_s};
    const qsizetype at = expected.indexOf(QString::fromUtf8(lost.gone));
    if (*lost.changed != '\0')
        expected[at] = QString::fromUtf8(lost.changed);
    else if (at >= 0)
        expected.removeAt(at);
    QString report;
    EXPECT_EQ(read(path, shown(), &report), expected);
    EXPECT_TRUE(report.startsWith(path + u": damaged ("_s + QString::fromUtf8(lost.reason))) << report.toStdString();
    EXPECT_TRUE(report.endsWith(u"): 1 of 1 slide read; "_s + QString::fromUtf8(lost.clause))) << report.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Parts, LostPartTest,
    ::testing::Values(
        LostPart{"ChartBytesDamaged", [](auto& parts) { partNamed(parts, "ppt/charts/chart1.xml").stored = true; },
                 "1/1 chart Chart: Revenue", "",
                 "ppt/charts/chart1.xml: the part is damaged: ", "the chart of slide 1 is lost"},
        LostPart{"ChartMissing", [](auto& parts) { removePart(parts, "ppt/charts/chart1.xml"); },
                 "1/1 chart Chart: Revenue", "", "ppt/charts/chart1.xml: the part is missing",
                 "the chart of slide 1 is lost"},
        LostPart{"DiagramNotWellFormed",
                 [](auto& parts) { partNamed(parts, "ppt/diagrams/data1.xml").content.resize(40); },
                 "1/2 smartart Diagram: Plan", "", "damaged part ppt/diagrams/data1.xml: not well-formed XML",
                 "the SmartArt graphic of slide 1 is lost"},
        LostPart{"CommentsNotWellFormed",
                 [](auto& parts) { partNamed(parts, "ppt/comments/comment1.xml").content.resize(40); },
                 "1/4 comment Ann: Check this", "", "damaged part ppt/comments/comment1.xml: not well-formed XML",
                 "the comments of slide 1 are lost"},
        LostPart{"CommentsMissing", [](auto& parts) { removePart(parts, "ppt/comments/comment1.xml"); },
                 "1/4 comment Ann: Check this", "", "ppt/comments/comment1.xml: the part is missing",
                 "the comments of slide 1 are lost"},
        LostPart{
            "AuthorsNotWellFormed", [](auto& parts) { partNamed(parts, "ppt/commentAuthors.xml").content.resize(40); },
            "1/4 comment Ann: Check this", "1/4 comment : Check this",
            "damaged part ppt/commentAuthors.xml: not well-formed XML", "the names of the comment authors are lost"}),
    [](const ::testing::TestParamInfo<LostPart>& param) { return std::string(param.param.name); });

} // namespace
