#include "office/presentation/OdpShapes.h"

#include "office/presentation/ReadError.h"

#include <string>

using namespace Qt::StringLiterals;

namespace quorvane::office::odp {

const xml::NamespaceTable& namespaces() {
    static const xml::NamespaceTable table{
        {"urn:oasis:names:tc:opendocument:xmlns:office:1.0", nsOffice},
        {"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0", nsDraw},
        {"urn:oasis:names:tc:opendocument:xmlns:text:1.0", nsText},
        {"urn:oasis:names:tc:opendocument:xmlns:presentation:1.0", nsPresentation},
        {"urn:oasis:names:tc:opendocument:xmlns:table:1.0", nsTable},
        {"urn:oasis:names:tc:opendocument:xmlns:dr3d:1.0", nsDr3d},
        {"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0", nsSvg},
        {"urn:oasis:names:tc:opendocument:xmlns:style:1.0", nsStyle},
        {"http://www.w3.org/1999/xlink", nsXlink},
        {"urn:oasis:names:tc:opendocument:xmlns:chart:1.0", nsChart},
        {"http://purl.org/dc/elements/1.1/", nsDc},
        // Impress writes a slide's comments in an extension namespace of its own.
        {"http://openoffice.org/2009/office", nsOfficeExtension},
    };
    return table;
}

namespace {

// One shape's text may not grow beyond this; a run of spaces claiming more is damage, not text.
constexpr qsizetype kMaxShapeText = 8 << 20;

const char16_t kLineBreak = u'\v';

// Counts what a group's shapes or a table's cells hold into the slide while the shape is read, and
// gives it back after: the caller counts the whole shape.
class CountedWhileRead {
public:
    explicit CountedWhileRead(SlideContext& slide) : m_slide(slide), m_text(slide.text), m_shapes(slide.shapes) {}
    ~CountedWhileRead() {
        m_slide.text = m_text;
        m_slide.shapes = m_shapes;
    }
    void add(qsizetype text, qsizetype shapes) {
        m_slide.text += text;
        m_slide.shapes += shapes;
        m_slide.budget.requireRoom(m_slide.text, m_slide.shapes);
    }
    CountedWhileRead(const CountedWhileRead&) = delete;
    CountedWhileRead& operator=(const CountedWhileRead&) = delete;

private:
    SlideContext& m_slide;
    qsizetype m_text, m_shapes;
};

// Collects the text of one shape: paragraphs joined by CR, ODF's whitespace rules applied.
class TextCollector {
public:
    explicit TextCollector(const SlideContext& slide) : m_slide(slide) {}

    // Reads the paragraphs among the children of element (a text box, a shape, a list, a list item).
    void blocks(const xml::Scope& parent, pugi::xml_node element, int depth) {
        xml::requireDepth(depth);
        for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
            if (child.type() != pugi::node_element)
                continue;
            const xml::Scope scope(parent, child);
            const xml::Name name = scope.name(child);
            if (name.ns != nsText)
                continue;
            if (name.local == "p" || name.local == "h") {
                startParagraph();
                inlineContent(scope, child, depth + 1);
            } else if (name.local == "list" || name.local == "list-item" || name.local == "list-header" ||
                       name.local == "section" || name.local == "numbered-paragraph") {
                blocks(scope, child, depth + 1);
            }
        }
    }

    const QString& text() const { return m_text; }

private:
    void startParagraph() {
        if (m_paragraphs++ > 0)
            m_text += QChar(kParagraphBreak);
        m_pendingSpace = false;
        m_atStart = true;
    }

    // Throws when the shape's text cannot grow by more characters.
    void requireRoom(qsizetype more) const {
        if (m_text.size() + more > kMaxShapeText)
            throw ReadError(u"a shape holds more than %1 characters of text"_s.arg(kMaxShapeText));
        // Counted with the line end the shape's text will take, as the budget counts it.
        m_slide.budget.requireRoom(m_slide.text + m_text.size() + more + 2, m_slide.shapes + 1);
    }

    void append(QStringView s) {
        requireRoom(s.size());
        m_text += s;
    }

    // Character data: each run of white space becomes one space, and none is kept at a paragraph's start.
    void characters(std::string_view utf8) {
        QString piece;
        xml::appendText(piece, utf8);
        QString out;
        out.reserve(piece.size());
        for (const QChar c : std::as_const(piece)) {
            if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r') {
                m_pendingSpace = !m_atStart;
                continue;
            }
            if (m_pendingSpace)
                out += u' ';
            m_pendingSpace = false;
            m_atStart = false;
            out += c;
        }
        append(out);
    }

