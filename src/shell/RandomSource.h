#pragma once

namespace quorvane::shell {

// The random generator, re-seeded from the time of day where the program asks for it.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual void seedFromClock() = 0;
    // A uniform fraction r with 0 <= r < 1.
    virtual double nextFraction() = 0;
};

} // namespace quorvane::shell
