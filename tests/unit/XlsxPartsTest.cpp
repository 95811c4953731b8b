#include "office/spreadsheet/XlsxParts.h"
#include "office/spreadsheet/SheetPart.h"
#include "office/spreadsheet/SpreadsheetEngine.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace quorvane::office;

namespace {

constexpr std::string_view Declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

TEST(XlsxPartsTest, ThePartsThatNameTheSheetsNameThemInOrderWithTheActiveOne) {
    const std::vector<std::string> names{"Q3 & \"more\"", "Sheet2"};
    EXPECT_EQ(xlsx::workbookPart(names, 1),
              std::string(Declaration) +
                  "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                  "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                  "<bookViews><workbookView activeTab=\"1\"/></bookViews><sheets>"
                  "<sheet name=\"Q3 &amp; &quot;more&quot;\" sheetId=\"1\" r:id=\"rId1\"/>"
                  "<sheet name=\"Sheet2\" sheetId=\"2\" r:id=\"rId2\"/></sheets></workbook>");
    EXPECT_NE(xlsx::workbookPart(names, 0).find("<workbookView/>"), std::string::npos);
    EXPECT_EQ(xlsx::workbookRelationshipsPart(2),
              std::string(Declaration) +
                  "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                  "<Relationship Id=\"rId1\" "
                  "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
                  "Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" "
                  "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
                  "Target=\"worksheets/sheet2.xml\"/><Relationship Id=\"rId3\" "
                  "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
                  "Target=\"styles.xml\"/></Relationships>");
    const std::string types = xlsx::contentTypesPart(2);
    EXPECT_NE(types.find("<Override PartName=\"/xl/worksheets/sheet2.xml\" ContentType=\"application/"
                         "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/></Types>"),
              std::string::npos);
    EXPECT_EQ(types.find("sheet3.xml"), std::string::npos);
    EXPECT_NE(xlsx::appPropertiesPart(names).find("<TitlesOfParts><vt:vector size=\"2\" baseType=\"lpstr\">"
                                                  "<vt:lpstr>Q3 &amp; \"more\"</vt:lpstr><vt:lpstr>Sheet2</vt:lpstr>"),
              std::string::npos);
    EXPECT_NE(xlsx::corePropertiesPart(0).find("<dcterms:created xsi:type=\"dcterms:W3CDTF\">1970-01-01T00:00:00Z"),
              std::string::npos);
    EXPECT_EQ(xlsx::sheetPartName(9), "xl/worksheets/sheet10.xml");
}

class SheetPartTest : public ::testing::Test {
protected:
    // The sheet a delimited text (columns at "|") opens as, written as its part.
    std::string partOf(const QByteArray& text, bool selected = false, std::int64_t* rows = nullptr) {
        const QString path = m_dir.filePath(u"sheet.txt"_s);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        auto instance = m_engine.create();
        instance->workbooksOpen(path, {}, {}, 6, {}, {}, {}, {}, u"|"_s);
        const auto* spreadsheet = dynamic_cast<SpreadsheetInstance*>(instance.get());
        std::string part;
        m_pieces = 0;
        const std::int64_t written =
            xlsx::writeSheetPart(spreadsheet->activeWorkbook()->activeSheet(), selected, 64, [&](std::string&& piece) {
                part += piece;
                ++m_pieces;
            });
        if (rows)
            *rows = written;
        instance->quit();
        return part;
    }
    // What lies between from and the next to.
    static std::string between(const std::string& part, const std::string& from, const std::string& to) {
        const std::size_t start = part.find(from);
        if (start == std::string::npos)
            return "<missing>";
        return part.substr(start + from.size(), part.find(to, start + from.size()) - start - from.size());
    }

    QTemporaryDir m_dir;
    SpreadsheetEngine m_engine;
    std::size_t m_pieces = 0;
};

TEST_F(SheetPartTest, RowsHoldInlineStringsAndNumbersAndTheDimensionIsTheUsedRange) {
    std::int64_t rows = 0;
    const std::string part = partOf("42|-3.5|007\n\n| lead|a&b\n", true, &rows);
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(between(part, "<dimension ref=\"", "\""), "A1:C3");
    EXPECT_NE(part.find("<sheetView tabSelected=\"1\" workbookViewId=\"0\"/>"), std::string::npos);
    EXPECT_EQ(between(part, "<sheetData>", "</sheetData>"),
              "<row r=\"1\"><c r=\"A1\"><v>42</v></c><c r=\"B1\"><v>-3.5</v></c>"
              "<c r=\"C1\" t=\"inlineStr\"><is><t>007</t></is></c></row>"
              "<row r=\"3\"><c r=\"B3\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> lead</t></is></c>"
              "<c r=\"C3\" t=\"inlineStr\"><is><t>a&amp;b</t></is></c></row>");
    EXPECT_TRUE(part.ends_with("</sheetData><pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" "
                               "header=\"0.3\" footer=\"0.3\"/></worksheet>"));
}

TEST_F(SheetPartTest, ALineBreakIsLfInACellThatWrapsAndALongLineWidensItsColumn) {
    const std::string part = partOf("a|two\vlines|" + QByteArray(100, 'x') + "\n");
    EXPECT_EQ(between(part, "<cols>", "</cols>"), "<col min=\"3\" max=\"3\" width=\"80.7109375\" customWidth=\"1\"/>");
    EXPECT_NE(part.find("<c r=\"B1\" s=\"1\" t=\"inlineStr\"><is><t xml:space=\"preserve\">two\nlines</t></is></c>"),
              std::string::npos);
    EXPECT_NE(xlsx::stylesPart().find("<cellXfs count=\"2\">"), std::string::npos);
}

TEST_F(SheetPartTest, AnEmptySheetHasNoRowsAndTheDimensionA1) {
    std::int64_t rows = -1;
    const std::string part = partOf("", false, &rows);
    EXPECT_EQ(rows, 0);
    EXPECT_EQ(between(part, "<dimension ref=\"", "\""), "A1");
    EXPECT_NE(part.find("<sheetView workbookViewId=\"0\"/>"), std::string::npos);
    EXPECT_NE(part.find("<sheetData/>"), std::string::npos);
}

TEST_F(SheetPartTest, AWideSheetNamesItsColumnsByLettersAndGoesOutInPieces) {
    QByteArray line;
    for (int i = 0; i < 27; ++i)
        line += "x|";
    line += "last\n";
    const std::string part = partOf(line.repeated(3));
    EXPECT_EQ(between(part, "<dimension ref=\"", "\""), "A1:AB3");
    EXPECT_NE(part.find("<c r=\"AA3\" t=\"inlineStr\"><is><t>x</t></is></c><c r=\"AB3\""), std::string::npos);
    EXPECT_EQ(m_pieces, 4u); // a piece after each row that fills one, and the rest
}

} // namespace
