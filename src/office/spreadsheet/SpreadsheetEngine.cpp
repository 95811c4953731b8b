#include "office/spreadsheet/SpreadsheetEngine.h"

#include "office/AutomationError.h"
#include "office/spreadsheet/DelimitedText.h"

#include <QFileInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quorvane::office {

// The only text format this engine reads: delimited by a character the caller names.
static constexpr int CustomDelimiterFormat = 6;

SpreadsheetEngine::SpreadsheetEngine() : m_process(std::make_shared<SpreadsheetProcess>()) {}

SpreadsheetEngine::~SpreadsheetEngine() {
    // The handed-over instances refer back to the shared state; letting them go breaks that cycle.
    auto handed = std::move(m_process->handedOver);
    m_process->handOver = nullptr;
}

std::shared_ptr<SpreadsheetApplication> SpreadsheetEngine::create() {
    auto instance = std::make_shared<SpreadsheetInstance>(m_process);
    m_process->running.push_back(instance);
    return instance;
}

std::vector<std::shared_ptr<SpreadsheetInstance>> SpreadsheetEngine::runningInstances() const {
    std::vector<std::shared_ptr<SpreadsheetInstance>> result;
    for (const auto& entry : m_process->running)
        if (auto instance = entry.lock(); instance && instance->running())
            result.push_back(std::move(instance));
    return result;
}

std::shared_ptr<SpreadsheetApplication> SpreadsheetEngine::attach() {
    // Entries whose instance ended (quit, or dropped without being handed over) leave the table.
    std::erase_if(m_process->running, [](const std::weak_ptr<SpreadsheetInstance>& entry) {
        const auto instance = entry.lock();
        return !instance || !instance->running();
    });
    if (m_process->running.empty())
        throw AutomationError(u"No spreadsheet instance is running."_s);
    return m_process->running.front().lock();
}

SpreadsheetInstance::SpreadsheetInstance(std::shared_ptr<SpreadsheetProcess> process) : m_process(std::move(process)) {}

void SpreadsheetInstance::requireRunning() const {
    if (!m_running)
        throw AutomationError(u"The spreadsheet instance has quit."_s);
}

Workbook& SpreadsheetInstance::requireWorkbook() const {
    requireRunning();
    if (!m_active)
        throw AutomationError(u"No workbook is open in the spreadsheet."_s);
    return *m_active;
}

void SpreadsheetInstance::activate(std::shared_ptr<Workbook> workbook) {
    m_workbooks.push_back(workbook);
    m_active = std::move(workbook);
}

void SpreadsheetInstance::workbooksOpen(const QVariant& fileName, const QVariant&, const QVariant&,
                                        const QVariant& format, const QVariant&, const QVariant&, const QVariant&,
                                        const QVariant&, const QVariant& delimiter) {
    requireRunning();
    const QString path = fileName.isValid() ? fileName.toString() : QString();
    if (path.isEmpty())
        throw AutomationError(u"Workbooks.Open: no file name was given."_s);
    bool isNumber = false;
    const int formatNumber = format.isValid() ? format.toInt(&isNumber) : 0;
    if (!isNumber || formatNumber != CustomDelimiterFormat)
        throw AutomationError(
            u"%1: only text split at a given delimiter (format 6) can be opened; format %2 is not supported."_s.arg(
                path, format.isValid() ? format.toString() : u"(none)"_s));
    const QString delimiterText = delimiter.isValid() ? delimiter.toString() : QString();
    if (delimiterText.isEmpty())
        throw AutomationError(u"%1: format 6 needs a delimiter character, and none was given."_s.arg(path));
    // Only the first character of the delimiter counts.
    const char32_t delimiterCode = delimiterText.toUcs4().value(0);
    if (delimiterCode == U'\r' || delimiterCode == U'\n')
        throw AutomationError(u"%1: a line end cannot be the delimiter."_s.arg(path));

    auto block = readDelimitedText(path, delimiterCode);
    // The workbook is named after the file, its one sheet after the file without its extension.
    const QFileInfo info(path);
    QString sheetName = info.completeBaseName();
    sheetName.removeIf([](QChar ch) { return QStringView(u":\\/?*[]").contains(ch) || ch.unicode() < 0x20; });
    sheetName = sheetName.left(MaxSheetNameLength);
    while (sheetName.startsWith(u'\''))
        sheetName.remove(0, 1);
    while (sheetName.endsWith(u'\''))
        sheetName.chop(1);
    if (!sheetNameProblem(sheetName, {}).isEmpty())
        sheetName = u"Sheet1"_s;
    auto workbook = std::make_shared<Workbook>(info.fileName(), sheetName);
    workbook->activeSheet().placeBlock(std::move(block));
    activate(std::move(workbook));
}

