#pragma once

#include "office/SpreadsheetServer.h"
#include "office/spreadsheet/Workbook.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quorvane::office {

class SpreadsheetInstance;

// Called when an instance is handed to the user (Visible = true), again on every later Visible =
// true. The desktop opens or refreshes a result window; the command line saves the workbook.
using HandOverHook = std::function<void(const std::shared_ptr<SpreadsheetInstance>&)>;

// What the instances of one engine share: the table of running instances, the clipboard and the
// hand-over hook. Instances keep it alive, so the clipboard outlives every instance.
struct SpreadsheetProcess {
    // Running instances in the order they started. An instance runs until Quit, or until its last
    // reference is dropped while it is not handed to the user.
    std::vector<std::weak_ptr<SpreadsheetInstance>> running;
    // Instances handed to the user: the user owns them until Quit.
    std::vector<std::shared_ptr<SpreadsheetInstance>> handedOver;
    std::optional<CellRegion> clipboard;
    HandOverHook handOver;
};

// The in-process spreadsheet server: creates and attaches instances.
class SpreadsheetEngine final : public SpreadsheetServer {
public:
    SpreadsheetEngine();
    // Instances still handed to the user are let go and the hook is dropped: the engine ends with the
    // program, and nothing it set up may call into objects that ended before it.
    ~SpreadsheetEngine() override;
    SpreadsheetEngine(const SpreadsheetEngine&) = delete;
    SpreadsheetEngine& operator=(const SpreadsheetEngine&) = delete;

    // Starts a new instance and lists it as running.
    std::shared_ptr<SpreadsheetApplication> create() override;
    // The earliest-started instance still running; throws AutomationError when none runs.
    std::shared_ptr<SpreadsheetApplication> attach() override;

    // Sets the hook that Visible = true calls; an empty hook only marks the instance as the user's.
    void setHandOverHook(HandOverHook hook) { m_process->handOver = std::move(hook); }
    // The instances running now, earliest first.
    std::vector<std::shared_ptr<SpreadsheetInstance>> runningInstances() const;
    // True when the clipboard holds a copied range.
    bool clipboardHolds() const { return m_process->clipboard.has_value(); }

private:
    std::shared_ptr<SpreadsheetProcess> m_process;
};

// One instance of the spreadsheet with its own workbooks.
class SpreadsheetInstance final : public SpreadsheetApplication,
                                  public std::enable_shared_from_this<SpreadsheetInstance> {
public:
    explicit SpreadsheetInstance(std::shared_ptr<SpreadsheetProcess> process);

    QString name() const override { return QString::fromUtf16(SpreadsheetApplicationName); }
    void setDisplayAlerts(bool on) override { m_displayAlerts = on; }
    bool displayAlerts() const override { return m_displayAlerts; }

    // Only delimited text split at a caller-given character (format 6) is read; any other format,
    // a missing path or delimiter fails with a description.
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
    QString activeSheetName() override;
    void paste() override;
    void selectRange(const QString& reference) override;
    // Visible = true lists the instance as the user's and calls the hand-over hook (each time).
    void setVisible(bool visible) override;
    bool visible() const override { return m_visible; }
    // Closes every workbook without asking and leaves the table of running instances. Later calls
    // fail; a second Quit does nothing.
    void quit() override;

    bool running() const { return m_running; }
    // The workbooks in the order they were opened; the active one, or null when none is open.
    const std::vector<std::shared_ptr<Workbook>>& workbooks() const { return m_workbooks; }
    std::shared_ptr<Workbook> activeWorkbook() const { return m_active; }

private:
    void requireRunning() const;
    Workbook& requireWorkbook() const;
    void activate(std::shared_ptr<Workbook> workbook);

    std::shared_ptr<SpreadsheetProcess> m_process;
    std::vector<std::shared_ptr<Workbook>> m_workbooks;
    std::shared_ptr<Workbook> m_active;
    int m_bookCounter = 0;
    bool m_displayAlerts = true;
    bool m_visible = false;
    bool m_running = true;
};

} // namespace quorvane::office
