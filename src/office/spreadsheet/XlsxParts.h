#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

// The parts of a SpreadsheetML package as this program writes them: one default font and two cell
// formats (0, and 1 that wraps its text), every sheet's cells as inline strings and numbers. Each
// function gives one part whole.
namespace quorvane::office::xlsx {

// Appends text (UTF-8) to out as XML character data that a spreadsheet reads back as text:
// & < > escaped; characters XML 1.0 cannot carry (control characters but tab and line feed, and a
// carriage return, which XML readers would turn into a line feed) written as "_xHHHH_"; a literal
// "_xHHHH_" escaped the same way so that it is not read as one; NUL, U+FFFE, U+FFFF and bytes that
// are not UTF-8 written as U+FFFD. Also for attribute values: quotes are escaped too.
void appendText(std::string& out, std::string_view text);

// Whether the text needs xml:space="preserve" on its <t> element to keep its white space: it begins
// or ends with white space, or holds a line break.
bool needsPreserve(std::string_view text);

// "A1" for the 0-based cell, appended.
void appendCellReference(std::string& out, std::int64_t row, std::int64_t column);

// The part names, and the names of the sheets' parts ("xl/worksheets/sheet1.xml" for index 0).
inline constexpr std::string_view ContentTypesName = "[Content_Types].xml";
inline constexpr std::string_view RootRelationshipsName = "_rels/.rels";
inline constexpr std::string_view CorePropertiesName = "docProps/core.xml";
inline constexpr std::string_view AppPropertiesName = "docProps/app.xml";
inline constexpr std::string_view WorkbookName = "xl/workbook.xml";
inline constexpr std::string_view WorkbookRelationshipsName = "xl/_rels/workbook.xml.rels";
inline constexpr std::string_view StylesName = "xl/styles.xml";
std::string sheetPartName(std::size_t index);

std::string contentTypesPart(std::size_t sheets);
std::string rootRelationshipsPart();
// created: the time the workbook is saved, written in UTC.
std::string corePropertiesPart(std::time_t created);
// Sheet names are UTF-8.
std::string appPropertiesPart(const std::vector<std::string>& sheetNames);
// active: the 0-based index of the sheet shown when the workbook opens.
std::string workbookPart(const std::vector<std::string>& sheetNames, std::size_t active);
std::string workbookRelationshipsPart(std::size_t sheets);
std::string stylesPart();

} // namespace quorvane::office::xlsx
