#include "cli/ConsoleServices.h"

#include "cli/Commands.h"
#include "office/LocalNames.h"

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quorvane::cli {

namespace {

std::atomic<bool> g_interrupted{false};
std::atomic<int> g_signal{0};

extern "C" void onInterrupt(int signal) {
    g_signal = signal;
    g_interrupted = true;
}

} // namespace

QString forTerminal(QString text) {
    text.replace(u"\r\n"_s, u"\n"_s);
    text.replace(u'\r', u'\n');
    return text;
}

ProgressLine::ProgressLine(std::FILE* err) : m_err(err), m_enabled(::isatty(::fileno(err)) == 1) {}

void ProgressLine::show(const QString& text) {
    if (!m_enabled)
        return;
    // The line is drawn over with a control sequence of its own; the text itself may hold none.
    writeUtf8(m_err, u"\r\x1b[K"_s + escapedControls(text));
    std::fflush(m_err);
    m_shown = true;
}

void ProgressLine::clear() {
    if (m_shown)
        std::fputs("\r\x1b[K", m_err);
    m_shown = false;
}

void StderrReporter::report(const QString& description, const QString& location, int line) {
    notice(description, location, line);
    ++reports;
}

void StderrReporter::notice(const QString& description, const QString& location, int line) {
    m_progress.clear();
    writeMessage(m_err, forTerminal(shell::errorReportText(description, location, line)) + u"\n\n"_s);
    std::fflush(m_err);
}

void StderrFailureLog::failed(const import::ImportFailure& failure) {
    FailureLog::failed(failure);
    m_progress.clear();
    // One line, so that the failures can be searched and counted line by line.
    const QString path = failure.path.isEmpty() ? QString() : office::shownName(failure.path) + u": "_s;
    const QString description = forTerminal(failure.description).replace(u'\n', u' ');
    writeUtf8(m_err, u"quorvane-cli: %1%2 (statement %3)\n"_s.arg(path, description).arg(failure.statement));
    std::fflush(m_err);
}

void StderrFailureLog::noticed(const QString& description) {
    m_progress.clear();
    writeUtf8(m_err, u"quorvane-cli: "_s + forTerminal(description).replace(u'\n', u' ') + u"\n"_s);
    std::fflush(m_err);
}

shell::MessageAnswer StderrPrompts::messageBox(const QString& text, shell::MessageStyle style, const QString&) {
    m_progress.clear();
    writeMessage(m_err, u"quorvane-cli: "_s + forTerminal(text) + u"\n"_s);
    ++messages;
    return style == shell::MessageStyle::YesNo ? shell::MessageAnswer::No : shell::MessageAnswer::Ok;
}

const std::atomic<bool>& interruptRequested() {
    return g_interrupted;
}

int stopSignal() {
    return g_signal;
}

StopSignals::StopSignals() {
    g_interrupted = false;
    g_signal = 0;
    struct sigaction action{};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(Signals); ++i)
        ::sigaction(Signals[i], &action, &m_previous[i]);
}

StopSignals::~StopSignals() {
    for (std::size_t i = 0; i < std::size(Signals); ++i)
        ::sigaction(Signals[i], &m_previous[i], nullptr);
}

WriteSignalsIgnored::WriteSignalsIgnored() {
    struct sigaction action{};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(Signals); ++i)
        ::sigaction(Signals[i], &action, &m_previous[i]);
}

WriteSignalsIgnored::~WriteSignalsIgnored() {
    for (std::size_t i = 0; i < std::size(Signals); ++i)
        ::sigaction(Signals[i], &m_previous[i], nullptr);
}

void InterruptibleEvents::yield() {
    if (g_interrupted)
        throw shell::OperationAborted{};
}

} // namespace quorvane::cli
