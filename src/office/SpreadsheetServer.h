#pragma once

#include <QString>
#include <QVariant>

#include <cstdint>
#include <memory>

namespace quorvane::office {

// The limits of one worksheet, as every spreadsheet server of this kind has them: a text that holds
// more rows, or a cell text longer than this, does not fit and fails to open.
inline constexpr std::int64_t MaxRows = 1'048'576;
inline constexpr std::int64_t MaxColumns = 16'384;
inline constexpr std::int64_t MaxCellUnits = 32'767; // UTF-16 code units per cell

// Text opened split at U+00B8 (the column mark of the staging files) may hold the column mark as
// text too: there the noncharacter U+FDD0, which no presentation's text holds, stands for a U+00B8
// that belongs to the cell, and the cell holds U+00B8 in its place.
inline constexpr char16_t ColumnMark = 0x00B8;
inline constexpr char16_t ColumnMarkAsText = 0xFDD0;

// The application name of this program's spreadsheet engine: the default property of every
// instance, and what the running test compares with.
inline constexpr char16_t SpreadsheetApplicationName[] = u"Quorvane Spreadsheet";

// The members of the spreadsheet server that the program calls. Every member may throw
// AutomationError; the caller reports it.
class SpreadsheetApplication {
public:
    virtual ~SpreadsheetApplication() = default;

    // The default property: the server's application name.
    virtual QString name() const = 0;

    virtual void setDisplayAlerts(bool on) = 0;
    virtual bool displayAlerts() const = 0;

    // Workbooks.Open with nine positional arguments; an invalid QVariant is an omitted argument.
    // The program passes the path first, 6 fourth (text split at a caller-given character) and the
    // delimiter ninth.
    virtual void workbooksOpen(const QVariant& fileName, const QVariant& updateLinks, const QVariant& readOnly,
                               const QVariant& format, const QVariant& password, const QVariant& writeResPassword,
                               const QVariant& ignoreReadOnlyRecommended, const QVariant& origin,
                               const QVariant& delimiter) = 0;
    // Workbooks.Add: a new workbook that becomes the active one.
    virtual void workbooksAdd() = 0;

    // ActiveWorkbook.ActiveSheet.UsedRange.Copy: the used range goes to the process-wide clipboard.
    virtual void copyUsedRange() = 0;
    // ActiveWorkbook.Sheets.Add with no arguments: a new worksheet that becomes the active sheet.
    virtual void sheetsAdd() = 0;
    // ActiveWorkbook.Sheets.count
    virtual int sheetsCount() = 0;
    // Sheets(index).name, index from 1
    virtual QString sheetName(int index) = 0;
    // ActiveSheet.name = name; fails on a name the spreadsheet refuses.
    virtual void setActiveSheetName(const QString& name) = 0;
    // ActiveSheet.name (get)
    virtual QString activeSheetName() = 0;
    // ActiveWorkbook.ActiveSheet.Paste: the clipboard lands at the active cell.
    virtual void paste() = 0;
    // ActiveWorkbook.ActiveSheet.Range(reference).Select
    virtual void selectRange(const QString& reference) = 0;

    // Visible = true hands the instance to the user.
    virtual void setVisible(bool visible) = 0;
    virtual bool visible() const = 0;

    // Quit: closes the workbooks (without asking while DisplayAlerts is false) and ends the instance.
    virtual void quit() = 0;
};

// Reaching the server: Create starts a new instance and lists it as running; Attach yields the
// earliest-started instance still running and fails when none is. Release is dropping the pointer.
class SpreadsheetServer {
public:
    virtual ~SpreadsheetServer() = default;
    virtual std::shared_ptr<SpreadsheetApplication> create() = 0;
    virtual std::shared_ptr<SpreadsheetApplication> attach() = 0;
};

} // namespace quorvane::office
