#pragma once

#include "office/PresentationServer.h"
#include "office/presentation/ReadError.h"

#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quorvane::office {

// One shape of a slide as the presentation server reports it.
struct ShapeInfo {
    bool hasTextFrame = false;
    ShapeKind kind = ShapeKind::Other;
    // The table's columns (0 for a shape that is no table).
    int columns = 0;
    // The text frame's text: paragraphs joined by CR (U+000D), line breaks as VT (U+000B), no
    // separator after the last paragraph. Empty when the shape has no text frame.
    QString text;
    // The name the presentation stores for the shape.
    QString name;
    // A table's cells row by row, columns cells a row, each cell's text like a text frame's. A
    // position that a merged cell covers is empty.
    std::vector<QString> cells;
    // A group's shapes in z-order, back to front; a group among them has shapes of its own.
    std::vector<ShapeInfo> items;
    // A picture's alternative text.
    QString description;
    // Where the reader finds a diagram's or a chart's texts (what it is depends on the reader); the
    // texts themselves are read only when asked for (PresentationDocument::graphicTexts).
    std::string source;
};

// Room shared by the presentations that several threads read at once (DocumentPrefetch): a thread
// that reads for it sets its room, and every bound check of the ReadBudget on that thread asks the
// room for what the presentation holds by then.
class SharedReadRoom {
public:
    virtual ~SharedReadRoom() = default;
    // The presentation read on this thread holds text characters and shapes in all so far. Returns
    // once there is room for that, waiting for it; throws ReadAbandoned when the read is to stop.
    virtual void require(qsizetype text, qsizetype shapes) = 0;
    // The same for bytes the reader holds while it reads (a part inflated and parsed, a stream read
    // whole), counted as they come, each read on its own.
    virtual void requireBytes(qsizetype bytes) = 0;
    // Throws ReadAbandoned when the read is to stop; asked at the checkpoints of a long read.
    virtual void poll() = 0;
    // The room of the reads on this thread; null (as on every thread at first): only the bounds count.
    static SharedReadRoom*& ofThisThread();
    // For a reader about to hold bytes in memory: asks this thread's room, when it has one.
    static void claim(qsizetype bytes) {
        if (SharedReadRoom* room = ofThisThread())
            room->requireBytes(bytes);
    }
};

// Thrown through a reader by SharedReadRoom::require when nobody wants the presentation any more.
// It is no std::exception, so no reader takes it for damage.
struct ReadAbandoned {};

// How a long read on a thread learns that it is to stop: a presentation read again and again through
// its graphics, a damaged file recovered, a slide of millions of shapes. The readers pass checkpoints
// as they go, and at one every few tens of milliseconds the stop of the thread is asked.
class ReadStop {
public:
    // The stop of the reads on this thread from now on: a function that throws when they are to stop
    // (what it throws leaves the read and whatever member of the engine is reading); empty for none.
    static void set(std::function<void()> poll);
    // For a reader where it may take long: asks the stop of this thread when it was last asked a
    // while ago, and a read ahead its room (SharedReadRoom::poll).
    static void checkpoint();
};

// What each part of a package that slides show (a chart, diagram data, an embedded object) gave the
// first time it was read, so that a part that thousands of frames show is read once: its texts, or
// why they could not be read.
class PartTexts {
public:
    // The texts read() gives for part, calling it the first time only; the failure of that call
    // (ReadError, or ReadLimitPassed for a bound passed) is thrown again every time. A
    // ReadBudget::Exceeded passes through and is not kept.
    template <typename Read> const std::vector<QString>& of(const std::string& part, Read&& read);

private:
    struct Read {
        std::vector<QString> texts;
        QString failure; // null when the part was read
        bool limit = false;
    };
    std::unordered_map<std::string, Read> m_parts;
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
    // The file, as messages name it.
    const QString& fileName() const { return m_fileName; }

    // What a shape adds to the text count: its text, and a table's cells and a group's shapes, each
    // with two characters for a line end.
    static qsizetype textOf(const ShapeInfo& shape);
    // The shapes a shape counts for: itself and, for a group, every shape inside it.
    static qsizetype shapesOf(const ShapeInfo& shape);

    // For a reader in the middle of a slide, before it builds more: throws Exceeded "<file name>: ..."
    // naming the bound when the slide, at text characters and shapes shapes so far, takes the
    // presentation past a bound. A slide counted before is not counted twice. Where the thread reads
    // within a SharedReadRoom, waits for room there first.
    void requireRoom(qsizetype text, qsizetype shapes) const;

    // Brackets the reading of a slide: beginSlide before, countSlide after. Each slide counts once,
    // however often it is read. countSlide throws like requireRoom.
    void beginSlide(int slide);
    void countSlide(int slide, const std::vector<ShapeInfo>& shapes);
    // Counts the notes of a slide (once, however often they are read); throws like requireRoom.
    void countNotes(int slide, const QString& notes);
    // Counts text read besides the slides and notes (a diagram's, a chart's, comments): each time it
    // is read. Throws like requireRoom.
    void countExtra(qsizetype text);

private:
    QString m_fileName;
    qsizetype m_text = 0;
    qsizetype m_shapes = 0;
    std::vector<bool> m_counted;      // by slide, from 1
    std::vector<bool> m_notesCounted; // by slide, from 1
    bool m_recount = false;           // the slide being read was counted before
};

