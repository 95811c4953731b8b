#pragma once

#include "shell/EventPump.h"

namespace quorvane::shell {

// The event-queue yield of the desktop program. Once the main window has closed, abort() is called
// and every later yield throws OperationAborted, so a long operation stops at its next yield.
class QtEventPump final : public EventPump {
public:
    void yield() override;
    void poll() override { yield(); }
    void abort() { m_aborted = true; }

private:
    bool m_aborted = false;
};

} // namespace quorvane::shell
