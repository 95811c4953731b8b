// Agile and Standard encryption of OOXML packages and RC4 CryptoAPI encryption of binary
// presentations: the descriptors read and checked, the password verified, the package decrypted.
#include "office/presentation/OfficeEncryption.h"

#include "office/presentation/LittleEndian.h"
#include "office/presentation/PasswordTrial.h"
#include "office/presentation/PresentationDocument.h"

#include <QByteArray>

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

using namespace Qt::StringLiterals;

namespace quorvane::office {

namespace {

using crypto::Hash;
using crypto::Hasher;
using crypto::SecretBytes;

// The version numbers at the start of EncryptionInfo and of a CryptSession10Container.
struct Version {
    std::uint16_t major = 0, minor = 0;
    QString text() const { return u"%1.%2"_s.arg(major).arg(minor); }
};

// Bounds-checked little-endian reads from a descriptor; a read past its end is damage.
class Reader {
public:
    Reader(QByteArrayView data, const QString& fileName) : m_data(data), m_fileName(fileName) {}
    std::uint32_t u32(std::size_t at) const { return le::u32(bytes(at, 4)); }
    std::uint16_t u16(std::size_t at) const { return le::u16(bytes(at, 2)); }
    std::string_view view(std::size_t at, std::size_t count) const {
        return {reinterpret_cast<const char*>(bytes(at, count)), count};
    }
    std::size_t size() const { return static_cast<std::size_t>(m_data.size()); }

private:
    const unsigned char* bytes(std::size_t at, std::size_t count) const {
        if (at > size() || count > size() - at)
            failEncryptionData(m_fileName, u"the encryption header is cut short"_s);
        return reinterpret_cast<const unsigned char*>(m_data.data()) + at;
    }
    QByteArrayView m_data;
    const QString& m_fileName;
};

// The key-derivation and verifier fields of a binary EncryptionHeader and EncryptionVerifier, as
// Standard encryption and RC4 CryptoAPI encryption share them.
struct BinaryDescriptor {
    std::uint32_t flags = 0;
    std::uint32_t algorithm = 0;
    std::uint32_t hashAlgorithm = 0;
    std::uint32_t keyBits = 0;
    std::string salt;
    std::string encryptedVerifier;
    std::string encryptedVerifierHash;
    std::uint32_t verifierHashSize = 0;
};

constexpr std::uint32_t kFlagCryptoApi = 0x04;
constexpr std::uint32_t kFlagExternal = 0x10;
constexpr std::uint32_t kFlagAes = 0x20;
constexpr std::uint32_t kAlgorithmRc4 = 0x6801;
constexpr std::uint32_t kAlgorithmAes128 = 0x660E;
constexpr std::uint32_t kAlgorithmAes192 = 0x660F;
constexpr std::uint32_t kAlgorithmAes256 = 0x6610;
constexpr std::uint32_t kHashSha1 = 0x8004;

// Reads the header and the verifier that follow the version (at offset 4 of data).
BinaryDescriptor readBinaryDescriptor(const Reader& in, const QString& fileName, std::size_t verifierHashBytes) {
    BinaryDescriptor d;
    d.flags = in.u32(4);
    const std::uint32_t headerSize = in.u32(8);
    // The header's fixed fields take 32 bytes; a longer one carries the provider's name.
    if (headerSize < 32 || headerSize > in.size() - 12)
        failEncryptionData(fileName, u"the encryption header has an impossible size (%1 bytes)"_s.arg(headerSize));
    d.algorithm = in.u32(12 + 8);
    d.hashAlgorithm = in.u32(12 + 12);
    d.keyBits = in.u32(12 + 16);
    const std::size_t verifier = 12 + headerSize;
    const std::uint32_t saltSize = in.u32(verifier);
    if (saltSize != 16)
        failEncryptionData(fileName, u"the verifier's salt is %1 bytes, not 16"_s.arg(saltSize));
    d.salt = std::string(in.view(verifier + 4, 16));
    d.encryptedVerifier = std::string(in.view(verifier + 20, 16));
    d.verifierHashSize = in.u32(verifier + 36);
    if (d.verifierHashSize != 20)
        failEncryptionData(fileName, u"the verifier's hash is %1 bytes, not 20"_s.arg(d.verifierHashSize));
    d.encryptedVerifierHash = std::string(in.view(verifier + 40, verifierHashBytes));
    return d;
}

// A derived key fixed to size bytes: cut, or filled up with 0x36 bytes.
SecretBytes fitted(SecretBytes bytes, std::size_t size, char fill = 0x36) {
    if (bytes.size() >= size) {
        bytes.truncate(size);
        return bytes;
    }
    SecretBytes out(size);
    std::memset(out.data(), fill, size);
    std::memcpy(out.data(), bytes.data(), bytes.size());
    return out;
}

QString hex4(std::uint32_t value) {
    return QString::number(value, 16).rightJustified(4, u'0').toUpper();
}

QString sizeInMiB(std::uint64_t bytes) {
    return QString::number(bytes >> 20);
}

// The plain size the encrypted package states, within maxSize, and the bytes of whole blocks that
// hold it, which the stream must have after the size.
std::pair<std::uint64_t, std::uint64_t> packageSizes(const Reader& stream, const QString& fileName,
                                                     std::uint64_t maxSize) {
    const std::uint64_t size = static_cast<std::uint64_t>(stream.u32(0)) | static_cast<std::uint64_t>(stream.u32(4))
                                                                               << 32;
    if (size > maxSize)
        failEncryptionData(fileName, u"the protected package is larger than %1 MiB"_s.arg(sizeInMiB(maxSize)));
    const std::uint64_t encrypted = (size + 15) / 16 * 16;
    if (encrypted > stream.size() - 8)
        failEncryptionData(fileName, u"the encrypted package is cut short"_s);
    return {size, encrypted};
}

// ---- Standard encryption ---------------------------------------------------------------------

constexpr std::uint32_t kStandardSpins = 50'000;

// The key of Standard encryption for password, or nullopt when the verifier says it is wrong.
std::optional<SecretBytes> standardKey(const BinaryDescriptor& d, std::size_t keySize, const Password& password) {
    Hasher sha1(Hash::Sha1);
    SecretBytes h = sha1.add(d.salt).add(password.utf16le()).digest();
    for (std::uint32_t i = 0; i < kStandardSpins; ++i)
        h = sha1.addLe32(i).add(h).digest();
    const SecretBytes final = sha1.add(h).addLe32(0).digest();
    // The key is made the way CryptDeriveKey makes it: two padded hashes of the final one, joined.
    SecretBytes buffer(64);
    SecretBytes joined(40);
    for (const auto& [pad, at] : {std::pair<char, std::size_t>{0x36, 0}, {0x5C, 20}}) {
        std::memset(buffer.data(), pad, 64);
        for (std::size_t i = 0; i < final.size(); ++i)
            buffer.data()[i] ^= final.data()[i];
        const SecretBytes half = sha1.add(buffer).digest();
        std::memcpy(joined.data() + at, half.data(), 20);
    }
    SecretBytes key = fitted(std::move(joined), keySize);
    SecretBytes verifier(d.encryptedVerifier);
    SecretBytes hash(d.encryptedVerifierHash);
    if (!crypto::aesEcbDecrypt(key.view(), verifier.data(), verifier.size()) ||
        !crypto::aesEcbDecrypt(key.view(), hash.data(), hash.size()))
        return std::nullopt;
    const SecretBytes expected = sha1.add(verifier).digest();
    if (!crypto::sameBytes(expected.view(), hash.view().substr(0, 20)))
        return std::nullopt;
    return key;
}

SecretBytes decryptStandard(const Reader& info, QByteArrayView package, const QString& fileName,
                            PasswordSource* passwords, std::uint64_t maxSize);

// ---- Agile encryption ------------------------------------------------------------------------

// The block keys of the Agile key derivation, one for each value it decrypts.
constexpr char kVerifierInputBlock[] = "\xfe\xa7\xd2\x76\x3b\x4b\x9e\x79";
constexpr char kVerifierValueBlock[] = "\xd7\xaa\x0f\x6d\x30\x61\x34\x4e";
constexpr char kKeyValueBlock[] = "\x14\x6e\x0b\xe7\xab\xac\xd0\xd6";
constexpr char kHmacKeyBlock[] = "\x5f\xb2\xad\x01\x0c\xb9\xe1\xf6";
constexpr char kHmacValueBlock[] = "\xa0\x67\x7f\x02\xb2\x2c\x84\x33";
constexpr std::size_t kSegment = 4096;

// The attributes of keyData or of the password's encryptedKey that the derivation uses.
struct AgileParameters {
    Hash hash = Hash::Sha1;
    std::size_t hashSize = 0;
    std::size_t keySize = 0;
    std::size_t saltSize = 0;
    std::string salt;
};

std::string_view localName(const char* name) {
    std::string_view n(name);
    const auto colon = n.rfind(':');
    return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

pugi::xml_node childByLocalName(pugi::xml_node parent, std::string_view local) {
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element && localName(child.name()) == local)
            return child;
    return {};
}

class AgileDescriptor {
public:
    AgileDescriptor(std::string_view xml, const QString& fileName) : m_fileName(fileName) {
        if (!m_document.load_buffer(xml.data(), xml.size(), pugi::parse_default))
            failEncryptionData(fileName, u"the Agile encryption descriptor is no XML"_s);
        const pugi::xml_node encryption = m_document.document_element();
        m_keyData = childByLocalName(encryption, "keyData");
        m_integrity = childByLocalName(encryption, "dataIntegrity");
        const pugi::xml_node encryptors = childByLocalName(encryption, "keyEncryptors");
        for (pugi::xml_node encryptor = encryptors.first_child(); encryptor; encryptor = encryptor.next_sibling())
            if (std::string_view(encryptor.attribute("uri").value()) ==
                "http://schemas.microsoft.com/office/2006/keyEncryptor/password")
                m_passwordKey = childByLocalName(encryptor, "encryptedKey");
        if (!m_keyData)
            failEncryptionData(fileName, u"the Agile encryption descriptor has no keyData"_s);
        if (!m_passwordKey)
            failUnsupportedEncryption(fileName, u"a certificate instead of a password"_s);
        m_data = parameters(m_keyData);
        m_password = parameters(m_passwordKey);
        const std::uint64_t spins = number(m_passwordKey, "spinCount", 0xFFFFFFFFull);
        requireRounds(fileName, "spin count", spins);
        m_spins = static_cast<std::uint32_t>(spins);
    }

