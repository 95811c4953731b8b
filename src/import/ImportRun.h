#pragma once

#include "shell/Pointer.h"
#include "shell/Services.h"

#include <QString>

namespace quorvane::import {

// What the import run needs of the main window. Everything is read at the moment it applies.
class ImportWindow : public shell::PointerHost {
public:
    // The FileList's entry count and the text of the entry at position (from 1; throws when the
    // entry does not exist).
    virtual int entryCount() = 0;
    virtual QString entryText(int position) = 0;
    // Whether option button OptionN (1 to 7) is checked.
    virtual bool optionChecked(int n) = 0;
    // The whole content of Text1.
    virtual QString text1() = 0;
    // ProgressBar1: its value (0 to 100, not rounded) and its text.
    virtual void setProgressValue(double value) = 0;
    virtual void setProgressText(const QString& text) = 0;
};

// The operation behind "Start Importing PowerPoint Files".
class ImportRun {
public:
    ImportRun(shell::Services& services, ImportWindow& window) : m_services(services), m_window(window) {}

    // Runs the whole import. A call while a run is under way (from a yield) does nothing.
    // OperationAborted from a yield (the window closed) ends the run quietly.
    void PushButton2_Click();
    bool running() const { return m_running; }

private:
    shell::Services& m_services;
    ImportWindow& m_window;
    bool m_running = false;
};

} // namespace quorvane::import
