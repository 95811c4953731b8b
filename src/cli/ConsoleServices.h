#pragma once

// The services of the import run on the command line: error reports, notices and message boxes on
// standard error, the progress line, and the stop on a signal in place of the window's close.

#include "import/ImportFailures.h"
#include "shell/ErrorReport.h"
#include "shell/Services.h"

#include <QString>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iterator>

namespace quorvane::cli {

// Line ends as the terminal shows them: each CR LF or lone CR of a report becomes LF.
QString forTerminal(QString text);

// The progress line, drawn over itself on a terminal and never written elsewhere.
class ProgressLine {
public:
    explicit ProgressLine(std::FILE* err);
    void show(const QString& text);
    void clear();

private:
    std::FILE* m_err;
    bool m_enabled;
    bool m_shown = false;
};

// Every error report goes to standard error with its whole text; so does a notice, which is no
// failure and leaves the exit status alone.
class StderrReporter final : public shell::ErrorReporter {
public:
    StderrReporter(std::FILE* err, ProgressLine& progress) : m_err(err), m_progress(progress) {}
    void report(const QString& description, const QString& location, int line) override;
    void notice(const QString& description, const QString& location, int line) override;
    int reports = 0;

private:
    std::FILE* m_err;
    ProgressLine& m_progress;
};

// The failures of an import run, each on one line of standard error as it happens: "quorvane-cli:
// PATH: DESCRIPTION (statement N)", without the path when the failure concerns no presentation; the
// box's closing lines belong to the window. They are kept for the sheet of --failures-sheet (when
// addsSheet). A notice is a line "quorvane-cli: DESCRIPTION" of its own, and is not kept.
class StderrFailureLog final : public import::FailureLog {
public:
    StderrFailureLog(std::FILE* err, ProgressLine& progress, bool addsSheet)
        : FailureLog(addsSheet), m_err(err), m_progress(progress) {}
    void failed(const import::ImportFailure& failure) override;
    void noticed(const QString& description) override;

private:
    std::FILE* m_err;
    ProgressLine& m_progress;
};

// Message boxes become lines on standard error. Nobody can answer a question: the answer is No.
class StderrPrompts final : public shell::Prompts {
public:
    StderrPrompts(std::FILE* err, ProgressLine& progress) : m_err(err), m_progress(progress) {}
    shell::MessageAnswer messageBox(const QString& text, shell::MessageStyle style, const QString&) override;
    QString inputBox(const QString&, const QString&, const QString&) override { return {}; }
    std::optional<QString> passwordBox(const QString&, const QString&) override { return std::nullopt; }
    int messages = 0;

private:
    std::FILE* m_err;
    ProgressLine& m_progress;
};

// Ctrl+C, a termination request (SIGTERM) and a closed terminal (SIGHUP) stop the run at its next
// yield, as closing the window does, or the save at its next row: no staging file or partial output
// is left behind. Set once one of them came while StopSignals handles them.
const std::atomic<bool>& interruptRequested();
// The number of the signal that came, 0 for none.
int stopSignal();

// Handles the three signals for its lifetime, then puts back what was there.
class StopSignals {
public:
    StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    ~StopSignals();

private:
    static constexpr int Signals[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction m_previous[std::size(Signals)]{};
};

// A write to a closed pipe (SIGPIPE) or past the limit on a file's size (SIGXFSZ) would end the
// program on the spot, leaving the run's private folders behind; for its lifetime both are ignored,
// so such a write fails with its errno (EPIPE, EFBIG "File too large") and the run cleans up as after
// any failed write. Puts back what was there when it goes.
class WriteSignalsIgnored {
public:
    WriteSignalsIgnored();
    WriteSignalsIgnored(const WriteSignalsIgnored&) = delete;
    WriteSignalsIgnored& operator=(const WriteSignalsIgnored&) = delete;
    ~WriteSignalsIgnored();

private:
    static constexpr int Signals[] = {SIGPIPE, SIGXFSZ};
    struct sigaction m_previous[std::size(Signals)]{};
};

// Throws shell::OperationAborted at a yield once a signal came.
class InterruptibleEvents final : public shell::EventPump {
public:
    void yield() override;
    void poll() override { yield(); }
};

// The services the run does not use on the command line.
class NoDialogs final : public shell::Dialogs {
public:
    QString showOpen(const shell::OpenFileRequest&) override { return {}; }
    QString pickFolder(const QString&) override { return {}; }
};
class NoSettings final : public shell::SettingsStore {
public:
    QString read(const QString&, const QString& defaultValue) override { return defaultValue; }
    void write(const QString&, const QString&) override {}
};
class NoDesktop final : public shell::Desktop {
public:
    void openUrl(const QString&) override {}
    shell::OpenResult openFolder(const QString&) override { return {}; }
    shell::OpenResult openFile(const QString&) override { return {}; }
};

} // namespace quorvane::cli
