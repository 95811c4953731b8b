#pragma once

#include "office/AutomationError.h"
#include "office/Passwords.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace quorvane::office {

// What a shape is, as far as its text goes: Shape.Type, and for a placeholder its placeholder type.
enum class ShapeKind {
    Other, // no text of its own: a picture, a line, a chart, media
    Title, // a title placeholder (title, centred title, vertical title)
    Body,  // a body placeholder (body, subtitle, object, vertical body)
    Text,  // any other shape that can hold text: text boxes, autoshapes, date, footer, number placeholders
    Table,
    Group,
    Picture, // a picture (alternative text only)
    Diagram, // a SmartArt graphic: the text of its nodes
    Chart,   // a chart: its title, series names and axis titles
};

// A review comment of a slide, or a reply to one (replies follow the comment they answer).
struct SlideComment {
    QString author;     // "" when the presentation names none
    QString text;       // paragraphs joined by CR, line breaks as VT
    QString date;       // when it was written, as the file stores it ("2026-05-04T10:00:00.000"); "" for none
    bool reply = false; // it answers the comment before it (a thread's reply)
};

// A shape of the active presentation: shape `shape` of slide `slide` (both from 1), or with item > 0
// the item-th of that group's GroupItems: its shapes, nested groups entered, depth first in z-order
// (the nested groups themselves are no items).
struct ShapeRef {
    int slide = 0;
    int shape = 0;
    int item = 0;
};

// What damage cost a presentation that opened with only part of it (PresentationApplication::damage).
struct PresentationDamage {
    // The whole message, naming the file by its full path: "<path>: damaged (cut short in
    // ppt/slides/slide15.xml): 14 of 20 slides read; slides 15–20 are lost".
    QString description;
    int slidesRead = 0;
    // The slides the presentation lists; unknown when that list itself is lost.
    std::optional<int> slides;
};

// A presentation was read only in part, its file being damaged: a failure of the read that still
// delivers what survived. text is what the caller made of it (PresentationText's text, say).
class PartialReadError : public AutomationError {
public:
    PartialReadError(PresentationDamage damage, QString text)
        : AutomationError(damage.description), m_damage(std::move(damage)), m_text(std::move(text)) {}

    const PresentationDamage& damage() const noexcept { return m_damage; }
    const QString& text() const noexcept { return m_text; }

private:
    PresentationDamage m_damage;
    QString m_text;
};

// The members of the presentation server that the program calls. Every member may throw
// AutomationError; the caller reports it. Slides and shapes are numbered from 1, and every access
// goes down from the active presentation, as the automation surface does: no slide or shape object
// is kept between calls.
class PresentationApplication {
public:
    virtual ~PresentationApplication() = default;

    virtual void setVisible(bool visible) = 0;
    virtual bool visible() const = 0;

    // Presentations.Open(fileName:=path): opens the file; it becomes the active presentation.
    virtual void open(const QString& fileName) = 0;

    // ActivePresentation.Slides.count
    virtual int slidesCount() = 0;
    // ActivePresentation.Slides(slide).Shapes.count
    virtual int shapesCount(int slide) = 0;
    // ActivePresentation.Slides(slide).Shapes(shape).HasTextFrame (non-zero when it can hold text)
    virtual int hasTextFrame(int slide, int shape) = 0;
    // ActivePresentation.Slides(slide).Shapes(shape).TextFrame.TextRange.Text
    virtual QString shapeText(int slide, int shape) = 0;