    const AgileParameters& data() const { return m_data; }
    const AgileParameters& password() const { return m_password; }
    std::uint32_t spins() const { return m_spins; }
    bool hasIntegrity() const { return bool(m_integrity); }
    std::string passwordValue(const char* name) const { return base64(m_passwordKey, name); }
    std::string integrityValue(const char* name) const { return base64(m_integrity, name); }

private:
    std::uint64_t number(pugi::xml_node node, const char* name, std::uint64_t max) const {
        const pugi::xml_attribute attribute = node.attribute(name);
        bool ok = false;
        const qulonglong value = QByteArray(attribute.value()).toULongLong(&ok);
        if (!attribute || !ok || value > max)
            failEncryptionData(m_fileName, u"%1 of %2 is missing or not a number"_s.arg(
                                               QString::fromLatin1(name), QString::fromUtf8(node.name())));
        return value;
    }

    std::string base64(pugi::xml_node node, const char* name) const {
        const auto decoded = QByteArray::fromBase64Encoding(QByteArray(node.attribute(name).value()),
                                                            QByteArray::AbortOnBase64DecodingErrors);
        if (!node.attribute(name) || !decoded || decoded.decoded.isEmpty())
            failEncryptionData(m_fileName, u"%1 is missing or no base64"_s.arg(QString::fromLatin1(name)));
        return decoded.decoded.toStdString();
    }

