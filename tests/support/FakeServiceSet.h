#pragma once

// Every platform service as a fake, with the shell::Services that hands them out. Test fixtures
// derive from it (or hold one) and reach the fakes by their plain names.

#include "support/FakeOffice.h"
#include "support/FakeServices.h"

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
    FakePresentationServer presentations;
    FakeSpreadsheetServer spreadsheets;
    shell::Services services;
};

} // namespace quorvane::test
