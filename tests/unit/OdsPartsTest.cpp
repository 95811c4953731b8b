#include "office/spreadsheet/OdsParts.h"
#include "office/spreadsheet/CellText.h"
#include "office/spreadsheet/SpreadsheetEngine.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace quorvane::office;

namespace {

TEST(OdsPartsTest, ParagraphsKeepEveryLineSpaceAndCharacterAsReadersFoldThem) {
    const struct {
        std::string_view text, paragraphs;
    } cases[] = {
        {"plain", "<text:p>plain</text:p>"},
        {"two\vlines\nand LF", "<text:p>two</text:p><text:p>lines</text:p><text:p>and LF</text:p>"},
        // A space stays one only between two characters: readers fold and drop the others.
        {" lead  two   three trail ",
         "<text:p><text:s/>lead <text:s/>two <text:s text:c=\"2\"/>three trail<text:s/></text:p>"},
        {"tab\t here", "<text:p>tab\t<text:s/>here</text:p>"},
        {"a<b>&c\"", "<text:p>a&lt;b&gt;&amp;c\"</text:p>"},
        {"", "<text:p></text:p>"},
        // What XML cannot carry becomes U+FFFD; every other character stays as it is.
        {std::string_view("n\0l\x1F\xEF\xBF\xBF\xFF", 8), "<text:p>n\uFFFDl\uFFFD\uFFFD\uFFFD</text:p>"},
        {"ärger 😀 _x0041_", "<text:p>ärger 😀 _x0041_</text:p>"},
    };
    for (const auto& c : cases) {
        std::string out;
        ods::appendParagraphs(out, c.text);
        EXPECT_EQ(out, c.paragraphs) << c.text;
    }
}

TEST(OdsPartsTest, ATableRepeatsItsEmptyRowsAndCellsAndWidensItsLongColumns) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"sheet.txt"_s);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\n\n||42|-3.5|007\n\n\n|a much longer text than the default|||two\vlines\n");
    file.close();
    SpreadsheetEngine engine;
    auto instance = engine.create();
    instance->workbooksOpen(path, {}, {}, 6, {}, {}, {}, {}, u"|"_s);
    const Worksheet& sheet = dynamic_cast<SpreadsheetInstance*>(instance.get())->activeWorkbook()->activeSheet();
    const std::vector<int> widths = columnWidths(sheet);
    EXPECT_EQ(widths, (std::vector<int>{0, 35, 0, 0, 0}));

    std::string piece, sent;
    std::size_t pieces = 0;
    const std::int64_t rows = ods::appendTable(piece, sheet, "Q3 & \"more\"", widths, 64, [&](std::string&& full) {
        sent += full;
        ++pieces;
    });
    EXPECT_EQ(rows, 4);
    EXPECT_EQ(pieces, 2u); // each filled row fills a piece; the rest is the caller's to send
    EXPECT_EQ(sent + piece,
              "<table:table table:name=\"Q3 &amp; &quot;more&quot;\"><table:table-column/>"
              "<table:table-column table:style-name=\"co35\"/>"
              "<table:table-column table:number-columns-repeated=\"3\"/>"
              "<table:table-row table:number-rows-repeated=\"2\"><table:table-cell/></table:table-row>"
              "<table:table-row><table:table-cell table:number-columns-repeated=\"2\"/>"
              "<table:table-cell office:value-type=\"float\" office:value=\"42\"><text:p>42</text:p></table:table-cell>"
              "<table:table-cell office:value-type=\"float\" office:value=\"-3.5\"><text:p>-3.5</text:p>"
              "</table:table-cell><table:table-cell office:value-type=\"string\"><text:p>007</text:p>"
              "</table:table-cell></table:table-row>"
              "<table:table-row table:number-rows-repeated=\"2\"><table:table-cell/></table:table-row>"
              "<table:table-row><table:table-cell/><table:table-cell office:value-type=\"string\"><text:p>a much "
              "longer text than the default</text:p></table:table-cell><table:table-cell "
              "table:number-columns-repeated=\"2\"/><table:table-cell office:value-type=\"string\" "
              "table:style-name=\"ce1\"><text:p>two</text:p><text:p>lines</text:p></table:table-cell>"
              "</table:table-row></table:table>");
    EXPECT_NE(ods::contentHead({35}).find("<style:style style:name=\"co35\" style:family=\"table-column\">"
                                          "<style:table-column-properties style:column-width=\"7.200cm\"/>"),
              std::string::npos);
    // An empty sheet is one empty row of one column, as a table holds at least one of each.
    instance->sheetsAdd();
    std::string empty;
    EXPECT_EQ(ods::appendTable(empty,
                               dynamic_cast<SpreadsheetInstance*>(instance.get())->activeWorkbook()->activeSheet(),
                               "Sheet2", {}, 64, [](std::string&&) {}),
              1);
    EXPECT_EQ(empty, "<table:table table:name=\"Sheet2\"><table:table-column/><table:table-row><table:table-cell/>"
                     "</table:table-row></table:table>");
    instance->quit();
}

} // namespace
