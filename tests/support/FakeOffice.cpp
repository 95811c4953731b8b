#include "FakeOffice.h"

#include "import/SpreadsheetChecks.h"
#include "office/AutomationError.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quorvane::test {

namespace {

QString argumentText(const QVariant& value) {
    return value.isValid() ? value.toString() : u"-"_s;
}

QString boolText(bool value) {
    return value ? u"true"_s : u"false"_s;
}

} // namespace

// ---- CallPlan ---------------------------------------------------------------------------------

void CallPlan::failCall(const QString& member, int occurrence, const QString& description) {
    m_failures.push_back({member, occurrence, description});
}

QString CallPlan::plannedDescription(const QString& member, int occurrence) {
    return u"Planned failure of "_s + member + u" #"_s + QString::number(occurrence);
}

void CallPlan::enter(int instance, const QString& member, const QString& arguments) {
    const int occurrence = ++m_seen[member];
    calls.push_back({instance, member, arguments});
    if (onCall)
        onCall(calls.back());
    for (const Failure& failure : m_failures) {
        if (failure.member == member && (failure.occurrence == 0 || failure.occurrence == occurrence))
            throw office::AutomationError(failure.description.isEmpty() ? plannedDescription(member, occurrence)
                                                                        : failure.description);
    }
}

int CallPlan::count(const QString& member) const {
    return static_cast<int>(
        std::count_if(calls.begin(), calls.end(), [&](const OfficeCall& c) { return c.member == member; }));
}

QStringList CallPlan::trace(int instance) const {
    QStringList result;
    for (const OfficeCall& c : calls) {
        if (instance == 0 || c.instance == instance)
            result.append(QString::number(c.instance) + u"."_s + c.member + u"("_s + c.arguments + u")"_s);
    }
    return result;
}

QStringList CallPlan::members(int instance) const {
    QStringList result;
    for (const OfficeCall& c : calls) {
        if (instance == 0 || c.instance == instance)
            result.append(c.member);
    }
    return result;
}

// ---- Spreadsheet ------------------------------------------------------------------------------

QString FakeSheet::cell(int row, int column) const {
    if (row < 1 || row > cells.size())
        return {};
    const QStringList& line = cells.at(row - 1);
    return column >= 1 && column <= line.size() ? line.at(column - 1) : QString();
}

QString FakeSpreadsheet::name() const {
    m_server.record(m_number, u"name"_s);
    return m_server.applicationName;
}

void FakeSpreadsheet::setDisplayAlerts(bool on) {
    m_server.record(m_number, u"setDisplayAlerts"_s, boolText(on));
    m_displayAlerts = on;
}

void FakeSpreadsheet::workbooksOpen(const QVariant& fileName, const QVariant& updateLinks, const QVariant& readOnly,
                                    const QVariant& format, const QVariant& password, const QVariant& writeResPassword,
                                    const QVariant& ignoreReadOnlyRecommended, const QVariant& origin,
                                    const QVariant& delimiter) {
    const QStringList arguments{argumentText(fileName),
                                argumentText(updateLinks),
                                argumentText(readOnly),
                                argumentText(format),
                                argumentText(password),
                                argumentText(writeResPassword),
                                argumentText(ignoreReadOnlyRecommended),
                                argumentText(origin),
                                argumentText(delimiter)};
    m_server.record(m_number, u"workbooksOpen"_s, arguments.join(u','));

    const QString path = fileName.toString();
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        throw office::AutomationError(u"'"_s + path + u"' could not be found"_s);
    const QString content = QString::fromUtf8(file.readAll());
    openedFiles.append(content);

    // A row at each CR LF, LF or lone CR; with format 6 a new cell at each delimiter character.
    const bool split = format.isValid() && format.toInt() == 6 && !delimiter.toString().isEmpty();
    QStringList lines = content.split(QRegularExpression(u"\r\n|\n|\r"_s));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the line end after the last line starts no row
    FakeWorkbook book;
    book.name = QFileInfo(path).fileName();
    FakeSheet sheet{QFileInfo(path).completeBaseName(), {}};
    for (const QString& line : std::as_const(lines))
        sheet.cells.append(split ? line.split(delimiter.toString().at(0)) : QStringList{line});
    book.sheets.push_back(sheet);
    workbooks.push_back(book);
    activeWorkbookIndex = static_cast<int>(workbooks.size()) - 1;
    m_activeRow = m_activeColumn = 1;
}

