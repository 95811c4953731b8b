#include "app/ResultWindow.h"

#include "app/Placement.h"
#include "app/SheetPicker.h"
#include "app/WorkbookFind.h"

#include "office/CellNames.h"

#include "office/spreadsheet/CsvParts.h"
#include "office/spreadsheet/WorkbookExport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>

#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

namespace quorvane::app {

namespace {

// The grid of one sheet. Ctrl+C (and its menu entry) copies the selection as tab-separated text.
// Its context menu holds the window's actions, then Copy, each with its key.
class SheetView final : public QTableView {
public:
    SheetView(QWidget* parent, const QList<QAction*>& windowActions) : QTableView(parent) {
        addActions(windowActions);
        auto* copy = new QAction(u"Copy"_s, this);
        copy->setObjectName(u"Copy"_s);
        copy->setShortcut(QKeySequence::Copy);
        copy->setShortcutContext(Qt::WidgetShortcut);
        copy->setShortcutVisibleInContextMenu(true);
        connect(copy, &QAction::triggered, this, &SheetView::copySelection);
        addAction(copy);
        setContextMenuPolicy(Qt::ActionsContextMenu);
    }

    void copySelection() {
        const auto* model = qobject_cast<const SheetTableModel*>(this->model());
        const QItemSelection selection = selectionModel()->selection();
        if (!model || selection.isEmpty())
            return;
        // Several ranges give the rectangle around them, with the cells between them left empty.
        int top = std::numeric_limits<int>::max(), left = top, bottom = -1, right = -1;
        for (const QItemSelectionRange& range : selection) {
            top = std::min(top, range.top());
            left = std::min(left, range.left());
            bottom = std::max(bottom, range.bottom());
            right = std::max(right, range.right());
        }
        const QItemSelectionModel* selected = selectionModel();
        const bool single = selection.size() == 1;
        QGuiApplication::clipboard()->setText(model->tabSeparated(top, left, bottom, right, [&](int row, int column) {
            return single || selected->isSelected(model->index(row, column));
        }));
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        // The view's own Copy takes the current cell alone.
        if (event->matches(QKeySequence::Copy)) {
            copySelection();
            event->accept();
            return;
        }
        QTableView::keyPressEvent(event);
    }
};

// "1 row", "1,234 rows".
QString counted(std::int64_t n, const QString& one, const QString& many) {
    return office::groupedNumber(n) + u' ' + (n == 1 ? one : many);
}

// The rows of a sheet, from row 1 to its last row with something in it.
std::int64_t rowsOf(const office::Worksheet& sheet) {
    return sheet.isEmpty() ? 0 : sheet.usedRange().bottom();
}

// The field of the find bar: Enter finds the next cell, Shift+Enter the one before, Escape closes
// the bar.
class FindField final : public QLineEdit {
public:
    FindField(QWidget* parent, std::function<void(bool forward)> find, std::function<void()> close)
        : QLineEdit(parent), m_find(std::move(find)), m_close(std::move(close)) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            m_find(!event->modifiers().testFlag(Qt::ShiftModifier));
            return;
        }
        if (event->key() == Qt::Key_Escape) {
            m_close();
            return;
        }
        QLineEdit::keyPressEvent(event);
    }

private:
    std::function<void(bool)> m_find;
    std::function<void()> m_close;
};

} // namespace

// ---- ResultWindow

