# The zip and XML helpers shared by the package readers, the OOXML presentation reader, the choice of
# reader by content, and the presentation server.
target_sources(quorvane_office PRIVATE
  ZipPackage.cpp
  XmlHelpers.cpp
  OoxmlPresentation.cpp
  OpenPresentation.cpp
  LocalPresentationServer.cpp)
