#pragma once

#include "app/SheetTableModel.h"

#include "shell/Desktop.h"

#include "office/spreadsheet/OutputFormat.h"
#include "office/spreadsheet/SpreadsheetEngine.h"

#include <QAbstractTableModel>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QTabWidget;
class QTableView;
class QTemporaryDir;
class QToolBar;

namespace quorvane::app {

// What the user answered in Save As: the file name as given and the type of file chosen.
struct SaveChoice {
    SaveChoice(QString to = {}, office::OutputFormat chosen = office::OutputFormat::Xlsx)
        : path(std::move(to)), filter(chosen) {}
    QString path; // empty when the user cancels
    office::OutputFormat filter;
};

// What the result window asks of the user. The desktop shows dialogs; tests answer from a script.
class ResultPrompts {
public:
    enum class CloseChoice { Save, Discard, Cancel };
    enum class CsvChoice { ShownSheet, EachSheet, Cancel };
    virtual ~ResultPrompts() = default;
    // The window closes and its workbook holds data never saved: save, throw away, or stay open?
    virtual CloseChoice askBeforeClose(QWidget* window, const QString& workbookName) = 0;
    // Where to save and the type of file chosen (one of office::outputFormats()), or an empty path when
    // the user cancels.
    virtual SaveChoice askSavePath(QWidget* window, const QString& suggestedPath) = 0;
    // The workbook has sheets with something in them that one .csv cannot hold together: save the
    // sheet shown only, each sheet as a .csv of its own (baseName-SheetName.csv), or nothing?
    virtual CsvChoice askCsvChoice(QWidget* window, int sheets, const QString& baseName) = 0;
    // Saving each sheet on its own would replace these files, which the user never named: go on?
    virtual bool askReplace(QWidget* window, const QStringList& existing) = 0;
    // Tells the user that something failed.
    virtual void showFailure(QWidget* window, const QString& text) = 0;
};

// ResultPrompts as Qt dialogs.
class QtResultPrompts final : public ResultPrompts {
public:
    CloseChoice askBeforeClose(QWidget* window, const QString& workbookName) override;
    SaveChoice askSavePath(QWidget* window, const QString& suggestedPath) override;
    CsvChoice askCsvChoice(QWidget* window, int sheets, const QString& baseName) override;
    bool askReplace(QWidget* window, const QStringList& existing) override;
    void showFailure(QWidget* window, const QString& text) override;
};

// Folders for the copies handed to other programs. They stay while the program runs (the other
// program may still read its copy) and are removed, with everything in them, when this goes.
class TemporaryFolders {
public:
    TemporaryFolders();
    ~TemporaryFolders();
    // A new empty folder; throws AppError with the reason when none can be made.
    QString create();
    // Removes a folder made by create() at once, with everything in it.
    void remove(const QString& folder);

private:
    std::vector<std::unique_ptr<QTemporaryDir>> m_folders;
};

// The workbook an import leaves to the user: a top-level window titled with the workbook's name
// (once saved, the saved file's name and what it holds when that is not the whole workbook, and that
// it changed when a later import added to it), one tab per sheet in workbook order, the grid with the
// keyboard focus and A1 current, and a status line with the rows of the sheet shown and the
// workbook's sheets and rows. The user can save it as .xlsx or .ods (the workbook) or .csv (the sheet
// shown, or each sheet as a file of its own), with Save (Ctrl+S: where it was last saved whole, else as Save
// As) and Save As (Ctrl+Shift+S), and open it in the desktop's spreadsheet application. Ctrl+C copies
// the selected cells as tab-separated text. For workbooks of thousands of sheets: Find (Ctrl+F, then
// F3 and Shift+F3) through every sheet, Ctrl+PgDn and Ctrl+PgUp to the next and previous sheet, and
// Go to Sheet (Ctrl+G, also in the tab bar's menu) with a list of the sheets and a name filter. The
// grid's context menu holds Save, Save As, Find, Go to Sheet and Copy with their keys. Closing the
// window quits the spreadsheet instance, after asking when its data was never saved.
class ResultWindow final : public QMainWindow {
    Q_OBJECT
public:
    // copies holds the temporary copies opened elsewhere and must outlive the window.
    ResultWindow(std::shared_ptr<office::SpreadsheetInstance> instance, shell::Desktop& desktop, ResultPrompts& prompts,
                 TemporaryFolders& copies);
    ~ResultWindow() override;

