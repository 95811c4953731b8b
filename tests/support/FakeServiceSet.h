#pragma once

// Every platform service as a fake and both office servers behind recorders, with the
// shell::Services that hands them out. Test fixtures derive from it (or hold one) and reach the
// services by their plain names.

#include "support/FakeServices.h"
#include "support/RecordingOffice.h"

#include "shell/Services.h"

namespace quorvane::test {

struct FakeServiceSet {
    explicit FakeServiceSet(const QString& applicationTitle = {}, const QString& programFolder = {})
        : services{prompts, errors,        dialogs,      settings,         desktop,      random,
                   events,  presentations, spreadsheets, applicationTitle, programFolder} {}
    FakeServiceSet(const FakeServiceSet&) = delete;
    FakeServiceSet& operator=(const FakeServiceSet&) = delete;

    FakePrompts prompts;
    RecordingErrorReporter errors;
    FakeDialogs dialogs;
    MemorySettings settings;
    FakeDesktop desktop;
    FixedRandom random;
    ScriptedEventPump events;
    RecordingPresentationServer presentations;
    RecordingSpreadsheetServer spreadsheets;
    shell::Services services;
};

} // namespace quorvane::test
