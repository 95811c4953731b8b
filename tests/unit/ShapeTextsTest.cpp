// What the command line reads besides the slides' text shapes (names, kinds, notes, tables, groups),
// through the real presentation server, from files that LibreOffice Impress and pptxgenjs made.
#include "import/ShapeTexts.h"
#include "import/PresentationText.h"
#include "office/AutomationError.h"
#include "office/presentation/LocalPresentationServer.h"

#include <QStringList>

#include <gtest/gtest.h>

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
    return u"%1/%2 %3 %4: %5"_s.arg(shape.slide).arg(shape.shape).arg(shape.kind, shape.name, text);
}

QStringList read(const QString& path, const import::TextChoice& choice) {
    office::LocalPresentationServer server;
    QStringList shapes;
    quorvane::import::ForEachShapeText(server, path, choice,
                                       [&](const import::ShapeText& shape) { shapes << describe(shape); });
    EXPECT_EQ(server.running(), nullptr); // quit after a clean read
    return shapes;
}

constexpr import::TextChoice Everything{true, true, true};

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

} // namespace
