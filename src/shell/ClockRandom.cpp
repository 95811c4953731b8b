#include "shell/ClockRandom.h"

#include <chrono>
#include <cmath>

namespace quorvane::shell {

void ClockRandom::seedFromClock() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    m_engine.seed(static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
}

double ClockRandom::nextFraction() {
    // generate_canonical may round up to 1.0 in some library versions; the contract is r < 1.
    const double r = std::generate_canonical<double, 53>(m_engine);
    return r < 1.0 ? r : std::nextafter(1.0, 0.0);
}

} // namespace quorvane::shell
