#include "office/presentation/PresentationDocument.h"

#include "office/presentation/ReadError.h"

namespace quorvane::office {

const std::vector<ShapeInfo>& PresentationDocument::shapes(int slide) {
    // Slides are read lazily, so this is an entry point of the engine like opening the file.
    return reportingReadErrors([&]() -> const std::vector<ShapeInfo>& { return readShapes(slide); });
}

} // namespace quorvane::office
