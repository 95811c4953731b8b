#pragma once

#include <QString>

#include <vector>

namespace quorvane::office {

// One top-level shape of a slide as the presentation server reports it.
struct ShapeInfo {
    bool hasTextFrame = false;
    // The text frame's text: paragraphs joined by CR (U+000D), line breaks as VT (U+000B), no
    // separator after the last paragraph. Empty when the shape has no text frame.
    QString text;
};

// An opened presentation file of any supported kind (the readers open them: OpenPresentation.h).
// Slides are read on demand, one at a time.
class PresentationDocument {
public:
    virtual ~PresentationDocument() = default;
    // The number of slides, in presentation order (hidden slides included).
    virtual int slideCount() const = 0;
    // The top-level shapes of slide (1 to slideCount()) in z-order, back to front. The reference is
    // valid until the next call. Throws AutomationError naming the file when the slide is damaged or
    // there is no such slide.
    const std::vector<ShapeInfo>& shapes(int slide);

private:
    // The reader's part of shapes(): reads the slide, throwing ReadError with the whole message.
    virtual const std::vector<ShapeInfo>& readShapes(int slide) = 0;
};

} // namespace quorvane::office
