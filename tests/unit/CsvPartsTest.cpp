// The parts of a workbook that .csv files hold, and where each goes when saved on its own.
#include "office/spreadsheet/CsvParts.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace quorvane::office;

namespace {

// Puts one cell at (row, 0) of sheet.
void putCell(Worksheet& sheet, std::int64_t row) {
    auto block = std::make_shared<CellBlock>(QByteArray("x"));
    block->addCell(0, 1, false);
    block->endRow();
    block->finish();
    Worksheet source(u"source"_s);
    source.placeBlock(block);
    sheet.paste(source.copy({0, 0, 1, 1}), row, 0);
}

TEST(CsvParts, EachSheetWithSomethingInItWithTheSheetsThatContinueIt) {
    // Sheet1 stays empty (a new workbook's own sheet); a text that fills a sheet to its last row
    // goes on in the sheet after it.
    Workbook book(u"Book1"_s, u"Sheet1"_s);
    for (int i = 0; i < 5; ++i)
        book.addSheet();
    putCell(book.sheet(1), 0);
    putCell(book.sheet(2), MaxRows - 1);
    putCell(book.sheet(3), 0);
    putCell(book.sheet(5), 3);
    EXPECT_EQ(csvParts(book), (std::vector<CsvPart>{{1, 1}, {2, 3}, {5, 5}}));
    EXPECT_TRUE(csvParts(Workbook(u"Book2"_s, u"Sheet1"_s)).empty());
}

TEST(CsvParts, EachPartGoesBesideTheChosenFileUnderTheSheetsName) {
    EXPECT_EQ(csvPartPath(u"/data/talks.csv"_s, u"Q3 Reviewpptx"_s), u"/data/talks-Q3 Reviewpptx.csv"_s);
    EXPECT_EQ(csvPartPath(u"/data/talks.CSV"_s, u"Sheet1"_s), u"/data/talks-Sheet1.csv"_s);
    EXPECT_EQ(csvPartPath(u"/data/v1.2.csv"_s, u"a/b"_s), u"/data/v1.2-a_b.csv"_s);
    EXPECT_EQ(csvPartPath(u"/data/notes"_s, u"S"_s), u"/data/notes-S.csv"_s);
}

} // namespace
