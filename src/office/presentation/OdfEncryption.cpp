#include "office/presentation/OdfEncryption.h"

#include "office/presentation/Crypto.h"
#include "office/presentation/PasswordTrial.h"
#include "office/presentation/PresentationDocument.h"
#include "office/presentation/ReadError.h"

#include <QByteArray>

#include <pugixml.hpp>
#include <zlib.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>

using namespace Qt::StringLiterals;

namespace quorvane::office {

namespace {

using crypto::Hash;
using crypto::SecretBytes;

// The checksum covers this many bytes from the start of a part, decrypted but still deflated.
constexpr std::size_t kChecksumSpan = 1024;

enum class Cipher { Aes256Cbc, BlowfishCfb };

// How one part is encrypted, as its manifest entry says.
struct EncryptedPart {
    Cipher cipher = Cipher::Aes256Cbc;
    std::string iv;
    std::string salt;
    std::uint32_t iterations = 0;
    std::size_t keySize = 0;
    Hash startKey = Hash::Sha1;
    Hash checksumHash = Hash::Sha1;
    std::string checksum;
    std::uint64_t size = 0; // the plain part's size, as the manifest states it
};

std::string_view localName(const char* name) {
    std::string_view n(name);
    const auto colon = n.rfind(':');
    return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

pugi::xml_node child(pugi::xml_node parent, std::string_view local) {
    for (pugi::xml_node node = parent.first_child(); node; node = node.next_sibling())
        if (node.type() == pugi::node_element && localName(node.name()) == local)
            return node;
    return {};
}

// The attribute of the manifest namespace's element whose local name is local ("" when there is none).
std::string_view attribute(pugi::xml_node element, std::string_view local) {
    for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute())
        if (localName(a.name()) == local)
            return a.value();
    return {};
}

QString text(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// What a protected package is read with: its parts' encryption and the password that opened it.
class OdfDecryption final : public PartDecryption {
public:
    OdfDecryption(std::map<std::string, EncryptedPart, std::less<>> parts, QString fileName)
        : m_parts(std::move(parts)), m_fileName(std::move(fileName)) {}

    // Finds the password of passwords that opens the part checked (its checksum), or throws.
    void unlock(const std::string& checked, const std::string& stored, PasswordSource* passwords) {
        const EncryptedPart& part = m_parts.find(checked)->second;
        m_password =
            unlockWith(m_fileName, passwords, [&](const SharedPassword& password) -> std::optional<SharedPassword> {
                SecretBytes key = keyOf(part, *password);
                if (!matchesChecksum(part, key, stored))
                    return std::nullopt;
                m_keys.insert_or_assign(checked, std::move(key));
                return password;
            });
    }

    bool encrypts(std::string_view name) const override { return m_parts.find(name) != m_parts.end(); }

    void decrypt(std::string_view name, std::string& buffer, const ZipPackage& package) const override {
        const EncryptedPart& part = m_parts.find(name)->second;
        const std::string partName(name);
        auto known = m_keys.find(partName);
        if (known == m_keys.end())
            known = m_keys.emplace(partName, keyOf(part, *m_password)).first;
        if (!matchesChecksum(part, known->second, buffer))
            package.fail(text(name) + u": damaged part: its checksum does not match"_s);
        const std::size_t stored = buffer.size();
        SecretBytes plain = decrypted(part, known->second, buffer, buffer.size());
        if (part.cipher == Cipher::Aes256Cbc && !unpad(plain))
            package.fail(text(name) + u": damaged part: its padding is wrong"_s);
        // A part whose plain size is the stated size was stored without deflating it.
        if (plain.size() == part.size) {
            package.countInflated(name, plain.size());
            buffer.assign(plain.view());
            return;
        }
        inflate(name, plain, stored, package, buffer);
    }

private:
    static SecretBytes keyOf(const EncryptedPart& part, const Password& password) {
        crypto::Hasher hasher(part.startKey);
        const SecretBytes start = hasher.add(password.utf8()).digest();
        return crypto::pbkdf2HmacSha1(start.view(), part.salt, part.iterations, part.keySize);
    }

    // The first length bytes of stored, decrypted (AES decrypts whole blocks; what is past the last
    // whole block within length is left out).
    static SecretBytes decrypted(const EncryptedPart& part, const SecretBytes& key, std::string_view stored,
                                 std::size_t length) {
        length = std::min(length, stored.size());
        if (part.cipher == Cipher::Aes256Cbc)
            length -= length % 16;
        SecretBytes plain(stored.substr(0, length));
        const bool done = part.cipher == Cipher::Aes256Cbc
                              ? crypto::aesCbcDecrypt(key.view(), part.iv, plain.data(), plain.size())
                              : crypto::blowfishCfb8Decrypt(key.view(), part.iv, plain.data(), plain.size());
        if (!done)
            plain.truncate(0);
        return plain;
    }

    // Removes the padding of the last AES block: its last byte says how many bytes were added.
    static bool unpad(SecretBytes& plain) {
        if (plain.empty())
            return false;
        const unsigned added = plain.data()[plain.size() - 1];
        if (added == 0 || added > 16 || added > plain.size())
            return false;
        plain.truncate(plain.size() - added);
        return true;
    }

    // Whether the checksum of the part's start, decrypted with key, is the manifest's.
    static bool matchesChecksum(const EncryptedPart& part, const SecretBytes& key, std::string_view stored) {
        SecretBytes start = decrypted(part, key, stored, kChecksumSpan);
        if (start.empty() && !stored.empty())
            return false;
        // A part no longer than the span is taken whole, without its padding.
        if (stored.size() <= kChecksumSpan && part.cipher == Cipher::Aes256Cbc && !unpad(start))
            return false;
        crypto::Hasher hasher(part.checksumHash);
        return crypto::sameBytes(hasher.add(start).digest().view(), part.checksum);
    }

    // Inflates the raw deflate data plain into buffer, within the bounds of a part and of the package.
    static void inflate(std::string_view name, const SecretBytes& plain, std::size_t stored, const ZipPackage& package,
                        std::string& buffer) {
        const ZipLimits& limits = package.limits();
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
            throw std::bad_alloc();
        const struct Ender {
            z_stream& z;
            ~Ender() { inflateEnd(&z); }
        } ender{z};
        SharedReadRoom::claim(static_cast<qsizetype>(std::min<std::uint64_t>(
                                  limits.maxPartSize, std::uint64_t{plain.size()} * limits.maxRatio)) *
                              2);
        buffer.clear();
        SecretBytes chunk(64 << 10);
        z.next_in = const_cast<Bytef*>(plain.data());
        z.avail_in = static_cast<uInt>(plain.size());
        for (;;) {
            z.next_out = chunk.data();
            z.avail_out = static_cast<uInt>(chunk.size());
            const int status = ::inflate(&z, Z_NO_FLUSH);
            if (status != Z_OK && status != Z_STREAM_END && !(status == Z_BUF_ERROR && z.avail_in == 0))
                package.fail(text(name) + u": damaged part: its deflated data is broken"_s);
            buffer.append(reinterpret_cast<const char*>(chunk.data()), chunk.size() - z.avail_out);
            if (buffer.size() > limits.maxPartSize)
                package.fail(text(name) + u": the part is larger than %1 MiB"_s.arg(limits.maxPartSize >> 20));
            if (buffer.size() > limits.ratioGrace && buffer.size() > stored * limits.maxRatio)
                package.fail(text(name) +
                             u": the part inflates more than %1 times (a zip bomb?)"_s.arg(limits.maxRatio));
            if (status == Z_STREAM_END)
                break;
            if (z.avail_in == 0 && z.avail_out != 0)
                package.fail(text(name) + u": damaged part: its deflated data is cut short"_s);
        }
        package.countInflated(name, buffer.size());
    }

    std::map<std::string, EncryptedPart, std::less<>> m_parts;
    QString m_fileName;
    SharedPassword m_password;
    mutable std::map<std::string, SecretBytes, std::less<>> m_keys; // by part, made once
};

std::string base64(pugi::xml_node element, std::string_view local, const QString& fileName) {
    const std::string_view value = attribute(element, local);
    const auto decoded = QByteArray::fromBase64Encoding(QByteArray(value.data(), static_cast<qsizetype>(value.size())),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (value.empty() || !decoded || decoded.decoded.isEmpty())
        failEncryptionData(fileName, u"the manifest's %1 is missing or no base64"_s.arg(text(local)));
    return decoded.decoded.toStdString();
}

std::uint64_t number(pugi::xml_node element, std::string_view local, const QString& fileName, bool required = true) {
    const std::string_view value = attribute(element, local);
    if (value.empty() && !required)
        return 0;
    bool ok = false;
    const qulonglong n = QByteArray(value.data(), static_cast<qsizetype>(value.size())).toULongLong(&ok);
    if (!ok)
        failEncryptionData(fileName, u"the manifest's %1 is missing or not a number"_s.arg(text(local)));
    return n;
}

// The encryption of one manifest entry.
EncryptedPart partOf(pugi::xml_node entry, pugi::xml_node data, const QString& fileName) {
    EncryptedPart part;
    part.size = number(entry, "size", fileName, false);
    const pugi::xml_node algorithm = child(data, "algorithm");
    const pugi::xml_node derivation = child(data, "key-derivation");
    const pugi::xml_node start = child(data, "start-key-generation");
    const std::string_view cipher = attribute(algorithm, "algorithm-name");
    if (cipher == "http://www.w3.org/2001/04/xmlenc#aes256-cbc")
        part.cipher = Cipher::Aes256Cbc;
    else if (cipher == "Blowfish CFB" || cipher == "urn:oasis:names:tc:opendocument:xmlns:manifest:1.0#blowfish")
        part.cipher = Cipher::BlowfishCfb;
    else if (cipher.empty())
        failEncryptionData(fileName, u"the manifest names no cipher"_s);
    else if (cipher == "http://www.w3.org/2009/xmlenc11#aes256-gcm")
        failUnsupportedEncryption(fileName, u"AES-256-GCM"_s);
    else
        failUnsupportedEncryption(fileName, text(cipher));
    const std::string_view kdf = attribute(derivation, "key-derivation-name");
    if (kdf != "PBKDF2" && kdf != "urn:oasis:names:tc:opendocument:xmlns:manifest:1.0#pbkdf2")
        failUnsupportedEncryption(fileName, u"the key derivation "_s + (kdf.empty() ? u"(unnamed)"_s : text(kdf)));
    const std::string_view startName = attribute(start, "start-key-generation-name");
    if (!start || startName == "SHA1" || startName == "http://www.w3.org/2000/09/xmldsig#sha1")
        part.startKey = Hash::Sha1;
    else if (startName == "http://www.w3.org/2000/09/xmldsig#sha256" ||
             startName == "http://www.w3.org/2001/04/xmlenc#sha256")
        part.startKey = Hash::Sha256;
    else
        failUnsupportedEncryption(fileName, u"the start key "_s + text(startName));
    const std::string_view checksumType = attribute(data, "checksum-type");
    if (checksumType == "SHA1/1K" || checksumType == "urn:oasis:names:tc:opendocument:xmlns:manifest:1.0#sha1-1k")
        part.checksumHash = Hash::Sha1;
    else if (checksumType == "urn:oasis:names:tc:opendocument:xmlns:manifest:1.0#sha256-1k")
        part.checksumHash = Hash::Sha256;
    else
        failUnsupportedEncryption(fileName,
                                  u"the checksum "_s + (checksumType.empty() ? u"(none)"_s : text(checksumType)));
    part.checksum = base64(data, "checksum", fileName);
    part.iv = base64(algorithm, "initialisation-vector", fileName);
    part.salt = base64(derivation, "salt", fileName);
    const std::uint64_t iterations = number(derivation, "iteration-count", fileName);
    requireRounds(fileName, "iteration count", iterations);
    part.iterations = static_cast<std::uint32_t>(iterations);
    // Blowfish's key was 16 bytes when the manifest did not say.
    const std::uint64_t keySize = number(derivation, "key-size", fileName, false);
    part.keySize = keySize != 0 ? static_cast<std::size_t>(keySize) : part.cipher == Cipher::BlowfishCfb ? 16 : 32;
    if (part.cipher == Cipher::Aes256Cbc ? (part.keySize != 32 || part.iv.size() != 16)
                                         : (part.keySize > 56 || part.iv.size() != 8))
        failEncryptionData(fileName, u"the key or the initialisation vector is not of the cipher's size"_s);
    if (part.checksum.size() != crypto::digestSize(part.checksumHash))
        failEncryptionData(fileName, u"the checksum is not of its hash's size"_s);
    return part;
}

} // namespace

bool manifestListsEncryption(std::string_view manifest) {
    return manifest.find("encryption-data") != std::string_view::npos;
}

std::unique_ptr<PartDecryption> unlockOpenDocument(std::string_view manifest, const ZipPackage& package,
                                                   PasswordSource* passwords) {
    const QString& fileName = package.fileName();
    pugi::xml_document document;
    if (!document.load_buffer(manifest.data(), manifest.size(), pugi::parse_default))
        throw ReadError(fileName + u": damaged package: its manifest is no XML"_s);
    std::map<std::string, EncryptedPart, std::less<>> parts;
    for (pugi::xml_node entry = document.document_element().first_child(); entry; entry = entry.next_sibling()) {
        if (localName(entry.name()) != "file-entry")
            continue;
        if (const pugi::xml_node data = child(entry, "encryption-data"))
            parts.insert_or_assign(std::string(attribute(entry, "full-path")), partOf(entry, data, fileName));
    }
    // The password is checked on the part that holds the slides, or else on any XML part there is.
    auto checked = parts.find(std::string_view("content.xml"));
    if (checked == parts.end() || !package.contains(checked->first))
        checked = std::find_if(parts.begin(), parts.end(), [&](const auto& part) {
            return part.first.ends_with(".xml") && package.contains(part.first);
        });
    if (checked == parts.end())
        throw ReadError(fileName + u": damaged package: no encrypted part listed in its manifest is there"_s);
    const std::string checkedName = checked->first;
    std::string stored;
    package.read(checkedName, stored);
    auto decryption = std::make_unique<OdfDecryption>(std::move(parts), fileName);
    decryption->unlock(checkedName, stored, passwords);
    return decryption;
}

} // namespace quorvane::office