    // The same for a shape or a group item (ShapeRef), and what else a shape says about itself.
    // .Name: the name the presentation stores ("" when it stores none).
    virtual QString shapeName(const ShapeRef& shape) = 0;
    // .Type, with the placeholder's type for a placeholder.
    virtual ShapeKind shapeKind(const ShapeRef& shape) = 0;
    // .HasTextFrame and .TextFrame.TextRange.Text
    virtual int itemHasTextFrame(const ShapeRef& shape) = 0;
    virtual QString itemText(const ShapeRef& shape) = 0;
    // Slides(slide).Shapes(shape).GroupItems.Count (0 for a shape that is no group).
    virtual int groupItemsCount(int slide, int shape) = 0;
    // .Table.Rows.Count and .Table.Columns.Count (0 for a shape that is no table), and
    // .Table.Cell(row, column).Shape.TextFrame.TextRange.Text, from 1; a position that a merged cell
    // covers is empty, the merged cell's text is at its first position.
    virtual int tableRowsCount(const ShapeRef& shape) = 0;
    virtual int tableColumnsCount(const ShapeRef& shape) = 0;
    virtual QString tableCellText(const ShapeRef& shape, int row, int column) = 0;
    // Slides(slide).NotesPage: the text of its body placeholder, the speaker notes ("" when the slide
    // has none).
    virtual QString notesText(int slide) = 0;

    // What a slide shows besides its text frames.
    // Slides(slide).SlideShowTransition.Hidden: whether the slide is left out of the slide show.
    virtual bool slideHidden(int slide) = 0;
    // The texts of a SmartArt graphic's nodes (in the order they hang in the graphic) or of a chart
    // (its title, its series' names, its axes' titles); empty texts left out. Nothing for any other
    // shape, and nothing when the graphic's own data is missing or damaged (which damage() then
    // reports).
    virtual QStringList graphicTexts(const ShapeRef& shape) = 0;
    // .AlternativeText of a picture ("" when it has none).
    virtual QString alternativeText(const ShapeRef& shape) = 0;
    // Slides(slide).Comments, each followed by its replies; nothing when they are missing or damaged
    // (which damage() then reports).
    virtual std::vector<SlideComment> comments(int slide) = 0;

    // What damage cost the active presentation so far; nothing when all that was read came whole. A
    // damaged file that still gives text (cut short, its zip directory or its chain of edits broken)
    // opens with what survived: its slides give exactly the text the whole file gives for them, a
    // lost slide gives nothing; a graphic, notes or comments whose part is lost give nothing and are
    // named here too. The caller reports the damage as a failure of the read. (The stand-in's own member:
    // the desktop application offers a repair instead.)
    virtual std::optional<PresentationDamage> damage() = 0;

    // ActivePresentation.Save
    virtual void saveActive() = 0;
    // Quit: ends the server and closes every presentation it holds.
    virtual void quit() = 0;
};

// Reaching the server: Create starts an instance (or yields the running one, since there is one per
// process); Attach yields the running instance and fails when none runs. Release is dropping the
// shared pointer.
class PresentationServer {
public:
    virtual ~PresentationServer() = default;
    virtual std::shared_ptr<PresentationApplication> create() = 0;
    virtual std::shared_ptr<PresentationApplication> attach() = 0;

    // A hint, never a failure: the presentations at paths are the ones opened next, in this order,
    // the first one next; each hint replaces the one before, and an empty one ends it. A server may
    // read them ahead, but what Open gives stays exactly what it gives without a hint.
    virtual void prepare(const QStringList& paths) = 0;
    // How many paths a hint is worth: the one opened next and those read ahead of it (0: no hint
    // is needed).
    virtual int lookahead() const = 0;
    // While Open waits for a presentation that is being read ahead, and while any member reads a
    // presentation on the caller's thread (this one), poll is called every few tens of milliseconds;
    // what poll throws ends the wait or the read and leaves the member, so a stop is never held up by
    // a read. An empty function calls nothing.
    virtual void whileWaiting(std::function<void()> poll) = 0;
    // Where Open takes the passwords of protected presentations from, from now on (null: nowhere; a
    // protected presentation then fails with PasswordError). Open tries the source's passwords and
    // then asks it, again after each wrong one, until one opens the file or it has none to give.
    virtual void usePasswords(std::shared_ptr<PasswordSource> passwords) = 0;
};

} // namespace quorvane::office
