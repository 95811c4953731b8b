#pragma once

#include "office/Passwords.h"
#include "office/presentation/PresentationDocument.h"

#include <QString>

#include <memory>

namespace quorvane::office {

// Opens a presentation, choosing the reader by the file's content, never by its name. The file is
// only read. A protected one is decrypted in memory with the first of passwords' passwords that opens
// it. Throws AutomationError "<file name>: <reason>" (not a zip archive, not a presentation package,
// encrypted with a method this program cannot open, damaged part, ...), and PasswordError when no
// password was given for a protected file or none opened it.
std::unique_ptr<PresentationDocument> openPresentationDocument(const QString& path,
                                                               PasswordSource* passwords = nullptr);

} // namespace quorvane::office
