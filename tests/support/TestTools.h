#pragma once

// Small tools shared by the tests.

#include "office/AutomationError.h"

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QtGlobal>

#include <csignal>

#include <sys/resource.h>

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

// Limits the size of every file this process writes to bytes for its lifetime, the way a full disk
// would stop a write: a write past the limit fails with EFBIG (SIGXFSZ is ignored meanwhile, unless
// the code under test is to ignore it itself: then a write past the limit ends the test program).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes, bool ignoreSignal = true)
        : m_signal(std::signal(SIGXFSZ, ignoreSignal ? SIG_IGN : SIG_DFL)) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        const rlimit limited{bytes, m_old.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_signal);
    }

private:
    rlimit m_old{};
    void (*m_signal)(int);
};

// Lets this process open only spare more files than it has open now, for its lifetime.
class OpenFileLimit {
public:
    explicit OpenFileLimit(rlim_t spare) {
        ::getrlimit(RLIMIT_NOFILE, &m_old);
        const auto open = static_cast<rlim_t>(QDir(QStringLiteral("/proc/self/fd"))
                                                  .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                                                  .size());
        const rlimit limited{open + spare, m_old.rlim_max};
        ::setrlimit(RLIMIT_NOFILE, &limited);
    }
    OpenFileLimit(const OpenFileLimit&) = delete;
    OpenFileLimit& operator=(const OpenFileLimit&) = delete;
    ~OpenFileLimit() { ::setrlimit(RLIMIT_NOFILE, &m_old); }

private:
    rlimit m_old{};
};

} // namespace quorvane::test
