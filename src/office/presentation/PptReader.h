#pragma once

#include "office/presentation/PresentationDocument.h"

#include <QByteArrayView>
#include <QString>

#include <memory>

namespace quorvane::office {

// Reads a compound file: a binary presentation (.ppt, .pps, .pot) or a password-protected OOXML
// package, which fails with "encrypted". Throws AutomationError "<file name>: <reason>" like
// openPresentationDocument.
std::unique_ptr<PresentationDocument> openCompoundFilePresentation(const QString& path);

// The same for a compound file held in memory; fileName only names the file in messages. The data is
// copied where needed; it may be released after the call.
std::unique_ptr<PresentationDocument> openCompoundFileData(QByteArrayView data, const QString& fileName);

} // namespace quorvane::office
