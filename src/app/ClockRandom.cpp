#include "ClockRandom.h"

#include <chrono>

namespace quorvane::app {

void ClockRandom::seedFromClock() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    m_engine.seed(static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
}

double ClockRandom::nextFraction() { return std::generate_canonical<double, 53>(m_engine); }

} // namespace quorvane::app
