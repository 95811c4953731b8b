#pragma once

// Every platform service as a fake, with the app::Services that hands them out. Test fixtures
// derive from it (or hold one) and reach the fakes by their plain names.

#include "support/FakeOffice.h"
#include "support/FakeServices.h"

#include "app/Services.h"

namespace quorvane::test {

struct FakeServiceSet {
    explicit FakeServiceSet(const QString& applicationTitle = {}, const QString& programFolder = {})
        : services{prompts, errors, dialogs, settings, desktop, random, events, presentations, spreadsheets,
                   applicationTitle, programFolder} {}
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
    app::Services services;
};

} // namespace quorvane::test
