#include "shell/Guard.h"

namespace quorvane::shell {

void Guard::report(const std::exception& failure) {
    ++m_failures;
    m_reporter.report(QString::fromUtf8(failure.what()), m_location, m_line);
}

} // namespace quorvane::shell
