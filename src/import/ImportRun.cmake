target_sources(quorvane_import PRIVATE ImportRun.cpp)
