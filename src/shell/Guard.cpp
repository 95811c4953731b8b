#include "shell/Guard.h"

namespace quorvane::shell {

void Guard::report(const std::exception& failure) {
    ++m_failures;
    m_reporter.report(QString::fromUtf8(failure.what()), m_location, m_line);
}

void Guard::report(int line, const QString& description) {
    m_line = line;
    ++m_failures;
    m_reporter.report(description, m_location, line);
}

void Guard::notice(int line, const QString& description) {
    m_line = line;
    m_reporter.notice(description, m_location, line);
}

} // namespace quorvane::shell
