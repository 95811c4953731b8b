#pragma once

#include "office/Passwords.h"
#include "office/presentation/PresentationDocument.h"

#include <QByteArrayView>
#include <QString>

#include <memory>

namespace quorvane::office {

// Reads a compound file: a binary presentation (.ppt, .pps, .pot) or a password-protected OOXML
// package, either of them opened, when protected, with a password of passwords (see
// openPresentationDocument). Throws AutomationError "<file name>: <reason>" like
// openPresentationDocument.
std::unique_ptr<PresentationDocument> openCompoundFilePresentation(const QString& path,
                                                                   PasswordSource* passwords = nullptr);

// The same for a compound file held in memory; fileName only names the file in messages. The data is
// copied where needed; it may be released after the call.
std::unique_ptr<PresentationDocument> openCompoundFileData(QByteArrayView data, const QString& fileName,
                                                           PasswordSource* passwords = nullptr);

} // namespace quorvane::office
