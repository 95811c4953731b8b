// Feeds arbitrary bytes to the binary presentation reader as a compound file in memory and reads every
// slide.
#include "ReadEverySlide.h"

#include "office/presentation/PptReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quorvane::fuzz::readEverySlide([&] {
        return quorvane::office::openCompoundFileData(
            QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)),
            QStringLiteral("fuzz.ppt"));
    });
    return 0;
}