ResultWindow::ResultWindow(std::shared_ptr<office::SpreadsheetInstance> instance, shell::Desktop& desktop,
                           ResultPrompts& prompts, TemporaryFolders& copies)
    : QMainWindow(nullptr), m_instance(std::move(instance)), m_desktop(desktop), m_prompts(prompts), m_copies(copies),
      m_tabs(new QTabWidget(this)), m_saveAction(new QAction(u"Save"_s, this)),
      m_saveAsAction(new QAction(u"Save As…"_s, this)), m_separator(new QAction(this)),
      m_findAction(new QAction(u"Find…"_s, this)), m_goToSheetAction(new QAction(u"Go to Sheet…"_s, this)),
      m_findSeparator(new QAction(this)), m_status(new QLabel(this)) {
    // A window of its own: no parent, so it stays when the main window goes, and it is freed on close.
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(u"ResultWindow"_s);
    m_tabs->setObjectName(u"Sheets"_s);
    m_tabs->setTabPosition(QTabWidget::South);
    m_tabs->setDocumentMode(true);
    setCentralWidget(m_tabs);

    QToolBar* bar = addToolBar(u"Workbook"_s);
    bar->setObjectName(u"WorkbookBar"_s);
    bar->setMovable(false);
    // Ctrl+S and Ctrl+Shift+S everywhere (a desktop without a key theme defines no Save As keys),
    // and the platform's own keys where it has them.
    const auto keys = [](QKeySequence first, QKeySequence::StandardKey standard) {
        QList<QKeySequence> all{first};
        for (const QKeySequence& key : QKeySequence::keyBindings(standard))
            if (!all.contains(key))
                all.append(key);
        return all;
    };
    const std::pair<QAction*, QList<QKeySequence>> saving[] = {
        {m_saveAction, keys(QKeySequence(Qt::CTRL | Qt::Key_S), QKeySequence::Save)},
        {m_saveAsAction, keys(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), QKeySequence::SaveAs)}};
    for (const auto& [action, shortcuts] : saving) {
        action->setShortcuts(shortcuts);
        action->setShortcutVisibleInContextMenu(true);
        action->setToolTip(u"%1 (%2)"_s.arg(action->text(), shortcuts.front().toString(QKeySequence::NativeText)));
        bar->addAction(action);
    }
    m_saveAction->setObjectName(u"Save"_s);
    m_saveAsAction->setObjectName(u"SaveAs"_s);
    connect(m_saveAction, &QAction::triggered, this, [this] { save(); });
    connect(m_saveAsAction, &QAction::triggered, this, [this] { saveAs(); });
    m_separator->setSeparator(true);
    m_findSeparator->setSeparator(true);
    QAction* openAction =
        bar->addAction(u"Open in spreadsheet application"_s, this, [this] { openInSpreadsheetApplication(); });
    openAction->setObjectName(u"OpenInSpreadsheet"_s);

    // Finding a text and reaching a sheet among thousands.
    m_findAction->setObjectName(u"Find"_s);
    m_findAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    connect(m_findAction, &QAction::triggered, this, &ResultWindow::showFindBar);
    m_goToSheetAction->setObjectName(u"GoToSheet"_s);
    m_goToSheetAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    connect(m_goToSheetAction, &QAction::triggered, this, &ResultWindow::showSheetList);
    for (QAction* action : {m_findAction, m_goToSheetAction}) {
        action->setShortcutVisibleInContextMenu(true);
        action->setToolTip(u"%1 (%2)"_s.arg(QString(action->text()).remove(u'…'),
                                            action->shortcut().toString(QKeySequence::NativeText)));
        bar->addAction(action);
    }
    m_tabs->tabBar()->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_tabs->tabBar()->addAction(m_goToSheetAction);
    // The keys of the window, whichever part of it has the keyboard: the find bar's next and
    // previous, and the next and previous sheet (the grid would take Ctrl+PgDn as a page down).
    const std::pair<QKeySequence, std::function<void()>> windowKeys[] = {
        {QKeySequence(Qt::Key_F3), [this] { find(m_findText->text(), true, m_matchCase->isChecked()); }},
        {QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { find(m_findText->text(), false, m_matchCase->isChecked()); }},
        {QKeySequence(Qt::CTRL | Qt::Key_PageDown), [this] { showSheet(m_tabs->currentIndex() + 1); }},
        {QKeySequence(Qt::CTRL | Qt::Key_PageUp), [this] { showSheet(m_tabs->currentIndex() - 1); }},
    };
    for (const auto& [key, act] : windowKeys) {
        auto* action = new QAction(this);
        action->setShortcut(key);
        connect(action, &QAction::triggered, this, act);
        addAction(action);
    }
    createFindBar();
    m_status->setObjectName(u"SheetStatus"_s);
    statusBar()->addPermanentWidget(m_status);
    connect(m_tabs, &QTabWidget::currentChanged, this, &ResultWindow::updateStatus);
    // The grid of the sheet shown takes the keys (Ctrl+End, Shift and the arrows, Ctrl+C).
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] {
        if (QWidget* grid = m_tabs->currentWidget())
            grid->setFocus(Qt::OtherFocusReason);
    });
    resize(900, 600);
    refresh();
}

