#pragma once

#include "office/Passwords.h"
#include "office/presentation/PresentationDocument.h"
#include "office/presentation/ZipPackage.h"

#include <QString>

#include <memory>

namespace quorvane::office {

// The readers of OpenDocument presentations. Each takes the path (for messages and for reading) and
// throws AutomationError "<file name>: <reason>" like openPresentationDocument; a protected package is
// opened with a password of passwords.
std::unique_ptr<PresentationDocument> openOpenDocumentPresentation(const QString& path,
                                                                   PasswordSource* passwords = nullptr); // .odp, .otp
std::unique_ptr<PresentationDocument> openFlatOpenDocumentPresentation(const QString& path); // flat XML: .fodp

// A zipped one from a package already opened (the reader choice opens it to look at its entries); the
// document keeps it, to read embedded objects on demand. For use inside the engine: throws ReadError.
std::unique_ptr<PresentationDocument> openOpenDocumentPackage(std::unique_ptr<ZipPackage> package,
                                                              PasswordSource* passwords = nullptr);

} // namespace quorvane::office
