#pragma once

#include <QString>

#include <memory>
#include <vector>

namespace quorvane::office {

// One top-level shape of a slide as the presentation server reports it.
struct ShapeInfo {
    bool hasTextFrame = false;
    // The text frame's text: paragraphs joined by CR (U+000D), line breaks as VT (U+000B), no
    // separator after the last paragraph. Empty when the shape has no text frame.
    QString text;
};

// An opened presentation file of any supported kind. Slides are read on demand, one at a time.
class PresentationDocument {
public:
    virtual ~PresentationDocument() = default;
    // The number of slides, in presentation order (hidden slides included).
    virtual int slideCount() const = 0;
    // The top-level shapes of slide (1 to slideCount()) in z-order, back to front. The reference is
    // valid until the next call. Throws AutomationError naming the file when the slide is damaged.
    virtual const std::vector<ShapeInfo>& shapes(int slide) = 0;
};

// Opens a presentation, choosing the reader by the file's content, never by its name. The file is
// only read. Throws AutomationError "<file name>: <reason>" (not a zip archive, not a presentation
// package, encrypted, damaged part, ...).
std::unique_ptr<PresentationDocument> openPresentationDocument(const QString& path);

// The readers behind openPresentationDocument, one per kind of file. Each takes the path (for
// messages and for reading) and throws AutomationError like openPresentationDocument.
std::unique_ptr<PresentationDocument> openOoxmlPresentation(const QString& path);            // zip, OOXML
std::unique_ptr<PresentationDocument> openOpenDocumentPresentation(const QString& path);     // zip, ODF
std::unique_ptr<PresentationDocument> openFlatOpenDocumentPresentation(const QString& path); // XML, .fodp
std::unique_ptr<PresentationDocument> openCompoundFilePresentation(const QString& path); // OLE2: .ppt, encrypted OOXML

} // namespace quorvane::office