ResultWindow::~ResultWindow() {
    watch(nullptr);
}

void ResultWindow::createFindBar() {
    m_findBar = new QToolBar(u"Find"_s, this);
    m_findBar->setObjectName(u"FindBar"_s);
    m_findBar->setMovable(false);
    addToolBar(Qt::BottomToolBarArea, m_findBar);
    auto* label = new QLabel(u"Fi&nd:"_s, m_findBar);
    m_findText = new FindField(
        m_findBar, [this](bool forward) { find(m_findText->text(), forward, m_matchCase->isChecked()); },
        [this] {
            m_findBar->hide();
            if (QTableView* shown = grid(m_tabs->currentIndex()))
                shown->setFocus(Qt::OtherFocusReason);
        });
    m_findText->setObjectName(u"FindText"_s);
    m_findText->setClearButtonEnabled(true);
    m_findText->setMaximumWidth(320);
    label->setBuddy(m_findText);
    m_matchCase = new QCheckBox(u"Match &case"_s, m_findBar);
    m_matchCase->setObjectName(u"MatchCase"_s);
    m_findBar->addWidget(label);
    m_findBar->addWidget(m_findText);
    QAction* next =
        m_findBar->addAction(u"&Next"_s, this, [this] { find(m_findText->text(), true, m_matchCase->isChecked()); });
    next->setToolTip(u"The next cell (F3)"_s);
    QAction* previous = m_findBar->addAction(u"&Previous"_s, this,
                                             [this] { find(m_findText->text(), false, m_matchCase->isChecked()); });
    previous->setToolTip(u"The cell before (Shift+F3)"_s);
    m_findBar->addWidget(m_matchCase);
    m_findBar->hide();
}

void ResultWindow::showFindBar() {
    m_findBar->show();
    m_findText->setFocus(Qt::ShortcutFocusReason);
    m_findText->selectAll();
}

QTableView* ResultWindow::grid(int index) const {
    return qobject_cast<QTableView*>(m_tabs->widget(index));
}

