// The reader of OpenDocument presentations: zipped (.odp, .otp) and flat XML (.fodp). The slides are
// the draw:page elements of the document body in order; a page's shapes are its drawing elements in
// document order; a group's shapes are its own drawing elements.
#include "office/presentation/OdpReader.h"

#include "office/presentation/FileAccess.h"
#include "office/presentation/ReadError.h"
#include "office/presentation/XmlHelpers.h"
#include "office/presentation/ZipPackage.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvane::office {

namespace {

enum Namespace {
    nsOffice = 1,
    nsDraw,
    nsText,
    nsPresentation,
    nsTable,
    nsDr3d,
    nsSvg,
    nsStyle,
    nsXlink,
    nsChart,
    nsDc,
    nsOfficeExtension
};

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

// One shape's text may not grow beyond this; a run of spaces claiming more is damage, not text.
constexpr qsizetype kMaxShapeText = 8 << 20;
// The largest flat presentation read; larger ones are refused rather than parsed.
constexpr std::uint64_t kMaxFlatFile = std::uint64_t{512} << 20;

const char16_t kLineBreak = u'\v';
const char16_t kParagraphBreak = u'\r';

// The slide whose shapes are being read: its number (for page-number fields) and what the shapes read
// before on it hold, so that a shape's text is held to the budget while it grows.
struct SlideContext {
    int number;
    const ReadBudget& budget;
    qsizetype text = 0;
    qsizetype shapes = 0;
};

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

// The text of the paragraphs among the children of element.
QString textOf(const xml::Scope& scope, pugi::xml_node element, const SlideContext& slide) {
    TextCollector text(slide);
    text.blocks(scope, element, 0);
    return text.text();
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

bool readShape(const xml::Scope& page, pugi::xml_node element, SlideContext& slide, ShapeInfo& shape, int depth = 0);

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

// One top-level element of a page (or of a group) as a shape, or false when the element is no shape
// at all.
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
        // The first content child decides; later ones are replacements for readers that lack the first.
        for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
            if (child.type() != pugi::node_element)
                continue;
            const xml::Scope inner(scope, child);
            const xml::Name content = inner.name(child);
            if (content.is(nsDraw, "text-box")) {
                shape.hasTextFrame = true;
                shape.kind = textKind(scope, element);
                shape.text = textOf(inner, child, slide);
                return true;
            }
            if (content.is(nsTable, "table")) {
                readTable(inner, child, slide, shape);
                return true;
            }
            if (content.is(nsDraw, "image")) {
                shape.kind = ShapeKind::Picture;
                shape.description = frameDescription(scope, element);
                return true;
            }
            if (content.is(nsDraw, "object")) {
                // Kept by where it stands in the document (which stays parsed while it is open): its
                // texts are read only when asked for, from the object's own part or the object inside it.
                shape.kind = ShapeKind::Chart;
                shape.source = std::to_string(child.offset_debug());
                return true;
            }
            if ((content.ns == nsDraw && (content.local == "object-ole" || content.local == "plugin" ||
                                          content.local == "applet" || content.local == "floating-frame")) ||
                content.ns == nsTable)
                return true;
        }
        shape.hasTextFrame = isTextPlaceholder(scope, element);
        if (shape.hasTextFrame)
            shape.kind = textKind(scope, element);
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

class OdpDocument final : public PresentationDocument {
public:
    // Parses content (content.xml, or the whole flat file) and finds the pages. partName names the
    // part in messages ("content.xml"); empty for a flat file.
    OdpDocument(const QString& fileName, QString partName, std::string content,
                std::unique_ptr<ZipPackage> package = nullptr)
        : PresentationDocument(fileName), m_fileName(fileName), m_partName(std::move(partName)),
          m_buffer(std::move(content)), m_package(std::move(package)) {
        if (const QString problem = xml::parseInPlace(m_document, m_buffer, xml::SpaceKeepingParseOptions);
            !problem.isEmpty())
            failPart(problem);
        m_root = m_document.document_element();
        const xml::Scope root(namespaces(), m_root);
        const xml::Name rootName = root.name(m_root);
        if (rootName.ns != nsOffice || (rootName.local != "document-content" && rootName.local != "document"))
            fail(u"not a presentation: the document is no OpenDocument document"_s);
        m_body = childNamed(root, m_root, nsOffice, "body");
        const xml::Scope body(root, m_body);
        m_presentation = m_body ? childNamed(body, m_body, nsOffice, "presentation") : pugi::xml_node();
        if (!m_presentation)
            fail(u"not a presentation: the OpenDocument document holds no presentation"_s);
        const xml::Scope presentation(body, m_presentation);
        for (pugi::xml_node page = m_presentation.first_child(); page; page = page.next_sibling())
            if (page.type() == pugi::node_element && presentation.is(page, nsDraw, "page"))
                m_pages.push_back(page);
    }