    // What a .csv save writes: the sheet shown (with the sheets that continue it or that it
    // continues), or every sheet with something in it, each to a file of its own (csvPartPath).
    enum class CsvScope { ShownSheet, EachSheet };

    const std::shared_ptr<office::SpreadsheetInstance>& instance() const { return m_instance; }
    // Shows the instance's active workbook as it is now (sheets added since come in); the sheet
    // shown stays shown.
    void refresh();

    // Saves to path in format: a .csv writes as scope says, a workbook format the whole workbook; the
    // title then shows the file's name, and says so when the file does not hold the whole workbook
    // (which then still counts as unsaved). Returns false after showing the failure.
    bool saveTo(const QString& path, office::OutputFormat format, CsvScope scope = CsvScope::ShownSheet);
    // Saves again where and as the workbook was last saved whole, unless an import changed it since:
    // then, and when it was never saved whole, as saveAs().
    bool save();
    // Asks for a path and a type of file and saves there, as office::saveNameFor says (a name whose
    // suffix names no format the program writes gets the suffix of the type chosen, asking before it
    // replaces a file of that name); for a .csv of a workbook with several sheets with something in
    // them, also whether to save the sheet shown or each sheet. False when cancelled or failed.
    bool saveAs();
    // Saves a temporary .xlsx and hands it to the desktop's spreadsheet application; shows why when
    // that fails. The copy is removed when the program ends (at once when it could not be opened).
    void openInSpreadsheetApplication();
    // True when the workbook holds data that was never saved as a whole.
    bool hasUnsavedData() const;

    // Finds text from the current cell of the sheet shown onwards (forward) or backwards, through
    // every sheet and round to it (findInWorkbook), in any case unless matchCase. The cell found
    // becomes the current one, on its sheet, and is scrolled into view; false, and the status line
    // says so, when no cell holds the text.
    bool find(const QString& text, bool forward = true, bool matchCase = false);
    // Find (Ctrl+F): shows the find bar, its text selected and taking the keys.
    void showFindBar();
    // Shows the sheet at index (from 0), its grid taking the keys.
    void showSheet(int index);
    // Go to Sheet (Ctrl+G): opens the list of the sheets (SheetPicker); the one chosen is shown.
    void showSheetList();
    // What the status line says: the rows of the sheet shown, the sheets and rows of the workbook.
    QString statusText() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    static void fitColumns(QTableView* view);
    static void fitRows(QTableView* view);
    // The workbook's name until it is saved, then the saved file's name and what it holds.
    QString displayName() const;
    // Whether the workbook changed (an import added to it) since it was last saved.
    bool changedSinceSaved() const;
    // The workbook changed: the title says so at once once it was saved.
    void workbookChanged();
    void watch(const std::shared_ptr<office::Workbook>& workbook);
    void createFindBar();
    void updateStatus();
    QTableView* grid(int index) const;
    // The sheet shown, and the sheets it continues or that continue it, as a .csv at path.
    void saveShownSheetCsv(const QString& path, office::OutputFormat format);
    // Every part of the workbook as a .csv of its own beside path; how many files were written.
    int saveEachSheetCsv(const QString& path, office::OutputFormat format);

    std::shared_ptr<office::SpreadsheetInstance> m_instance;
    std::shared_ptr<office::Workbook> m_workbook;
    shell::Desktop& m_desktop;
    ResultPrompts& m_prompts;
    TemporaryFolders& m_copies;
    QTabWidget* m_tabs;
    QAction* m_saveAction;
    QAction* m_saveAsAction;
    QAction* m_separator;
    QAction* m_findAction;
    QAction* m_goToSheetAction;
    QAction* m_findSeparator;
    QToolBar* m_findBar = nullptr;
    QLineEdit* m_findText = nullptr;
    QCheckBox* m_matchCase = nullptr;
    QLabel* m_status;
    std::optional<std::uint64_t> m_savedRevision;
    // The last save: where, how, and what the file (or files) held.
    struct LastSave {
        QString path;
        office::OutputFormat format = office::OutputFormat::Xlsx;
        CsvScope scope = CsvScope::ShownSheet;
        bool whole = false; // the whole workbook; otherwise only onlySheet (with its continuations)
        QString onlySheet;
        int files = 1;
        std::uint64_t revision = 0; // the workbook's revision then
    };
    std::optional<LastSave> m_lastSave;
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
