#include "Guard.h"

namespace quorvane::app {

void Guard::report(const std::exception& failure) {
    ++m_failures;
    m_reporter.report(QString::fromUtf8(failure.what()), m_location, m_line);
}

} // namespace quorvane::app
