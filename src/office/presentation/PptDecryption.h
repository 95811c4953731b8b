#pragma once

// The decryption of a binary presentation protected with RC4 CryptoAPI encryption: every persist
// object of the "PowerPoint Document" stream is encrypted on its own, keyed by its persist id; the edit
// records, the persist directories and the encryption record itself are not.

#include "office/Passwords.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace quorvane::office::ppt {

// The stream with every persist object of the newest edit's persist directory decrypted, ready for
// the reader. currentEdit is where "Current User" says the newest edit is. Throws PasswordRefused,
// and ReadError "<file name>: <reason>" for a method this program does not open or damage.
QByteArray decryptedDocumentStream(QByteArray stream, std::optional<std::uint32_t> currentEdit, const QString& fileName,
                                   PasswordSource* passwords);

} // namespace quorvane::office::ppt
