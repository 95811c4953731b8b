#include "RecordingOffice.h"

#include "office/AutomationError.h"

#include <QFile>

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

QString pairText(int a, int b) {
    return QString::number(a) + u","_s + QString::number(b);
}

// The number of real among the instances seen so far, numbering it when it is new.
template <class T> int numberIn(std::vector<std::weak_ptr<T>>& numbered, const std::shared_ptr<T>& real) {
    for (std::size_t i = 0; i < numbered.size(); ++i)
        if (numbered[i].lock() == real)
            return static_cast<int>(i) + 1;
    numbered.push_back(real);
    return static_cast<int>(numbered.size());
}

} // namespace

// ---- CallPlan ---------------------------------------------------------------------------------

void CallPlan::failCall(const QString& member, int occurrence, const QString& description) {
    m_failures.push_back({member, occurrence, description});
}

void CallPlan::failNextCall(const QString& member, const QString& description) {
    failCall(member, m_seen.value(member) + 1, description);
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

// One reference to a real instance: records each call, then forwards it. The program may hold several
// for one instance (one per create or attach), as it may hold several references to one instance.
class RecordingSpreadsheet final : public office::SpreadsheetApplication {
public:
    RecordingSpreadsheet(RecordingSpreadsheetServer& server, std::shared_ptr<office::SpreadsheetInstance> real)
        : m_server(server), m_real(std::move(real)), m_number(server.numberOf(m_real)) {}

    QString name() const override {
        record(u"name"_s);
        return m_server.foreignName.isEmpty() ? m_real->name() : m_server.foreignName;
    }
    void setDisplayAlerts(bool on) override {
        record(u"setDisplayAlerts"_s, boolText(on));
        m_real->setDisplayAlerts(on);
    }
    bool displayAlerts() const override { return m_real->displayAlerts(); }
    void workbooksOpen(const QVariant& fileName, const QVariant& updateLinks, const QVariant& readOnly,
                       const QVariant& format, const QVariant& password, const QVariant& writeResPassword,
                       const QVariant& ignoreReadOnlyRecommended, const QVariant& origin,
                       const QVariant& delimiter) override {
        const QStringList arguments{argumentText(fileName),
                                    argumentText(updateLinks),
                                    argumentText(readOnly),
                                    argumentText(format),
                                    argumentText(password),
                                    argumentText(writeResPassword),
                                    argumentText(ignoreReadOnlyRecommended),
                                    argumentText(origin),
                                    argumentText(delimiter)};
        record(u"workbooksOpen"_s, arguments.join(u','));
        if (QFile file(fileName.toString()); file.open(QIODevice::ReadOnly))
            m_server.openedFiles.append(QString::fromUtf8(file.readAll()));
        m_real->workbooksOpen(fileName, updateLinks, readOnly, format, password, writeResPassword,
                              ignoreReadOnlyRecommended, origin, delimiter);
    }
    void workbooksAdd() override {
        record(u"workbooksAdd"_s);
        m_real->workbooksAdd();
    }
    void copyUsedRange() override {
        record(u"copyUsedRange"_s);
        m_real->copyUsedRange();
    }
    void sheetsAdd() override {
        record(u"sheetsAdd"_s);
        m_real->sheetsAdd();
    }
    int sheetsCount() override {
        record(u"sheetsCount"_s);
        return m_real->sheetsCount();
    }
    QString activeSheetName() override {
        record(u"activeSheetName"_s);
        return m_real->activeSheetName();
    }
    QString sheetName(int index) override {
        record(u"sheetName"_s, QString::number(index));
        return m_real->sheetName(index);
    }
    void setActiveSheetName(const QString& newName) override {
        record(u"setActiveSheetName"_s, newName);
        m_real->setActiveSheetName(newName);
    }
    void paste() override {
        record(u"paste"_s);
        m_real->paste();
    }
    void selectRange(const QString& reference) override {
        record(u"selectRange"_s, reference);
        m_real->selectRange(reference);
    }
    void setVisible(bool on) override {
        record(u"setVisible"_s, boolText(on));
        m_real->setVisible(on);
    }
    bool visible() const override { return m_real->visible(); }
    void quit() override {
        record(u"quit"_s);
        m_real->quit();
    }

private:
    void record(const QString& member, const QString& arguments = {}) const {
        m_server.enter(m_number, member, arguments);
    }

    RecordingSpreadsheetServer& m_server;
    std::shared_ptr<office::SpreadsheetInstance> m_real;
    int m_number;
};

std::shared_ptr<office::SpreadsheetApplication> RecordingSpreadsheetServer::create() {
    enter(0, u"create"_s);
    return std::make_shared<RecordingSpreadsheet>(
        *this, std::static_pointer_cast<office::SpreadsheetInstance>(m_engine.create()));
}

std::shared_ptr<office::SpreadsheetApplication> RecordingSpreadsheetServer::attach() {
    enter(0, u"attach"_s);
    return std::make_shared<RecordingSpreadsheet>(
        *this, std::static_pointer_cast<office::SpreadsheetInstance>(m_engine.attach()));
}

std::shared_ptr<office::SpreadsheetInstance> RecordingSpreadsheetServer::startUserInstance() {
    auto instance = std::static_pointer_cast<office::SpreadsheetInstance>(m_engine.create());
    numberOf(instance);
    instance->workbooksAdd();
    instance->setVisible(true);
    return instance;
}

std::shared_ptr<office::SpreadsheetInstance> RecordingSpreadsheetServer::instance(int number) const {
    if (number < 1 || number > instanceCount())
        return nullptr;
    return m_numbered[static_cast<std::size_t>(number - 1)].lock();
}

int RecordingSpreadsheetServer::numberOf(const std::shared_ptr<office::SpreadsheetInstance>& instance) {
    return numberIn(m_numbered, instance);
}

void RecordingSpreadsheetServer::quitAll() {
    for (const auto& instance : running())
        instance->quit();
}

Grid cellsOf(const office::Worksheet& sheet) {
    Grid grid;
    if (sheet.isEmpty())
        return grid;
    const office::CellRect used = sheet.usedRange();
    for (std::int64_t row = 0; row < used.bottom(); ++row) {
        QStringList cells;
        for (std::int64_t column = 0; column < used.right(); ++column) {
            const std::string_view text = sheet.cell(row, column).text;
            cells.append(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        }
        grid.append(cells);
    }
    return grid;
}

QString cellText(const office::Worksheet& sheet, int row, int column) {
    const std::string_view text = sheet.cell(row - 1, column - 1).text;
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QStringList sheetNamesOf(const office::Workbook& workbook) {
    QStringList names;
    for (int i = 0; i < workbook.sheetCount(); ++i)
        names.append(workbook.sheet(i).name());
    return names;
}

// ---- Presentation -----------------------------------------------------------------------------

class RecordingPresentation final : public office::PresentationApplication {
public:
    RecordingPresentation(RecordingPresentationServer& server, std::shared_ptr<office::PresentationApplication> real,
                          int number)
        : m_server(server), m_real(std::move(real)), m_number(number) {}

    void setVisible(bool on) override {
        record(u"setVisible"_s, boolText(on));
        m_real->setVisible(on);
    }
    bool visible() const override { return m_real->visible(); }
    void open(const QString& fileName) override {
        record(u"open"_s, fileName);
        m_real->open(fileName);
    }
    int slidesCount() override {
        record(u"slidesCount"_s);
        return m_real->slidesCount();
    }
    int shapesCount(int slide) override {
        record(u"shapesCount"_s, QString::number(slide));
        return m_real->shapesCount(slide);
    }
    int hasTextFrame(int slide, int shape) override {
        record(u"hasTextFrame"_s, pairText(slide, shape));
        return m_real->hasTextFrame(slide, shape);
    }
    QString shapeText(int slide, int shape) override {
        record(u"shapeText"_s, pairText(slide, shape));
        return m_real->shapeText(slide, shape);
    }
    // What the command line reads besides: passed through as they are, unrecorded.
    QString shapeName(const office::ShapeRef& shape) override { return m_real->shapeName(shape); }
    office::ShapeKind shapeKind(const office::ShapeRef& shape) override { return m_real->shapeKind(shape); }
    int itemHasTextFrame(const office::ShapeRef& shape) override { return m_real->itemHasTextFrame(shape); }
    QString itemText(const office::ShapeRef& shape) override { return m_real->itemText(shape); }
    int groupItemsCount(int slide, int shape) override { return m_real->groupItemsCount(slide, shape); }
    int tableRowsCount(const office::ShapeRef& shape) override { return m_real->tableRowsCount(shape); }
    int tableColumnsCount(const office::ShapeRef& shape) override { return m_real->tableColumnsCount(shape); }
    QString tableCellText(const office::ShapeRef& shape, int row, int column) override {
        return m_real->tableCellText(shape, row, column);
    }
    QString notesText(int slide) override { return m_real->notesText(slide); }
    bool slideHidden(int slide) override { return m_real->slideHidden(slide); }
    QStringList graphicTexts(const office::ShapeRef& shape) override { return m_real->graphicTexts(shape); }
    QString alternativeText(const office::ShapeRef& shape) override { return m_real->alternativeText(shape); }
    std::vector<office::SlideComment> comments(int slide) override { return m_real->comments(slide); }
    std::optional<office::PresentationDamage> damage() override { return m_real->damage(); }
    void saveActive() override {
        record(u"saveActive"_s);
        m_real->saveActive();
    }
    void quit() override {
        record(u"quit"_s);
        m_real->quit();
    }

private:
    void record(const QString& member, const QString& arguments = {}) { m_server.enter(m_number, member, arguments); }

    RecordingPresentationServer& m_server;
    std::shared_ptr<office::PresentationApplication> m_real;
    int m_number;
};

std::shared_ptr<office::PresentationApplication> RecordingPresentationServer::create() {
    enter(0, u"create"_s);
    return wrap(m_server->create());
}

std::shared_ptr<office::PresentationApplication> RecordingPresentationServer::attach() {
    enter(0, u"attach"_s);
    return wrap(m_server->attach());
}

std::shared_ptr<office::PresentationApplication>
RecordingPresentationServer::wrap(const std::shared_ptr<office::PresentationApplication>& real) {
    return std::make_shared<RecordingPresentation>(*this, real, numberIn(m_numbered, real));
}

} // namespace quorvane::test