// What a presentation lost besides whole slides: something a slide shows apart from its shapes
// (a diagram's or a chart's texts, notes, comments, the comment authors' names) whose part is
// missing, damaged or past a bound, or a slide's relationships, without which what it refers to
// cannot even be known. The rest of the presentation reads on without it.
struct LostItem {
    enum class Kind { Diagram, Chart, Notes, Comments, Authors, Relationships };
    Kind kind = Kind::Chart;
    int slide = 0; // from 1; 0 for what belongs to the whole presentation (the authors)
    // Why, naming the part or the bound: "ppt/charts/chart1.xml: the part is missing".
    QString reason;
    bool bound = false; // a bound was passed: the part may be sound, only too much to read
};

// What damage cost a presentation that opened with only part of it: a file cut short, an archive
// without its directory, a broken chain of edits, or a part of what slides show besides their shapes.
// What it gives is exactly what the whole file gives for the same slides and items; a slide that is
// lost gives no shapes and no notes.
struct DocumentDamage {
    // What is wrong, for a message: "its zip directory is missing", "cut short in ppt/slides/slide4.xml".
    QString cause;
    // The slides (from 1, ascending) that are lost.
    std::vector<int> lostSlides;
    // The list of slides itself is lost: the slides are the slide parts that survived, in the order of
    // their names, so how many the presentation had is not known.
    bool slideListLost = false;
    // What else was lost, in the order it was found (each item read once, however often asked for).
    std::vector<LostItem> lostItems;
    // Whether cause is a bound passed rather than damage (see LostItem::bound).
    bool bound = false;
};

// An opened presentation file of any supported kind (the readers open them: OpenPresentation.h).
// Slides are read on demand, one at a time.
class PresentationDocument {
public:
    virtual ~PresentationDocument() = default;
    // The number of slides, in presentation order (hidden slides included).
    virtual int slideCount() const = 0;
    // What damage cost the presentation so far, or null when all that was read came whole: what
    // the reader found when it opened the file, and every item lost since (see LostItem). The
    // pointer is valid until the next read.
    const DocumentDamage* damage() const;
    // The top-level shapes of slide (1 to slideCount()) in z-order, back to front. The reference is
    // valid until the next call. Throws AutomationError naming the file when the slide is damaged,
    // there is no such slide, or the slides read so far pass a bound of the ReadBudget.
    const std::vector<ShapeInfo>& shapes(int slide);
    // The speaker notes of slide: the text of its notes page's body placeholder, like a text frame's;
    // empty when it has none. Read on demand, apart from the shapes; throws like shapes().
    QString notes(int slide);

    // Whether the slide is left out of the slide show; throws like shapes(), whose slide it reads.
    bool hidden(int slide);
    // The texts of a diagram's nodes or of a chart (shape is one of slide's shapes or group items);
    // empty ones left out. Read on demand: a missing or damaged part gives nothing and is lost (see
    // damage()), a bound of the ReadBudget passed throws like shapes().
    std::vector<QString> graphicTexts(int slide, const ShapeInfo& shape);
    // The review comments of slide, each followed by its replies. Read on demand, counted like the
    // notes; missing or damaged comments give nothing and are lost like a graphic's texts.
    std::vector<SlideComment> comments(int slide);

protected:
    // fileName names the file in the budget's messages.
    explicit PresentationDocument(QString fileName) : m_budget(std::move(fileName)) {}
    // For a reader that builds much from little (see ReadBudget::requireRoom).
    const ReadBudget& budget() const { return m_budget; }
    // For a reader that reads on past what it lost (one comments part of several, the authors): the
    // item is lost. error is the reader's failure, the file's name in front of it or not.
    void lose(LostItem::Kind kind, int slide, const ReadError& error);

private:
    // What the reader found when it opened the file, or null when it found it whole.
    virtual const DocumentDamage* readDamage() const { return nullptr; }
    // The reader's part of shapes(): reads the slide, throwing ReadError with the whole message.
    virtual const std::vector<ShapeInfo>& readShapes(int slide) = 0;
    // The reader's part of notes(), throwing ReadError with the whole message.
    virtual QString readNotes(int slide) = 0;
    // The readers' parts of hidden(), graphicTexts() and comments(), throwing ReadError; a format that
    // cannot carry one of them says so with an empty answer of its own. readHidden is called once the
    // slide is read.
    virtual bool readHidden(int slide) = 0;
    virtual std::vector<QString> readGraphicTexts(int slide, const ShapeInfo& shape) = 0;
    virtual std::vector<SlideComment> readComments(int slide) = 0;

    ReadBudget m_budget;
    std::vector<LostItem> m_lost;
    mutable std::optional<DocumentDamage> m_withLosses; // readDamage() with m_lost, as damage() gives it
};

template <typename ReadPart> const std::vector<QString>& PartTexts::of(const std::string& part, ReadPart&& read) {
    const auto [known, first] = m_parts.try_emplace(part);
    Read& entry = known->second;
    if (first) {
        try {
            entry.texts = read();
        } catch (const ReadBudget::Exceeded&) {
            m_parts.erase(known);
            throw;
        } catch (const ReadLimitPassed& error) {
            entry.failure = error.description();
            entry.limit = true;
        } catch (const ReadError& error) {
            entry.failure = error.description();
        }
    }
    if (entry.limit)
        throw ReadLimitPassed(entry.failure);
    if (!entry.failure.isNull())
        throw ReadError(entry.failure);
    return entry.texts;
}

} // namespace quorvane::office
