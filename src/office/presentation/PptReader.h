#pragma once

#include "office/presentation/PresentationDocument.h"

#include <QByteArrayView>
#include <QString>

#include <memory>

namespace quorvane::office {

// Reads a compound file held in memory: a binary presentation (.ppt, .pps, .pot) or a
// password-protected OOXML package, which fails with "encrypted". fileName only names the file in
// messages. The data is copied where needed; it may be released after the call. Throws AutomationError
// "<fileName>: <reason>" like openCompoundFilePresentation.
std::unique_ptr<PresentationDocument> openCompoundFileData(QByteArrayView data, const QString& fileName);

} // namespace quorvane::office
