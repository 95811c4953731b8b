#pragma once

#include "shell/ErrorReport.h"

#include <QString>

#include <exception>
#include <utility>

namespace quorvane::shell {

// The guard of a handler whose statements carry numbers (100, 102, 104, ...). Each numbered
// statement runs through it; when one fails (any std::exception from the core, an office server or
// the file system) the failure is reported with the handler's location text and that statement's
// number, and the handler goes on with its next statement. So a handler reads as its list of steps:
//
//     Guard g(errors, location::PushButton6Click);
//     g.run(100, [&] { list.Clear(); });
//     if (g.test(104, [&] { return list.Count() == 0; })) ...
//     g.assign(120, fileText, [&] { return PresentationText(...); });
//
// A failing test counts as passed; a failing assignment leaves its variable as it was; a failure
// inside a routine that a statement calls abandons the rest of that routine. OperationAborted (the
// window closed during a yield) is not a failure and passes through.
class Guard {
public:
    Guard(ErrorReporter& reporter, QString location) : m_reporter(reporter), m_location(std::move(location)) {}
    // With one of the location texts of shell::location (Locations.h).
    Guard(ErrorReporter& reporter, const char16_t* location) : Guard(reporter, QString::fromUtf16(location)) {}

    template <class Statement> void run(int line, Statement&& statement) {
        m_line = line;
        try {
            std::forward<Statement>(statement)();
        } catch (const std::exception& failure) {
            report(failure);
        }
    }

    // A numbered test; true when the condition holds or could not be evaluated.
    template <class Condition> bool test(int line, Condition&& condition) {
        m_line = line;
        try {
            return static_cast<bool>(std::forward<Condition>(condition)());
        } catch (const std::exception& failure) {
            report(failure);
            return true;
        }
    }

    // A numbered assignment; the variable changes only when the value could be computed.
    template <class T, class Value> void assign(int line, T& variable, Value&& value) {
        m_line = line;
        try {
            variable = std::forward<Value>(value)();
        } catch (const std::exception& failure) {
            report(failure);
        }
    }

    // The number of the last numbered statement begun; 0 before the first.
    int line() const { return m_line; }
    int failures() const { return m_failures; }

    // Reports a failure at the current statement number (for failures caught outside a statement).
    void report(const std::exception& failure);
    // Reports a failure described by the handler itself at statement line (something the statement
    // did not fail at but could not do in full, as cutting a text to fit).
    void report(int line, const QString& description);
    // Tells the user something at statement line that is no failure (ErrorReporter::notice).
    void notice(int line, const QString& description);

private:
    ErrorReporter& m_reporter;
    QString m_location;
    int m_line = 0;
    int m_failures = 0;
};

} // namespace quorvane::shell
