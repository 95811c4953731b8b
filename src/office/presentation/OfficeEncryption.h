#pragma once

// The password protection of Office files: the Agile and Standard encryption of OOXML packages (a
// compound file holding EncryptionInfo and EncryptedPackage) and the RC4 CryptoAPI encryption of
// binary presentations. The descriptors are untrusted: every size, count and offset is checked, and
// what is wrong in them is a ReadError naming it.

#include "office/Passwords.h"
#include "office/presentation/Crypto.h"

#include <QByteArrayView>
#include <QString>

#include <cstdint>

namespace quorvane::office {

// The plain package of a protected OOXML file, from its two streams: the password is checked against
// the descriptor's verifier before anything is decrypted, and Agile encryption's integrity code is
// checked over the encrypted package. maxSize bounds the package's declared size. Throws
// PasswordRefused (see unlockWith) and ReadError "<file name>: <reason>" (a method this program does
// not open, damaged encryption data, a package cut short or failing its integrity check).
crypto::SecretBytes decryptOoxmlPackage(QByteArrayView encryptionInfo, QByteArrayView encryptedPackage,
                                        const QString& fileName, PasswordSource* passwords, std::uint64_t maxSize);

// The keys of a binary presentation protected with RC4 CryptoAPI encryption.
class Rc4CryptoApiKey {
public:
    // Reads the encryption header (version, header and verifier, as a CryptSession10Container holds
    // it) and finds the password that passes its verifier. Throws like decryptOoxmlPackage.
    static Rc4CryptoApiKey unlock(QByteArrayView header, const QString& fileName, PasswordSource* passwords);

    // The RC4 key stream of block (for a binary presentation, the persist id of the object).
    crypto::Rc4 stream(std::uint32_t block) const;

private:
    Rc4CryptoApiKey(crypto::SecretBytes hash, std::size_t keySize) : m_hash(std::move(hash)), m_keySize(keySize) {}
    crypto::SecretBytes m_hash; // H0 of the password, from which each block's key is made
    std::size_t m_keySize = 0;  // in bytes
};

} // namespace quorvane::office
