#pragma once

#include "shell/RandomSource.h"

#include <random>

namespace quorvane::shell {

// The program's random generator, seeded from the time of day on request.
class ClockRandom final : public RandomSource {
public:
    void seedFromClock() override;
    double nextFraction() override;

private:
    std::mt19937_64 m_engine{std::random_device{}()};
};

} // namespace quorvane::shell
