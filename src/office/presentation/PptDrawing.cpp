#include "office/presentation/PptDrawing.h"

#include <algorithm>

namespace quorvane::office::ppt {

namespace {

// Drawing shape types that have no text frame.
constexpr std::uint16_t kShapeLine = 20;
constexpr std::uint16_t kShapePictureFrame = 75;
constexpr std::uint16_t kFirstConnector = 32; // straight, bent and curved connectors: 32 to 40
constexpr std::uint16_t kLastConnector = 40;
// Flags of a drawing shape.
constexpr std::uint32_t kShapeGroup = 0x1;
constexpr std::uint32_t kShapePatriarch = 0x4;
constexpr std::uint32_t kShapeDeleted = 0x8;
constexpr std::uint32_t kShapeOle = 0x10;
constexpr std::uint32_t kShapeConnector = 0x100;
constexpr std::uint32_t kShapeBackground = 0x400;
// Drawing properties: the shape's name, and the mark of a group that is a table.
constexpr std::uint16_t kPropertyName = 0x0380;
constexpr std::uint16_t kPropertyDescription = 0x0381;
constexpr std::uint16_t kPropertyTable = 0x039F;
// Groups nested deeper than this are damage, not a drawing.
constexpr int kMaxGroupDepth = 64;

// The placeholder types of a drawing shape ([MS-PPT] PlaceholderEnum) as kinds of shape.
ShapeKind kindOfPlaceholder(std::uint8_t type) {
    switch (type) {
    case 0x01: // master title
    case 0x03: // master centred title
    case 0x0D: // title
    case 0x0F: // centred title
    case 0x11: // vertical title
        return ShapeKind::Title;
    case 0x02: // master body
    case 0x04: // master subtitle
    case 0x06: // master notes body
    case 0x0C: // notes body
    case 0x0E: // body
    case 0x10: // subtitle
    case 0x12: // vertical body
    case 0x13: // object
    case 0x19: // vertical object
        return ShapeKind::Body;
    default:
        return ShapeKind::Text;
    }
}

} // namespace

SlideRecord DrawingReader::readDrawing(const Record& container) const {
    SlideRecord record;
    const std::vector<Record> slideParts = m_stream.children(container);
    const Record* drawing = firstChild(slideParts, rtDrawing);
    if (!drawing)
        return record;
    const std::vector<Record> drawingParts = m_stream.children(*drawing);
    const Record* dg = firstChild(drawingParts, rtDgContainer);
    if (!dg)
        return record;
    const std::vector<Record> dgParts = m_stream.children(*dg);
    const Record* top = firstChild(dgParts, rtSpgrContainer);
    if (!top)
        return record;
    const std::vector<Record> members = m_stream.children(*top);
    // The top group's first shape record describes the group itself, not a shape on the slide.
    const std::size_t first = !members.empty() && members.front().type == rtSpContainer ? 1 : 0;
    record.values = m_documentFields;
    if (const Record* own = firstChild(slideParts, rtHeadersFooters))
        readHeadersFooters(*own, record.values);
    for (std::size_t i = first; i < members.size(); ++i) {
        if (members[i].type == rtSpgrContainer)
            record.shapes.push_back(readGroup(members[i], record.values, 1));
        else if (members[i].type == rtSpContainer)
            if (std::optional<RecordShape> shape = readShape(members[i], record.values))
                record.shapes.push_back(std::move(*shape));
    }
    return record;
}

RecordShape DrawingReader::readGroup(const Record& container, const FieldValues& values, int depth) const {
    if (depth > kMaxGroupDepth)
        damaged("groups are nested more than " + std::to_string(kMaxGroupDepth) + " deep");
    RecordShape group;
    group.kind = ShapeKind::Group;
    const std::vector<Record> members = m_stream.children(container);
    std::size_t first = 0;
    bool table = false;
    if (!members.empty() && members.front().type == rtSpContainer) {
        first = 1;
        const std::vector<Record> parts = m_stream.children(members.front());
        group.name = shapeName(parts);
        table = hasProperty(parts, kPropertyTable);
    }
    std::vector<std::optional<ChildAnchor>> anchors;
    for (std::size_t i = first; i < members.size(); ++i) {
        if (members[i].type == rtSpgrContainer) {
            group.items.push_back(readGroup(members[i], values, depth + 1));
            anchors.emplace_back();
        } else if (members[i].type == rtSpContainer) {
            if (std::optional<RecordShape> shape = readShape(members[i], values)) {
                group.items.push_back(std::move(*shape));
                anchors.push_back(childAnchor(m_stream.children(members[i])));
            }
        }
    }
    if (table)
        layOutTable(group, anchors);
    return group;
}

void DrawingReader::layOutTable(RecordShape& group, const std::vector<std::optional<ChildAnchor>>& anchors) {
    std::vector<std::int32_t> lefts, tops;
    for (std::size_t i = 0; i < group.items.size(); ++i) {
        if (!group.items[i].hasTextFrame)
            continue;
        if (!anchors[i])
            return;
        lefts.push_back(anchors[i]->left);
        tops.push_back(anchors[i]->top);
    }
    for (auto* edges : {&lefts, &tops}) {
        std::sort(edges->begin(), edges->end());
        edges->erase(std::unique(edges->begin(), edges->end()), edges->end());
    }
    if (lefts.empty() || lefts.size() * tops.size() > group.items.size() * 64)
        return;
    const auto indexOf = [](const std::vector<std::int32_t>& edges, std::int32_t edge) {
        return static_cast<std::size_t>(std::lower_bound(edges.begin(), edges.end(), edge) - edges.begin());
    };
    std::vector<int> grid(lefts.size() * tops.size(), -1);
    for (std::size_t i = 0; i < group.items.size(); ++i) {
        if (!group.items[i].hasTextFrame)
            continue;
        int& at = grid[indexOf(tops, anchors[i]->top) * lefts.size() + indexOf(lefts, anchors[i]->left)];
        if (at >= 0)
            return;
        at = static_cast<int>(i);
    }
    group.kind = ShapeKind::Table;
    group.columns = static_cast<int>(lefts.size());
    group.grid = std::move(grid);
}

std::optional<ChildAnchor> DrawingReader::childAnchor(const std::vector<Record>& parts) const {
    const Record* anchor = firstChild(parts, rtChildAnchor);
    if (!anchor || anchor->length < 16)
        return std::nullopt;
    return ChildAnchor{static_cast<std::int32_t>(m_stream.u32(anchor->body)),
                       static_cast<std::int32_t>(m_stream.u32(anchor->body + 4)),
                       static_cast<std::int32_t>(m_stream.u32(anchor->body + 8))};
}

template <typename Visit> void DrawingReader::visitProperties(const std::vector<Record>& parts, Visit&& visit) const {
    for (const Record& r : parts) {
        if (r.type != rtFOPT && r.type != rtTertiaryFOPT)
            continue;
        const std::uint32_t count = r.instance;
        if (count > r.length / 6)
            continue;
        std::uint32_t complexAt = r.body + count * 6;
        for (std::uint32_t k = 0; k < count; ++k) {
            const std::uint16_t id = m_stream.u16(r.body + 6 * k);
            const std::uint32_t value = m_stream.u32(r.body + 6 * k + 2);
            std::pair<std::uint32_t, std::uint32_t> complex{0, 0};
            if (id & 0x8000) {
                if (value > r.end() - complexAt)
                    break;
                complex = {complexAt, value};
                complexAt += value;
            }
            visit(static_cast<std::uint16_t>(id & 0x3FFF), value, complex);
        }
    }
}

QString DrawingReader::shapeName(const std::vector<Record>& parts) const {
    return stringProperty(parts, kPropertyName);
}

QString DrawingReader::stringProperty(const std::vector<Record>& parts, std::uint16_t property) const {
    QString name;
    visitProperties(parts, [&](std::uint16_t id, std::uint32_t, std::pair<std::uint32_t, std::uint32_t> data) {
        if (id != property || data.second < 2)
            return;
        Record text;
        text.body = data.first;
        text.length = data.second & ~1U;
        name = m_stream.utf16(text);
        if (const qsizetype end = name.indexOf(QChar(u'\0')); end >= 0)
            name.truncate(end);
    });
    return name;
}

bool DrawingReader::hasProperty(const std::vector<Record>& parts, std::uint16_t property) const {
    bool found = false;
    visitProperties(parts, [&](std::uint16_t id, std::uint32_t, auto) { found = found || id == property; });
    return found;
}

void DrawingReader::readHeadersFooters(const Record& container, FieldValues& values) const {
    std::uint16_t flags = 0;
    QString userDate;
    values.footer.clear();
    values.header.clear();
    for (const Record& r : m_stream.children(container)) {
        if (r.type == rtHeadersFootersAtom && r.length >= 4)
            flags = m_stream.u16(r.body + 2);
        else if (r.type == rtCString && r.instance == 0)
            userDate = m_stream.utf16(r);
        else if (r.type == rtCString && r.instance == 1)
            values.header = m_stream.utf16(r);
        else if (r.type == rtCString && r.instance == 2)
            values.footer = m_stream.utf16(r);
    }
    constexpr std::uint16_t kHasUserDate = 0x4;
    values.fixedDate.reset();
    if (flags & kHasUserDate)
        values.fixedDate = userDate;
}

std::optional<RecordShape> DrawingReader::readShape(const Record& container, const FieldValues& values) const {
    const std::vector<Record> parts = m_stream.children(container);
    std::uint16_t shapeType = 0;
    std::uint32_t flags = 0;
    if (const Record* fsp = firstChild(parts, rtFSP); fsp && fsp->length >= 8) {
        shapeType = fsp->instance;
        flags = m_stream.u32(fsp->body + 4);
    }
    if (flags & (kShapeDeleted | kShapePatriarch | kShapeBackground))
        return std::nullopt;
    RecordShape shape;
    shape.name = shapeName(parts);
    bool ole = (flags & kShapeOle) != 0;
    std::optional<std::uint8_t> placeholderType;
    if (const Record* data = firstChild(parts, rtClientData)) {
        const std::vector<Record> client = m_stream.children(*data);
        ole = ole || firstChild(client, rtExObjRefAtom) != nullptr;
        if (const Record* placeholder = firstChild(client, rtOEPlaceholderAtom);
            placeholder && placeholder->length >= 8)
            placeholderType = static_cast<std::uint8_t>(m_stream.u16(placeholder->body + 4) & 0xFF);
    }
    const bool connector = (flags & kShapeConnector) || shapeType == kShapeLine ||
                           (shapeType >= kFirstConnector && shapeType <= kLastConnector);
    if (flags & kShapeGroup)
        shape.kind = ShapeKind::Group;
    if (shapeType == kShapePictureFrame && !ole) {
        shape.kind = ShapeKind::Picture;
        shape.description = stringProperty(parts, kPropertyDescription);
    }
    if ((flags & kShapeGroup) || connector || ole || shapeType == kShapePictureFrame)
        return shape;

    shape.hasTextFrame = true;
    shape.kind = placeholderType ? kindOfPlaceholder(*placeholderType) : ShapeKind::Text;
    if (const Record* box = firstChild(parts, rtClientTextbox)) {
        TextBlock block;
        for (const Record& r : m_stream.children(*box)) {
            if (r.type == rtOutlineTextRefAtom && r.length >= 4) {
                // The placeholder's text lives in the slide list, by its index among the slide's texts;
                // the text so far is shown when there is no such text.
                shape.placeholder = m_stream.u32(r.body);
                break;
            }
            addToText(m_stream, r, block);
        }
        // Filled in so far already: the text itself stays within the budget.
        shape.text = filledIn(block, values, true, [&](qsizetype length) { m_budget.requireRoom(length + 2, 1); });
    }
    return shape;
}

} // namespace quorvane::office::ppt