    int slideCount() const override { return static_cast<int>(m_pages.size()); }
    const DocumentDamage* damage() const override { return m_damage ? &*m_damage : nullptr; }

    // Marks the presentation as read from a damaged package (content.xml came whole from it).
    void setDamage(const QString& cause) { m_damage.emplace(DocumentDamage{cause, {}, false}); }

private:
    const std::vector<ShapeInfo>& readShapes(int slide) override {
        if (slide < 1 || slide > slideCount())
            fail(u"there is no slide %1"_s.arg(slide));
        // The server asks for the shapes of a slide once for each of its members it calls on a shape:
        // the page is walked once, not once per call.
        if (slide == m_shapesSlide)
            return m_shapes;
        m_shapesSlide = 0;
        m_shapes.clear();
        const xml::Scope root(namespaces(), m_root);
        const xml::Scope body(root, m_body);
        const xml::Scope presentation(body, m_presentation);
        const pugi::xml_node pageNode = m_pages[static_cast<std::size_t>(slide - 1)];
        const xml::Scope page(presentation, pageNode);
        SlideContext context{slide, budget()};
        try {
            for (pugi::xml_node child = pageNode.first_child(); child; child = child.next_sibling()) {
                ShapeInfo shape;
                if (child.type() == pugi::node_element && readShape(page, child, context, shape)) {
                    context.text += ReadBudget::textOf(shape);
                    budget().requireRoom(context.text, ++context.shapes);
                    m_shapes.push_back(std::move(shape));
                }
            }
        } catch (const ReadBudget::Exceeded&) {
            m_shapes.clear();
            throw;
        } catch (const ReadError& damage) {
            // Raised inside the page, where the file is not known.
            m_shapes.clear();
            fail(u"slide %1 is damaged: "_s.arg(slide) + damage.description());
        }
        m_shapesSlide = slide;
        return m_shapes;
    }

    // The speaker notes: the notes frames of the page's presentation:notes.
    QString readNotes(int slide) override {
        if (slide < 1 || slide > slideCount())
            fail(u"there is no slide %1"_s.arg(slide));
        const xml::Scope root(namespaces(), m_root);
        const xml::Scope body(root, m_body);
        const xml::Scope presentation(body, m_presentation);
        const pugi::xml_node pageNode = m_pages[static_cast<std::size_t>(slide - 1)];
        const xml::Scope page(presentation, pageNode);
        const pugi::xml_node notesNode = childNamed(page, pageNode, nsPresentation, "notes");
        if (!notesNode)
            return {};
        const xml::Scope notes(page, notesNode);
        SlideContext context{slide, budget()};
        QString text;
        try {
            for (pugi::xml_node child = notesNode.first_child(); child; child = child.next_sibling()) {
                ShapeInfo shape;
                if (child.type() != pugi::node_element || !notes.is(child, nsDraw, "frame") ||
                    std::string_view(xml::Scope(notes, child).attribute(child, nsPresentation, "class").value()) !=
                        "notes" ||
                    !readShape(notes, child, context, shape) || shape.text.isEmpty())
                    continue;
                if (!text.isEmpty())
                    text += QChar(kParagraphBreak);
                text += shape.text;
                context.text += shape.text.size() + 1;
            }
        } catch (const ReadBudget::Exceeded&) {
            throw;
        } catch (const ReadError& damage) {
            fail(u"the notes of slide %1 are damaged: "_s.arg(slide) + damage.description());
        }
        return text;
    }

