#pragma once

#include "office/presentation/PresentationDocument.h"

#include <QString>

#include <memory>

namespace quorvane::office {

// The readers of OpenDocument presentations. Each takes the path (for messages and for reading) and
// throws AutomationError "<file name>: <reason>" like openPresentationDocument.
std::unique_ptr<PresentationDocument> openOpenDocumentPresentation(const QString& path);     // zipped: .odp, .otp
std::unique_ptr<PresentationDocument> openFlatOpenDocumentPresentation(const QString& path); // flat XML: .fodp

} // namespace quorvane::office
