#pragma once

#include "office/presentation/PresentationDocument.h"

#include <QString>

#include <memory>

namespace quorvane::office {

// Opens a presentation, choosing the reader by the file's content, never by its name. The file is
// only read. Throws AutomationError "<file name>: <reason>" (not a zip archive, not a presentation
// package, encrypted, damaged part, ...).
std::unique_ptr<PresentationDocument> openPresentationDocument(const QString& path);

} // namespace quorvane::office
