#pragma once

#include "office/presentation/PresentationDocument.h"
#include "office/presentation/ZipPackage.h"

#include <memory>

namespace quorvane::office {

// Reads an OOXML presentation from an already opened package (the dispatcher has opened it to look
// at its entries, so it is not opened twice). Throws AutomationError like openOoxmlPresentation.
std::unique_ptr<PresentationDocument> openOoxmlPackage(std::unique_ptr<ZipPackage> package);

} // namespace quorvane::office
