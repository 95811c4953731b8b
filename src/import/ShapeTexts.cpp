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
        QString cell = cells[at];
        cell.replace(u"\r\n"_s, u"\v"_s);
        cell.replace(u'\r', u'\v');
        cell.replace(u'\n', u'\v');
        joined += cell;
    }
    return joined;
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

} // namespace

void ForEachShapeText(office::PresentationServer& server, const QString& path, const TextChoice& choice,
                      const std::function<void(const ShapeText&)>& take) {
    using office::ShapeKind;
    server.create()->setVisible(true);
    const std::shared_ptr<office::PresentationApplication> application = server.attach();
    application->open(path);

    const bool askHidden = choice.skipHidden || choice.markHidden;
    const int slides = application->slidesCount();
    for (int slide = 1; slide <= slides; ++slide) {
        const bool hidden = askHidden && application->slideHidden(slide);
        if (hidden && choice.skipHidden)
            continue;
        int given = 0; // the shapes of this slide that gave text so far
        const auto give = [&](ShapeText& text) {
            text.slide = slide;
            text.shape = ++given;
            text.hidden = hidden;
            take(text);
        };
        // A picture's alternative text, a diagram's nodes, a chart's texts: what a shape without a
        // text frame gives besides a table, when asked for.
        const auto giveGraphic = [&](const office::ShapeRef& ref, ShapeKind kind) {
            if (kind == ShapeKind::Picture && choice.alt) {
                ShapeText text;
                text.name = application->shapeName(ref);
                text.kind = u"alt"_s;
                text.text = application->alternativeText(ref);
                give(text);
            } else if ((kind == ShapeKind::Diagram && choice.smartart) || (kind == ShapeKind::Chart && choice.charts)) {
                const QString name = application->shapeName(ref);
                for (const QString& item : application->graphicTexts(ref)) {
                    ShapeText text;
                    text.name = name;
                    text.kind = kind == ShapeKind::Diagram ? u"smartart"_s : u"chart"_s;
                    text.text = item;
                    give(text);
                }
            }
        };
        const int shapes = application->shapesCount(slide);
        for (int shape = 1; shape <= shapes; ++shape) {
            const office::ShapeRef ref{slide, shape, 0};
            if (application->hasTextFrame(slide, shape) != 0) {
                ShapeText text;
                text.name = application->shapeName(ref);
                text.kind = kindName(application->shapeKind(ref));
                text.text = application->shapeText(slide, shape);
                give(text);
                continue;
            }
            if (!choice.tables && !choice.groups && !choice.graphics())
                continue;
            const ShapeKind kind = application->shapeKind(ref);
            if (kind == ShapeKind::Table && choice.tables) {
                ShapeText text;
                text.name = application->shapeName(ref);
                text.kind = kindName(kind);
                readTable(*application, ref, text);
                give(text);
            } else if (kind == ShapeKind::Group && choice.groups) {
                const int items = application->groupItemsCount(slide, shape);
                for (int item = 1; item <= items; ++item) {
                    const office::ShapeRef itemRef{slide, shape, item};
                    ShapeText text;
                    if (application->itemHasTextFrame(itemRef) != 0) {
                        text.kind = kindName(ShapeKind::Group);
                        text.text = application->itemText(itemRef);
                    } else {
                        const ShapeKind itemKind = application->shapeKind(itemRef);
                        if (choice.tables && itemKind == ShapeKind::Table) {
                            text.kind = kindName(ShapeKind::Table);
                            readTable(*application, itemRef, text);
                        } else {
                            giveGraphic(itemRef, itemKind);
                            continue;
                        }
                    }
                    text.name = application->shapeName(itemRef);
                    give(text);
                }
            } else {
                giveGraphic(ref, kind);
            }
        }
        if (choice.notes) {
            ShapeText notes;
            notes.kind = u"notes"_s;
            notes.text = application->notesText(slide);
            if (!notes.text.isEmpty())
                give(notes);
        }
        if (choice.comments)
            for (const office::SlideComment& comment : application->comments(slide)) {
                ShapeText text;
                text.kind = u"comment"_s;
                text.author = comment.author;
                text.text = comment.text;
                give(text);
            }
    }
    std::optional<office::PresentationDamage> damage = application->damage();
    application->saveActive();
    application->quit();
    if (damage)
        throw office::PartialReadError(std::move(*damage), {});
}

} // namespace quorvane::import
