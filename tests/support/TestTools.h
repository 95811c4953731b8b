#pragma once

// Small tools shared by the tests.

#include "office/AutomationError.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace quorvane::test {

// The description of the AutomationError (or of the Error named) that run throws, or "" when it
// throws none.
template <typename Error = office::AutomationError, typename Run> QString failureOf(Run&& run) {
    try {
        run();
    } catch (const Error& error) {
        return error.description();
    }
    return {};
}

// Sets TEMP (where staging files go) for its lifetime, then restores it, also to unset.
class TempVariable {
public:
    explicit TempVariable(const QByteArray& value) : m_old(qgetenv("TEMP")), m_had(qEnvironmentVariableIsSet("TEMP")) {
        qputenv("TEMP", value);
    }
    TempVariable(const TempVariable&) = delete;
    TempVariable& operator=(const TempVariable&) = delete;
    ~TempVariable() {
        if (m_had)
            qputenv("TEMP", m_old);
        else
            qunsetenv("TEMP");
    }

private:
    QByteArray m_old;
    bool m_had;
};

} // namespace quorvane::test
