#pragma once

#include "office/presentation/PresentationDocument.h"
#include "office/presentation/ZipPackage.h"

#include <QString>

#include <memory>

namespace quorvane::office {

// The readers of OpenDocument presentations. Each takes the path (for messages and for reading) and
// throws AutomationError "<file name>: <reason>" like openPresentationDocument.
std::unique_ptr<PresentationDocument> openOpenDocumentPresentation(const QString& path);     // zipped: .odp, .otp
std::unique_ptr<PresentationDocument> openFlatOpenDocumentPresentation(const QString& path); // flat XML: .fodp

// A zipped one from a package already opened (the reader choice opens it to look at its entries); the
// document keeps it, to read embedded objects on demand. For use inside the engine: throws ReadError.
std::unique_ptr<PresentationDocument> openOpenDocumentPackage(std::unique_ptr<ZipPackage> package);

} // namespace quorvane::office
