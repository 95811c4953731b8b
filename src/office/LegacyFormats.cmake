# Readers of binary PowerPoint 97-2003 presentations and their compound-file container, and of
# OpenDocument presentations (zipped and flat).
target_sources(quorvane_office PRIVATE CompoundFile.cpp PptReader.cpp OdpReader.cpp)
