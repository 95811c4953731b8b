#pragma once

// The program's own office servers wrapped in recorders for tests. Every member call goes to the real
// spreadsheet engine or the real presentation server, so tests see the shipped behaviour; the recorder
// notes each call (to check the order of calls) and can make a planned call fail with an
// AutomationError, for the failure paths that no real file or state produces.

#include "office/PresentationServer.h"
#include "office/SpreadsheetServer.h"
#include "office/presentation/LocalPresentationServer.h"
#include "office/spreadsheet/SpreadsheetEngine.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace quorvane::test {

// One member call as a recorder saw it.
struct OfficeCall {
    int instance;      // the instance's number in order of first sight (1, 2, ...); 0 for create and attach
    QString member;    // the interface's member name: "paste", "workbooksOpen", "create", ...
    QString arguments; // the arguments as text, comma-separated; omitted arguments as "-"
};

// The call record and the planned failures of one recorder.
class CallPlan {
public:
    // Makes the occurrence-th call of member (1-based, counted over all instances of this server)
    // throw an AutomationError with description (a made-up one when empty), before the call reaches
    // the server. occurrence 0: every call.
    void failCall(const QString& member, int occurrence = 1, const QString& description = {});
    // Makes the next call of member fail, counting from now.
    void failNextCall(const QString& member, const QString& description = {});
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

// The real spreadsheet engine behind a recorder. Instances live exactly as long as the engine's own
// would: the recorder keeps no instance alive, so one that the program drops without handing it to
// the user ends as it does in the program.
class RecordingSpreadsheetServer final : public office::SpreadsheetServer, public CallPlan {
public:
    std::shared_ptr<office::SpreadsheetApplication> create() override;
    std::shared_ptr<office::SpreadsheetApplication> attach() override;

    office::SpreadsheetEngine& engine() { return m_engine; }
    // Starts an instance as the user would (not recorded): one new workbook, handed to the user.
    std::shared_ptr<office::SpreadsheetInstance> startUserInstance();
    // Instance number n (from 1) while something still holds it; null once it is gone.
    std::shared_ptr<office::SpreadsheetInstance> instance(int number) const;
    // How many instances have been numbered.
    int instanceCount() const { return static_cast<int>(m_numbered.size()); }
    // The number of an instance (numbered on first sight).
    int numberOf(const std::shared_ptr<office::SpreadsheetInstance>& instance);
    // The instances running now, earliest first.
    std::vector<std::shared_ptr<office::SpreadsheetInstance>> running() const { return m_engine.runningInstances(); }
    // Quits every running instance, as the user closing the results does.
    void quitAll();

    // The text (UTF-8) of each file as it was when Workbooks.Open reached the engine, in order.
    QStringList openedFiles;
    // When not empty, what every instance answers as its name: a foreign server under another name.
    QString foreignName;

private:
    friend class RecordingSpreadsheet;
    office::SpreadsheetEngine m_engine;
    std::vector<std::weak_ptr<office::SpreadsheetInstance>> m_numbered;
};

// Rows of cells as text; what a sheet holds from A1 to the bottom-right corner of its used range.
using Grid = QList<QStringList>;
// The cells of sheet from A1 on; empty when the sheet holds nothing.
Grid cellsOf(const office::Worksheet& sheet);
// The text of the cell at (row, column), both from 1.
QString cellText(const office::Worksheet& sheet, int row, int column);
// The names of the workbook's sheets in order.
QStringList sheetNamesOf(const office::Workbook& workbook);

// ---- Presentation -----------------------------------------------------------------------------

// The real presentation server behind a recorder. Presentations are real files (see PackageBuilder.h).
class RecordingPresentationServer final : public office::PresentationServer, public CallPlan {
public:
    std::shared_ptr<office::PresentationApplication> create() override;
    std::shared_ptr<office::PresentationApplication> attach() override;
    // Hints are passed on unrecorded: they are no member of the automation surface.
    void prepare(const QStringList& paths) override { m_server->prepare(paths); }
    int lookahead() const override { return m_server->lookahead(); }
    void whileWaiting(std::function<void()> poll) override { m_server->whileWaiting(std::move(poll)); }
    void usePasswords(std::shared_ptr<office::PasswordSource> passwords) override {
        m_server->usePasswords(std::move(passwords));
    }

    // The running instance, or null.
    std::shared_ptr<office::LocalPresentationApplication> running() const { return m_server->running(); }
    // From now on the real server reads jobs presentations at a time (call it before the first create).
    void readAhead(int jobs) { m_server = std::make_unique<office::LocalPresentationServer>(jobs); }

private:
    friend class RecordingPresentation;
    std::shared_ptr<office::PresentationApplication> wrap(const std::shared_ptr<office::PresentationApplication>& real);

    std::unique_ptr<office::LocalPresentationServer> m_server = std::make_unique<office::LocalPresentationServer>();
    std::vector<std::weak_ptr<office::PresentationApplication>> m_numbered;
};

} // namespace quorvane::test
