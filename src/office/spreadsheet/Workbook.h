#pragma once

#include "office/spreadsheet/Worksheet.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace quorvane::office {

// The longest sheet name the spreadsheet accepts, in UTF-16 units.
inline constexpr int MaxSheetNameLength = 31;

// Empty when name may be given to a sheet of a workbook whose other sheets are called others;
// otherwise the description of why not. The rules: not empty, at most 31 characters, none of
// : \ / ? * [ ] nor a control character, no apostrophe at either end, not "History", and not the
// name of another sheet, all compared without regard to case (full Unicode case folding).
QString sheetNameProblem(const QString& name, const std::vector<QString>& others);

// A workbook: a name and its sheets in order, one of them active. Sheets are shared with the result
// window, which reads them while the workbook lives.
class Workbook {
public:
    // A workbook with one empty sheet of the given name.
    Workbook(QString name, const QString& firstSheet);

    const QString& name() const { return m_name; }
    int sheetCount() const { return static_cast<int>(m_sheets.size()); }
    // Sheet by 0-based index.
    Worksheet& sheet(int index) { return *m_sheets.at(static_cast<std::size_t>(index)); }
    const Worksheet& sheet(int index) const { return *m_sheets.at(static_cast<std::size_t>(index)); }
    int activeIndex() const { return m_active; }
    Worksheet& activeSheet() { return sheet(m_active); }

    // Sheets.Add: a new sheet "SheetN" (the next N not yet used) directly after the active sheet; it
    // becomes the active sheet.
    Worksheet& addSheet();
    // Renames the sheet at index; throws AutomationError with the reason when the name is refused.
    void renameSheet(int index, const QString& name);

    // A number that changes with every change of the workbook's sheets or cells, so a window can
    // tell whether what it saved is still what there is.
    std::uint64_t revision() const { return m_revision; }
    void touch() {
        ++m_revision;
        if (m_changed)
            m_changed();
    }
    // Called after every change (touch), on the thread that made it, so that a window showing the
    // workbook learns at once that it changed; an empty function (the default) calls nothing.
    void setChangeHook(std::function<void()> hook) { m_changed = std::move(hook); }

private:
    QString m_name;
    std::vector<std::unique_ptr<Worksheet>> m_sheets;
    int m_active = 0;
    int m_sheetCounter = 1;
    std::uint64_t m_revision = 0;
    std::function<void()> m_changed;
};

} // namespace quorvane::office
