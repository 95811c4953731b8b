#include "app/ResultWindow.h"

#include "office/spreadsheet/WorkbookExport.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>

#include <QTemporaryDir>
#include <QToolBar>
#include <algorithm>

#include <limits>

using namespace Qt::StringLiterals;

namespace quorvane::app {

// ---- SheetTableModel

SheetTableModel::SheetTableModel(std::shared_ptr<office::Workbook> workbook, int sheetIndex, QObject* parent)
    : QAbstractTableModel(parent), m_workbook(std::move(workbook)), m_sheet(m_workbook->sheet(sheetIndex)) {
    const office::CellRect used = m_sheet.usedRange();
    // The grid starts at A1 and reaches the end of the used range; both limits fit an int.
    m_rows = static_cast<int>(used.bottom());
    m_columns = static_cast<int>(used.right());
}

int SheetTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int SheetTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_columns;
}

QVariant SheetTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const office::CellView cell = m_sheet.cell(index.row(), index.column());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::ToolTipRole: // the whole text, also of a cell that its column shows cut
        return QString::fromUtf8(cell.text.data(), static_cast<qsizetype>(cell.text.size()));
    case Qt::TextAlignmentRole:
        // Numbers stand to the right, text to the left, as in a spreadsheet.
        return QVariant::fromValue(
            Qt::Alignment(cell.number ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter));
    default:
        return {};
    }
}

QVariant SheetTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return orientation == Qt::Horizontal ? office::columnLetters(section) : QString::number(section + 1);
}

// ---- QtResultPrompts

ResultPrompts::CloseChoice QtResultPrompts::askBeforeClose(QWidget* window, const QString& workbookName) {
    QMessageBox box(QMessageBox::Question, workbookName,
                    u"Do you want to save the workbook \"%1\" before closing it?"_s.arg(workbookName),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, window);
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        return CloseChoice::Save;
    case QMessageBox::Discard:
        return CloseChoice::Discard;
    default:
        return CloseChoice::Cancel;
    }
}

QString QtResultPrompts::askSavePath(QWidget* window, const QString& suggestedPath) {
    const QString workbookFilter = u"Workbook (*.xlsx)"_s;
    const QString csvFilter = u"Comma-separated values, the sheet shown (*.csv)"_s;
    QString selected = workbookFilter;
    QString path = QFileDialog::getSaveFileName(window, u"Save As"_s, suggestedPath,
                                                workbookFilter + u";;"_s + csvFilter, &selected);
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += selected == csvFilter ? u".csv"_s : u".xlsx"_s;
    return path;
}

void QtResultPrompts::showFailure(QWidget* window, const QString& text) {
    QMessageBox::warning(window, window ? window->windowTitle() : QString(), text);
}

// ---- ResultWindow

ResultWindow::ResultWindow(std::shared_ptr<office::SpreadsheetInstance> instance, shell::Desktop& desktop,
                           ResultPrompts& prompts)
    : QMainWindow(nullptr), m_instance(std::move(instance)), m_desktop(desktop), m_prompts(prompts),
      m_tabs(new QTabWidget(this)) {
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
    QAction* saveAction = bar->addAction(u"Save As…"_s, this, [this] { saveAs(); });
    saveAction->setObjectName(u"SaveAs"_s);
    saveAction->setShortcut(QKeySequence::SaveAs);
    QAction* openAction =
        bar->addAction(u"Open in spreadsheet application"_s, this, [this] { openInSpreadsheetApplication(); });
    openAction->setObjectName(u"OpenInSpreadsheet"_s);
    resize(900, 600);
    refresh();
}

void ResultWindow::refresh() {
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
    setWindowTitle(m_workbook->name());
    for (int i = 0; i < m_workbook->sheetCount(); ++i) {
        auto* view = new QTableView(m_tabs);
        view->setObjectName(u"Grid"_s);
        view->setModel(new SheetTableModel(m_workbook, i, view));
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setWordWrap(false);
        // Fixed row heights keep scrolling through a million rows smooth.
        view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
        view->horizontalHeader()->setDefaultSectionSize(110);
        fitColumns(view);
        view->setCurrentIndex(view->model()->index(0, 0));
        m_tabs->addTab(view, m_workbook->sheet(i).name());
    }
    m_tabs->setCurrentIndex(shown >= 0 && shown < m_tabs->count() ? shown : m_workbook->activeIndex());
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

bool ResultWindow::hasUnsavedData() const {
    if (!m_workbook || (m_savedRevision && *m_savedRevision == m_workbook->revision()))
        return false;
    for (int i = 0; i < m_workbook->sheetCount(); ++i)
        if (!m_workbook->sheet(i).isEmpty())
            return true;
    return false;
}

bool ResultWindow::saveTo(const QString& path) {
    if (!m_workbook)
        return false;
    try {
        if (QFileInfo(path).suffix().compare(u"csv"_s, Qt::CaseInsensitive) == 0) {
            const int shown = std::max(m_tabs->currentIndex(), 0);
            office::saveSheetCsv(m_workbook->sheet(shown), path);
            // A .csv holds the whole workbook only when it has one sheet.
            if (m_workbook->sheetCount() == 1)
                m_savedRevision = m_workbook->revision();
        } else {
            office::saveWorkbookXlsx(*m_workbook, path);
            m_savedRevision = m_workbook->revision();
        }
    } catch (const std::exception& failure) {
        m_prompts.showFailure(this, QString::fromUtf8(failure.what()));
        return false;
    }
    m_lastSavePath = path;
    return true;
}

bool ResultWindow::saveAs() {
    if (!m_workbook)
        return false;
    QString suggested = m_lastSavePath;
    if (suggested.isEmpty()) {
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        suggested = QDir(folder).filePath(QFileInfo(m_workbook->name()).completeBaseName() + u".xlsx"_s);
    }
    const QString path = m_prompts.askSavePath(this, suggested);
    return !path.isEmpty() && saveTo(path);
}

void ResultWindow::openInSpreadsheetApplication() {
    if (!m_workbook)
        return;
    // The file belongs to the other application from now on, so its folder is not removed.
    QTemporaryDir folder(QDir::temp().filePath(u"quorvane-XXXXXX"_s));
    folder.setAutoRemove(false);
    QString base = QFileInfo(m_workbook->name()).completeBaseName();
    base.remove(u'/');
    if (base.isEmpty())
        base = u"Workbook"_s;
    const QString path = folder.filePath(base + u".xlsx"_s);
    try {
        if (!folder.isValid())
            throw std::runtime_error(u"no temporary folder: %1"_s.arg(folder.errorString()).toStdString());
        office::saveWorkbookXlsx(*m_workbook, path);
    } catch (const std::exception& failure) {
        m_prompts.showFailure(this, QString::fromUtf8(failure.what()));
        return;
    }
    static_cast<void>(m_desktop.openFile(path)); // not looked at yet
}

void ResultWindow::closeEvent(QCloseEvent* event) {
    if (hasUnsavedData()) {
        switch (m_prompts.askBeforeClose(this, m_workbook->name())) {
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
    auto* window = new ResultWindow(instance, m_desktop, m_prompts);
    m_windows.emplace_back(window);
    // A new result window opens in the middle of the screen, where the user looks for it.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - window->rect().center());
    window->show();
    return window;
}

} // namespace quorvane::app
