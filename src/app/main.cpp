// quorvane: the desktop program. Builds the services, runs the main window's start-up and shows it.
#include "app/Form1.h"
#include "app/QtDesktop.h"
#include "app/QtDialogs.h"
#include "app/QtPrompts.h"
#include "app/ResultWindow.h"
#include "app/TerminationSignals.h"
#include "shell/ClockRandom.h"
#include "shell/ErrorReport.h"
#include "shell/Product.h"
#include "shell/QtEventPump.h"
#include "shell/QtSettingsStore.h"

#include "office/presentation/LocalPresentationServer.h"
#include "office/spreadsheet/SpreadsheetEngine.h"

#include <QApplication>

#include <csignal>
#include <cstdio>

using namespace quorvane;
using namespace Qt::StringLiterals;

namespace {

const char* const Usage = "Usage: quorvane [Qt options]\n"
                          "\n"
                          "Opens the window in which the text of many presentations is put into one workbook.\n"
                          "The program takes no arguments of its own; quorvane-cli imports without a window.\n"
                          "\n"
                          "Options:\n"
                          "  -h, --help     show this help and exit\n"
                          "  --version      show the version and exit\n";

// --version and --help, answered before any window is made, so that they need no display. True when
// one was answered.
bool answeredWithoutDisplay(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (shell::answeredStandardOption(argv[i], "quorvane", Usage, stdout))
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (answeredWithoutDisplay(argc, argv))
        return 0;
    // A save past the limit on a file's size, or a write to a closed pipe, fails with its reason
    // ("File too large") and cleans up, instead of ending the program and its windows on the spot.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);

    QApplication application(argc, argv);
    QApplication::setApplicationName(u"quorvane"_s);
    QApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));
    QGuiApplication::setDesktopFileName(u"quorvane"_s);

    app::QtPrompts prompts;
    shell::PromptErrorReporter errors(prompts);
    app::QtDialogs dialogs;
    shell::QtSettingsStore settings;
    app::QtDesktop desktop;
    // The result windows outlive the engine below (it is destroyed first), as the hook requires.
    app::QtResultPrompts resultPrompts;
    app::ResultWindows results(desktop, resultPrompts);
    shell::ClockRandom random;
    shell::QtEventPump events;
    // Ctrl+C, a termination request or a closed session end the program as closing its windows would,
    // but without a question: an operation under way stops at its next yield and leaves no staging
    // file behind, and the temporary copies of result windows go with their owner.
    int terminatedBy = 0;
    app::TerminationSignals termination([&events, &terminatedBy](int signal) {
        terminatedBy = signal;
        events.abort();
        QCoreApplication::exit(128 + signal);
    });
    // The presentations of an import are read ahead on every core while the window stays with the run.
    office::LocalPresentationServer presentations(office::LocalPresentationServer::coreCount());
    office::SpreadsheetEngine spreadsheets;
    shell::Services services{prompts,
                             errors,
                             dialogs,
                             settings,
                             desktop,
                             random,
                             events,
                             presentations,
                             spreadsheets,
                             QString(),
                             QCoreApplication::applicationDirPath()};

    // A workbook the import hands to the user (Visible = true) opens in a result window.
    results.install(spreadsheets);

    app::Form1 form(services);
    prompts.setParent(&form);
    dialogs.setParent(&form);
    // Closing the main window stops a running operation at its next yield; result windows stay
    // open, and the program ends with its last window.
    QObject::connect(&form, &app::Form1::closed, [&events] { events.abort(); });

    const bool loaded = form.Form_Load();
    // A signal that came while start-up showed a box: the box has gone, and so does the program
    // (the event loop it asked to leave was the box's).
    if (terminatedBy != 0)
        return 128 + terminatedBy;
    // No spreadsheet instance can be created: the message has been shown, the window never is.
    if (!loaded)
        return 0;
    form.show();
    return application.exec();
}
