#pragma once

#include "office/spreadsheet/Workbook.h"

#include <QAbstractTableModel>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace quorvane::app {

// The cells of one worksheet as a table: rows and columns from A1 to the end of the used range,
// column letters and row numbers as headers. Reads the engine's cells on demand, so a sheet of a
// million rows costs nothing up front.
class SheetTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    // The workbook keeps the sheet alive while the model lives.
    SheetTableModel(std::shared_ptr<office::Workbook> workbook, int sheetIndex, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The rows that hold a cell of several lines, each with its number of lines (at most maxLines).
    // Looks at every cell once.
    std::vector<std::pair<int, int>> multiLineRows(int maxLines) const;
    // The cells of rows [top, bottom] and columns [left, right] as tab-separated text, one line per
    // row, the way spreadsheet programs put a range on the clipboard: a cell that holds a tab, a line
    // break or starts with a double quote is quoted, its quotes doubled and its soft line breaks
    // written as line feeds. Cells for which include answers false are left empty.
    QString tabSeparated(int top, int left, int bottom, int right,
                         const std::function<bool(int row, int column)>& include) const;

private:
    std::shared_ptr<office::Workbook> m_workbook;
    const office::Worksheet& m_sheet;
    int m_rows = 1, m_columns = 1;
};

} // namespace quorvane::app
