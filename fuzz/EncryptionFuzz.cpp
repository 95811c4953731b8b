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
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t* archive = buffer != nullptr ? zip_open_from_source(buffer, ZIP_TRUNCATE, &error) : nullptr;
    if (archive == nullptr)
        std::abort();
    zip_source_keep(buffer); // its bytes are read after zip_close
    auto add = [&](const char* name, const void* bytes, std::size_t length) {
        zip_source_t* source = zip_source_buffer(archive, bytes, length, 0);
        const zip_int64_t index = source != nullptr ? zip_file_add(archive, name, source, 0) : -1;
        if (index < 0 || zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0) != 0)
            std::abort();
    };
    add("META-INF/manifest.xml", manifest, manifestSize);
    add("content.xml", content, contentSize);
    if (zip_close(archive) != 0)
        std::abort();
    zip_stat_t stat;
    std::string bytes;
    if (zip_source_stat(buffer, &stat) != 0 || zip_source_open(buffer) != 0)
        std::abort();
    bytes.resize(static_cast<std::size_t>(stat.size));
    if (zip_source_read(buffer, bytes.data(), stat.size) != static_cast<zip_int64_t>(stat.size))
        std::abort();
    zip_source_close(buffer);
    zip_source_free(buffer);
    zip_error_fini(&error);
    return bytes;
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