bool ResultWindow::find(const QString& text, bool forward, bool matchCase) {
    if (!m_workbook)
        return false;
    if (text.isEmpty()) {
        showFindBar();
        return false;
    }
    const int sheet = std::max(m_tabs->currentIndex(), 0);
    CellPlace from{sheet, 0, 0};
    if (const QTableView* shown = grid(sheet); shown && shown->currentIndex().isValid())
        from = {sheet, shown->currentIndex().row(), shown->currentIndex().column()};
    const std::optional<CellPlace> found =
        findInWorkbook(*m_workbook, from, text, forward, matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
    if (!found) {
        statusBar()->showMessage(u"\"%1\" is in no cell of the workbook."_s.arg(text));
        return false;
    }
    statusBar()->showMessage(u"\"%1\" found in %2 of the sheet \"%3\"."_s.arg(
        text, office::cellName(found->row, found->column), m_workbook->sheet(found->sheet).name()));
    // The field keeps the keyboard, so that Enter finds the next one.
    const bool fieldHadFocus = m_findText->hasFocus();
    m_tabs->setCurrentIndex(found->sheet);
    if (QTableView* view = grid(found->sheet)) {
        const QModelIndex cell = view->model()->index(static_cast<int>(found->row), static_cast<int>(found->column));
        view->setCurrentIndex(cell);
        view->scrollTo(cell, QAbstractItemView::PositionAtCenter);
    }
    if (fieldHadFocus)
        m_findText->setFocus(Qt::OtherFocusReason);
    return true;
}

void ResultWindow::showSheet(int index) {
    if (index < 0 || index >= m_tabs->count())
        return;
    m_tabs->setCurrentIndex(index);
    if (QTableView* shown = grid(index))
        shown->setFocus(Qt::OtherFocusReason);
}

void ResultWindow::showSheetList() {
    if (!m_workbook)
        return;
    QStringList names;
    for (int i = 0; i < m_tabs->count(); ++i)
        names.append(m_tabs->tabText(i));
    auto* picker = new SheetPicker(names, m_tabs->currentIndex(), this);
    picker->setAttribute(Qt::WA_DeleteOnClose);
    connect(picker, &QDialog::accepted, this, [this, picker] { showSheet(picker->chosen()); });
    picker->open();
}

QString ResultWindow::statusText() const {
    if (!m_workbook)
        return {};
    std::int64_t rows = 0;
    for (int i = 0; i < m_workbook->sheetCount(); ++i)
        rows += rowsOf(m_workbook->sheet(i));
    const int shown = m_tabs->currentIndex();
    const QString sheet = shown >= 0 && shown < m_workbook->sheetCount()
                              ? u"This sheet: %1"_s.arg(counted(rowsOf(m_workbook->sheet(shown)), u"row"_s, u"rows"_s))
                              : QString();
    return u"%1    Workbook: %2, %3"_s.arg(sheet, counted(m_workbook->sheetCount(), u"sheet"_s, u"sheets"_s),
                                           counted(rows, u"row"_s, u"rows"_s));
}

void ResultWindow::updateStatus() {
    m_status->setText(statusText());
}

void ResultWindow::watch(const std::shared_ptr<office::Workbook>& workbook) {
    if (m_workbook && m_workbook != workbook)
        m_workbook->setChangeHook({});
    if (workbook)
        workbook->setChangeHook([this] { workbookChanged(); });
}

void ResultWindow::workbookChanged() {
    // Only a saved workbook's title has something to say; the tabs follow when the import hands it
    // over again.
    if (m_lastSave)
        setWindowTitle(displayName());
}

bool ResultWindow::changedSinceSaved() const {
    return m_lastSave && m_workbook && m_lastSave->revision != m_workbook->revision();
}

void ResultWindow::refresh() {
    watch(m_instance->activeWorkbook());
    m_workbook = m_instance->activeWorkbook();
    const int shown = m_tabs->currentIndex();
    while (m_tabs->count() > 0) {
        QWidget* page = m_tabs->widget(0);
        m_tabs->removeTab(0);
        delete page;
    }
    if (!m_workbook) {
        setWindowTitle(QString::fromUtf16(office::SpreadsheetApplicationName));
        return;
    }
    setWindowTitle(displayName());
    for (int i = 0; i < m_workbook->sheetCount(); ++i) {
        auto* view = new SheetView(
            m_tabs, {m_saveAction, m_saveAsAction, m_separator, m_findAction, m_goToSheetAction, m_findSeparator});
        view->setObjectName(u"Grid"_s);
        view->setModel(new SheetTableModel(m_workbook, i, view));
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setWordWrap(false);
        // Fixed row heights keep scrolling through a million rows smooth.
        view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
        view->horizontalHeader()->setDefaultSectionSize(110);
        fitColumns(view);
        fitRows(view);
        view->setCurrentIndex(view->model()->index(0, 0));
        m_tabs->addTab(view, m_workbook->sheet(i).name());
    }
    m_tabs->setCurrentIndex(shown >= 0 && shown < m_tabs->count() ? shown : m_workbook->activeIndex());
    if (QWidget* grid = m_tabs->currentWidget())
        grid->setFocus(Qt::OtherFocusReason);
    updateStatus();
}

// Widens each column to what its first rows hold, within bounds; looking at a bounded number of
// rows keeps a sheet of a million rows quick to show.
void ResultWindow::fitColumns(QTableView* view) {
    constexpr int RowsLooked = 200;
    constexpr int Narrowest = 64;
    constexpr int Widest = 420;
    const QAbstractItemModel* model = view->model();
    const QFontMetrics metrics = view->fontMetrics();
    const int rows = std::min(model->rowCount(), RowsLooked);
    for (int column = 0; column < model->columnCount(); ++column) {
        int width = Narrowest;
        for (int row = 0; row < rows && width < Widest; ++row) {
            // A line break inside a cell shows as the end of its first line, so measure that line.
            const QString text = model->index(row, column).data().toString();
            const QString firstLine = text.section(QRegularExpression(u"[\\r\\n\\v]"_s), 0, 0);
            width = std::max(width, metrics.horizontalAdvance(firstLine) + 16);
        }
        view->setColumnWidth(column, std::min(width, Widest));
    }
}

// Makes each row that holds a cell of several lines tall enough for them (up to a bound, so one
// cell of many lines does not take the whole view; its tool tip has all of them).
void ResultWindow::fitRows(QTableView* view) {
    constexpr int MostLines = 8;
    const auto* model = qobject_cast<const SheetTableModel*>(view->model());
    QHeaderView* rows = view->verticalHeader();
    const int line = view->fontMetrics().lineSpacing();
    // Quietly: a header that repaints and reports each resized row finds that row's position
    // anew every time, which makes a sheet of many tall rows take minutes. The view is not shown yet.
    const bool updates = rows->updatesEnabled();
    rows->setUpdatesEnabled(false);
    const QSignalBlocker quiet(rows);
    for (const auto& [row, lines] : model->multiLineRows(MostLines))
        rows->resizeSection(row, rows->defaultSectionSize() + (lines - 1) * line);
    rows->setUpdatesEnabled(updates);
}

QString ResultWindow::displayName() const {
    if (!m_lastSave)
        return m_workbook ? m_workbook->name() : QString::fromUtf16(office::SpreadsheetApplicationName);
    const QString file = QFileInfo(m_lastSave->path).fileName();
    // The file no longer holds what the window shows: Save will ask where to save.
    if (changedSinceSaved())
        return u"%1 (changed by an import since it was saved)"_s.arg(file);
    if (m_lastSave->scope == CsvScope::EachSheet)
        return u"%1 (%2 files, one per sheet)"_s.arg(QFileInfo(office::csvPartPath(file, u"…"_s)).fileName(),
                                                     QString::number(m_lastSave->files));
    if (!m_lastSave->whole)
        return u"%1 (only the sheet \"%2\")"_s.arg(file, m_lastSave->onlySheet);
    return file;
}

bool ResultWindow::hasUnsavedData() const {
    if (!m_workbook || (m_savedRevision && *m_savedRevision == m_workbook->revision()))
        return false;
    for (int i = 0; i < m_workbook->sheetCount(); ++i)
        if (!m_workbook->sheet(i).isEmpty())
            return true;
    return false;
}

void ResultWindow::saveShownSheetCsv(const QString& path, office::OutputFormat format) {
    // The sheet shown, with the sheets before it that it continues and after it that continue it: the
    // rows of one text that did not fit one sheet all go into the one file, in order.
    const auto [first, last] = office::continuedSheets(*m_workbook, std::max(m_tabs->currentIndex(), 0));
    std::vector<const office::Worksheet*> sheets;
    for (int i = first; i <= last; ++i)
        sheets.push_back(&m_workbook->sheet(i));
    office::saveSheetsCsv(sheets, path, office::csvStyleOf(format));
    // The file holds the whole workbook when no other sheet has anything in it.
    const std::vector<office::CsvPart> parts = office::csvParts(*m_workbook);
    const bool whole =
        std::all_of(parts.begin(), parts.end(), [first = first, last = last](const office::CsvPart& part) {
            return part.first >= first && part.second <= last;
        });
    m_lastSave = LastSave{path, format, CsvScope::ShownSheet, whole, m_workbook->sheet(first).name(), 1};
}

int ResultWindow::saveEachSheetCsv(const QString& path, office::OutputFormat format) {
    const std::vector<office::CsvPart> parts = office::csvParts(*m_workbook);
    for (const auto& [first, last] : parts) {
        std::vector<const office::Worksheet*> sheets;
        for (int i = first; i <= last; ++i)
            sheets.push_back(&m_workbook->sheet(i));
        office::saveSheetsCsv(sheets, office::csvPartPath(path, m_workbook->sheet(first).name()),
                              office::csvStyleOf(format));
    }
    const int files = static_cast<int>(parts.size());
    m_lastSave = LastSave{path, format, CsvScope::EachSheet, true, QString(), files};
    return files;
}

bool ResultWindow::saveTo(const QString& path, office::OutputFormat format, CsvScope scope) {
    if (!m_workbook)
        return false;
    try {
        if (office::infoOf(format).oneSheet) {
            if (scope == CsvScope::EachSheet)
                saveEachSheetCsv(path, format);
            else
                saveShownSheetCsv(path, format);
        } else {
            office::saveWorkbookAs(*m_workbook, path, format);
            m_lastSave = LastSave{path, format, CsvScope::ShownSheet, true, QString(), 1};
        }
    } catch (const std::exception& failure) {
        m_prompts.showFailure(this, QString::fromUtf8(failure.what()));
        return false;
    }
    m_lastSave->revision = m_workbook->revision();
    if (m_lastSave->whole)
        m_savedRevision = m_workbook->revision();
    setWindowTitle(displayName());
    return true;
}

bool ResultWindow::save() {
    // A file saved before a later import added to the workbook is never replaced without asking.
    if (m_lastSave && m_lastSave->whole && !changedSinceSaved())
        return saveTo(m_lastSave->path, m_lastSave->format, m_lastSave->scope);
    return saveAs();
}

bool ResultWindow::saveAs() {
    if (!m_workbook)
        return false;
    QString suggested = m_lastSave ? m_lastSave->path : QString();
    if (suggested.isEmpty()) {
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        suggested = QDir(folder).filePath(QFileInfo(m_workbook->name()).completeBaseName() + u".xlsx"_s);
    }
    const SaveChoice choice = m_prompts.askSavePath(this, suggested);
    if (choice.path.isEmpty())
        return false;
    const auto [path, format] = office::saveNameFor(choice.path, choice.filter);
    // The save dialog asked about the name it was given, not about the one with the suffix added.
    if (path != choice.path && QFileInfo::exists(path) && !m_prompts.askReplace(this, {path}))
        return false;
    CsvScope scope = CsvScope::ShownSheet;
    const std::vector<office::CsvPart> parts = office::csvParts(*m_workbook);
    if (office::infoOf(format).oneSheet && parts.size() > 1) {
        // One .csv holds one sheet: the user says which, or all of them each in a file of its own.
        switch (m_prompts.askCsvChoice(this, static_cast<int>(parts.size()), QFileInfo(path).completeBaseName())) {
        case ResultPrompts::CsvChoice::Cancel:
            return false;
        case ResultPrompts::CsvChoice::ShownSheet:
            break;
        case ResultPrompts::CsvChoice::EachSheet: {
            // The save dialog asked about the file it named, not about these.
            QStringList existing;
            for (const office::CsvPart& part : parts) {
                const QString file = office::csvPartPath(path, m_workbook->sheet(part.first).name());
                if (QFileInfo::exists(file))
                    existing.append(file);
            }
            if (!existing.isEmpty() && !m_prompts.askReplace(this, existing))
                return false;
            scope = CsvScope::EachSheet;
            break;
        }
        }
    }
    return saveTo(path, format, scope);
}

void ResultWindow::openInSpreadsheetApplication() {
    if (!m_workbook)
        return;
    QString base = QFileInfo(m_workbook->name()).completeBaseName();
    base.remove(u'/');
    if (base.isEmpty())
        base = u"Workbook"_s;
    QString folder, path;
    try {
        folder = m_copies.create();
        path = QDir(folder).filePath(base + u".xlsx"_s);
        office::saveWorkbookXlsx(*m_workbook, path);
    } catch (const std::exception& failure) {
        if (!folder.isEmpty())
            m_copies.remove(folder);
        m_prompts.showFailure(this, QString::fromUtf8(failure.what()));
        return;
    }
    // The copy stays while the program runs: the other application reads it after this returns.
    const shell::OpenResult result = m_desktop.openFile(path);
    if (!result.opened()) {
        m_copies.remove(folder);
        const QString text = u"The workbook \"%1\" could not be opened in a spreadsheet application.\n\n"
                             u"%2: %3.\n\nYou can still save it with Save As."_s;
        m_prompts.showFailure(this, text.arg(displayName(), path, result.failure));
    }
}

void ResultWindow::closeEvent(QCloseEvent* event) {
    if (hasUnsavedData()) {
        switch (m_prompts.askBeforeClose(this, displayName())) {
        case ResultPrompts::CloseChoice::Save:
            if (!saveAs()) {
                event->ignore();
                return;
            }
            break;
        case ResultPrompts::CloseChoice::Discard:
            break;
        case ResultPrompts::CloseChoice::Cancel:
            event->ignore();
            return;
        }
    }
    // The user closes the workbook: the instance ends without asking again.
    if (m_instance->running()) {
        m_instance->setDisplayAlerts(false);
        m_instance->quit();
    }
    event->accept();
}

// ---- ResultWindows

ResultWindows::ResultWindows(shell::Desktop& desktop, ResultPrompts& prompts, QObject* parent)
    : QObject(parent), m_desktop(desktop), m_prompts(prompts) {}

void ResultWindows::install(office::SpreadsheetEngine& engine) {
    engine.setHandOverHook([this](const std::shared_ptr<office::SpreadsheetInstance>& instance) { show(instance); });
}

std::vector<ResultWindow*> ResultWindows::windows() const {
    std::vector<ResultWindow*> open;
    for (const auto& window : m_windows)
        if (window)
            open.push_back(window.data());
    return open;
}

ResultWindow* ResultWindows::show(const std::shared_ptr<office::SpreadsheetInstance>& instance) {
    std::erase_if(m_windows, [](const QPointer<ResultWindow>& window) { return window.isNull(); });
    for (const auto& window : m_windows) {
        if (window->instance() == instance) {
            window->refresh();
            window->show();
            window->raise();
            window->activateWindow();
            return window.data();
        }
    }
    auto* window = new ResultWindow(instance, m_desktop, m_prompts, m_copies);
    place(window);
    m_windows.emplace_back(window);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void ResultWindows::place(ResultWindow* window) const {
    // The first result window opens in the middle of the screen the user works on, where they look
    // for it; a further one a title bar's height below and right of the last one, so that it hides
    // none of the earlier ones exactly, and back at the top-left corner when that would leave the
    // screen. The size leaves room for that step, so two windows never coincide.
    constexpr QSize Wanted(900, 600);
    constexpr int Step = 32;
    const ResultWindow* last = m_windows.empty() ? nullptr : m_windows.back().data();
    QScreen* screen = last ? last->screen() : currentScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QMargins frame = expectedFrame(window);
    const QSize size = fittedSize(available.adjusted(0, 0, -Step, -Step), Wanted, frame);
    window->resize(size);
    if (!last) {
        window->move(centredOn(available, size, frame));
        return;
    }
    const QPoint next = last->frameGeometry().topLeft() + QPoint(Step, Step);
    const QPoint inside = keptInside(available, next, size, frame);
    window->move(inside == next ? next : available.topLeft());
}

} // namespace quorvane::app
