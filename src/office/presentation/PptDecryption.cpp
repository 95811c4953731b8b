#include "office/presentation/PptDecryption.h"

#include "office/presentation/OfficeEncryption.h"
#include "office/presentation/PptPersist.h"
#include "office/presentation/PptRecords.h"
#include "office/presentation/ReadError.h"

#include <QtEndian>

#include <algorithm>
#include <unordered_set>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvane::office::ppt {

namespace {

constexpr std::uint16_t rtCryptSession10Container = 0x2F14;

// A step on the records: damage it finds is reported as the presentation's.
template <typename Step> auto inRecords(const QString& fileName, Step&& step) {
    try {
        return step();
    } catch (const PasswordRefused&) {
        throw;
    } catch (const ReadError& e) {
        throw ReadError(fileName + u": damaged presentation: "_s + e.description());
    }
}

} // namespace

QByteArray decryptedDocumentStream(QByteArray stream, std::optional<std::uint32_t> currentEdit, const QString& fileName,
                                   PasswordSource* passwords) {
    const RecordStream records(stream);
    PersistDirectory directory(records);
    const Record session = inRecords(fileName, [&] {
        directory.read(currentEdit);
        if (!directory.encryptionRef())
            damaged("the newest edit names no encryption record");
        return directory.record(*directory.encryptionRef(), rtCryptSession10Container, "the encryption record");
    });
    const Rc4CryptoApiKey key =
        Rc4CryptoApiKey::unlock(QByteArrayView(stream.constData() + session.body, session.length), fileName, passwords);

    // In offset order, so that an object is decrypted once even if two ids name it.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> objects; // offset, persist id
    for (const auto& [id, offset] : directory.objects())
        if (id != *directory.encryptionRef())
            objects.emplace_back(offset, id);
    std::sort(objects.begin(), objects.end());
    char* data = stream.data(); // detaches from records' copy: the encrypted bytes stay there
    const std::uint32_t size = records.size();
    std::uint32_t decryptedTo = 0;
    for (const auto& [offset, id] : objects) {
        // An offset outside the stream or inside an object decrypted already is what a damaged
        // directory gives: the reader finds no record there, as without encryption.
        if (offset < decryptedTo || offset > size || size - offset < 8)
            continue;
        crypto::Rc4 cipher = key.stream(id);
        auto* at = reinterpret_cast<unsigned char*>(data + offset);
        cipher.apply(at, 8);
        const std::uint32_t length = qFromLittleEndian<std::uint32_t>(at + 4);
        if (length > size - offset - 8)
            throw ReadError(fileName +
                            u": damaged presentation: the protected object %1 at offset %2 runs past the end "
                            u"of the stream"_s.arg(id)
                                .arg(offset));
        cipher.apply(at + 8, length);
        decryptedTo = offset + 8 + length;
    }
    return stream;
}

} // namespace quorvane::office::ppt
