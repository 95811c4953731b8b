#pragma once

#include "shell/Desktop.h"
#include "shell/Dialogs.h"
#include "shell/ErrorReport.h"
#include "shell/EventPump.h"
#include "shell/Prompts.h"
#include "shell/RandomSource.h"
#include "shell/SettingsStore.h"

#include "office/PresentationServer.h"
#include "office/SpreadsheetServer.h"

#include <QString>

namespace quorvane::shell {

// Every platform service a handler touches, built once in main (or in a test) and handed to the
// window and the core by reference.
struct Services {
    Prompts& prompts;
    ErrorReporter& errors;
    Dialogs& dialogs;
    SettingsStore& settings;
    Desktop& desktop;
    RandomSource& random;
    EventPump& events;
    office::PresentationServer& presentations;
    office::SpreadsheetServer& spreadsheets;
    // The caption of message boxes and prompts that name none of their own; set at start-up.
    QString applicationTitle;
    // The folder of the running program, without a trailing separator; optional files live there.
    QString programFolder;
};

} // namespace quorvane::shell
