#pragma once

// The password protection of OpenDocument packages: each part is encrypted on its own, as the
// manifest's encryption data for it says (AES-256 in CBC mode or Blowfish in CFB mode, the key made
// with PBKDF2 from a SHA-1 or SHA-256 start key), and deflated before that. The mimetype and the
// manifest stay plain.

#include "office/Passwords.h"
#include "office/presentation/ZipPackage.h"

#include <memory>
#include <string_view>

namespace quorvane::office {

// Whether the manifest (META-INF/manifest.xml, as stored) lists encrypted parts.
bool manifestListsEncryption(std::string_view manifest);

// The decryption of package's parts that manifest lists as encrypted, once a password of passwords
// is found whose checksum over the start of a part matches. Each part is then checked the same way
// before it is inflated, within the package's limits. Throws PasswordRefused (see unlockWith), and
// ReadError "<file name>: <reason>" for a method this program does not open or damaged encryption data.
std::unique_ptr<PartDecryption> unlockOpenDocument(std::string_view manifest, const ZipPackage& package,
                                                   PasswordSource* passwords);

} // namespace quorvane::office
