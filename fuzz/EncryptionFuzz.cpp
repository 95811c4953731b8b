// Feeds arbitrary encryption descriptors and headers to the decryption of protected presentations.
// The first byte chooses the kind (its value modulo 3):
//   0  a compound file: its EncryptionInfo and EncryptedPackage (Agile or Standard encryption) are
//      decrypted with the password "password"
//   1  a compound file read as a protected binary presentation with the password "hello" (its
//      CryptSession10Container and every persist object), every slide read
//   2  two bytes (little-endian) giving the length of an OpenDocument manifest, the manifest, then
//      the stored bytes of content.xml, which the manifest's encryption data decrypts with "password"
// Every key derivation a descriptor asks for is run, so an input is slow when it asks for many rounds.
#include "ReadEverySlide.h"
#include "StoredZip.h"

#include "office/Passwords.h"
#include "office/presentation/CompoundFile.h"
#include "office/presentation/OdfEncryption.h"
#include "office/presentation/OfficeEncryption.h"
#include "office/presentation/PptReader.h"
#include "office/presentation/ReadError.h"
#include "office/presentation/ZipPackage.h"

#include <zip.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

using namespace quorvane;

namespace {

std::shared_ptr<office::PasswordList> passwords(const char* text) {
    return std::make_shared<office::PasswordList>(
        std::vector<office::SharedPassword>{std::make_shared<office::Password>(text)});
}

// A zip package in memory holding the manifest and content.xml, both stored.
std::string package(const std::uint8_t* manifest, std::size_t manifestSize, const std::uint8_t* content,
                    std::size_t contentSize) {
    return fuzz::storedZip({{"META-INF/manifest.xml", {reinterpret_cast<const char*>(manifest), manifestSize}},
                            {"content.xml", {reinterpret_cast<const char*>(content), contentSize}}});
}

void decryptPackage(QByteArrayView file) {
    const office::CompoundFile container(file);
    const std::optional<QByteArray> info = container.readStream(QStringLiteral("EncryptionInfo"));
    const std::optional<QByteArray> encrypted = container.readStream(QStringLiteral("EncryptedPackage"));
    if (!info || !encrypted)
        return;
    const auto list = passwords("password");
    office::decryptOoxmlPackage(*info, *encrypted, QStringLiteral("fuzz.pptx"), list.get(), 16u << 20);
}

void decryptOpenDocument(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return;
    const std::size_t manifestSize = std::min<std::size_t>(data[0] | (std::size_t{data[1]} << 8), size - 2);
    const std::uint8_t* manifest = data + 2;
    office::ZipPackage zip(QStringLiteral("fuzz.odp"),
                           package(manifest, manifestSize, manifest + manifestSize, size - 2 - manifestSize));
    const std::string text = zip.read("META-INF/manifest.xml");
    const auto list = passwords("password");
    zip.setDecryption(office::unlockOpenDocument(text, zip, list.get()));
    zip.read("content.xml");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const QByteArrayView rest(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    try {
        switch (data[0] % 3) {
        case 0:
            decryptPackage(rest);
            break;
        case 1: {
            const auto list = passwords("hello");
            fuzz::readEverySlide(
                [&] { return office::openCompoundFileData(rest, QStringLiteral("fuzz.ppt"), list.get()); });
            break;
        }
        default:
            decryptOpenDocument(data + 1, size - 1);
        }
    } catch (const office::ReadError&) {
        // Damage, a method not opened, a password refused: ordinary outcomes.
    }
    return 0;
}