    AgileParameters parameters(pugi::xml_node node) const {
        const std::string_view cipher = node.attribute("cipherAlgorithm").value();
        const std::string_view chaining = node.attribute("cipherChaining").value();
        if (cipher != "AES")
            failUnsupportedEncryption(m_fileName,
                                      QString::fromUtf8(cipher.data(), static_cast<qsizetype>(cipher.size())));
        if (chaining != "ChainingModeCBC")
            failUnsupportedEncryption(m_fileName, u"AES in the chaining mode %1"_s.arg(QString::fromUtf8(
                                                      chaining.data(), static_cast<qsizetype>(chaining.size()))));
        if (number(node, "blockSize", 1u << 16) != 16)
            failEncryptionData(m_fileName, u"AES with a block size other than 16"_s);
        AgileParameters p;
        const std::string_view hash = node.attribute("hashAlgorithm").value();
        if (hash == "SHA1")
            p.hash = Hash::Sha1;
        else if (hash == "SHA256")
            p.hash = Hash::Sha256;
        else if (hash == "SHA384")
            p.hash = Hash::Sha384;
        else if (hash == "SHA512")
            p.hash = Hash::Sha512;
        else
            failUnsupportedEncryption(m_fileName, u"AES keyed by the hash %1"_s.arg(QString::fromUtf8(
                                                      hash.data(), static_cast<qsizetype>(hash.size()))));
        p.hashSize = crypto::digestSize(p.hash);
        if (number(node, "hashSize", 1u << 16) != p.hashSize)
            failEncryptionData(m_fileName, u"the hash size does not match the hash"_s);
        const std::uint64_t keyBits = number(node, "keyBits", 1u << 16);
        if (keyBits != 128 && keyBits != 192 && keyBits != 256)
            failEncryptionData(m_fileName, u"AES with a key of %1 bits"_s.arg(keyBits));
        p.keySize = static_cast<std::size_t>(keyBits / 8);
        p.saltSize = static_cast<std::size_t>(number(node, "saltSize", 65536));
        p.salt = base64(node, "saltValue");
        if (p.salt.size() != p.saltSize)
            failEncryptionData(m_fileName, u"the salt is not of its stated size"_s);
        return p;
    }

