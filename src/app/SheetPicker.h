#pragma once

#include <QDialog>
#include <QStringList>

class QLineEdit;
class QListWidget;

namespace quorvane::app {

// The list of a workbook's sheets to go to (Go to Sheet): a name filter above the list, which keeps
// the sheets whose names contain the filter's text in any case; the sheet shown is selected at first.
// The arrow and page keys move in the list while the filter has the keyboard; Enter or a double click
// goes to the selected sheet, Escape goes nowhere.
class SheetPicker final : public QDialog {
    Q_OBJECT
public:
    SheetPicker(const QStringList& names, int current, QWidget* parent);

    // The index of the sheet selected (from 0), or -1 when the filter leaves none.
    int chosen() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void filter(const QString& text);

    QLineEdit* m_filter;
    QListWidget* m_list;
};

} // namespace quorvane::app
