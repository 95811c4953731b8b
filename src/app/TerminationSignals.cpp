#include "app/TerminationSignals.h"

#include <QSocketNotifier>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace quorvane::app {

namespace {

// The pipe from the handler to the event loop; both ends -1 while no TerminationSignals lives.
int g_pipe[2] = {-1, -1};

extern "C" void onTermination(int signal) {
    const int saved = errno;
    const auto number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &number, 1);
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> received, QObject* parent)
    : QObject(parent), m_received(std::move(received)) {
    // Without a pipe the signals keep their handling.
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char number = 0;
        while (::read(g_pipe[0], &number, 1) == 1)
            m_received(number);
    });
    struct sigaction action{};
    action.sa_handler = onTermination;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(Signals); ++i)
        ::sigaction(Signals[i], &action, &m_previous[i]);
}

TerminationSignals::~TerminationSignals() {
    if (!m_notifier)
        return;
    for (std::size_t i = 0; i < std::size(Signals); ++i)
        ::sigaction(Signals[i], &m_previous[i], nullptr);
    delete m_notifier;
    for (int& end : g_pipe) {
        ::close(end);
        end = -1;
    }
}

} // namespace quorvane::app
