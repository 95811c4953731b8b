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
    // The same in the middle of work that has no place of its own to yield (a long read): the events
    // that came are handled as by yield, and OperationAborted thrown once the window has closed.
    virtual void poll() = 0;
};

} // namespace quorvane::shell