void SpreadsheetInstance::workbooksAdd() {
    requireRunning();
    activate(std::make_shared<Workbook>(u"Book"_s + QString::number(++m_bookCounter), u"Sheet1"_s));
}

void SpreadsheetInstance::copyUsedRange() {
    const Worksheet& sheet = requireWorkbook().activeSheet();
    m_process->clipboard = sheet.copy(sheet.usedRange());
}

void SpreadsheetInstance::sheetsAdd() {
    requireWorkbook().addSheet();
}

int SpreadsheetInstance::sheetsCount() {
    return requireWorkbook().sheetCount();
}

QString SpreadsheetInstance::sheetName(int index) {
    const Workbook& workbook = requireWorkbook();
    if (index < 1 || index > workbook.sheetCount())
        throw AutomationError(u"There is no sheet %1: the workbook \"%2\" has %3 sheets."_s.arg(
            QString::number(index), workbook.name(), QString::number(workbook.sheetCount())));
    return workbook.sheet(index - 1).name();
}

void SpreadsheetInstance::setActiveSheetName(const QString& name) {
    Workbook& workbook = requireWorkbook();
    workbook.renameSheet(workbook.activeIndex(), name);
}

QString SpreadsheetInstance::activeSheetName() {
    return requireWorkbook().activeSheet().name();
}

void SpreadsheetInstance::paste() {
    Workbook& workbook = requireWorkbook();
    if (!m_process->clipboard)
        throw AutomationError(u"Nothing to paste: the clipboard holds no copied cells."_s);
    Worksheet& sheet = workbook.activeSheet();
    sheet.paste(*m_process->clipboard, sheet.activeRow(), sheet.activeColumn());
    workbook.touch();
}

void SpreadsheetInstance::selectRange(const QString& reference) {
    Workbook& workbook = requireWorkbook();
    const auto rect = parseReference(reference);
    if (!rect)
        throw AutomationError(u"\"%1\" does not name a cell or range of the sheet."_s.arg(reference));
    workbook.activeSheet().setActiveCell(rect->row, rect->column);
}

void SpreadsheetInstance::setVisible(bool visible) {
    requireRunning();
    m_visible = visible;
    auto& handed = m_process->handedOver;
    auto self = shared_from_this();
    if (!visible) {
        std::erase(handed, self);
        return;
    }
    if (std::find(handed.begin(), handed.end(), self) == handed.end())
        handed.push_back(self);
    if (m_process->handOver)
        m_process->handOver(self);
}

void SpreadsheetInstance::quit() {
    if (!m_running)
        return;
    m_running = false;
    m_visible = false;
    // The workbooks close without asking: whoever hands an instance to the user asks before Quit.
    m_workbooks.clear();
    m_active.reset();
    auto self = shared_from_this();
    std::erase(m_process->handedOver, self);
    std::erase_if(m_process->running, [&](const std::weak_ptr<SpreadsheetInstance>& entry) {
        const auto instance = entry.lock();
        return !instance || instance == self;
    });
}

} // namespace quorvane::office
