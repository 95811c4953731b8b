#pragma once

#include "office/presentation/PresentationDocument.h"
#include "office/presentation/ZipPackage.h"

#include <QString>

#include <memory>

namespace quorvane::office {

// Reads an OOXML presentation (.pptx and its kin). Throws AutomationError "<file name>: <reason>" like
// openPresentationDocument.
std::unique_ptr<PresentationDocument> openOoxmlPresentation(const QString& path);

// The same from an already opened package (the reader choice has opened it to look at its entries,
// so it is not opened twice). For use inside the engine: throws ReadError.
std::unique_ptr<PresentationDocument> openOoxmlPackage(std::unique_ptr<ZipPackage> package);

} // namespace quorvane::office
