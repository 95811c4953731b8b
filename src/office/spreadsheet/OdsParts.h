#pragma once

#include "office/spreadsheet/Worksheet.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// The parts of an OpenDocument spreadsheet package as this program writes them: the mimetype, the
// manifest, minimal styles (the default cell style; automatic styles for the column widths and for a
// cell that wraps), the document's properties, the view's settings (the sheet shown), and the content:
// every sheet a table, text cells as strings of one paragraph per line, numbers as floats.
namespace quorvane::office::ods {

inline constexpr std::string_view MimeTypeName = "mimetype";
inline constexpr std::string_view MimeType = "application/vnd.oasis.opendocument.spreadsheet";
inline constexpr std::string_view ManifestName = "META-INF/manifest.xml";
inline constexpr std::string_view StylesName = "styles.xml";
inline constexpr std::string_view MetaName = "meta.xml";
inline constexpr std::string_view SettingsName = "settings.xml";
inline constexpr std::string_view ContentName = "content.xml";

std::string manifestPart();
std::string stylesPart();
// created: the time the workbook is saved, written in UTC.
std::string metaPart(std::time_t created);
// activeSheet: the name (UTF-8) of the sheet shown when the document opens.
std::string settingsPart(std::string_view activeSheet);

// Appends text (UTF-8) as the paragraphs of a text cell: one <text:p> per line (a line ends at LF or
// at a slide's VT), spaces that XML readers would fold as <text:s>, & < > escaped, a tab as it is
// (which Calc keeps, where it drops a <text:tab>); characters XML 1.0 cannot carry (NUL and the other control
// characters, U+FFFE, U+FFFF, bytes that are not UTF-8) as U+FFFD.
void appendParagraphs(std::string& out, std::string_view text);

// The content part in three steps, so that it is written sheet by sheet: its head with the automatic
// styles for every column width of widths (columnWidths' characters) used by the sheets; a table of
// each sheet; the tail.
std::string contentHead(const std::set<int>& widths);
// Appends sheet as a table named name (UTF-8) to piece: its columns with their widths (widths, from
// columnWidths), then its rows from the first, runs of empty rows and of empty cells repeated, a row
// ending with its last cell. Whenever piece reaches pieceSize it goes to out and starts again, so that
// no sheet is ever held whole. Stops with SaveStopped when stop is set. Returns the number of
// <table:table-row> elements written.
std::int64_t appendTable(std::string& piece, const Worksheet& sheet, std::string_view name,
                         const std::vector<int>& widths, std::size_t pieceSize,
                         const std::function<void(std::string&&)>& out, const std::atomic<bool>* stop = nullptr);
std::string contentTail();

// An upper bound of the size of the table appendTable makes of sheet, in bytes.
std::uint64_t tableBound(const Worksheet& sheet);

} // namespace quorvane::office::ods
