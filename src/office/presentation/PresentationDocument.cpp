#include "office/presentation/PresentationDocument.h"

#include "office/presentation/ReadError.h"

#include <QLocale>

#include <algorithm>
#include <chrono>

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

namespace {

// The stop of the reads on this thread, and when it is asked next.
struct ThreadStop {
    std::function<void()> poll;
    std::chrono::steady_clock::time_point due;
};
ThreadStop& threadStop() {
    thread_local ThreadStop stop;
    return stop;
}

// Often enough that a stop ends a read within a tenth of a second, seldom enough to cost nothing.
constexpr std::chrono::milliseconds StopEvery{40};

} // namespace

void ReadStop::set(std::function<void()> poll) {
    threadStop() = {std::move(poll), {}};
}

void ReadStop::checkpoint() {
    ThreadStop& stop = threadStop();
    SharedReadRoom* room = SharedReadRoom::ofThisThread();
    if (!stop.poll && room == nullptr)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now < stop.due)
        return;
    stop.due = now + StopEvery;
    if (room != nullptr)
        room->poll();
    if (stop.poll)
        stop.poll();
}

void ReadBudget::requireRoom(qsizetype text, qsizetype shapes) const {
    ReadStop::checkpoint();
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

void PresentationDocument::lose(LostItem::Kind kind, int slide, const ReadError& error) {
    // The message names the file once, in front of everything.
    QString reason = error.description();
    if (const QString prefix = m_budget.fileName() + u": "_s; reason.startsWith(prefix))
        reason.remove(0, prefix.size());
    const bool bound = dynamic_cast<const ReadLimitPassed*>(&error) != nullptr;
    // A slide's notes or comments, and the authors, are one item however often they are read; each
    // graphic is one of its own.
    if (kind != LostItem::Kind::Diagram && kind != LostItem::Kind::Chart &&
        std::any_of(m_lost.begin(), m_lost.end(),
                    [&](const LostItem& item) { return item.kind == kind && item.slide == slide; }))
        return;
    m_lost.push_back({kind, slide, std::move(reason), bound});
}

const DocumentDamage* PresentationDocument::damage() const {
    const DocumentDamage* read = readDamage();
    if (m_lost.empty())
        return read;
    if (read != nullptr)
        m_withLosses = *read;
    else {
        m_withLosses.emplace();
        m_withLosses->cause = m_lost.front().reason;
        m_withLosses->bound = m_lost.front().bound;
    }
    m_withLosses->lostItems.insert(m_withLosses->lostItems.end(), m_lost.begin(), m_lost.end());
    return &*m_withLosses;
}

bool PresentationDocument::hidden(int slide) {
    static_cast<void>(shapes(slide));
    return reportingReadErrors(m_budget.fileName(), [&] { return readHidden(slide); });
}

// What a slide shows besides its text: a missing or damaged part gives nothing and is lost, as the rest
// of the presentation reads on; only a bound of the ReadBudget passed and a lack of memory still end
// the read.
std::vector<QString> PresentationDocument::graphicTexts(int slide, const ShapeInfo& shape) {
    return reportingReadErrors(m_budget.fileName(), [&] {
        ReadStop::checkpoint();
        std::vector<QString> texts;
        try {
            texts = readGraphicTexts(slide, shape);
        } catch (const ReadBudget::Exceeded&) {
            throw;
        } catch (const ReadError& error) {
            lose(shape.kind == ShapeKind::Diagram ? LostItem::Kind::Diagram : LostItem::Kind::Chart, slide, error);
        }
        qsizetype size = 0;
        for (const QString& text : texts)
            size += text.size() + 2;
        m_budget.countExtra(size);
        return texts;
    });
}

std::vector<SlideComment> PresentationDocument::comments(int slide) {
    return reportingReadErrors(m_budget.fileName(), [&] {
        ReadStop::checkpoint();
        std::vector<SlideComment> comments;
        try {
            comments = readComments(slide);
        } catch (const ReadBudget::Exceeded&) {
            throw;
        } catch (const ReadError& error) {
            lose(LostItem::Kind::Comments, slide, error);
        }
        qsizetype size = 0;
        for (const SlideComment& comment : comments)
            size += comment.author.size() + comment.text.size() + 2;
        m_budget.countExtra(size);
        return comments;
    });
}

} // namespace quorvane::office
