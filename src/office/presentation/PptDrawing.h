#pragma once

// The drawing walk of the binary presentation reader: the shapes of a slide's or a notes page's
// drawing, groups and the groups that are tables, with their names, kinds and texts.

#include "office/presentation/PptRecords.h"
#include "office/presentation/PresentationDocument.h"

#include <optional>
#include <vector>

namespace quorvane::office::ppt {

// A top-level shape as its slide record gives it. All that is missing is the slide's number and the
// slide list's texts, so a slide record that the slide list names many times is read once.
struct RecordShape {
    bool hasTextFrame = false;
    ShapeKind kind = ShapeKind::Other;
    QString name;
    QString description; // a picture's alternative text
    // A group's shapes in z-order; for a table, its cells and its borders.
    std::vector<RecordShape> items;
    // A table: its columns, and for each position, row by row, the item that is the cell there (-1
    // for a position that a merged cell covers).
    int columns = 0;
    std::vector<int> grid;
    // The index of the text among its slide's texts in the slide list that the shape shows, if any.
    std::optional<std::uint32_t> placeholder;
    // Its own text, with every field but the slide number filled in.
    TextBlock text;
};

struct SlideRecord {
    FieldValues values; // the footer, header and date of the slide
    std::vector<RecordShape> shapes;
    std::uint32_t notesId = 0; // the persist id of its notes, 0 for none
    bool hidden = false;       // left out of the slide show
};

// Where a shape lies inside its group.
struct ChildAnchor {
    std::int32_t left = 0, top = 0, right = 0;
};

// Reads drawings out of the records of stream. The texts of the shapes are filled in with what the
// drawing's slide gives (all but the slide number), held to budget as they are.
class DrawingReader {
public:
    // documentFields: the footer, header and date of the slides, which a slide's own settings override.
    DrawingReader(const RecordStream& stream, const FieldValues& documentFields, const ReadBudget& budget)
        : m_stream(stream), m_documentFields(documentFields), m_budget(budget) {}

    // The shapes of the drawing of a slide or notes container, with its footer, header and date.
    SlideRecord readDrawing(const Record& container) const;
    // The footer, header and fixed date texts of a headers-and-footers container.
    void readHeadersFooters(const Record& container, FieldValues& values) const;

private:
    // A group and its shapes, depth first. A group marked as a table lays its text shapes out by
    // where they lie: a row for each top edge, a column for each left edge.
    RecordShape readGroup(const Record& container, const FieldValues& values, int depth) const;
    // Makes group a table when its text shapes lie on a grid, each at a place of its own; otherwise it
    // stays a group.
    static void layOutTable(RecordShape& group, const std::vector<std::optional<ChildAnchor>>& anchors);
    std::optional<ChildAnchor> childAnchor(const std::vector<Record>& parts) const;
    // Calls visit(id, value, complex data) for each drawing property of a shape, in its property
    // records; complex data is empty for a simple property. A record whose table or data runs past
    // its end is read as far as it goes.
    template <typename Visit> void visitProperties(const std::vector<Record>& parts, Visit&& visit) const;
    QString shapeName(const std::vector<Record>& parts) const;
    // A text property of a shape (UTF-16, up to its first NUL); empty when it has none.
    QString stringProperty(const std::vector<Record>& parts, std::uint16_t property) const;
    bool hasProperty(const std::vector<Record>& parts, std::uint16_t property) const;
    // The shape of container, or none (deleted, the background).
    std::optional<RecordShape> readShape(const Record& container, const FieldValues& values) const;

    const RecordStream& m_stream;
    const FieldValues& m_documentFields;
    const ReadBudget& m_budget;
};

} // namespace quorvane::office::ppt
