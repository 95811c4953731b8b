#pragma once

namespace quorvane::shell {

// Thrown by EventPump::yield when the main window has closed during a long operation: the operation
// stops where it is and shows nothing more. It is deliberately not a std::exception, so guarded
// handlers do not report it as a failure.
struct OperationAborted {};

// The event-queue yield of the long operations (import run, folder walk).
class EventPump {
public:
    virtual ~EventPump() = default;
    // Throws OperationAborted once the window has closed.
    virtual void yield() = 0;
};

} // namespace quorvane::shell