    // Characters that markup inserts are kept as they are and end any run of white space before them.
    void literal(QStringView s) {
        if (m_pendingSpace)
            append(u" ");
        m_pendingSpace = false;
        m_atStart = false;
        append(s);
    }

    // count spaces, inserted like literal text; checked before any is made, as count may be huge.
    void spaces(qsizetype count) {
        literal({});
        requireRoom(count);
        m_text.resize(m_text.size() + count, u' ');
    }

    void inlineContent(const xml::Scope& parent, pugi::xml_node element, int depth) {
        xml::requireDepth(depth);
        for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
            if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
                characters(child.value());
                continue;
            }
            if (child.type() != pugi::node_element)
                continue;
            const xml::Scope scope(parent, child);
            const xml::Name name = scope.name(child);
            if (name.ns == nsText) {
                if (name.local == "s") {
                    const pugi::xml_attribute count = scope.attribute(child, nsText, "c");
                    const long long n = count ? count.as_llong(1) : 1;
                    spaces(static_cast<qsizetype>(std::clamp(n, 1LL, static_cast<long long>(kMaxShapeText) + 1)));
                } else if (name.local == "tab") {
                    literal(u"\t");
                } else if (name.local == "line-break") {
                    literal(QStringView(&kLineBreak, 1));
                } else if (name.local == "page-number") {
                    // The field shows the number of the slide it is on, whatever text was stored with it.
                    literal(QString::number(m_slide.number));
                } else if (name.local != "note" && name.local != "ruby-text") {
                    inlineContent(scope, child, depth + 1); // spans, links, other fields: their text
                }
            } else if (name.ns != nsDraw && name.ns != nsOffice && name.ns != nsPresentation) {
                // Unknown markup (another vocabulary's fields or spans) still shows its text; shapes
                // anchored in the paragraph, comments and notes do not belong to it.
                inlineContent(scope, child, depth + 1);
            }
        }
    }

    const SlideContext& m_slide;
    QString m_text;
    int m_paragraphs = 0;
    bool m_pendingSpace = false;
    bool m_atStart = true;
};

bool isTextPlaceholder(const xml::Scope& scope, pugi::xml_node frame) {
    const std::string_view kind = scope.attribute(frame, nsPresentation, "class").value();
    return kind == "title" || kind == "subtitle" || kind == "outline" || kind == "text" || kind == "notes";
}

// The kind of a shape that can hold text, by its presentation class.
ShapeKind textKind(const xml::Scope& scope, pugi::xml_node element) {
    const std::string_view kind = scope.attribute(element, nsPresentation, "class").value();
    if (kind == "title")
        return ShapeKind::Title;
    if (kind == "subtitle" || kind == "outline" || kind == "notes")
        return ShapeKind::Body;
    return ShapeKind::Text;
}

// A table's cells row by row (rows may be grouped in header rows, row groups and so on), as wide as
// its widest row. A covered cell of a merged range is empty; repeated rows and cells count once.
void readTable(const xml::Scope& parent, pugi::xml_node table, SlideContext& slide, ShapeInfo& shape) {
    shape.kind = ShapeKind::Table;
    std::vector<std::vector<QString>> rows;
    CountedWhileRead counted(slide);
    const auto collectRows = [&](const auto& self, const xml::Scope& scope, pugi::xml_node element) -> void {
        xml::requireDepth(scope.depth());
        for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
            if (child.type() != pugi::node_element)
                continue;
            const xml::Scope childScope(scope, child);
            const xml::Name name = childScope.name(child);
            if (name.ns != nsTable)
                continue;
            if (name.local == "table-row") {
                std::vector<QString>& cells = rows.emplace_back();
                for (pugi::xml_node cell = child.first_child(); cell; cell = cell.next_sibling()) {
                    if (cell.type() != pugi::node_element)
                        continue;
                    const xml::Scope cellScope(childScope, cell);
                    const xml::Name cellName = cellScope.name(cell);
                    if (cellName.is(nsTable, "table-cell"))
                        cells.push_back(textOf(cellScope, cell, slide));
                    else if (cellName.is(nsTable, "covered-table-cell"))
                        cells.emplace_back();
                    else
                        continue;
                    counted.add(cells.back().size() + 2, 0);
                }
                shape.columns = std::max(shape.columns, static_cast<int>(cells.size()));
            } else if (name.local == "table-header-rows" || name.local == "table-rows" ||
                       name.local == "table-row-group") {
                self(self, childScope, child);
            }
        }
    };
    collectRows(collectRows, parent, table);
    for (std::vector<QString>& cells : rows) {
        cells.resize(static_cast<std::size_t>(shape.columns));
        std::move(cells.begin(), cells.end(), std::back_inserter(shape.cells));
    }
}