    // The page's drawing-page style says whether the slide show leaves it out.
    bool readHidden(int slide) override {
        if (slide < 1 || slide > slideCount())
            return false;
        const xml::Scope root(namespaces(), m_root);
        const xml::Scope body(root, m_body);
        const xml::Scope presentation(body, m_presentation);
        const pugi::xml_node pageNode = m_pages[static_cast<std::size_t>(slide - 1)];
        const std::string_view styleName =
            xml::Scope(presentation, pageNode).attribute(pageNode, nsDraw, "style-name").value();
        const pugi::xml_node styles = childNamed(root, m_root, nsOffice, "automatic-styles");
        if (styleName.empty() || !styles)
            return false;
        const xml::Scope stylesScope(root, styles);
        for (pugi::xml_node style = styles.first_child(); style; style = style.next_sibling()) {
            if (style.type() != pugi::node_element)
                continue;
            const xml::Scope styleScope(stylesScope, style);
            if (!styleScope.is(style, nsStyle, "style") ||
                std::string_view(styleScope.attribute(style, nsStyle, "name").value()) != styleName)
                continue;
            const pugi::xml_node properties = childNamed(styleScope, style, nsStyle, "drawing-page-properties");
            return properties && std::string_view(xml::Scope(styleScope, properties)
                                                      .attribute(properties, nsPresentation, "visibility")
                                                      .value()) == "hidden";
        }
        return false;
    }

    // The review comments: the page's annotation elements (in the OpenDocument namespace or Impress's
    // own), their dc:creator the author.
    std::vector<SlideComment> readComments(int slide) override {
        if (slide < 1 || slide > slideCount())
            return {};
        const xml::Scope root(namespaces(), m_root);
        const xml::Scope body(root, m_body);
        const xml::Scope presentation(body, m_presentation);
        const pugi::xml_node pageNode = m_pages[static_cast<std::size_t>(slide - 1)];
        const xml::Scope page(presentation, pageNode);
        SlideContext context{slide, budget()};
        std::vector<SlideComment> comments;
        for (pugi::xml_node child = pageNode.first_child(); child; child = child.next_sibling()) {
            if (child.type() != pugi::node_element ||
                (!page.is(child, nsOffice, "annotation") && !page.is(child, nsOfficeExtension, "annotation")))
                continue;
            const xml::Scope scope(page, child);
            SlideComment comment;
            if (const pugi::xml_node creator = childNamed(scope, child, nsDc, "creator"))
                xml::appendElementText(comment.author, creator);
            comment.text = textOf(scope, child, context);
            comments.push_back(std::move(comment));
        }
        return comments;
    }

    // The titles of an embedded chart: its own, then its axes' in the plot area's order. The chart
    // is the object's own part in a package, or the document inside the object in a flat file.
    std::vector<QString> readGraphicTexts(int slide, const ShapeInfo& shape) override {
        if (shape.kind != ShapeKind::Chart || shape.source.empty())
            return {};
        if (slide < 1 || slide > slideCount())
            return {};
        const std::ptrdiff_t offset = std::stoll(shape.source);
        if (offset < 0)
            return {};
        const pugi::xml_node pageNode = m_pages[static_cast<std::size_t>(slide - 1)];
        const pugi::xml_node object =
            pageNode.find_node([&](pugi::xml_node node) { return node.offset_debug() == offset; });
        if (!object)
            return {};
        // The scopes from the document element down to the object, for the names in force there.
        std::vector<pugi::xml_node> path;
        for (pugi::xml_node node = object; node && node != m_root; node = node.parent())
            path.push_back(node);
        std::deque<xml::Scope> scopes;
        scopes.emplace_back(namespaces(), m_root);
        for (auto node = path.rbegin(); node != path.rend(); ++node) {
            xml::requireDepth(static_cast<int>(scopes.size()) + 1);
            scopes.emplace_back(scopes.back(), *node);
        }
        std::string buffer;
        pugi::xml_document document;
        pugi::xml_node chartRoot;
        std::string_view reference = scopes.back().attribute(object, nsXlink, "href").value();
        if (!reference.empty()) {
            if (!m_package)
                return {};
            if (reference.starts_with("./"))
                reference.remove_prefix(2);
            const std::string part = std::string(reference) + "/content.xml";
            if (reference.empty() || reference.find("..") != std::string_view::npos || !m_package->contains(part))
                return {};
            m_package->read(part, buffer);
            if (!xml::parseInPlace(document, buffer, xml::SpaceKeepingParseOptions).isEmpty())
                return {};
            chartRoot = document.document_element();
        } else {
            chartRoot = childNamed(scopes.back(), object, nsOffice, "document");
        }
        if (!chartRoot)
            return {};
        // The chart's document declares its own namespaces, or (inside a flat file) inherits them.
        std::vector<QString> texts;
        SlideContext context{slide, budget()};
        const auto walk = [&](const auto& self, const xml::Scope& scope, pugi::xml_node element) -> void {
            xml::requireDepth(scope.depth());
            for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
                if (child.type() != pugi::node_element)
                    continue;
                const xml::Scope childScope(scope, child);
                const xml::Name name = childScope.name(child);
                if (name.is(nsChart, "title")) {
                    if (QString text = textOf(childScope, child, context); !text.isEmpty())
                        texts.push_back(std::move(text));
                } else if ((name.ns == nsOffice && (name.local == "body" || name.local == "chart")) ||
                           (name.ns == nsChart &&
                            (name.local == "chart" || name.local == "plot-area" || name.local == "axis"))) {
                    self(self, childScope, child);
                }
            }
        };
        if (reference.empty())
            walk(walk, xml::Scope(scopes.back(), chartRoot), chartRoot);
        else
            walk(walk, xml::Scope(namespaces(), chartRoot), chartRoot);
        return texts;
    }

