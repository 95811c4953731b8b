target_sources(quorvane_shell PRIVATE ClockRandom.cpp)