FakeWorkbook& FakeSpreadsheet::addWorkbook() {
    FakeWorkbook book;
    book.name = u"Book"_s + QString::number(++m_books);
    book.sheets.push_back({u"Sheet1"_s, {}});
    workbooks.push_back(book);
    activeWorkbookIndex = static_cast<int>(workbooks.size()) - 1;
    m_activeRow = m_activeColumn = 1;
    return workbooks.back();
}

void FakeSpreadsheet::workbooksAdd() {
    m_server.record(m_number, u"workbooksAdd"_s);
    addWorkbook();
}

FakeWorkbook* FakeSpreadsheet::activeWorkbook() {
    if (activeWorkbookIndex < 0 || activeWorkbookIndex >= static_cast<int>(workbooks.size()))
        return nullptr;
    return &workbooks[static_cast<size_t>(activeWorkbookIndex)];
}

FakeSheet& FakeSpreadsheet::activeSheet(const QString& member) {
    FakeWorkbook* book = activeWorkbook();
    if (!book)
        throw office::AutomationError(member + u": no workbook is open"_s);
    return book->sheets.at(static_cast<size_t>(book->activeSheet));
}

void FakeSpreadsheet::copyUsedRange() {
    m_server.record(m_number, u"copyUsedRange"_s);
    const FakeSheet& sheet = activeSheet(u"copyUsedRange"_s);
    // The used range is the smallest rectangle holding every non-empty cell; A1 alone on an empty sheet.
    qsizetype top = -1, bottom = -1, left = -1, right = -1;
    for (qsizetype r = 0; r < sheet.cells.size(); ++r) {
        for (qsizetype c = 0; c < sheet.cells[r].size(); ++c) {
            if (sheet.cells[r][c].isEmpty())
                continue;
            top = top < 0 ? r : top;
            bottom = r;
            left = left < 0 ? c : std::min(left, c);
            right = std::max(right, c);
        }
    }
    Grid range;
    for (qsizetype r = top; r >= 0 && r <= bottom; ++r) {
        QStringList row;
        for (qsizetype c = left; c <= right; ++c)
            row.append(c < sheet.cells[r].size() ? sheet.cells[r][c] : QString());
        range.append(row);
    }
    m_server.clipboard = range.isEmpty() ? Grid{QStringList{QString()}} : range;
    m_server.clipboardFilled = true;
}

void FakeSpreadsheet::sheetsAdd() {
    m_server.record(m_number, u"sheetsAdd"_s);
    FakeWorkbook* book = activeWorkbook();
    if (!book)
        throw office::AutomationError(u"sheetsAdd: no workbook is open"_s);
    // "SheetN" with the next unused N, placed right after the active sheet and made active.
    int n = 1;
    auto used = [&](const QString& candidate) {
        return std::any_of(book->sheets.begin(), book->sheets.end(),
                           [&](const FakeSheet& s) { return s.name.compare(candidate, Qt::CaseInsensitive) == 0; });
    };
    while (used(u"Sheet"_s + QString::number(n)))
        ++n;
    const auto at = book->sheets.begin() + book->activeSheet + 1;
    book->sheets.insert(at, FakeSheet{u"Sheet"_s + QString::number(n), {}});
    ++book->activeSheet;
    m_activeRow = m_activeColumn = 1;
}

int FakeSpreadsheet::sheetsCount() {
    m_server.record(m_number, u"sheetsCount"_s);
    FakeWorkbook* book = activeWorkbook();
    if (!book)
        throw office::AutomationError(u"sheetsCount: no workbook is open"_s);
    return static_cast<int>(book->sheets.size());
}

