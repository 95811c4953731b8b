#pragma once

#include "shell/Desktop.h"

#include "office/spreadsheet/SpreadsheetEngine.h"
#include "office/spreadsheet/WorkbookExport.h"

#include <QAbstractTableModel>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QTabWidget;
class QTableView;
class QTemporaryDir;

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

// Where to save and, for a .csv, which way to write it.
struct SaveTarget {
    SaveTarget(QString to = {}, office::CsvStyle style = office::CsvStyle::ForSpreadsheets)
        : path(std::move(to)), csvStyle(style) {}
    QString path; // ending in .xlsx or .csv; empty when the user cancels
    office::CsvStyle csvStyle;
};

// What the result window asks of the user. The desktop shows dialogs; tests answer from a script.
class ResultPrompts {
public:
    enum class CloseChoice { Save, Discard, Cancel };
    virtual ~ResultPrompts() = default;
    // The window closes and its workbook holds data never saved: save, throw away, or stay open?
    virtual CloseChoice askBeforeClose(QWidget* window, const QString& workbookName) = 0;
    // Where to save (a .csv for spreadsheet programs or with the text exactly), or an empty path when
    // the user cancels.
    virtual SaveTarget askSavePath(QWidget* window, const QString& suggestedPath) = 0;
    // Tells the user that something failed.
    virtual void showFailure(QWidget* window, const QString& text) = 0;
};

// ResultPrompts as Qt dialogs.
class QtResultPrompts final : public ResultPrompts {
public:
    CloseChoice askBeforeClose(QWidget* window, const QString& workbookName) override;
    SaveTarget askSavePath(QWidget* window, const QString& suggestedPath) override;
    void showFailure(QWidget* window, const QString& text) override;
};

// Folders for the copies handed to other programs. They stay while the program runs (the other
// program may still read its copy) and are removed, with everything in them, when this goes.
class TemporaryFolders {
public:
    TemporaryFolders();
    ~TemporaryFolders();
    // A new empty folder; throws std::runtime_error with the reason when none can be made.
    QString create();
    // Removes a folder made by create() at once, with everything in it.
    void remove(const QString& folder);

private:
    std::vector<std::unique_ptr<QTemporaryDir>> m_folders;
};

// The workbook an import leaves to the user: a top-level window titled with the workbook's name
// (the saved file's name once saved), one tab per sheet in workbook order, A1 selected. The user can
// save it as .xlsx (the workbook) or .csv (the sheet shown), with the button or Ctrl+S, and open it
// in the desktop's spreadsheet application. Ctrl+C copies the selected cells as tab-separated text.
// Closing it quits the spreadsheet instance, after asking when its data was never saved.
class ResultWindow final : public QMainWindow {
    Q_OBJECT
public:
    // copies holds the temporary copies opened elsewhere and must outlive the window.
    ResultWindow(std::shared_ptr<office::SpreadsheetInstance> instance, shell::Desktop& desktop, ResultPrompts& prompts,
                 TemporaryFolders& copies);

    const std::shared_ptr<office::SpreadsheetInstance>& instance() const { return m_instance; }
    // Shows the instance's active workbook as it is now (sheets added since come in); the sheet
    // shown stays shown.
    void refresh();

    // Saves to path: .csv writes the sheet shown (in csvStyle), anything else the workbook as .xlsx;
    // the title then shows the file's name. Returns false after showing the failure.
    bool saveTo(const QString& path, office::CsvStyle csvStyle = office::CsvStyle::ForSpreadsheets);
    // Asks for a path and saves there; false when cancelled or failed.
    bool saveAs();
    // Saves a temporary .xlsx and hands it to the desktop's spreadsheet application; shows why when
    // that fails. The copy is removed when the program ends (at once when it could not be opened).
    void openInSpreadsheetApplication();
    // True when the workbook holds data that was never saved as a whole.
    bool hasUnsavedData() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    static void fitColumns(QTableView* view);
    static void fitRows(QTableView* view);
    // The workbook's name until it is saved, then the saved file's name.
    QString displayName() const;

    std::shared_ptr<office::SpreadsheetInstance> m_instance;
    std::shared_ptr<office::Workbook> m_workbook;
    shell::Desktop& m_desktop;
    ResultPrompts& m_prompts;
    TemporaryFolders& m_copies;
    QTabWidget* m_tabs;
    std::optional<std::uint64_t> m_savedRevision;
    QString m_lastSavePath;
};

// Connects a spreadsheet engine to result windows: each instance handed to the user gets a window
// of its own; handing it over again refreshes and raises that window. A new window fits the
// available area of its screen: the first one open is centred, each further one is offset from the
// last one. The copies the windows opened elsewhere go when this object goes.
class ResultWindows final : public QObject {
    Q_OBJECT
public:
    ResultWindows(shell::Desktop& desktop, ResultPrompts& prompts, QObject* parent = nullptr);
    // Sets the engine's hand-over hook. The engine must not outlive this object, or the hook must be
    // replaced before.
    void install(office::SpreadsheetEngine& engine);
    // The windows open now, in the order they opened.
    std::vector<ResultWindow*> windows() const;
    // Opens or refreshes the window of instance.
    ResultWindow* show(const std::shared_ptr<office::SpreadsheetInstance>& instance);

private:
    void place(ResultWindow* window) const;

    shell::Desktop& m_desktop;
    ResultPrompts& m_prompts;
    TemporaryFolders m_copies;
    std::vector<QPointer<ResultWindow>> m_windows;
};

} // namespace quorvane::app