    const QString& m_fileName;
    pugi::xml_document m_document;
    pugi::xml_node m_keyData, m_integrity, m_passwordKey;
    AgileParameters m_data, m_password;
    std::uint32_t m_spins = 0;
};

// value decrypted with key by AES-CBC from iv, cut to size; nullopt when its length is no whole
// number of blocks or shorter than size.
std::optional<SecretBytes> decryptValue(const SecretBytes& key, std::string_view iv, std::string_view value,
                                        std::size_t size) {
    SecretBytes plain(value);
    if (plain.size() < size || !crypto::aesCbcDecrypt(key.view(), iv, plain.data(), plain.size()))
        return std::nullopt;
    plain.truncate(size);
    return plain;
}

// The package's secret key for password, or nullopt when the verifier says it is wrong.
std::optional<SecretBytes> agileKey(const AgileDescriptor& d, const Password& password, const QString& fileName) {
    const AgileParameters& p = d.password();
    Hasher hasher(p.hash);
    SecretBytes h = hasher.add(p.salt).add(password.utf16le()).digest();
    for (std::uint32_t i = 0; i < d.spins(); ++i)
        h = hasher.addLe32(i).add(h).digest();
    const auto blockKey = [&](const char* block) {
        return fitted(hasher.add(h).add(std::string_view(block, 8)).digest(), p.keySize);
    };
    const std::string iv = fitted(SecretBytes(p.salt), 16).release();
    const std::string input = d.passwordValue("encryptedVerifierHashInput");
    const std::string value = d.passwordValue("encryptedVerifierHashValue");
    const std::string keyValue = d.passwordValue("encryptedKeyValue");
    const std::optional<SecretBytes> verifier = decryptValue(blockKey(kVerifierInputBlock), iv, input, p.saltSize);
    const std::optional<SecretBytes> verifierHash = decryptValue(blockKey(kVerifierValueBlock), iv, value, p.hashSize);
    if (!verifier || !verifierHash)
        failEncryptionData(fileName, u"the password verifier is cut short"_s);
    if (!crypto::sameBytes(hasher.add(*verifier).digest().view(), verifierHash->view()))
        return std::nullopt;
    std::optional<SecretBytes> key = decryptValue(blockKey(kKeyValueBlock), iv, keyValue, d.data().keySize);
    if (!key)
        failEncryptionData(fileName, u"the encrypted key is cut short"_s);
    return key;
}

// The initialisation vector of a segment or an integrity value: the hash of the key data's salt and
// the block, fitted to a block.
std::string agileIv(const AgileParameters& data, std::string_view block) {
    Hasher hasher(data.hash);
    return fitted(hasher.add(data.salt).add(block).digest(), 16).release();
}

SecretBytes decryptAgile(const Reader& info, QByteArrayView package, const QString& fileName, PasswordSource* passwords,
                         std::uint64_t maxSize) {
    // After the version, four reserved bytes, then the XML descriptor.
    const AgileDescriptor descriptor(info.view(8, info.size() - 8), fileName);
    const AgileParameters& data = descriptor.data();
    const SecretBytes key = unlockWith(
        fileName, passwords, [&](const SharedPassword& password) { return agileKey(descriptor, *password, fileName); });

    const Reader stream(package, fileName);
    const auto [size, encrypted] = packageSizes(stream, fileName, maxSize);

    // The integrity code covers the whole stream as stored, and is checked before the package is used.
    if (descriptor.hasIntegrity()) {
        const std::optional<SecretBytes> hmacKey = decryptValue(
            key, agileIv(data, {kHmacKeyBlock, 8}), descriptor.integrityValue("encryptedHmacKey"), data.hashSize);
        const std::optional<SecretBytes> hmacValue = decryptValue(
            key, agileIv(data, {kHmacValueBlock, 8}), descriptor.integrityValue("encryptedHmacValue"), data.hashSize);
        if (!hmacKey || !hmacValue)
            failEncryptionData(fileName, u"the integrity code is cut short"_s);
        const SecretBytes computed = crypto::hmac(
            data.hash, hmacKey->view(), std::string_view(package.data(), static_cast<std::size_t>(package.size())));
        if (!crypto::sameBytes(computed.view(), hmacValue->view()))
            throw ReadError(fileName + u": damaged protected package: it fails its integrity check"_s);
    }

    SharedReadRoom::claim(static_cast<qsizetype>(encrypted));
    SecretBytes plain(stream.view(8, static_cast<std::size_t>(encrypted)));
    for (std::uint64_t at = 0, segment = 0; at < encrypted; at += kSegment, ++segment) {
        const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(kSegment, encrypted - at));
        char block[4];
        qToLittleEndian<std::uint32_t>(static_cast<std::uint32_t>(segment), block);
        crypto::aesCbcDecrypt(key.view(), agileIv(data, {block, 4}), plain.data() + at, length);
    }
    plain.truncate(static_cast<std::size_t>(size));
    return plain;
}

SecretBytes decryptStandard(const Reader& info, QByteArrayView package, const QString& fileName,
                            PasswordSource* passwords, std::uint64_t maxSize) {
    // AES's verifier hash fills two blocks.
    const BinaryDescriptor d = readBinaryDescriptor(info, fileName, 32);
    if (d.flags & kFlagExternal)
        failUnsupportedEncryption(fileName, u"an extensible encryption module"_s);
    if (!(d.flags & kFlagAes) || !(d.flags & kFlagCryptoApi))
        failUnsupportedEncryption(fileName, d.algorithm == kAlgorithmRc4 ? u"RC4"_s : u"an unknown method"_s);
    std::size_t keySize = 0;
    switch (d.algorithm) {
    case 0: // AES-128 when the flags say AES
    case kAlgorithmAes128:
        keySize = 16;
        break;
    case kAlgorithmAes192:
        keySize = 24;
        break;
    case kAlgorithmAes256:
        keySize = 32;
        break;
    default:
        failUnsupportedEncryption(fileName, u"the algorithm 0x%1"_s.arg(hex4(d.algorithm)));
    }
    if (d.hashAlgorithm != 0 && d.hashAlgorithm != kHashSha1)
        failUnsupportedEncryption(fileName, u"AES keyed by the hash 0x%1"_s.arg(hex4(d.hashAlgorithm)));
    if (d.keyBits != keySize * 8)
        failEncryptionData(fileName, u"the key size (%1 bits) does not match the algorithm"_s.arg(d.keyBits));
    const SecretBytes key = unlockWith(
        fileName, passwords, [&](const SharedPassword& password) { return standardKey(d, keySize, *password); });

    const Reader stream(package, fileName);
    const auto [size, encrypted] = packageSizes(stream, fileName, maxSize);
    SharedReadRoom::claim(static_cast<qsizetype>(encrypted));
    SecretBytes plain(stream.view(8, static_cast<std::size_t>(encrypted)));
    crypto::aesEcbDecrypt(key.view(), plain.data(), plain.size());
    plain.truncate(static_cast<std::size_t>(size));
    return plain;
}

} // namespace

