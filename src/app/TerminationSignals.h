#pragma once

#include <QObject>

#include <functional>

#include <csignal>

class QSocketNotifier;

namespace quorvane::app {

// Ctrl+C (SIGINT), a termination request (SIGTERM) and a closed session or terminal (SIGHUP), taken
// on the event thread: the handler only writes the signal's number to a pipe, and the event loop
// calls received with it. While one lives these signals no longer end the program on the spot; the
// handling they had before comes back when it goes. One at a time.
class TerminationSignals final : public QObject {
public:
    explicit TerminationSignals(std::function<void(int signal)> received, QObject* parent = nullptr);
    ~TerminationSignals() override;

private:
    static constexpr int Signals[] = {SIGINT, SIGTERM, SIGHUP};
    std::function<void(int)> m_received;
    QSocketNotifier* m_notifier = nullptr;
    struct sigaction m_previous[std::size(Signals)]{};
};

} // namespace quorvane::app
