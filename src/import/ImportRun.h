#pragma once

#include "import/ImportFailures.h"
#include "import/ImportOptions.h"
#include "import/RowLayout.h"
#include "office/PresentationServer.h"
#include "shell/Pointer.h"
#include "shell/Services.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace quorvane::import {

// What the import run needs of the main window. Everything is read at the moment it applies.
class ImportWindow : public shell::PointerHost {
public:
    // The FileList's entry count and the text of the entry at position (from 1; throws when the
    // entry does not exist).
    virtual int entryCount() = 0;
    virtual QString entryText(int position) = 0;
    // The texts of up to count entries after position, for the presentation server to read ahead:
    // only a hint, so an entry that cannot be read ends them without a failure.
    virtual QStringList entriesAfter(int position, int count);
    // Whether the option button is checked.
    virtual bool optionChecked(OptionButton option) = 0;
    // The whole content of Text1.
    virtual QString text1() = 0;
    // ProgressBar1: its value (0 to 100, not rounded) and its text.
    virtual void setProgressValue(double value) = 0;
    virtual void setProgressText(const QString& text) = 0;
    // The run passed its start checks and goes on (true), or it ended (false, also when it stopped):
    // a window shows what the run would ignore meanwhile (the options, a second start) disabled. A
    // run that ends at a start check ("No files added.", the running instance) never calls it.
    virtual void setImportRunning(bool running) = 0;
    // The text the run takes from the presentation at path, staged: a SplitMark in it starts a column,
    // and the presentation's own column marks are protected (protectSplitMarks). The window takes all
    // its shapes' text (PresentationText); another front end may lay it out in rows and columns of its
    // own. A damaged presentation that gives part of its text throws PartialReadError carrying that
    // text, staged the same way.
    virtual QString presentationText(office::PresentationServer& server, const QString& path);
    // Whether each sheet starts with a header row (headerRow), and the columns it names before the
    // text's; nothing for sheets of the text alone. Read when a sheet's text is laid out.
    virtual std::optional<std::vector<Column>> headerColumns() = 0;
    // Where the run's failures go instead of the error report (see FailureLog), or null: the error
    // report shows each one. Asked once, when the run starts.
    virtual FailureLog* failureLog() = 0;
};

// The operation behind "Start Importing PowerPoint Files".
class ImportRun {
public:
    ImportRun(shell::Services& services, ImportWindow& window) : m_services(services), m_window(window) {}

    // Runs the whole import. A call while a run is under way (from a yield) does nothing.
    // OperationAborted from a yield (the window closed) ends the run quietly.
    void PushButton2_Click();
    bool running() const { return m_running; }
    // How many presentations the last run read (whatever text they gave); 0 when every one failed.
    int presentationsRead() const { return m_presentationsRead; }
    // Whether the last run stopped because its staging file could not be made or written (no space,
    // no temporary folder): reported once, at the step that failed, and nothing was handed over.
    bool stagingFailed() const { return m_stagingFailed; }

private:
    shell::Services& m_services;
    ImportWindow& m_window;
    bool m_running = false;
    int m_presentationsRead = 0;
    bool m_stagingFailed = false;
};

} // namespace quorvane::import