// The alternative text of a frame: its svg:desc, else its svg:title (each as plain text).
QString frameDescription(const xml::Scope& scope, pugi::xml_node frame) {
    QString description, title;
    for (pugi::xml_node child = frame.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element)
            continue;
        const xml::Scope inner(scope, child);
        const xml::Name name = inner.name(child);
        QString* text = name.is(nsSvg, "desc") ? &description : name.is(nsSvg, "title") ? &title : nullptr;
        if (text == nullptr || !text->isEmpty())
            continue;
        for (pugi::xml_node part = child.first_child(); part; part = part.next_sibling())
            if (part.type() == pugi::node_pcdata || part.type() == pugi::node_cdata)
                xml::appendText(*text, part.value());
    }
    return description.isEmpty() ? title : description;
}

// A group's shapes, groups inside it entered.
void readGroup(const xml::Scope& scope, pugi::xml_node group, SlideContext& slide, ShapeInfo& shape) {
    xml::requireDepth(scope.depth());
    shape.kind = ShapeKind::Group;
    CountedWhileRead counted(slide);
    for (pugi::xml_node child = group.first_child(); child; child = child.next_sibling()) {
        ShapeInfo item;
        if (child.type() == pugi::node_element && readShape(scope, child, slide, item)) {
            counted.add(ReadBudget::textOf(item), ReadBudget::shapesOf(item));
            shape.items.push_back(std::move(item));
        }
    }
}

// A draw:frame: the first content child decides; later ones are replacements for readers that lack
// the first.
void readFrame(const xml::Scope& scope, pugi::xml_node element, SlideContext& slide, ShapeInfo& shape) {
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element)
            continue;
        const xml::Scope inner(scope, child);
        const xml::Name content = inner.name(child);
        if (content.is(nsDraw, "text-box")) {
            shape.hasTextFrame = true;
            shape.kind = textKind(scope, element);
            shape.text = textOf(inner, child, slide);
            return;
        }
        if (content.is(nsTable, "table")) {
            readTable(inner, child, slide, shape);
            return;
        }
        if (content.is(nsDraw, "image")) {
            shape.kind = ShapeKind::Picture;
            shape.description = frameDescription(scope, element);
            return;
        }
        if (content.is(nsDraw, "object")) {
            // Kept by where it stands in the document (which stays parsed while it is open): its
            // texts are read only when asked for, from the object's own part or the object inside it.
            shape.kind = ShapeKind::Chart;
            shape.source = std::to_string(child.offset_debug());
            return;
        }
        if ((content.ns == nsDraw && (content.local == "object-ole" || content.local == "plugin" ||
                                      content.local == "applet" || content.local == "floating-frame")) ||
            content.ns == nsTable)
            return;
    }
    shape.hasTextFrame = isTextPlaceholder(scope, element);
    if (shape.hasTextFrame)
        shape.kind = textKind(scope, element);
}

} // namespace

QString textOf(const xml::Scope& scope, pugi::xml_node element, const SlideContext& slide) {
    TextCollector text(slide);
    text.blocks(scope, element, 0);
    return text.text();
}

bool readShape(const xml::Scope& page, pugi::xml_node element, SlideContext& slide, ShapeInfo& shape, int depth) {
    const xml::Scope scope(page, element);
    const xml::Name name = scope.name(element);
    shape = ShapeInfo{};
    if (name.ns == nsDr3d)
        return name.local == "scene";
    if (name.ns != nsDraw)
        return false;
    const std::string_view local = name.local;
    if (local == "a") {
        // A hyperlink around a shape: the shape inside is the one on the page.
        if (depth > 4)
            return false;
        for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling())
            if (child.type() == pugi::node_element && readShape(scope, child, slide, shape, depth + 1))
                return true;
        return false;
    }
    shape.name = QString::fromUtf8(scope.attribute(element, nsDraw, "name").value());
    if (local == "frame") {
        readFrame(scope, element, slide, shape);
        return true;
    }
    if (local == "custom-shape" || local == "rect" || local == "ellipse" || local == "circle" || local == "polygon" ||
        local == "polyline" || local == "path" || local == "regular-polygon" || local == "caption") {
        shape.hasTextFrame = true;
        shape.kind = ShapeKind::Text;
        shape.text = textOf(scope, element, slide);
        return true;
    }
    if (local == "g") {
        readGroup(scope, element, slide, shape);
        return true;
    }
    // Lines, connectors, dimension lines, form controls, slide thumbnails.
    return local == "line" || local == "connector" || local == "measure" || local == "control" ||
           local == "page-thumbnail";
}

} // namespace quorvane::office::odp
