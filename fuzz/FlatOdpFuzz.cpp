// Feeds arbitrary bytes to the flat OpenDocument presentation reader and reads every slide. The reader
// takes a path: each input is held in a file in memory (MemoryFile.h).
#include "MemoryFile.h"

#include "office/AutomationError.h"
#include "office/presentation/OdpReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvane::office;
    static quorvane::fuzz::MemoryFile file;
    try {
        auto document = openFlatOpenDocumentPresentation(file.hold(data, size));
        for (int slide = 1; slide <= document->slideCount(); ++slide) {
            try {
                document->shapes(slide);
                document->notes(slide); // read apart from the shapes, on demand
            } catch (const AutomationError&) {
            }
        }
    } catch (const AutomationError&) {
    }
    return 0;
}
