#pragma once

#include "office/PresentationServer.h"

#include <QString>

#include <functional>
#include <vector>

namespace quorvane::import {

// What is read besides the text shapes of the slides.
struct TextChoice {
    bool notes = false;      // each slide's speaker notes, after its shapes
    bool tables = false;     // tables, at their place among the shapes
    bool groups = false;     // the shapes inside groups (nested groups entered), at the group's place
    bool smartart = false;   // a SmartArt graphic's node texts, at the graphic's place
    bool charts = false;     // a chart's title, series names and axis titles, at the chart's place
    bool comments = false;   // each slide's review comments (replies after theirs), after its notes
    bool alt = false;        // every picture's alternative text (also an empty one), at its place
    bool skipHidden = false; // hidden slides give nothing (the others keep their numbers)
    bool markHidden = false; // ShapeText::hidden is found out (else it stays false)

    // Whether anything beyond the text frames, notes, tables and groups is asked for.
    bool graphics() const { return smartart || charts || alt; }
    bool beyondShapes() const { return notes || tables || groups || graphics() || comments; }
};

// One shape that gives text, and where it came from.
struct ShapeText {
    int slide = 0; // from 1
    // Its place on the slide, from 1, counting only the shapes that give text (a SmartArt graphic or
    // a chart asked for counts once, its texts sharing its number, also when it gives none); the
    // notes come after the slide's shapes.
    int shape = 0;
    QString name; // as the presentation stores it ("" for the notes)
    // title, body, text, table, notes, group (a shape inside a group), smartart, chart, comment, alt
    QString kind;
    QString author;      // a comment's author
    QString date;        // when a comment was written, as the file stores it ("" for none)
    bool reply = false;  // a comment that answers the one before it
    bool hidden = false; // the slide is hidden in the slide show
    // Its text as a text frame gives it: paragraphs joined by CR, line breaks as VT. Empty for a table.
    QString text;
    // A table: its columns, and its cells row by row, each like a text frame's text.
    int columns = 0;
    std::vector<QString> cells;

    int rows() const { return columns > 0 ? static_cast<int>(cells.size()) / columns : 0; }
    // The text of a table as one text: a row per paragraph, cells separated by TAB, each cell's
    // paragraphs joined by line breaks (VT). The text itself for any other shape.
    QString joinedText() const;
};

// A table cell's text as one line of a row: each of its paragraph and line ends (CR LF, CR, LF) a line
// break (VT).
QString cellOnOneLine(QString cell);

// The name of what a shape is, as ShapeText::kind gives it for a shape on a slide.
QString kindName(office::ShapeKind kind);

// Reads the presentation at path through the presentation server as PresentationText does (create
// and show, attach, open, walk, save, quit) and hands every shape that gives text to take, slide by
// slide in z-order. Without a choice the shapes are the ones whose text PresentationText gives, in
// its order. A failure ends it at once and passes to the caller like PresentationText's; a damaged
// file that still gives text hands over what survived and then throws PartialReadError (without text).
void ForEachShapeText(office::PresentationServer& server, const QString& path, const TextChoice& choice,
                      const std::function<void(const ShapeText&)>& take);

} // namespace quorvane::import
