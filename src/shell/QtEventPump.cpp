#include "shell/QtEventPump.h"

#include <QCoreApplication>

namespace quorvane::shell {

void QtEventPump::yield() {
    if (m_aborted)
        throw OperationAborted{};
    QCoreApplication::processEvents();
    // The window may have closed while its events were handled.
    if (m_aborted)
        throw OperationAborted{};
}

} // namespace quorvane::shell
