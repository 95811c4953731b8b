#include "import/ShapeTexts.h"

#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

namespace quorvane::import {

QString ShapeText::joinedText() const {
    if (columns == 0)
        return text;
    QString joined;
    for (std::size_t at = 0; at < cells.size(); ++at) {
        if (at > 0)
            joined += at % static_cast<std::size_t>(columns) == 0 ? u'\r' : u'\t';
        joined += cellOnOneLine(cells[at]);
    }
    return joined;
}

QString cellOnOneLine(QString cell) {
    cell.replace(u"\r\n"_s, u"\v"_s);
    cell.replace(u'\r', u'\v');
    cell.replace(u'\n', u'\v');
    return cell;
}

QString kindName(office::ShapeKind kind) {
    using office::ShapeKind;
    switch (kind) {
    case ShapeKind::Title:
        return u"title"_s;
    case ShapeKind::Body:
        return u"body"_s;
    case ShapeKind::Table:
        return u"table"_s;
    case ShapeKind::Group:
        return u"group"_s;
    case ShapeKind::Text:
    case ShapeKind::Other:
    case ShapeKind::Picture:
    case ShapeKind::Diagram:
    case ShapeKind::Chart:
        break;
    }
    return u"text"_s;
}

namespace {

// The table at shape, cell by cell.
void readTable(office::PresentationApplication& application, const office::ShapeRef& shape, ShapeText& text) {
    const int rows = application.tableRowsCount(shape);
    text.columns = application.tableColumnsCount(shape);
    text.cells.reserve(static_cast<std::size_t>(rows) * static_cast<std::size_t>(text.columns));
    for (int row = 1; row <= rows; ++row)
        for (int column = 1; column <= text.columns; ++column)
            text.cells.push_back(application.tableCellText(shape, row, column));
}

// The texts of one slide's shapes, notes and comments, in their order, for ForEachShapeText.
class SlideTexts {
public:
    SlideTexts(office::PresentationApplication& application, const TextChoice& choice, int slide, bool hidden,
               const std::function<void(const ShapeText&)>& take)
        : m_application(application), m_choice(choice), m_slide(slide), m_hidden(hidden), m_take(take) {}

    void run() {
        const int shapes = m_application.shapesCount(m_slide);
        for (int shape = 1; shape <= shapes; ++shape)
            giveShape(shape);
        if (m_choice.notes) {
            ShapeText notes;
            notes.kind = u"notes"_s;
            notes.text = m_application.notesText(m_slide);
            if (!notes.text.isEmpty())
                give(notes);
        }
        if (m_choice.comments)
            for (const office::SlideComment& comment : m_application.comments(m_slide)) {
                ShapeText text;
                text.kind = u"comment"_s;
                text.author = comment.author;
                text.date = comment.date;
                text.reply = comment.reply;
                text.text = comment.text;
                give(text);
            }
    }

private:
    // Gives text as the next shape, or as the shape numbered number.
    void give(ShapeText& text, int number = 0) {
        text.slide = m_slide;
        text.shape = number > 0 ? number : ++m_given;
        text.hidden = m_hidden;
        m_take(text);
    }

    void giveShape(int shape) {
        using office::ShapeKind;
        const office::ShapeRef ref{m_slide, shape, 0};
        if (m_application.hasTextFrame(m_slide, shape) != 0) {
            ShapeText text;
            text.name = m_application.shapeName(ref);
            text.kind = kindName(m_application.shapeKind(ref));
            text.text = m_application.shapeText(m_slide, shape);
            give(text);
            return;
        }
        if (!m_choice.tables && !m_choice.groups && !m_choice.graphics())
            return;
        const ShapeKind kind = m_application.shapeKind(ref);
        if (kind == ShapeKind::Table && m_choice.tables) {
            ShapeText text;
            text.name = m_application.shapeName(ref);
            text.kind = kindName(kind);
            readTable(m_application, ref, text);
            give(text);
        } else if (kind == ShapeKind::Group && m_choice.groups) {
            giveGroup(shape);
        } else {
            giveGraphic(ref, kind);
        }
    }

    void giveGroup(int shape) {
        using office::ShapeKind;
        const int items = m_application.groupItemsCount(m_slide, shape);
        for (int item = 1; item <= items; ++item) {
            const office::ShapeRef itemRef{m_slide, shape, item};
            ShapeText text;
            if (m_application.itemHasTextFrame(itemRef) != 0) {
                text.kind = kindName(ShapeKind::Group);
                text.text = m_application.itemText(itemRef);
            } else {
                const ShapeKind itemKind = m_application.shapeKind(itemRef);
                if (m_choice.tables && itemKind == ShapeKind::Table) {
                    text.kind = kindName(ShapeKind::Table);
                    readTable(m_application, itemRef, text);
                } else {
                    giveGraphic(itemRef, itemKind);
                    continue;
                }
            }
            text.name = m_application.shapeName(itemRef);
            give(text);
        }
    }

    // A picture's alternative text, a diagram's nodes, a chart's texts: what a shape without a text
    // frame gives besides a table, when asked for.
    void giveGraphic(const office::ShapeRef& ref, office::ShapeKind kind) {
        using office::ShapeKind;
        if (kind == ShapeKind::Picture && m_choice.alt) {
            ShapeText text;
            text.name = m_application.shapeName(ref);
            text.kind = u"alt"_s;
            text.text = m_application.alternativeText(ref);
            give(text);
        } else if ((kind == ShapeKind::Diagram && m_choice.smartart) || (kind == ShapeKind::Chart && m_choice.charts)) {
            // A graphic is one shape, whose texts share its number; it takes its place whether it gives
            // texts or not, so that the shapes after it keep their numbers when its part is lost.
            const int number = ++m_given;
            const QString name = m_application.shapeName(ref);
            for (const QString& item : m_application.graphicTexts(ref)) {
                ShapeText text;
                text.name = name;
                text.kind = kind == ShapeKind::Diagram ? u"smartart"_s : u"chart"_s;
                text.text = item;
                give(text, number);
            }
        }
    }

    office::PresentationApplication& m_application;
    const TextChoice& m_choice;
    const int m_slide;
    const bool m_hidden;
    const std::function<void(const ShapeText&)>& m_take;
    int m_given = 0; // the shapes of this slide that gave text so far
};

} // namespace

void ForEachShapeText(office::PresentationServer& server, const QString& path, const TextChoice& choice,
                      const std::function<void(const ShapeText&)>& take) {
    server.create()->setVisible(true);
    const std::shared_ptr<office::PresentationApplication> application = server.attach();
    application->open(path);

    const bool askHidden = choice.skipHidden || choice.markHidden;
    const int slides = application->slidesCount();
    for (int slide = 1; slide <= slides; ++slide) {
        const bool hidden = askHidden && application->slideHidden(slide);
        if (hidden && choice.skipHidden)
            continue;
        SlideTexts(*application, choice, slide, hidden, take).run();
    }
    std::optional<office::PresentationDamage> damage = application->damage();
    application->saveActive();
    application->quit();
    if (damage)
        throw office::PartialReadError(std::move(*damage), {});
}

} // namespace quorvane::import
