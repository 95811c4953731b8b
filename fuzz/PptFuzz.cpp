// Feeds arbitrary bytes to the binary presentation reader as a compound file and reads every slide.
// Any outcome but a clean read or an AutomationError is a fault (the sanitizers report the rest).
#include "office/AutomationError.h"
#include "office/presentation/PptReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvane::office;
    try {
        auto document =
            openCompoundFileData(QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)),
                                 QStringLiteral("fuzz.ppt"));
        for (int slide = 1; slide <= document->slideCount(); ++slide) {
            try {
                document->shapes(slide);
                document->notes(slide); // read apart from the shapes, on demand
            } catch (const AutomationError&) {
                // one damaged slide; the others must still read
            }
        }
    } catch (const AutomationError&) {
    }
    return 0;
}
