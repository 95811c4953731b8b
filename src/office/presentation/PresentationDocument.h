#pragma once

#include "office/presentation/ReadError.h"

#include <QString>

#include <utility>
#include <vector>

namespace quorvane::office {

// One top-level shape of a slide as the presentation server reports it.
struct ShapeInfo {
    bool hasTextFrame = false;
    // The text frame's text: paragraphs joined by CR (U+000D), line breaks as VT (U+000B), no
    // separator after the last paragraph. Empty when the shape has no text frame.
    QString text;
};

// The most that is read from one presentation. Real decks stay far below: a thousand slides of two
// thousand characters each are two million characters. A small file can still ask for gigabytes (one
// slide part listed many times, one text referenced by thousands of placeholders, a run of spaces
// millions long on every shape); reading such a file stops with an error that names the file and the
// bound, before the memory runs out.
class ReadBudget {
public:
    // Characters of text. Every shape with a text frame counts its text and the two characters of
    // the line end that follows it in the presentation's text, so this bounds that text exactly.
    static constexpr qsizetype MaxText = 50'000'000;
    // Top-level shapes of all slides together, with text or without.
    static constexpr qsizetype MaxShapes = 10'000'000;

    // A bound is passed. It is no damage, so a reader that reports damage of a slide lets it through
    // unchanged; its description is the whole message.
    class Exceeded : public ReadError {
    public:
        using ReadError::ReadError;
    };

    explicit ReadBudget(QString fileName) : m_fileName(std::move(fileName)) {}

    // What a shape adds to the text count.
    static qsizetype textOf(const ShapeInfo& shape) { return shape.hasTextFrame ? shape.text.size() + 2 : 0; }

    // For a reader in the middle of a slide, before it builds more: throws Exceeded "<file name>: ..."
    // naming the bound when the slide, at text characters and shapes shapes so far, takes the
    // presentation past a bound. A slide counted before is not counted twice.
    void requireRoom(qsizetype text, qsizetype shapes) const;

    // Brackets the reading of a slide: beginSlide before, countSlide after. Each slide counts once,
    // however often it is read. countSlide throws like requireRoom.
    void beginSlide(int slide);
    void countSlide(int slide, const std::vector<ShapeInfo>& shapes);

private:
    QString m_fileName;
    qsizetype m_text = 0;
    qsizetype m_shapes = 0;
    std::vector<bool> m_counted; // by slide, from 1
    bool m_recount = false;      // the slide being read was counted before
};

// An opened presentation file of any supported kind (the readers open them: OpenPresentation.h).
// Slides are read on demand, one at a time.
class PresentationDocument {
public:
    virtual ~PresentationDocument() = default;
    // The number of slides, in presentation order (hidden slides included).
    virtual int slideCount() const = 0;
    // The top-level shapes of slide (1 to slideCount()) in z-order, back to front. The reference is
    // valid until the next call. Throws AutomationError naming the file when the slide is damaged,
    // there is no such slide, or the slides read so far pass a bound of the ReadBudget.
    const std::vector<ShapeInfo>& shapes(int slide);

protected:
    // fileName names the file in the budget's messages.
    explicit PresentationDocument(QString fileName) : m_budget(std::move(fileName)) {}
    // For a reader that builds much from little (see ReadBudget::requireRoom).
    const ReadBudget& budget() const { return m_budget; }

private:
    // The reader's part of shapes(): reads the slide, throwing ReadError with the whole message.
    virtual const std::vector<ShapeInfo>& readShapes(int slide) = 0;

    ReadBudget m_budget;
};

} // namespace quorvane::office
