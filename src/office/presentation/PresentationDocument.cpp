#include "office/presentation/PresentationDocument.h"

#include "office/presentation/ReadError.h"

#include <QLocale>

using namespace Qt::StringLiterals;

namespace quorvane::office {

qsizetype ReadBudget::textOf(const ShapeInfo& shape) {
    qsizetype text = shape.hasTextFrame ? shape.text.size() + 2 : 0;
    for (const QString& cell : shape.cells)
        text += cell.size() + 2;
    for (const ShapeInfo& item : shape.items)
        text += textOf(item);
    return text;
}

qsizetype ReadBudget::shapesOf(const ShapeInfo& shape) {
    qsizetype shapes = 1;
    for (const ShapeInfo& item : shape.items)
        shapes += shapesOf(item);
    return shapes;
}

SharedReadRoom*& SharedReadRoom::ofThisThread() {
    thread_local SharedReadRoom* room = nullptr;
    return room;
}

void ReadBudget::requireRoom(qsizetype text, qsizetype shapes) const {
    if (m_recount)
        return;
    // The bounds are far below what the counts can hold, so the sums cannot overflow.
    if (m_text + text > MaxText)
        throw Exceeded(m_fileName +
                       u": too much text: the presentation holds more than %1 characters, the most "
                       u"that is read from one presentation"_s.arg(QLocale(QLocale::English).toString(MaxText)));
    if (m_shapes + shapes > MaxShapes)
        throw Exceeded(m_fileName +
                       u": too many shapes: the presentation holds more than %1 shapes, the most "
                       u"that are read from one presentation"_s.arg(QLocale(QLocale::English).toString(MaxShapes)));
    if (SharedReadRoom* room = SharedReadRoom::ofThisThread())
        room->require(m_text + text, m_shapes + shapes);
}

void ReadBudget::beginSlide(int slide) {
    m_recount =
        slide >= 1 && static_cast<size_t>(slide) <= m_counted.size() && m_counted[static_cast<size_t>(slide - 1)];
}

void ReadBudget::countSlide(int slide, const std::vector<ShapeInfo>& shapes) {
    if (m_recount)
        return;
    qsizetype text = 0, count = 0;
    for (const ShapeInfo& shape : shapes) {
        text += textOf(shape);
        count += shapesOf(shape);
        // Checked as it goes: one slide's text alone may be large.
        if (text > MaxText || count > MaxShapes)
            break;
    }
    requireRoom(text, count);
    m_text += text;
    m_shapes += count;
    if (m_counted.size() < static_cast<size_t>(slide))
        m_counted.resize(static_cast<size_t>(slide), false);
    m_counted[static_cast<size_t>(slide - 1)] = true;
}

void ReadBudget::countNotes(int slide, const QString& notes) {
    const auto at = static_cast<size_t>(slide - 1);
    if (slide < 1 || (at < m_notesCounted.size() && m_notesCounted[at]))
        return;
    const bool recount = m_recount;
    m_recount = false;
    requireRoom(notes.size() + 2, 0);
    m_recount = recount;
    m_text += notes.size() + 2;
    if (m_notesCounted.size() <= at)
        m_notesCounted.resize(at + 1, false);
    m_notesCounted[at] = true;
}

void ReadBudget::countExtra(qsizetype text) {
    const bool recount = m_recount;
    m_recount = false;
    requireRoom(text, 0);
    m_recount = recount;
    m_text += text;
}

const std::vector<ShapeInfo>& PresentationDocument::shapes(int slide) {
    // Slides are read lazily, so this is an entry point of the engine like opening the file.
    return reportingReadErrors(m_budget.fileName(), [&]() -> const std::vector<ShapeInfo>& {
        m_budget.beginSlide(slide);
        const std::vector<ShapeInfo>& read = readShapes(slide);
        m_budget.countSlide(slide, read);
        return read;
    });
}

QString PresentationDocument::notes(int slide) {
    return reportingReadErrors(m_budget.fileName(), [&] {
        QString notes = readNotes(slide);
        m_budget.countNotes(slide, notes);
        return notes;
    });
}

} // namespace quorvane::office

namespace quorvane::office {

namespace {

// Reads what a slide shows besides its text: a missing or damaged part gives nothing, as the rest of
// the presentation reads on; only a bound passed and a lack of memory still end the read.
template <typename Read> auto orNothing(Read&& read) -> decltype(read()) {
    try {
        return read();
    } catch (const ReadBudget::Exceeded&) {
        throw;
    } catch (const ReadError&) {
        return {};
    }
}

} // namespace

bool PresentationDocument::hidden(int slide) {
    static_cast<void>(shapes(slide));
    return reportingReadErrors(m_budget.fileName(), [&] { return readHidden(slide); });
}

std::vector<QString> PresentationDocument::graphicTexts(int slide, const ShapeInfo& shape) {
    return reportingReadErrors(m_budget.fileName(), [&] {
        std::vector<QString> texts = orNothing([&] { return readGraphicTexts(slide, shape); });
        qsizetype size = 0;
        for (const QString& text : texts)
            size += text.size() + 2;
        m_budget.countExtra(size);
        return texts;
    });
}

std::vector<SlideComment> PresentationDocument::comments(int slide) {
    return reportingReadErrors(m_budget.fileName(), [&] {
        std::vector<SlideComment> comments = orNothing([&] { return readComments(slide); });
        qsizetype size = 0;
        for (const SlideComment& comment : comments)
            size += comment.author.size() + comment.text.size() + 2;
        m_budget.countExtra(size);
        return comments;
    });
}

} // namespace quorvane::office
