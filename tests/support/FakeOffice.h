#pragma once

// Fake office servers for tests. They keep just enough state to behave like the real servers as the
// program sees them (a running-instance table, workbooks with sheets of cells, a process-wide
// clipboard, presentations as lists of shapes), record every member call, and can be told to fail
// any one call of any member.

#include "office/PresentationServer.h"
#include "office/SpreadsheetServer.h"
#include "office/presentation/PresentationDocument.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace quorvane::test {

// One member call as a fake server saw it.
struct OfficeCall {
    int instance;      // the instance's number in creation order (1, 2, ...); 0 for create and attach
    QString member;    // the interface's member name: "paste", "workbooksOpen", "create", ...
    QString arguments; // the arguments as text, comma-separated; omitted arguments as "-"
};

// The call record and the planned failures of one fake server.
class CallPlan {
public:
    // Makes the occurrence-th call of member (1-based, counted over all instances of this server)
    // throw an AutomationError with description (a made-up one when empty). occurrence 0: every call.
    void failCall(const QString& member, int occurrence = 1, const QString& description = {});
    // The description a planned failure of member uses when the test gave none.
    static QString plannedDescription(const QString& member, int occurrence);

    // Every call so far, in order.
    std::vector<OfficeCall> calls;
    // Runs at every call before it is carried out or fails (to change the file list mid-run, say).
    std::function<void(const OfficeCall&)> onCall;

    // How often member was called.
    int count(const QString& member) const;
    // The calls as "instance.member(arguments)" texts; only those of one instance when instance > 0.
    QStringList trace(int instance = 0) const;
    // The member names of the calls in order; only those of one instance when instance > 0.
    QStringList members(int instance = 0) const;

protected:
    // Records the call, runs onCall, and throws when the plan says this call fails.
    void enter(int instance, const QString& member, const QString& arguments = {});

private:
    struct Failure {
        QString member;
        int occurrence;
        QString description;
    };
    std::vector<Failure> m_failures;
    QMap<QString, int> m_seen;
};

// ---- Spreadsheet ------------------------------------------------------------------------------

using Grid = QList<QStringList>; // rows of cells; rows may differ in length

struct FakeSheet {
    QString name;
    Grid cells;
    // The cell at (row, column), 1-based; empty outside the grid.
    QString cell(int row, int column) const;
};

struct FakeWorkbook {
    QString name;
    std::vector<FakeSheet> sheets;
    int activeSheet = 0; // index into sheets
};

class FakeSpreadsheetServer;

// An instance of the fake spreadsheet server. Its state is public so tests can set up and inspect it.
class FakeSpreadsheet final : public office::SpreadsheetApplication {
public:
    FakeSpreadsheet(FakeSpreadsheetServer& server, int number) : m_server(server), m_number(number) {}

    QString name() const override;
    void setDisplayAlerts(bool on) override;
    bool displayAlerts() const override { return m_displayAlerts; }
    void workbooksOpen(const QVariant& fileName, const QVariant& updateLinks, const QVariant& readOnly,
                       const QVariant& format, const QVariant& password, const QVariant& writeResPassword,
                       const QVariant& ignoreReadOnlyRecommended, const QVariant& origin,
                       const QVariant& delimiter) override;
    void workbooksAdd() override;
    void copyUsedRange() override;
    void sheetsAdd() override;
    int sheetsCount() override;
    QString sheetName(int index) override;
    void setActiveSheetName(const QString& name) override;
    void paste() override;
    void selectRange(const QString& reference) override;
    void setVisible(bool visible) override;
    bool visible() const override { return m_visible; }
    void quit() override;

    int number() const { return m_number; }
    bool running() const { return m_running; }
    // The active workbook, or null when none is open.
    FakeWorkbook* activeWorkbook();
    // Opens a new workbook ("BookN" with "Sheet1") without recording a call (for setting up a test).
    FakeWorkbook& addWorkbook();

    std::vector<FakeWorkbook> workbooks;
    int activeWorkbookIndex = -1;
    // The raw content of each file opened with workbooksOpen, in order.
    QStringList openedFiles;

private:
    friend class FakeSpreadsheetServer;
    FakeSheet& activeSheet(const QString& member);

    FakeSpreadsheetServer& m_server;
    int m_number;
    bool m_displayAlerts = true;
    bool m_visible = false;
    bool m_running = true;
    int m_books = 0;
    int m_activeRow = 1;
    int m_activeColumn = 1;
};

// The fake spreadsheet server: create starts and lists an instance, attach yields the earliest one
// still running, quit removes it. The clipboard is shared by all instances and outlives them.
class FakeSpreadsheetServer final : public office::SpreadsheetServer, public CallPlan {
public:
    FakeSpreadsheetServer();

    std::shared_ptr<office::SpreadsheetApplication> create() override;
    std::shared_ptr<office::SpreadsheetApplication> attach() override;

    // Starts an instance as the user would (not recorded), visible and with one open workbook.
    std::shared_ptr<FakeSpreadsheet> startUserInstance();
    // Every instance ever started, in order; instance(n) is the n-th (from 1).
    std::vector<std::shared_ptr<FakeSpreadsheet>> instances;
    FakeSpreadsheet& instance(int number) { return *instances.at(static_cast<size_t>(number - 1)); }
    // The instances still running.
    std::vector<std::shared_ptr<FakeSpreadsheet>> running() const;

    // What every instance answers as its name (the genuine server's name unless a test changes it).
    QString applicationName;
    Grid clipboard;
    bool clipboardFilled = false;

private:
    friend class FakeSpreadsheet;
    void record(int instance, const QString& member, const QString& arguments = {}) {
        enter(instance, member, arguments);
    }
};

// ---- Presentation -----------------------------------------------------------------------------

// A presentation as the fake server reads it: slides of top-level shapes.
using FakeDeck = std::vector<std::vector<office::ShapeInfo>>;

// A shape with a text frame holding text, and one without.
office::ShapeInfo textShape(const QString& text);
office::ShapeInfo pictureShape();

class FakePresentationServer;

class FakePresentation final : public office::PresentationApplication {
public:
    FakePresentation(FakePresentationServer& server, int number) : m_server(server), m_number(number) {}

    void setVisible(bool visible) override;
    bool visible() const override { return m_visible; }
    void open(const QString& fileName) override;
    int slidesCount() override;
    int shapesCount(int slide) override;
    int hasTextFrame(int slide, int shape) override;
    QString shapeText(int slide, int shape) override;
    void saveActive() override;
    void quit() override;

    // The paths of the presentations open now, the active one last.
    QStringList openPresentations;

private:
    const office::ShapeInfo& shapeAt(const QString& member, int slide, int shape);
    const FakeDeck& activeDeck(const QString& member);

    FakePresentationServer& m_server;
    int m_number;
    bool m_visible = false;
};

// The fake presentation server: one instance at a time, like the real one. Presentations are looked
// up by path in decks; any other path fails to open.
class FakePresentationServer final : public office::PresentationServer, public CallPlan {
public:
    std::shared_ptr<office::PresentationApplication> create() override;
    std::shared_ptr<office::PresentationApplication> attach() override;

    QMap<QString, FakeDeck> decks;
    // The running instance, or null.
    std::shared_ptr<FakePresentation> runningInstance;
    int started = 0;

private:
    friend class FakePresentation;
    void record(int instance, const QString& member, const QString& arguments = {}) {
        enter(instance, member, arguments);
    }
};

} // namespace quorvane::test