SecretBytes decryptOoxmlPackage(QByteArrayView encryptionInfo, QByteArrayView encryptedPackage, const QString& fileName,
                                PasswordSource* passwords, std::uint64_t maxSize) {
    const Reader info(encryptionInfo, fileName);
    const Version version{info.u16(0), info.u16(2)};
    if (version.major == 4 && version.minor == 4)
        return decryptAgile(info, encryptedPackage, fileName, passwords, maxSize);
    if ((version.major == 3 || version.major == 4) && version.minor == 3)
        failUnsupportedEncryption(fileName, u"an extensible encryption module"_s);
    if ((version.major >= 2 && version.major <= 4) && version.minor == 2)
        return decryptStandard(info, encryptedPackage, fileName, passwords, maxSize);
    failUnsupportedEncryption(fileName, u"an unknown method (version %1)"_s.arg(version.text()));
}

Rc4CryptoApiKey Rc4CryptoApiKey::unlock(QByteArrayView header, const QString& fileName, PasswordSource* passwords) {
    const Reader in(header, fileName);
    const Version version{in.u16(0), in.u16(2)};
    if (version.minor != 2 || version.major < 2 || version.major > 4)
        failUnsupportedEncryption(fileName, version.major == 1 && version.minor == 1
                                                ? u"RC4 of Office 97"_s
                                                : u"an unknown method (version %1)"_s.arg(version.text()));
    // RC4's verifier hash is as long as the hash.
    const BinaryDescriptor d = readBinaryDescriptor(in, fileName, 20);
    if (d.algorithm != kAlgorithmRc4 && d.algorithm != 0)
        failUnsupportedEncryption(fileName, u"the algorithm 0x%1"_s.arg(hex4(d.algorithm)));
    if (d.hashAlgorithm != 0 && d.hashAlgorithm != kHashSha1)
        failUnsupportedEncryption(fileName, u"RC4 keyed by the hash 0x%1"_s.arg(hex4(d.hashAlgorithm)));
    // 0 stands for 40 bits; keys grow in steps of 8 bits up to 128.
    const std::uint32_t keyBits = d.keyBits == 0 ? 40 : d.keyBits;
    if (keyBits < 40 || keyBits > 128 || keyBits % 8 != 0)
        failEncryptionData(fileName, u"RC4 with a key of %1 bits"_s.arg(keyBits));
    return unlockWith(fileName, passwords, [&](const SharedPassword& password) -> std::optional<Rc4CryptoApiKey> {
        Hasher sha1(Hash::Sha1);
        Rc4CryptoApiKey key(sha1.add(d.salt).add(password->utf16le()).digest(), keyBits / 8);
        // The verifier and its hash are one stream of block 0.
        crypto::Rc4 stream = key.stream(0);
        SecretBytes verifier(d.encryptedVerifier);
        SecretBytes hash(d.encryptedVerifierHash);
        stream.apply(verifier.data(), verifier.size());
        stream.apply(hash.data(), hash.size());
        if (!crypto::sameBytes(sha1.add(verifier).digest().view(), hash.view()))
            return std::nullopt;
        return key;
    });
}

crypto::Rc4 Rc4CryptoApiKey::stream(std::uint32_t block) const {
    Hasher sha1(Hash::Sha1);
    SecretBytes key = sha1.add(m_hash).addLe32(block).digest();
    key.truncate(m_keySize);
    // A 40-bit key is used as a 128-bit one whose other bytes are zero.
    if (m_keySize == 5)
        key = fitted(std::move(key), 16, '\0');
    return crypto::Rc4(key.view());
}

} // namespace quorvane::office
