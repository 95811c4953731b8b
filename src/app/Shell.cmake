target_sources(quorvane_shell PRIVATE ClockRandom.cpp)
target_sources(quorvane_shell PRIVATE QtSettingsStore.cpp QtEventPump.cpp)  # the desktop settings store and event yield