QString FakeSpreadsheet::sheetName(int index) {
    m_server.record(m_number, u"sheetName"_s, QString::number(index));
    FakeWorkbook* book = activeWorkbook();
    if (!book || index < 1 || index > static_cast<int>(book->sheets.size()))
        throw office::AutomationError(u"sheetName: no sheet "_s + QString::number(index));
    return book->sheets[static_cast<size_t>(index - 1)].name;
}

void FakeSpreadsheet::setActiveSheetName(const QString& newName) {
    m_server.record(m_number, u"setActiveSheetName"_s, newName);
    FakeSheet& sheet = activeSheet(u"setActiveSheetName"_s);
    // The spreadsheet's own rules for sheet names.
    static const QRegularExpression forbidden(u"[:\\\\/?*\\[\\]]"_s);
    bool clash = false;
    for (const FakeSheet& other : activeWorkbook()->sheets)
        clash = clash || (&other != &sheet && other.name.compare(newName, Qt::CaseInsensitive) == 0);
    if (newName.isEmpty() || newName.size() > 31 || newName.contains(forbidden) || newName.startsWith(u'\'') ||
        newName.endsWith(u'\'') || clash || newName.compare(u"History"_s, Qt::CaseInsensitive) == 0)
        throw office::AutomationError(u"The sheet name \""_s + newName + u"\" is not allowed"_s);
    sheet.name = newName;
}

void FakeSpreadsheet::paste() {
    m_server.record(m_number, u"paste"_s);
    FakeSheet& sheet = activeSheet(u"paste"_s);
    if (!m_server.clipboardFilled)
        throw office::AutomationError(u"paste: the clipboard is empty"_s);
    // The clipboard's rows land at the active cell, growing the grid as needed.
    const Grid& rows = m_server.clipboard;
    for (qsizetype r = 0; r < rows.size(); ++r) {
        const qsizetype row = m_activeRow - 1 + r;
        while (sheet.cells.size() <= row)
            sheet.cells.append(QStringList{});
        QStringList& line = sheet.cells[row];
        for (qsizetype c = 0; c < rows[r].size(); ++c) {
            const qsizetype column = m_activeColumn - 1 + c;
            while (line.size() <= column)
                line.append(QString());
            line[column] = rows[r][c];
        }
    }
}

void FakeSpreadsheet::selectRange(const QString& reference) {
    m_server.record(m_number, u"selectRange"_s, reference);
    activeSheet(u"selectRange"_s);
    if (reference != u"A1")
        throw office::AutomationError(u"selectRange: the fake knows only A1"_s);
    m_activeRow = m_activeColumn = 1;
}

void FakeSpreadsheet::setVisible(bool on) {
    m_server.record(m_number, u"setVisible"_s, boolText(on));
    m_visible = on;
}

void FakeSpreadsheet::quit() {
    m_server.record(m_number, u"quit"_s);
    // Closes the workbooks (the fake never asks) and leaves the running-instance table.
    workbooks.clear();
    activeWorkbookIndex = -1;
    m_running = false;
}

FakeSpreadsheetServer::FakeSpreadsheetServer() : applicationName(import::spreadsheetApplicationName()) {}

std::shared_ptr<office::SpreadsheetApplication> FakeSpreadsheetServer::create() {
    record(0, u"create"_s);
    instances.push_back(std::make_shared<FakeSpreadsheet>(*this, static_cast<int>(instances.size()) + 1));
    return instances.back();
}

std::shared_ptr<office::SpreadsheetApplication> FakeSpreadsheetServer::attach() {
    record(0, u"attach"_s);
    for (const auto& instance : instances) {
        if (instance->running())
            return instance;
    }
    throw office::AutomationError(u"No spreadsheet instance is running"_s);
}

std::shared_ptr<FakeSpreadsheet> FakeSpreadsheetServer::startUserInstance() {
    instances.push_back(std::make_shared<FakeSpreadsheet>(*this, static_cast<int>(instances.size()) + 1));
    instances.back()->addWorkbook();
    instances.back()->m_visible = true;
    return instances.back();
}

