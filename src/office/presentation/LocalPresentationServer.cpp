#include "office/presentation/LocalPresentationServer.h"

#include "office/AutomationError.h"
#include "office/CellNames.h"
#include "office/presentation/FileAccess.h"
#include "office/presentation/OpenPresentation.h"

#include <QStringList>

#include <algorithm>
#include <thread>

#include <sched.h>

using namespace Qt::StringLiterals;

namespace quorvane::office {

void LocalPresentationApplication::requireRunning() const {
    if (!m_running)
        throw AutomationError(u"The presentation server is no longer running."_s);
}

void LocalPresentationApplication::setVisible(bool visible) {
    requireRunning();
    // There is no window to show: the value is only kept.
    m_visible = visible;
}

bool LocalPresentationApplication::visible() const {
    requireRunning();
    return m_visible;
}

void LocalPresentationApplication::open(const QString& fileName) {
    requireRunning();
    // A presentation read ahead is taken as it is; any other is read now. A file that cannot be read
    // throws here and leaves the active presentation as it was.
    std::unique_ptr<PresentationDocument> document;
    try {
        document = m_prefetch ? m_prefetch->take(fileName) : nullptr;
        if (!document)
            document = openPresentationDocument(fileName, m_passwords.get());
    } catch (const PasswordError& refused) {
        document = openAsking(fileName, refused);
    }
    m_presentations.push_back({fileName, std::move(document), {}});
}

std::unique_ptr<PresentationDocument> LocalPresentationApplication::openAsking(const QString& fileName,
                                                                               const PasswordError& refused) {
    if (!m_passwords)
        throw refused;
    PasswordError last = refused;
    // Read ahead before a password that opens it was known, or found wrong by them all: try them again.
    if (refused.generation() != m_passwords->generation()) {
        try {
            return openPresentationDocument(fileName, m_passwords.get());
        } catch (const PasswordError& again) {
            last = again;
        }
    }
    int wrong = last.tried();
    while (const SharedPassword password = m_passwords->ask(fileName, wrong)) {
        PasswordList given({password});
        try {
            std::unique_ptr<PresentationDocument> document = openPresentationDocument(fileName, &given);
            m_passwords->opened(password);
            return document;
        } catch (const PasswordError&) {
            ++wrong;
            last = PasswordError(u"%1: the password is wrong (%2 tried)"_s.arg(displayName(fileName)).arg(wrong), wrong,
                                 last.generation());
        }
    }
    throw last;
}

QString LocalPresentationApplication::activePath() const {
    return m_presentations.empty() ? QString() : m_presentations.back().path;
}

LocalPresentationApplication::OpenPresentation& LocalPresentationApplication::active() {
    requireRunning();
    if (m_presentations.empty())
        throw AutomationError(u"ActivePresentation: no presentation is open."_s);
    return m_presentations.back();
}

PresentationDocument& LocalPresentationApplication::activeDocument() {
    OpenPresentation& presentation = active();
    if (!presentation.document)
        throw AutomationError(presentation.failure);
    return *presentation.document;
}

int LocalPresentationApplication::slidesCount() {
    return activeDocument().slideCount();
}

template <typename Read> decltype(auto) LocalPresentationApplication::keepingFailure(Read&& read) {
    try {
        return std::forward<Read>(read)();
    } catch (const AutomationError& error) {
        OpenPresentation& presentation = active();
        presentation.failure = error.description();
        presentation.document.reset();
        m_itemsDocument = nullptr;
        throw;
    }
}

PresentationDocument& LocalPresentationApplication::documentWithSlide(int slide) {
    PresentationDocument& document = activeDocument();
    const int count = document.slideCount();
    if (slide < 1 || slide > count)
        throw AutomationError(u"%1: there is no slide %2 (the presentation has %3)"_s.arg(displayName(active().path))
                                  .arg(slide)
                                  .arg(count));
    return document;
}

const std::vector<ShapeInfo>& LocalPresentationApplication::shapesOf(int slide) {
    PresentationDocument& document = documentWithSlide(slide);
    // The document keeps the slide it read last, so walking one slide's shapes reads its part once.
    const std::vector<ShapeInfo>& shapes = keepingFailure([&]() -> decltype(auto) { return document.shapes(slide); });
    if (&document != m_itemsDocument || slide != m_itemsSlide)
        m_itemsDocument = nullptr; // another slide was read: the group items walked last may be gone
    return shapes;
}

int LocalPresentationApplication::shapesCount(int slide) {
    return static_cast<int>(shapesOf(slide).size());
}

const ShapeInfo& LocalPresentationApplication::shapeAt(int slide, int shape) {
    const std::vector<ShapeInfo>& shapes = shapesOf(slide);
    const int count = static_cast<int>(shapes.size());
    if (shape < 1 || shape > count)
        throw AutomationError(u"%1: slide %2 has no shape %3 (it has %4)"_s.arg(displayName(active().path))
                                  .arg(slide)
                                  .arg(shape)
                                  .arg(count));
    return shapes[static_cast<size_t>(shape - 1)];
}

int LocalPresentationApplication::hasTextFrame(int slide, int shape) {
    // Non-zero as the automation surface reports true (-1).
    return shapeAt(slide, shape).hasTextFrame ? -1 : 0;
}

QString LocalPresentationApplication::shapeText(int slide, int shape) {
    const ShapeInfo& info = shapeAt(slide, shape);
    if (!info.hasTextFrame)
        throw AutomationError(
            u"%1: shape %2 of slide %3 has no text frame"_s.arg(displayName(active().path)).arg(shape).arg(slide));
    return info.text;
}

const std::vector<const ShapeInfo*>& LocalPresentationApplication::groupItemsOf(int slide, int shape) {
    const ShapeInfo& group = shapeAt(slide, shape);
    const PresentationDocument* document = &activeDocument();
    if (m_itemsDocument == document && m_itemsSlide == slide && m_itemsShape == shape)
        return m_items;
    m_items.clear();
    const auto walk = [&](const auto& self, const ShapeInfo& container) -> void {
        for (const ShapeInfo& item : container.items) {
            if (item.kind == ShapeKind::Group)
                self(self, item);
            else
                m_items.push_back(&item);
        }
    };
    walk(walk, group);
    m_itemsDocument = document;
    m_itemsSlide = slide;
    m_itemsShape = shape;
    return m_items;
}

const ShapeInfo& LocalPresentationApplication::shapeAt(const ShapeRef& ref) {
    if (ref.item == 0)
        return shapeAt(ref.slide, ref.shape);
    const std::vector<const ShapeInfo*>& items = groupItemsOf(ref.slide, ref.shape);
    const int count = static_cast<int>(items.size());
    if (ref.item < 1 || ref.item > count)
        throw AutomationError(
            u"%1: shape %2 of slide %3 has no group item %4 (it has %5)"_s.arg(displayName(active().path))
                .arg(ref.shape)
                .arg(ref.slide)
                .arg(ref.item)
                .arg(count));
    return *items[static_cast<size_t>(ref.item - 1)];
}

QString LocalPresentationApplication::shapeName(const ShapeRef& shape) {
    return shapeAt(shape).name;
}

ShapeKind LocalPresentationApplication::shapeKind(const ShapeRef& shape) {
    return shapeAt(shape).kind;
}

int LocalPresentationApplication::itemHasTextFrame(const ShapeRef& shape) {
    return shapeAt(shape).hasTextFrame ? -1 : 0;
}

QString LocalPresentationApplication::itemText(const ShapeRef& shape) {
    const ShapeInfo& info = shapeAt(shape);
    if (!info.hasTextFrame)
        throw AutomationError(u"%1: shape %2 of slide %3 has no text frame"_s.arg(displayName(active().path))
                                  .arg(shape.item == 0 ? QString::number(shape.shape)
                                                       : u"%1 (group item %2)"_s.arg(shape.shape).arg(shape.item))
                                  .arg(shape.slide));
    return info.text;
}

int LocalPresentationApplication::groupItemsCount(int slide, int shape) {
    return static_cast<int>(groupItemsOf(slide, shape).size());
}

int LocalPresentationApplication::tableRowsCount(const ShapeRef& shape) {
    const ShapeInfo& info = shapeAt(shape);
    return info.columns > 0 ? static_cast<int>(info.cells.size() / static_cast<size_t>(info.columns)) : 0;
}

int LocalPresentationApplication::tableColumnsCount(const ShapeRef& shape) {
    return shapeAt(shape).columns;
}

QString LocalPresentationApplication::tableCellText(const ShapeRef& shape, int row, int column) {
    const ShapeInfo& info = shapeAt(shape);
    const int rows = info.columns > 0 ? static_cast<int>(info.cells.size() / static_cast<size_t>(info.columns)) : 0;
    if (row < 1 || row > rows || column < 1 || column > info.columns)
        throw AutomationError(u"%1: the table of shape %2 of slide %3 has no cell (%4, %5) (it has %6 rows and %7 "
                              u"columns)"_s.arg(displayName(active().path))
                                  .arg(shape.shape)
                                  .arg(shape.slide)
                                  .arg(row)
                                  .arg(column)
                                  .arg(rows)
                                  .arg(info.columns));
    return info.cells[static_cast<size_t>((row - 1) * info.columns + column - 1)];
}

QString LocalPresentationApplication::notesText(int slide) {
    PresentationDocument& document = documentWithSlide(slide);
    return keepingFailure([&] { return document.notes(slide); });
}

bool LocalPresentationApplication::slideHidden(int slide) {
    PresentationDocument& document = documentWithSlide(slide);
    static_cast<void>(shapesOf(slide));
    return keepingFailure([&] { return document.hidden(slide); });
}

QStringList LocalPresentationApplication::graphicTexts(const ShapeRef& shape) {
    const ShapeInfo& info = shapeAt(shape);
    if (info.kind != ShapeKind::Diagram && info.kind != ShapeKind::Chart)
        return {};
    PresentationDocument& document = activeDocument();
    const std::vector<QString> texts = keepingFailure([&] { return document.graphicTexts(shape.slide, info); });
    return QStringList(texts.begin(), texts.end());
}

QString LocalPresentationApplication::alternativeText(const ShapeRef& shape) {
    return shapeAt(shape).description;
}

std::vector<SlideComment> LocalPresentationApplication::comments(int slide) {
    PresentationDocument& document = documentWithSlide(slide);
    return keepingFailure([&] { return document.comments(slide); });
}

namespace {

// "slide 3", "slides 3 and 5", "slides 3, 5 and 15–20": the slides (ascending), runs as ranges.
QString slideList(const std::vector<int>& slides) {
    QStringList runs;
    for (std::size_t at = 0; at < slides.size();) {
        std::size_t end = at + 1;
        while (end < slides.size() && slides[end] == slides[end - 1] + 1)
            ++end;
        runs.append(end - at == 1 ? QString::number(slides[at]) : u"%1\u2013%2"_s.arg(slides[at]).arg(slides[end - 1]));
        at = end;
    }
    const QString joined =
        runs.size() == 1 ? runs.front() : runs.mid(0, runs.size() - 1).join(u", "_s) + u" and "_s + runs.back();
    return (slides.size() == 1 ? u"slide "_s : u"slides "_s) + joined;
}

// "the chart of slide 2 is lost", "3 charts of slides 2 and 5 are lost", "the comments of slide 4 are
// lost": the items of one kind that were lost, in one clause.
QString lostClause(LostItem::Kind kind, const std::vector<const LostItem*>& items) {
    std::vector<int> slides;
    for (const LostItem* item : items)
        slides.push_back(item->slide);
    std::sort(slides.begin(), slides.end());
    slides.erase(std::unique(slides.begin(), slides.end()), slides.end());
    const QString where = slideList(slides);
    const auto counted = [&](const QString& one, const QString& many) {
        return items.size() == 1
                   ? u"the %1 of %2 is lost"_s.arg(one, where)
                   : u"%1 %2 of %3 are lost"_s.arg(groupedNumber(static_cast<qsizetype>(items.size())), many, where);
    };
    switch (kind) {
    case LostItem::Kind::Diagram:
        return counted(u"SmartArt graphic"_s, u"SmartArt graphics"_s);
    case LostItem::Kind::Chart:
        return counted(u"chart"_s, u"charts"_s);
    case LostItem::Kind::Notes:
        return u"the notes of %1 are lost"_s.arg(where);
    case LostItem::Kind::Comments:
        return u"the comments of %1 are lost"_s.arg(where);
    case LostItem::Kind::Relationships:
        return u"the relationships of %1 are lost (%2 notes, comments, charts and SmartArt graphics are unknown)"_s.arg(
            where, slides.size() == 1 ? u"its"_s : u"their"_s);
    case LostItem::Kind::Authors:
        break;
    }
    return u"the names of the comment authors are lost"_s;
}

// The clauses of everything lost besides slides, a kind at a time in the order first found. A bound
// passed is named where the message does not start with it.
QString lostItemsText(const DocumentDamage& damage) {
    std::vector<std::pair<LostItem::Kind, std::vector<const LostItem*>>> kinds;
    for (const LostItem& item : damage.lostItems) {
        auto kind = std::find_if(kinds.begin(), kinds.end(), [&](const auto& k) { return k.first == item.kind; });
        if (kind == kinds.end())
            kind = kinds.insert(kinds.end(), {item.kind, {}});
        kind->second.push_back(&item);
    }
    QString text;
    for (const auto& [kind, items] : kinds) {
        text += u"; "_s + lostClause(kind, items);
        const auto bound = std::find_if(items.begin(), items.end(), [](const LostItem* item) { return item->bound; });
        if (bound != items.end() && (*bound)->reason != damage.cause)
            text += u" ("_s + (*bound)->reason + u")"_s;
    }
    return text;
}

} // namespace

std::optional<PresentationDamage> LocalPresentationApplication::damage() {
    PresentationDocument& document = activeDocument();
    const DocumentDamage* damage = document.damage();
    if (damage == nullptr)
        return std::nullopt;
    PresentationDamage result;
    const int count = document.slideCount();
    result.slidesRead = count - static_cast<int>(damage->lostSlides.size());
    QString read;
    if (damage->slideListLost) {
        read = u"its list of slides is lost; %1 read from the slide parts that survived, in the order of their "
               u"names"_s.arg(result.slidesRead == 1 ? u"1 slide"_s : u"%1 slides"_s.arg(result.slidesRead));
    } else {
        result.slides = count;
        read = u"%1 of %2 %3 read"_s.arg(result.slidesRead).arg(count).arg(count == 1 ? u"slide"_s : u"slides"_s);
        if (!damage->lostSlides.empty())
            read += u"; "_s + slideList(damage->lostSlides) +
                    (damage->lostSlides.size() == 1 ? u" is lost"_s : u" are lost"_s);
    }
    read += lostItemsText(*damage);
    // A bound passed is no damage: the file may be sound, there is only more of it than is read.
    result.description = (damage->bound ? u"%1: too much to read whole (%2): %3"_s : u"%1: damaged (%2): %3"_s)
                             .arg(displayName(active().path), damage->cause, read);
    return result;
}

void LocalPresentationApplication::saveActive() {
    // Reading never changes a presentation, so there is nothing to save: writing it back would only put
    // the user's file at risk (and fail for every read-only file).
    active();
}

void LocalPresentationApplication::quit() {
    requireRunning();
    m_presentations.clear();
    m_running = false;
}

LocalPresentationServer::LocalPresentationServer(int jobs)
    : LocalPresentationServer(DocumentPrefetch::Settings::of(jobs)) {}

LocalPresentationServer::LocalPresentationServer(DocumentPrefetch::Settings readAhead) {
    if (readAhead.workers <= 1)
        return;
    m_prefetch = std::make_shared<DocumentPrefetch>(std::move(readAhead));
    // Not one thread could be started: every presentation is read when it is opened.
    if (m_prefetch->workers() == 0) {
        m_prefetch.reset();
        m_refused = true;
    }
}

int LocalPresentationServer::jobs() const {
    return m_prefetch ? m_prefetch->workers() : 1;
}

void LocalPresentationServer::whileWaiting(std::function<void()> poll) {
    // Every read on this thread looks out for the stop too, not only a wait for a read ahead: a
    // presentation whose graphics are read again and again, or a damaged one recovered, is read here.
    ReadStop::set(poll);
    if (m_prefetch)
        m_prefetch->whileWaiting(std::move(poll));
}

std::shared_ptr<PresentationApplication> LocalPresentationServer::create() {
    if (!m_instance || !m_instance->running()) {
        m_instance = std::make_shared<LocalPresentationApplication>(m_prefetch);
        m_instance->setPasswords(m_passwords);
    }
    return m_instance;
}

void LocalPresentationServer::usePasswords(std::shared_ptr<PasswordSource> passwords) {
    m_passwords = std::move(passwords);
    if (m_prefetch)
        m_prefetch->usePasswords(m_passwords);
    if (m_instance)
        m_instance->setPasswords(m_passwords);
}

void LocalPresentationServer::prepare(const QStringList& paths) {
    if (m_prefetch)
        m_prefetch->hint(paths);
}

int LocalPresentationServer::lookahead() const {
    return m_prefetch ? m_prefetch->lookahead() : 0;
}

int LocalPresentationServer::coreCount() {
    cpu_set_t cores;
    CPU_ZERO(&cores);
    if (::sched_getaffinity(0, sizeof cores, &cores) == 0)
        return std::max(CPU_COUNT(&cores), 1);
    return std::max(static_cast<int>(std::thread::hardware_concurrency()), 1);
}

std::shared_ptr<PresentationApplication> LocalPresentationServer::attach() {
    if (!m_instance || !m_instance->running())
        throw AutomationError(u"The presentation server is not running."_s);
    return m_instance;
}

std::shared_ptr<LocalPresentationApplication> LocalPresentationServer::running() const {
    return m_instance && m_instance->running() ? m_instance : nullptr;
}

} // namespace quorvane::office