    static pugi::xml_node childNamed(const xml::Scope& parent, pugi::xml_node element, int ns, std::string_view local) {
        for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling())
            if (child.type() == pugi::node_element && xml::Scope(parent, child).is(child, ns, local))
                return child;
        return {};
    }

    [[noreturn]] void fail(const QString& reason) const { throw ReadError(m_fileName + u": "_s + reason); }
    [[noreturn]] void failPart(const QString& reason) const {
        fail(m_partName.isEmpty() ? u"damaged presentation: "_s + reason
                                  : u"damaged part "_s + m_partName + u": "_s + reason);
    }

    QString m_fileName;
    QString m_partName;
    std::string m_buffer;                  // pugixml parses in place: the tree points into it
    std::unique_ptr<ZipPackage> m_package; // the package of a zipped document (its embedded objects)
    pugi::xml_document m_document;
    pugi::xml_node m_root, m_body, m_presentation;
    std::vector<pugi::xml_node> m_pages;
    std::vector<ShapeInfo> m_shapes;
    int m_shapesSlide = 0; // the slide m_shapes belongs to, 0 for none
    std::optional<DocumentDamage> m_damage;
};

} // namespace

std::unique_ptr<PresentationDocument> openOpenDocumentPackage(std::unique_ptr<ZipPackage> owned) {
    const ZipPackage& package = *owned;
    if (package.contains("mimetype")) {
        const std::string type = package.read("mimetype");
        if (type != "application/vnd.oasis.opendocument.presentation" &&
            type != "application/vnd.oasis.opendocument.presentation-template")
            package.fail(u"not a presentation: the OpenDocument package is of type "_s + QString::fromUtf8(type));
    }
    // A password-protected package lists how each part is encrypted; its content.xml is not XML.
    if (package.contains("META-INF/manifest.xml") &&
        package.read("META-INF/manifest.xml").find("encryption-data") != std::string::npos)
        package.fail(u"encrypted (the presentation is protected by a password)"_s);
    if (!package.contains("content.xml")) {
        // Every slide is in content.xml: a damaged package that lost it gives nothing.
        if (package.recovered())
            package.fail(
                u"damaged zip archive (%1): content.xml, which holds every slide, is lost"_s.arg(package.damage()));
        package.fail(u"not a presentation package: content.xml is missing"_s);
    }
    const bool recovered = package.recovered();
    const QString damage = package.damage();
    auto document = std::make_unique<OdpDocument>(package.fileName(), u"content.xml"_s, package.read("content.xml"),
                                                  std::move(owned));
    if (recovered)
        document->setDamage(damage);
    return document;
}

std::unique_ptr<PresentationDocument> openOpenDocumentPresentation(const QString& path) {
    return reportingReadErrors([&] { return openOpenDocumentPackage(std::make_unique<ZipPackage>(path)); });
}

std::unique_ptr<PresentationDocument> openFlatOpenDocumentPresentation(const QString& path) {
    return reportingReadErrors([&]() -> std::unique_ptr<PresentationDocument> {
        std::string content = readWholeFile(
            path, kMaxFlatFile, u"too large for a flat presentation (over %1 MiB)"_s.arg(kMaxFlatFile >> 20));
        return std::make_unique<OdpDocument>(displayName(path), QString(), std::move(content));
    });
}

} // namespace quorvane::office