std::vector<std::shared_ptr<FakeSpreadsheet>> FakeSpreadsheetServer::running() const {
    std::vector<std::shared_ptr<FakeSpreadsheet>> result;
    std::copy_if(instances.begin(), instances.end(), std::back_inserter(result),
                 [](const auto& instance) { return instance->running(); });
    return result;
}

// ---- Presentation -----------------------------------------------------------------------------

office::ShapeInfo textShape(const QString& text) {
    return {true, text};
}
office::ShapeInfo pictureShape() {
    return {false, {}};
}

void FakePresentation::setVisible(bool on) {
    m_server.record(m_number, u"setVisible"_s, boolText(on));
    m_visible = on;
}

void FakePresentation::open(const QString& fileName) {
    m_server.record(m_number, u"open"_s, fileName);
    if (!m_server.decks.contains(fileName))
        throw office::AutomationError(QFileInfo(fileName).fileName() + u": cannot be opened"_s);
    openPresentations.append(fileName);
}

const FakeDeck& FakePresentation::activeDeck(const QString& member) {
    if (openPresentations.isEmpty())
        throw office::AutomationError(member + u": no presentation is open"_s);
    return m_server.decks[openPresentations.last()];
}

int FakePresentation::slidesCount() {
    m_server.record(m_number, u"slidesCount"_s);
    return static_cast<int>(activeDeck(u"slidesCount"_s).size());
}

int FakePresentation::shapesCount(int slide) {
    m_server.record(m_number, u"shapesCount"_s, QString::number(slide));
    const FakeDeck& deck = activeDeck(u"shapesCount"_s);
    if (slide < 1 || slide > static_cast<int>(deck.size()))
        throw office::AutomationError(u"shapesCount: no slide "_s + QString::number(slide));
    return static_cast<int>(deck[static_cast<size_t>(slide - 1)].size());
}

const office::ShapeInfo& FakePresentation::shapeAt(const QString& member, int slide, int shape) {
    const FakeDeck& deck = activeDeck(member);
    if (slide < 1 || slide > static_cast<int>(deck.size()))
        throw office::AutomationError(member + u": no slide "_s + QString::number(slide));
    const auto& shapes = deck[static_cast<size_t>(slide - 1)];
    if (shape < 1 || shape > static_cast<int>(shapes.size()))
        throw office::AutomationError(member + u": no shape "_s + QString::number(shape));
    return shapes[static_cast<size_t>(shape - 1)];
}

int FakePresentation::hasTextFrame(int slide, int shape) {
    m_server.record(m_number, u"hasTextFrame"_s, QString::number(slide) + u","_s + QString::number(shape));
    return shapeAt(u"hasTextFrame"_s, slide, shape).hasTextFrame ? -1 : 0;
}

QString FakePresentation::shapeText(int slide, int shape) {
    m_server.record(m_number, u"shapeText"_s, QString::number(slide) + u","_s + QString::number(shape));
    const office::ShapeInfo& info = shapeAt(u"shapeText"_s, slide, shape);
    if (!info.hasTextFrame)
        throw office::AutomationError(u"shapeText: the shape has no text frame"_s);
    return info.text;
}

void FakePresentation::saveActive() {
    m_server.record(m_number, u"saveActive"_s);
    activeDeck(u"saveActive"_s);
}

void FakePresentation::quit() {
    m_server.record(m_number, u"quit"_s);
    openPresentations.clear();
    if (m_server.runningInstance.get() == this)
        m_server.runningInstance.reset();
}

std::shared_ptr<office::PresentationApplication> FakePresentationServer::create() {
    record(0, u"create"_s);
    // One instance per process: creating while one runs yields the running one.
    if (!runningInstance)
        runningInstance = std::make_shared<FakePresentation>(*this, ++started);
    return runningInstance;
}

std::shared_ptr<office::PresentationApplication> FakePresentationServer::attach() {
    record(0, u"attach"_s);
    if (!runningInstance)
        throw office::AutomationError(u"No presentation instance is running"_s);
    return runningInstance;
}

} // namespace quorvane::test
