// Feeds arbitrary bytes to the flat OpenDocument presentation reader and reads every slide. The reader
// takes a path: each input is held in a file in memory (MemoryFile.h).
#include "MemoryFile.h"
#include "ReadEverySlide.h"

#include "office/presentation/OdpReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static quorvane::fuzz::MemoryFile file;
    quorvane::fuzz::readEverySlide(
        [&] { return quorvane::office::openFlatOpenDocumentPresentation(file.hold(data, size)); });
    return 0;
}
