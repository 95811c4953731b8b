# The zip and XML helpers shared by the package readers, the OOXML presentation reader, the reader
# dispatch and the presentation server.
target_sources(quorvane_office PRIVATE
  ZipPackage.cpp
  XmlHelpers.cpp)
