// The OOXML presentation reader (.pptx, .pptm, .ppsx, .ppsm, .potx, .potm; Transitional and Strict).
// It finds the main part through the package relationships and decides by its content type, takes the
// slide order from p:sldIdLst, and reads each slide part only when that slide is asked for.
#include "office/presentation/OoxmlPresentation.h"

#include "office/presentation/ReadError.h"
#include "office/presentation/XmlHelpers.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvane::office {

namespace {

// The namespaces the reader understands; Transitional and Strict forms share an id.
enum Ns : int { P = 1, A, R, MC, Rels, Types, Dgm, C, P188 };

const xml::NamespaceTable& namespaces() {
    static const xml::NamespaceTable table{
        {"http://schemas.openxmlformats.org/presentationml/2006/main", P},
        {"http://purl.oclc.org/ooxml/presentationml/main", P},
        {"http://schemas.openxmlformats.org/drawingml/2006/main", A},
        {"http://purl.oclc.org/ooxml/drawingml/main", A},
        {"http://schemas.openxmlformats.org/officeDocument/2006/relationships", R},
        {"http://purl.oclc.org/ooxml/officeDocument/relationships", R},
        {"http://schemas.openxmlformats.org/markup-compatibility/2006", MC},
        {"http://schemas.openxmlformats.org/package/2006/relationships", Rels},
        {"http://schemas.openxmlformats.org/package/2006/content-types", Types},
        {"http://schemas.openxmlformats.org/drawingml/2006/diagram", Dgm},
        {"http://purl.oclc.org/ooxml/drawingml/diagram", Dgm},
        {"http://schemas.openxmlformats.org/drawingml/2006/chart", C},
        {"http://purl.oclc.org/ooxml/drawingml/chart", C},
        {"http://schemas.microsoft.com/office/powerpoint/2018/8/main", P188},
    };
    return table;
}

constexpr std::array<std::string_view, 2> OfficeDocumentTypes = {
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument",
    "http://purl.oclc.org/ooxml/officeDocument/relationships/officeDocument"};
constexpr std::array<std::string_view, 2> NotesSlideTypes = {
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/notesSlide",
    "http://purl.oclc.org/ooxml/officeDocument/relationships/notesSlide"};
constexpr std::string_view TableUri = "http://schemas.openxmlformats.org/drawingml/2006/table";
constexpr std::array<std::string_view, 2> DiagramUris = {"http://schemas.openxmlformats.org/drawingml/2006/diagram",
                                                         "http://purl.oclc.org/ooxml/drawingml/diagram"};
constexpr std::array<std::string_view, 2> ChartUris = {"http://schemas.openxmlformats.org/drawingml/2006/chart",
                                                       "http://purl.oclc.org/ooxml/drawingml/chart"};
// Review comments: the comment list of a slide and the authors of the presentation, in the form
// every version writes and in the threaded form of later ones.
constexpr std::array<std::string_view, 2> CommentsTypes = {
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/comments",
    "http://purl.oclc.org/ooxml/officeDocument/relationships/comments"};
constexpr std::array<std::string_view, 2> CommentAuthorsTypes = {
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/commentAuthors",
    "http://purl.oclc.org/ooxml/officeDocument/relationships/commentAuthors"};
constexpr std::array<std::string_view, 1> ThreadedCommentsTypes = {
    "http://schemas.microsoft.com/office/2018/10/relationships/comments"};
constexpr std::array<std::string_view, 1> AuthorsTypes = {
    "http://schemas.microsoft.com/office/2018/10/relationships/authors"};
constexpr std::array<std::string_view, 2> SlideTypes = {
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/slide",
    "http://purl.oclc.org/ooxml/officeDocument/relationships/slide"};
// The content types of a presentation's main part: presentation, slide show and template, each
// with and without macros. The file's extension says nothing reliable; these do.
constexpr std::array<std::string_view, 6> MainContentTypes = {
    "application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml",
    "application/vnd.openxmlformats-officedocument.presentationml.slideshow.main+xml",
    "application/vnd.openxmlformats-officedocument.presentationml.template.main+xml",
    "application/vnd.ms-powerpoint.presentation.macroEnabled.main+xml",
    "application/vnd.ms-powerpoint.slideshow.macroEnabled.main+xml",
    "application/vnd.ms-powerpoint.template.macroEnabled.main+xml"};
// Preset geometries of lines and connectors: a p:sp drawn with one of these is a line, not a text shape.
constexpr std::array<std::string_view, 10> LinePresets = {
    "line",           "straightConnector1", "bentConnector2",   "bentConnector3",   "bentConnector4",
    "bentConnector5", "curvedConnector2",   "curvedConnector3", "curvedConnector4", "curvedConnector5"};

template <size_t N> bool oneOf(std::string_view value, const std::array<std::string_view, N>& set) {
    for (std::string_view item : set)
        if (item == value)
            return true;
    return false;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const char x = (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] + 32) : a[i];
        const char y = (b[i] >= 'A' && b[i] <= 'Z') ? static_cast<char>(b[i] + 32) : b[i];
        if (x != y)
            return false;
    }
    return true;
}

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// One relationship as written, its strings viewing the parsed relationships part.
struct Relationship {
    std::string_view id;
    std::string_view type;
    std::string_view target; // as written: resolve it against the source part (resolveTarget)
    bool external = false;
};

// The folder of a part ("ppt/presentation.xml" → "ppt/"), "" for the package root.
std::string_view folderOf(std::string_view part) {
    const size_t slash = part.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : part.substr(0, slash + 1);
}

// The relationships part of a source part ("ppt/presentation.xml" → "ppt/_rels/presentation.xml.rels";
// "" (the package itself) → "_rels/.rels").
std::string relationshipsPartOf(std::string_view part) {
    const std::string_view folder = folderOf(part);
    std::string rels(folder);
    rels += "_rels/";
    rels += part.substr(folder.size());
    rels += ".rels";
    return rels;
}

std::string percentDecoded(std::string_view text) {
    const QByteArray decoded =
        QByteArray::fromPercentEncoding(QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    return std::string(decoded.constData(), static_cast<size_t>(decoded.size()));
}

// Resolves a relationship target against the folder of its source part, as a URI reference: an
// absolute target starts at the package root, "." and ".." segments are applied, and a target that
// climbs above the root is refused (returns "").
std::string resolveTarget(std::string_view sourcePart, std::string_view target) {
    if (const size_t cut = target.find_first_of("#?"); cut != std::string_view::npos)
        target = target.substr(0, cut);
    const std::string_view base = !target.empty() && target.front() == '/' ? std::string_view() : folderOf(sourcePart);
    std::string resolved;
    resolved.reserve(base.size() + target.size());
    // The segments of the base and then of the target, each appended or, for "..", taking the last off.
    for (std::string_view rest : {base, target}) {
        while (!rest.empty()) {
            const size_t slash = rest.find('/');
            const std::string_view segment = rest.substr(0, slash);
            rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
            if (segment.empty() || segment == ".")
                continue;
            if (segment == "..") {
                if (resolved.empty())
                    return {};
                const size_t last = resolved.rfind('/');
                resolved.resize(last == std::string::npos ? 0 : last);
                continue;
            }
            if (!resolved.empty())
                resolved += '/';
            resolved += segment;
        }
    }
    return resolved;
}

class OoxmlPresentation final : public PresentationDocument {
public:
    explicit OoxmlPresentation(std::unique_ptr<ZipPackage> package);

    int slideCount() const override { return static_cast<int>(m_slideParts.size()); }
    const DocumentDamage* damage() const override { return m_damage ? &*m_damage : nullptr; }

private:
    // Reads the slide list of the presentation part. False when the package was read without its
    // directory and a part the list needs is lost.
    bool readSlideList();
    // The slides of a package whose slide list is lost: the slide parts that survived.
    void readSurvivingSlides();
    bool lost(int slide) const {
        return m_damage && std::binary_search(m_damage->lostSlides.begin(), m_damage->lostSlides.end(), slide);
    }
    const std::vector<ShapeInfo>& readShapes(int slide) override;
    QString readNotes(int slide) override;
    bool readHidden(int slide) override;
    std::vector<QString> readGraphicTexts(int slide, const ShapeInfo& shape) override;
    std::vector<SlideComment> readComments(int slide) override;

    // Parses an XML part into document (buffer holds its bytes); returns the document element. A
    // failure names the part, after "slide N is damaged: " for a slide (slide > 0), else after
    // "damaged part ".
    pugi::xml_node parsePart(std::string_view part, int slide, std::string& buffer, pugi::xml_document& document);
    pugi::xml_node parsePart(std::string_view part, int slide = 0) {
        return parsePart(part, slide, m_buffer, m_document);
    }
    // The relationships of sourcePart, viewing buffer (which document parses).
    std::vector<Relationship> readRelationships(std::string_view sourcePart, bool required, std::string& buffer,
                                                pugi::xml_document& document);
    std::string contentTypeOf(std::string_view part);
    [[noreturn]] void fail(const QString& reason) const { m_package->fail(reason); }
    [[noreturn]] void failSlide(int slide, const QString& reason) const {
        fail(u"slide %1 is damaged: "_s.arg(slide) + fromUtf8(m_slideParts[static_cast<size_t>(slide - 1)]) + reason);
    }

    void collectShapes(const xml::Scope& parent, pugi::xml_node container, std::vector<ShapeInfo>& out);
    ShapeInfo textShape(const xml::Scope& scope, pugi::xml_node shape);
    void readTable(const xml::Scope& scope, pugi::xml_node frame, ShapeInfo& info);
    void readGraphicReference(const xml::Scope& scope, pugi::xml_node frame, ShapeInfo& info);
    std::vector<QString> diagramTexts(const xml::Scope& rootScope, pugi::xml_node root);
    std::vector<QString> chartTexts(const xml::Scope& rootScope, pugi::xml_node root);
    // The text of a text body (a:p children of container), by the rules of a shape's text.
    QString bodyText(const xml::Scope& scope, pugi::xml_node container);
    // The names of the comment authors by id, legacy and threaded, read once.
    void readAuthors();
    void collectParagraphs(const xml::Scope& parent, pugi::xml_node container, bool& first);
    void collectRuns(const xml::Scope& parent, pugi::xml_node container);

    std::unique_ptr<ZipPackage> m_package;
    std::string m_mainPart; // "" when the slide list is lost
    std::vector<std::string> m_slideParts;
    // Whether each slide part read so far is hidden in the slide show (p:sld/@show).
    std::unordered_map<std::string, bool> m_hiddenParts;
    // The comment authors' names by id: legacy (numbers) and threaded (GUIDs); read once asked for.
    bool m_authorsRead = false;
    std::unordered_map<std::string, QString> m_legacyAuthors, m_threadAuthors;
    std::optional<DocumentDamage> m_damage;
    // One slide at a time: the buffers and the document are reused for every part.
    std::string m_buffer;
    pugi::xml_document m_document;
    xml::TextCollector m_text; // the text of the shape being read
    // The slide read last and its shapes: m_shapes, or the entry of m_repeatedParts.
    int m_cachedSlide = 0;
    const std::vector<ShapeInfo>* m_cached = nullptr;
    std::vector<ShapeInfo> m_shapes;
    // The shapes of each slide part that p:sldIdLst lists more than once, once it is read: a part is
    // parsed once however often it is listed.
    std::unordered_map<std::string, std::optional<std::vector<ShapeInfo>>> m_repeatedParts;
};

pugi::xml_node OoxmlPresentation::parsePart(std::string_view part, int slide, std::string& buffer,
                                            pugi::xml_document& document) {
    m_package->read(part, buffer);
    // The reader takes text only from a:t through the text collector, so text can stay in its element.
    const QString problem = xml::parseInPlace(document, buffer, xml::EmbeddedTextParseOptions);
    if (!problem.isEmpty()) {
        if (slide > 0)
            failSlide(slide, u": "_s + problem);
        fail(u"damaged part "_s + fromUtf8(part) + u": "_s + problem);
    }
    return document.document_element();
}

std::vector<Relationship> OoxmlPresentation::readRelationships(std::string_view sourcePart, bool required,
                                                               std::string& buffer, pugi::xml_document& document) {
    const std::string partName = relationshipsPartOf(sourcePart);
    std::vector<Relationship> relationships;
    if (!m_package->contains(partName)) {
        if (required)
            fail(u"not a presentation package: the package relationships (%1) are missing"_s.arg(fromUtf8(partName)));
        return relationships;
    }
    const pugi::xml_node root = parsePart(partName, 0, buffer, document);
    const xml::Scope rootScope(namespaces(), root);
    if (!rootScope.is(root, Rels, "Relationships"))
        fail(u"damaged part %1: not a relationships part"_s.arg(fromUtf8(partName)));
    for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element)
            continue;
        const xml::Scope scope(rootScope, child);
        if (!scope.is(child, Rels, "Relationship"))
            continue;
        Relationship relationship;
        relationship.id = child.attribute("Id").value();
        relationship.type = child.attribute("Type").value();
        // An external target points outside the package and is never opened.
        relationship.external = std::string_view(child.attribute("TargetMode").value()) == "External";
        if (!relationship.external)
            relationship.target = child.attribute("Target").value();
        relationships.push_back(relationship);
    }
    return relationships;
}

std::string OoxmlPresentation::contentTypeOf(std::string_view part) {
    const pugi::xml_node root = parsePart("[Content_Types].xml");
    const xml::Scope rootScope(namespaces(), root);
    if (!rootScope.is(root, Types, "Types"))
        fail(u"damaged part [Content_Types].xml: not a content types part"_s);
    const std::string partName = "/" + std::string(part);
    const size_t dot = part.rfind('.');
    const std::string_view extension = dot == std::string_view::npos ? std::string_view() : part.substr(dot + 1);
    std::string_view byDefault;
    bool defaulted = false;
    for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element)
            continue;
        const xml::Scope scope(rootScope, child);
        const xml::Name name = scope.name(child);
        // An Override for the part wins over the Default for its extension; both compare ignoring case.
        if (name.is(Types, "Override") && equalsIgnoringAsciiCase(child.attribute("PartName").value(), partName))
            return child.attribute("ContentType").value();
        if (name.is(Types, "Default") && !defaulted &&
            equalsIgnoringAsciiCase(child.attribute("Extension").value(), extension)) {
            byDefault = child.attribute("ContentType").value();
            // An empty content type counts as none, and a later Default may still give one.
            defaulted = !byDefault.empty();
        }
    }
    return std::string(byDefault);
}

OoxmlPresentation::OoxmlPresentation(std::unique_ptr<ZipPackage> package)
    : PresentationDocument(package->fileName()), m_package(std::move(package)) {
    if (m_package->recovered())
        m_damage.emplace(DocumentDamage{m_package->damage(), {}, false});
    if (!readSlideList())
        readSurvivingSlides();
    m_document.reset();
    std::unordered_map<std::string_view, int> listed;
    for (const std::string& part : m_slideParts)
        if (++listed[part] == 2)
            m_repeatedParts.emplace(part, std::nullopt);
}

bool OoxmlPresentation::readSlideList() {
    // A package read without its zip directory may have lost any part: what the slide list needs is
    // then looked for first, and its loss is no failure.
    const bool recovered = m_package->recovered();
    if (recovered && !m_package->contains(relationshipsPartOf("")))
        return false;
    // The main part is whatever the package relationships name, never a fixed name.
    std::string mainPart;
    for (const Relationship& relationship : readRelationships("", true, m_buffer, m_document))
        if (!relationship.external && oneOf(relationship.type, OfficeDocumentTypes)) {
            mainPart = resolveTarget("", relationship.target);
            break;
        }
    if (mainPart.empty())
        fail(u"not a presentation package: it names no main document part"_s);
    m_mainPart = mainPart;
    if (!m_package->contains(mainPart)) {
        if (recovered)
            return false;
        fail(u"not a presentation package: its main part %1 is missing"_s.arg(fromUtf8(mainPart)));
    }
    // Without the content types, the main part's root element below still tells a presentation.
    if (!recovered || m_package->contains("[Content_Types].xml")) {
        const std::string contentType = contentTypeOf(mainPart);
        if (!oneOf(contentType, MainContentTypes))
            fail(u"not a presentation package: its main part is of type %1"_s.arg(
                contentType.empty() ? u"(none)"_s : fromUtf8(contentType)));
    }
    if (recovered && !m_package->contains(relationshipsPartOf(mainPart)))
        return false;

    // The main part's relationships stay parsed in a document of their own while the main part is read.
    std::string relationshipsBuffer;
    pugi::xml_document relationshipsDocument;
    std::vector<Relationship> relationships =
        readRelationships(mainPart, false, relationshipsBuffer, relationshipsDocument);
    // Looked up once per slide: sorted by id (the first of equal ids first), so very many slides
    // cannot take quadratic time.
    std::stable_sort(relationships.begin(), relationships.end(),
                     [](const Relationship& a, const Relationship& b) { return a.id < b.id; });
    const pugi::xml_node root = parsePart(mainPart);
    const xml::Scope rootScope(namespaces(), root);
    if (!rootScope.is(root, P, "presentation"))
        fail(u"damaged part %1: not a presentation part"_s.arg(fromUtf8(mainPart)));
    // The slide order is the order of p:sldIdLst; the numeric ids and the part names say nothing about it.
    for (pugi::xml_node list = root.first_child(); list; list = list.next_sibling()) {
        if (list.type() != pugi::node_element)
            continue;
        const xml::Scope listScope(rootScope, list);
        if (!listScope.is(list, P, "sldIdLst"))
            continue;
        for (pugi::xml_node entry = list.first_child(); entry; entry = entry.next_sibling()) {
            if (entry.type() != pugi::node_element)
                continue;
            const xml::Scope scope(listScope, entry);
            if (!scope.is(entry, P, "sldId"))
                continue;
            const std::string_view id = scope.attribute(entry, R, "id").value();
            const int number = static_cast<int>(m_slideParts.size()) + 1;
            const auto match = std::lower_bound(relationships.begin(), relationships.end(), id,
                                                [](const Relationship& r, std::string_view key) { return r.id < key; });
            const Relationship* found = match == relationships.end() || match->id != id ? nullptr : &*match;
            if (found == nullptr || found->external || !oneOf(found->type, SlideTypes))
                fail(u"damaged part %1: slide %2 refers to no slide part"_s.arg(fromUtf8(mainPart)).arg(number));
            std::string part = resolveTarget(mainPart, found->target);
            if (!m_package->contains(part) && m_package->contains(percentDecoded(part)))
                part = percentDecoded(part);
            // A slide whose part did not survive keeps its place and gives nothing.
            if (!m_package->contains(part)) {
                if (!recovered)
                    fail(u"slide %1 is damaged: its part %2 is missing"_s.arg(number).arg(fromUtf8(part)));
                m_damage->lostSlides.push_back(number);
            }
            m_slideParts.push_back(std::move(part));
        }
        break;
    }
    return true;
}

namespace {

// Compares part names as a person orders them: runs of digits by their value ("slide2.xml" before
// "slide10.xml"), everything else by its bytes, ignoring ASCII case.
bool naturallyBefore(std::string_view a, std::string_view b) {
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            // Leading zeros say nothing about the value; the longer run of what remains is the larger.
            while (i < a.size() && a[i] == '0')
                ++i;
            while (j < b.size() && b[j] == '0')
                ++j;
            size_t endA = i, endB = j;
            while (endA < a.size() && isDigit(a[endA]))
                ++endA;
            while (endB < b.size() && isDigit(b[endB]))
                ++endB;
            const std::string_view runA = a.substr(i, endA - i), runB = b.substr(j, endB - j);
            if (runA.size() != runB.size())
                return runA.size() < runB.size();
            if (runA != runB)
                return runA < runB;
            i = endA;
            j = endB;
            continue;
        }
        if (lower(a[i]) != lower(b[j]))
            return lower(a[i]) < lower(b[j]);
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

} // namespace

void OoxmlPresentation::readSurvivingSlides() {
    // The slide list is lost with the part that holds it or resolves it: the slides are the slide
    // parts that survived, by the folder producers put them in, in the order of their names.
    m_damage->slideListLost = true;
    m_slideParts.clear();
    for (const std::string& name : m_package->names()) {
        const std::string_view folder = folderOf(name);
        const std::string_view inFolder = folder.empty() ? folder : folder.substr(0, folder.size() - 1);
        const std::string_view lastFolder = inFolder.substr(folderOf(inFolder).size());
        const std::string_view file = std::string_view(name).substr(folder.size());
        if (equalsIgnoringAsciiCase(lastFolder, "slides") && file.size() > 4 &&
            equalsIgnoringAsciiCase(file.substr(file.size() - 4), ".xml"))
            m_slideParts.push_back(name);
    }
    std::sort(m_slideParts.begin(), m_slideParts.end(), naturallyBefore);
    if (m_slideParts.empty())
        fail(u"damaged zip archive (%1): no slide survived"_s.arg(m_damage->cause));
}

const std::vector<ShapeInfo>& OoxmlPresentation::readShapes(int slide) {
    if (slide < 1 || slide > slideCount())
        fail(u"there is no slide %1"_s.arg(slide));
    if (slide == m_cachedSlide)
        return *m_cached;
    static const std::vector<ShapeInfo> none;
    if (lost(slide))
        return none;
    m_cachedSlide = 0;
    const auto repeated = m_repeatedParts.find(m_slideParts[static_cast<size_t>(slide - 1)]);
    if (repeated != m_repeatedParts.end() && repeated->second) {
        m_cached = &*repeated->second;
        m_cachedSlide = slide;
        return *m_cached;
    }
    m_shapes.clear();
    const pugi::xml_node root = parsePart(m_slideParts.at(static_cast<size_t>(slide - 1)), slide);
    const xml::Scope rootScope(namespaces(), root);
    if (!rootScope.is(root, P, "sld"))
        fail(u"slide %1 is damaged: %2 is not a slide part"_s.arg(slide).arg(
            fromUtf8(m_slideParts[static_cast<size_t>(slide - 1)])));
    const std::string_view show = rootScope.attribute(root, xml::NoNamespace, "show").value();
    m_hiddenParts[m_slideParts[static_cast<size_t>(slide - 1)]] = show == "0" || show == "false";
    for (pugi::xml_node data = root.first_child(); data; data = data.next_sibling()) {
        if (data.type() != pugi::node_element)
            continue;
        const xml::Scope dataScope(rootScope, data);
        if (!dataScope.is(data, P, "cSld"))
            continue;
        for (pugi::xml_node tree = data.first_child(); tree; tree = tree.next_sibling()) {
            if (tree.type() != pugi::node_element)
                continue;
            const xml::Scope treeScope(dataScope, tree);
            if (treeScope.is(tree, P, "spTree")) {
                try {
                    collectShapes(treeScope, tree, m_shapes);
                } catch (const ReadError& error) {
                    // The walk only ever stops at the nesting cap.
                    failSlide(slide, u": "_s + error.description());
                }
                break;
            }
        }
        break;
    }
    m_cached = &m_shapes;
    if (repeated != m_repeatedParts.end()) {
        m_cached = &repeated->second.emplace(std::move(m_shapes));
        m_shapes.clear();
    }
    m_cachedSlide = slide;
    return *m_cached;
}

// Calls visit(scope, branch) for the branch of an mc:AlternateContent the reader takes: the first
// mc:Choice whose required namespaces are all ones it understands (PresentationML and DrawingML, in
// either form), else the mc:Fallback, else none.
template <typename Visit>
void visitChosenBranch(const xml::Scope& alternateScope, pugi::xml_node alternate, Visit&& visit) {
    pugi::xml_node fallback;
    for (pugi::xml_node branch = alternate.first_child(); branch; branch = branch.next_sibling()) {
        if (branch.type() != pugi::node_element)
            continue;
        const xml::Scope scope(alternateScope, branch);
        const xml::Name name = scope.name(branch);
        if (name.is(MC, "Choice")) {
            const std::string_view required = branch.attribute("Requires").value();
            bool understood = false;
            size_t at = 0;
            while (at < required.size()) {
                const size_t start = required.find_first_not_of(" \t\r\n", at);
                if (start == std::string_view::npos)
                    break;
                const size_t end = std::min(required.find_first_of(" \t\r\n", start), required.size());
                const int ns = scope.namespaceOf(required.substr(start, end - start));
                understood = ns == P || ns == A;
                if (!understood)
                    break;
                at = end;
            }
            if (understood) {
                visit(scope, branch);
                return;
            }
        } else if (name.is(MC, "Fallback") && !fallback) {
            fallback = branch;
        }
    }
    if (fallback) {
        const xml::Scope scope(alternateScope, fallback);
        visit(scope, fallback);
    }
}

// The Scope of a child the walk descends into, refusing to go past the nesting cap.
struct ChildScope : xml::Scope {
    ChildScope(const xml::Scope& parent, pugi::xml_node child) : xml::Scope(parent, child) {
        xml::requireDepth(depth());
    }
};

// The first child of element in PresentationML or DrawingML (ns) whose local name passes test.
template <typename Test>
std::optional<std::pair<ChildScope, pugi::xml_node>> childWhere(const xml::Scope& scope, pugi::xml_node element, int ns,
                                                                Test&& test) {
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        const xml::QName qname = xml::splitName(child.name());
        if (child.type() != pugi::node_element || !test(qname.local))
            continue;
        ChildScope childScope(scope, child);
        if (childScope.namespaceOf(qname.prefix) == ns)
            return std::pair<ChildScope, pugi::xml_node>{std::move(childScope), child};
    }
    return std::nullopt;
}

std::optional<std::pair<ChildScope, pugi::xml_node>> childNamed(const xml::Scope& scope, pugi::xml_node element, int ns,
                                                                std::string_view local) {
    return childWhere(scope, element, ns, [&](std::string_view name) { return name == local; });
}

// The non-visual properties of a shape (p:nvSpPr, p:nvPicPr, p:nvGrpSpPr, ...).
std::optional<std::pair<ChildScope, pugi::xml_node>> nonVisualProperties(const xml::Scope& scope,
                                                                         pugi::xml_node shape) {
    return childWhere(scope, shape, P, [](std::string_view name) {
        return name.size() > 4 && name.starts_with("nv") && name.ends_with("Pr");
    });
}

// The name of a shape as its p:cNvPr gives it.
QString shapeName(const xml::Scope& scope, pugi::xml_node shape) {
    const auto properties = nonVisualProperties(scope, shape);
    if (!properties)
        return {};
    const auto common = childNamed(properties->first, properties->second, P, "cNvPr");
    return common ? fromUtf8(common->first.attribute(common->second, xml::NoNamespace, "name").value()) : QString();
}

// The alternative text of a shape as its p:cNvPr gives it (@descr).
QString shapeDescription(const xml::Scope& scope, pugi::xml_node shape) {
    const auto properties = nonVisualProperties(scope, shape);
    if (!properties)
        return {};
    const auto common = childNamed(properties->first, properties->second, P, "cNvPr");
    if (!common)
        return {};
    QString text;
    xml::appendText(text, common->first.attribute(common->second, xml::NoNamespace, "descr").value());
    return text;
}

// The placeholder type of a shape (p:nvPr/p:ph/@type, "obj" when not given), or "" for no placeholder.
std::string_view placeholderType(const xml::Scope& scope, pugi::xml_node shape) {
    const auto properties = nonVisualProperties(scope, shape);
    if (!properties)
        return {};
    const auto application = childNamed(properties->first, properties->second, P, "nvPr");
    if (!application)
        return {};
    const auto placeholder = childNamed(application->first, application->second, P, "ph");
    if (!placeholder)
        return {};
    const std::string_view type = placeholder->first.attribute(placeholder->second, xml::NoNamespace, "type").value();
    return type.empty() ? std::string_view("obj") : type;
}

ShapeKind kindOfPlaceholder(std::string_view type) {
    if (type == "title" || type == "ctrTitle")
        return ShapeKind::Title;
    if (type == "body" || type == "subTitle" || type == "obj")
        return ShapeKind::Body;
    return ShapeKind::Text;
}

bool isTrue(std::string_view value) {
    return value == "1" || value == "true";
}

// The walks below split each child's name once and look at its local part first, resolving the
// prefix only for the few names they act on: most elements of a slide (properties, styles) are
// skipped unresolved. Text and CDATA nodes have no name, so the local-name test skips them too.
void OoxmlPresentation::collectShapes(const xml::Scope& parent, pugi::xml_node container, std::vector<ShapeInfo>& out) {
    for (pugi::xml_node child = container.first_child(); child; child = child.next_sibling()) {
        const xml::QName qname = xml::splitName(child.name());
        const std::string_view local = qname.local;
        const bool textual = local == "sp";
        const bool other =
            local == "pic" || local == "cxnSp" || local == "grpSp" || local == "graphicFrame" || local == "contentPart";
        // p:nvGrpSpPr, p:grpSpPr and p:extLst are properties of the tree, not shapes.
        if (!textual && !other && local != "AlternateContent")
            continue;
        if (child.type() != pugi::node_element)
            continue;
        const ChildScope scope(parent, child);
        const int ns = scope.namespaceOf(qname.prefix);
        if (ns == P) {
            ShapeInfo info = textual ? textShape(scope, child) : ShapeInfo{};
            info.name = shapeName(scope, child);
            // A group's shapes and a table's cells are kept apart from the slide's own shapes.
            if (local == "grpSp") {
                info.kind = ShapeKind::Group;
                collectShapes(scope, child, info.items);
            } else if (local == "graphicFrame") {
                readTable(scope, child, info);
                if (info.kind != ShapeKind::Table)
                    readGraphicReference(scope, child, info);
            } else if (local == "pic") {
                info.kind = ShapeKind::Picture;
                info.description = shapeDescription(scope, child);
            }
            out.push_back(std::move(info));
        } else if (ns == MC && local == "AlternateContent")
            visitChosenBranch(scope, child, [&](const xml::Scope& branchScope, pugi::xml_node branch) {
                collectShapes(branchScope, branch, out);
            });
    }
}

// A table in a graphic frame (a:graphic/a:graphicData[@uri = the table URI]/a:tbl): its cells row by
// row, as wide as its grid or its widest row. A cell that a merged cell covers (hMerge, vMerge) is
// empty, whatever it holds.
void OoxmlPresentation::readTable(const xml::Scope& scope, pugi::xml_node frame, ShapeInfo& info) {
    const auto graphic = childNamed(scope, frame, A, "graphic");
    const auto data = graphic ? childNamed(graphic->first, graphic->second, A, "graphicData") : std::nullopt;
    if (!data || std::string_view(data->second.attribute("uri").value()) != TableUri)
        return;
    const auto table = childNamed(data->first, data->second, A, "tbl");
    if (!table)
        return;
    const auto& [tableScope, tableNode] = *table;
    info.kind = ShapeKind::Table;
    if (const auto grid = childNamed(tableScope, tableNode, A, "tblGrid"))
        for (pugi::xml_node column = grid->second.first_child(); column; column = column.next_sibling())
            if (column.type() == pugi::node_element && xml::splitName(column.name()).local == "gridCol")
                ++info.columns;
    std::vector<std::vector<QString>> rows;
    for (pugi::xml_node row = tableNode.first_child(); row; row = row.next_sibling()) {
        const xml::QName rowName = xml::splitName(row.name());
        if (rowName.local != "tr" || row.type() != pugi::node_element)
            continue;
        const ChildScope rowScope(tableScope, row);
        if (rowScope.namespaceOf(rowName.prefix) != A)
            continue;
        std::vector<QString>& cells = rows.emplace_back();
        for (pugi::xml_node cell = row.first_child(); cell; cell = cell.next_sibling()) {
            const xml::QName cellName = xml::splitName(cell.name());
            if (cellName.local != "tc" || cell.type() != pugi::node_element)
                continue;
            const ChildScope cellScope(rowScope, cell);
            if (cellScope.namespaceOf(cellName.prefix) != A)
                continue;
            QString& text = cells.emplace_back();
            if (isTrue(cellScope.attribute(cell, xml::NoNamespace, "hMerge").value()) ||
                isTrue(cellScope.attribute(cell, xml::NoNamespace, "vMerge").value()))
                continue;
            if (const auto body = childNamed(cellScope, cell, A, "txBody")) {
                bool first = true;
                m_text.begin(text);
                collectParagraphs(body->first, body->second, first);
                m_text.finish();
            }
        }
        info.columns = std::max(info.columns, static_cast<int>(cells.size()));
    }
    info.cells.reserve(rows.size() * static_cast<size_t>(info.columns));
    for (std::vector<QString>& cells : rows) {
        cells.resize(static_cast<size_t>(info.columns));
        std::move(cells.begin(), cells.end(), std::back_inserter(info.cells));
    }
}

ShapeInfo OoxmlPresentation::textShape(const xml::Scope& scope, pugi::xml_node shape) {
    ShapeInfo info;
    info.hasTextFrame = true;
    const std::string_view placeholder = placeholderType(scope, shape);
    info.kind = placeholder.empty() ? ShapeKind::Text : kindOfPlaceholder(placeholder);
    pugi::xml_node body;
    std::optional<ChildScope> bodyScope;
    for (pugi::xml_node child = shape.first_child(); child; child = child.next_sibling()) {
        const xml::QName qname = xml::splitName(child.name());
        if (qname.local != "txBody" && qname.local != "spPr")
            continue;
        ChildScope childScope(scope, child);
        if (childScope.namespaceOf(qname.prefix) != P)
            continue;
        if (qname.local == "txBody") {
            body = child;
            bodyScope.emplace(std::move(childScope));
        } else {
            // Other producers write lines as a p:sp with a line preset: those are lines, without text.
            for (pugi::xml_node geometry = child.first_child(); geometry; geometry = geometry.next_sibling()) {
                const xml::QName geometryName = xml::splitName(geometry.name());
                if (geometryName.local != "prstGeom")
                    continue;
                const ChildScope geometryScope(childScope, geometry);
                if (geometryScope.namespaceOf(geometryName.prefix) == A &&
                    oneOf(geometryScope.attribute(geometry, xml::NoNamespace, "prst").value(), LinePresets))
                    return ShapeInfo{};
            }
        }
    }
    if (body) {
        bool first = true;
        m_text.begin(info.text);
        collectParagraphs(*bodyScope, body, first);
        m_text.finish();
    }
    return info;
}

// The speaker notes: the body placeholder of the notes slide that the slide part's relationships name.
QString OoxmlPresentation::readNotes(int slide) {
    if (slide < 1 || slide > slideCount())
        fail(u"there is no slide %1"_s.arg(slide));
    if (lost(slide))
        return {};
    const std::string& slidePart = m_slideParts[static_cast<size_t>(slide - 1)];
    std::string relationshipsBuffer;
    pugi::xml_document relationshipsDocument;
    std::string notesPart;
    for (const Relationship& relationship :
         readRelationships(slidePart, false, relationshipsBuffer, relationshipsDocument))
        if (!relationship.external && oneOf(relationship.type, NotesSlideTypes)) {
            notesPart = resolveTarget(slidePart, relationship.target);
            break;
        }
    if (notesPart.empty() || !m_package->contains(notesPart))
        return {};
    // The shapes read are kept as text, so the slides' buffers can be reused.
    const pugi::xml_node root = parsePart(notesPart);
    const xml::Scope rootScope(namespaces(), root);
    if (!rootScope.is(root, P, "notes"))
        fail(u"damaged part %1: not a notes part"_s.arg(fromUtf8(notesPart)));
    QString notes;
    try {
        const auto data = childNamed(rootScope, root, P, "cSld");
        const auto tree = data ? childNamed(data->first, data->second, P, "spTree") : std::nullopt;
        if (!tree)
            return {};
        for (pugi::xml_node child = tree->second.first_child(); child; child = child.next_sibling()) {
            const xml::QName qname = xml::splitName(child.name());
            if (qname.local != "sp" || child.type() != pugi::node_element)
                continue;
            const ChildScope scope(tree->first, child);
            if (scope.namespaceOf(qname.prefix) != P || placeholderType(scope, child) != "body")
                continue;
            ShapeInfo body = textShape(scope, child);
            if (!notes.isEmpty() && !body.text.isEmpty())
                notes += u'\r';
            notes += body.text;
        }
    } catch (const ReadError& error) {
        // The walk only ever stops at the nesting cap.
        fail(u"damaged part "_s + fromUtf8(notesPart) + u": "_s + error.description());
    }
    return notes;
}

// Paragraphs are joined by CR, with nothing after the last one.
void OoxmlPresentation::collectParagraphs(const xml::Scope& parent, pugi::xml_node container, bool& first) {
    for (pugi::xml_node child = container.first_child(); child; child = child.next_sibling()) {
        const xml::QName qname = xml::splitName(child.name());
        if (qname.local != "p" && qname.local != "AlternateContent")
            continue;
        const ChildScope scope(parent, child);
        const int ns = scope.namespaceOf(qname.prefix);
        if (ns == A && qname.local == "p") {
            if (!first)
                m_text.appendSeparator(u'\r');
            first = false;
            collectRuns(scope, child);
        } else if (ns == MC && qname.local == "AlternateContent") {
            visitChosenBranch(scope, child, [&](const xml::Scope& branchScope, pugi::xml_node branch) {
                collectParagraphs(branchScope, branch, first);
            });
        }
    }
}

// A paragraph's runs and fields by their a:t text as it stands; a manual line break is VT.
void OoxmlPresentation::collectRuns(const xml::Scope& parent, pugi::xml_node container) {
    for (pugi::xml_node child = container.first_child(); child; child = child.next_sibling()) {
        const xml::QName qname = xml::splitName(child.name());
        const std::string_view local = qname.local;
        const bool run = local == "r" || local == "fld";
        if (!run && local != "br" && local != "AlternateContent")
            continue;
        const ChildScope scope(parent, child);
        const int ns = scope.namespaceOf(qname.prefix);
        if (ns == A && run) {
            for (pugi::xml_node part = child.first_child(); part; part = part.next_sibling()) {
                const xml::QName partName = xml::splitName(part.name());
                if (partName.local != "t")
                    continue;
                const ChildScope partScope(scope, part);
                if (partScope.namespaceOf(partName.prefix) == A)
                    m_text.appendElementText(part);
            }
        } else if (ns == A && local == "br") {
            m_text.appendSeparator(u'\v');
        } else if (ns == MC && local == "AlternateContent") {
            visitChosenBranch(scope, child, [&](const xml::Scope& branchScope, pugi::xml_node branch) {
                collectRuns(branchScope, branch);
            });
        }
    }
}

// A SmartArt graphic (its data model is the part of the r:dm relationship) or a chart (the part of
// c:chart's r:id): the relationship is kept, and the part read only when its texts are asked for.
void OoxmlPresentation::readGraphicReference(const xml::Scope& scope, pugi::xml_node frame, ShapeInfo& info) {
    const auto graphic = childNamed(scope, frame, A, "graphic");
    const auto data = graphic ? childNamed(graphic->first, graphic->second, A, "graphicData") : std::nullopt;
    if (!data)
        return;
    const std::string_view uri = data->second.attribute("uri").value();
    if (oneOf(uri, DiagramUris)) {
        if (const auto ids = childNamed(data->first, data->second, Dgm, "relIds")) {
            info.kind = ShapeKind::Diagram;
            info.source = ids->first.attribute(ids->second, R, "dm").value();
        }
    } else if (oneOf(uri, ChartUris)) {
        if (const auto chart = childNamed(data->first, data->second, C, "chart")) {
            info.kind = ShapeKind::Chart;
            info.source = chart->first.attribute(chart->second, R, "id").value();
        }
    }
}

bool OoxmlPresentation::readHidden(int slide) {
    if (slide < 1 || slide > slideCount() || lost(slide))
        return false;
    const auto found = m_hiddenParts.find(m_slideParts[static_cast<size_t>(slide - 1)]);
    return found != m_hiddenParts.end() && found->second;
}

QString OoxmlPresentation::bodyText(const xml::Scope& scope, pugi::xml_node container) {
    QString text;
    bool first = true;
    m_text.begin(text);
    collectParagraphs(scope, container, first);
    m_text.finish();
    return text;
}

std::vector<QString> OoxmlPresentation::readGraphicTexts(int slide, const ShapeInfo& shape) {
    if (slide < 1 || slide > slideCount() || lost(slide) || shape.source.empty() ||
        (shape.kind != ShapeKind::Diagram && shape.kind != ShapeKind::Chart))
        return {};
    const std::string& slidePart = m_slideParts[static_cast<size_t>(slide - 1)];
    std::string buffer;
    pugi::xml_document document;
    std::string part;
    for (const Relationship& relationship : readRelationships(slidePart, false, buffer, document))
        if (!relationship.external && relationship.id == shape.source) {
            part = resolveTarget(slidePart, relationship.target);
            break;
        }
    if (part.empty() || !m_package->contains(part))
        return {};
    const pugi::xml_node root = parsePart(part, 0, buffer, document);
    const xml::Scope rootScope(namespaces(), root);
    try {
        return shape.kind == ShapeKind::Diagram ? diagramTexts(rootScope, root) : chartTexts(rootScope, root);
    } catch (const ReadError& error) {
        fail(u"damaged part "_s + fromUtf8(part) + u": "_s + error.description());
    }
}

// The node texts of a diagram's data model, depth first along the parent-of connections from the
// document point, children by their source order. A point reached twice (connections that make a
// cycle, or a node with two parents) is walked once.
std::vector<QString> OoxmlPresentation::diagramTexts(const xml::Scope& rootScope, pugi::xml_node root) {
    if (!rootScope.is(root, Dgm, "dataModel"))
        throw ReadError(u"not a diagram data model"_s);
    struct Point {
        std::string_view type;
        QString text;
    };
    struct Connection {
        std::string_view source, destination;
        unsigned long order = 0;
    };
    std::unordered_map<std::string_view, Point> points;
    std::string_view documentPoint;
    std::vector<Connection> connections;
    for (pugi::xml_node list = root.first_child(); list; list = list.next_sibling()) {
        const xml::QName listName = xml::splitName(list.name());
        if (list.type() != pugi::node_element || (listName.local != "ptLst" && listName.local != "cxnLst"))
            continue;
        const ChildScope listScope(rootScope, list);
        if (listScope.namespaceOf(listName.prefix) != Dgm)
            continue;
        for (pugi::xml_node item = list.first_child(); item; item = item.next_sibling()) {
            if (item.type() != pugi::node_element)
                continue;
            const ChildScope scope(listScope, item);
            if (scope.is(item, Dgm, "pt")) {
                const std::string_view id = item.attribute("modelId").value();
                const std::string_view type = item.attribute("type").value();
                if (type == "doc" && documentPoint.empty())
                    documentPoint = id;
                Point point{type, {}};
                if (type.empty() || type == "node" || type == "asst")
                    if (const auto body = childNamed(scope, item, Dgm, "t"))
                        point.text = bodyText(body->first, body->second);
                points.emplace(id, std::move(point));
            } else if (scope.is(item, Dgm, "cxn")) {
                const std::string_view type = item.attribute("type").value();
                if (!type.empty() && type != "parOf")
                    continue;
                connections.push_back({item.attribute("srcId").value(), item.attribute("destId").value(),
                                       item.attribute("srcOrd").as_uint()});
            }
        }
    }
    if (documentPoint.empty())
        return {};
    // The children of each point in their order; equal orders keep the order of the list.
    std::stable_sort(connections.begin(), connections.end(), [](const Connection& a, const Connection& b) {
        return a.source != b.source ? a.source < b.source : a.order < b.order;
    });
    const auto childrenOf = [&](std::string_view point) {
        const auto first = std::lower_bound(connections.begin(), connections.end(), point,
                                            [](const Connection& c, std::string_view key) { return c.source < key; });
        auto last = first;
        while (last != connections.end() && last->source == point)
            ++last;
        return std::make_pair(first, last);
    };
    std::vector<QString> texts;
    std::unordered_map<std::string_view, bool> visited;
    // Depth first without recursion: a deep or hostile model cannot exhaust the stack.
    std::vector<std::string_view> pending{documentPoint};
    while (!pending.empty()) {
        const std::string_view id = pending.back();
        pending.pop_back();
        if (!visited.emplace(id, true).second)
            continue;
        const auto point = points.find(id);
        if (point != points.end() && !point->second.text.isEmpty())
            texts.push_back(point->second.text);
        const auto [first, last] = childrenOf(id);
        for (auto child = last; child != first;)
            pending.push_back((--child)->destination);
    }
    return texts;
}

namespace {

// The c:v texts of a string reference's cache or a literal value (c:tx), joined by spaces.
QString cachedText(const xml::Scope& scope, pugi::xml_node tx) {
    QString text;
    const auto append = [&](pugi::xml_node value) {
        if (!text.isEmpty())
            text += u' ';
        xml::appendElementText(text, value);
    };
    if (const auto value = childNamed(scope, tx, C, "v"))
        append(value->second);
    if (const auto reference = childNamed(scope, tx, C, "strRef"))
        if (const auto cache = childNamed(reference->first, reference->second, C, "strCache"))
            for (pugi::xml_node point = cache->second.first_child(); point; point = point.next_sibling()) {
                if (point.type() != pugi::node_element)
                    continue;
                const ChildScope pointScope(cache->first, point);
                if (pointScope.is(point, C, "pt"))
                    if (const auto value = childNamed(pointScope, point, C, "v"))
                        append(value->second);
            }
    return text;
}

} // namespace

// A chart's explicit texts: its title, each series' name in the plot area's order, each axis title.
// A title without c:tx is one the application makes up, and gives nothing.
std::vector<QString> OoxmlPresentation::chartTexts(const xml::Scope& rootScope, pugi::xml_node root) {
    if (!rootScope.is(root, C, "chartSpace"))
        throw ReadError(u"not a chart part"_s);
    std::vector<QString> texts;
    const auto give = [&](QString text) {
        if (!text.isEmpty())
            texts.push_back(std::move(text));
    };
    const auto titleOf = [&](const xml::Scope& scope, pugi::xml_node owner) {
        const auto title = childNamed(scope, owner, C, "title");
        const auto tx = title ? childNamed(title->first, title->second, C, "tx") : std::nullopt;
        if (!tx)
            return;
        if (const auto rich = childNamed(tx->first, tx->second, C, "rich"))
            give(bodyText(rich->first, rich->second));
        else
            give(cachedText(tx->first, tx->second));
    };
    const auto chart = childNamed(rootScope, root, C, "chart");
    if (!chart)
        return texts;
    titleOf(chart->first, chart->second);
    const auto plotArea = childNamed(chart->first, chart->second, C, "plotArea");
    if (!plotArea)
        return texts;
    std::vector<std::pair<ChildScope, pugi::xml_node>> axes;
    for (pugi::xml_node child = plotArea->second.first_child(); child; child = child.next_sibling()) {
        const xml::QName name = xml::splitName(child.name());
        const bool axis =
            name.local == "catAx" || name.local == "valAx" || name.local == "dateAx" || name.local == "serAx";
        if (child.type() != pugi::node_element || (!axis && !name.local.ends_with("Chart")))
            continue;
        ChildScope scope(plotArea->first, child);
        if (scope.namespaceOf(name.prefix) != C)
            continue;
        if (axis) {
            axes.emplace_back(std::move(scope), child);
            continue;
        }
        for (pugi::xml_node series = child.first_child(); series; series = series.next_sibling()) {
            if (series.type() != pugi::node_element)
                continue;
            const ChildScope seriesScope(scope, series);
            if (!seriesScope.is(series, C, "ser"))
                continue;
            if (const auto tx = childNamed(seriesScope, series, C, "tx"))
                give(cachedText(tx->first, tx->second));
        }
    }
    for (const auto& [scope, axis] : axes)
        titleOf(scope, axis);
    return texts;
}

void OoxmlPresentation::readAuthors() {
    if (m_authorsRead || m_mainPart.empty())
        return;
    m_authorsRead = true;
    std::string buffer;
    pugi::xml_document document;
    std::vector<std::pair<std::string, bool>> parts; // the part, and whether it is the threaded form
    try {
        for (const Relationship& relationship : readRelationships(m_mainPart, false, buffer, document))
            if (!relationship.external &&
                (oneOf(relationship.type, CommentAuthorsTypes) || oneOf(relationship.type, AuthorsTypes)))
                parts.emplace_back(resolveTarget(m_mainPart, relationship.target),
                                   oneOf(relationship.type, AuthorsTypes));
        for (const auto& [part, threaded] : parts) {
            if (!m_package->contains(part))
                continue;
            const pugi::xml_node root = parsePart(part, 0, buffer, document);
            const xml::Scope rootScope(namespaces(), root);
            for (pugi::xml_node author = root.first_child(); author; author = author.next_sibling()) {
                if (author.type() != pugi::node_element)
                    continue;
                const ChildScope scope(rootScope, author);
                QString name;
                xml::appendText(name, author.attribute("name").value());
                if (threaded && scope.is(author, P188, "author"))
                    m_threadAuthors.emplace(author.attribute("id").value(), name);
                else if (!threaded && scope.is(author, P, "cmAuthor"))
                    m_legacyAuthors.emplace(author.attribute("id").value(), name);
            }
        }
    } catch (const ReadBudget::Exceeded&) {
        throw;
    } catch (const ReadError&) {
        // Damaged authors: the comments still come, without names.
    }
}

std::vector<SlideComment> OoxmlPresentation::readComments(int slide) {
    if (slide < 1 || slide > slideCount() || lost(slide))
        return {};
    const std::string& slidePart = m_slideParts[static_cast<size_t>(slide - 1)];
    std::string buffer;
    pugi::xml_document document;
    std::vector<std::string> legacy, threaded;
    for (const Relationship& relationship : readRelationships(slidePart, false, buffer, document)) {
        if (relationship.external)
            continue;
        if (oneOf(relationship.type, CommentsTypes))
            legacy.push_back(resolveTarget(slidePart, relationship.target));
        else if (oneOf(relationship.type, ThreadedCommentsTypes))
            threaded.push_back(resolveTarget(slidePart, relationship.target));
    }
    if (legacy.empty() && threaded.empty())
        return {};
    readAuthors();
    const auto authorOf = [](const std::unordered_map<std::string, QString>& authors, pugi::xml_node comment) {
        const auto found = authors.find(comment.attribute("authorId").value());
        return found == authors.end() ? QString() : found->second;
    };
    std::vector<SlideComment> comments;
    // A damaged comments part gives nothing; the slide's other comments parts still give theirs.
    const auto eachComment = [&](const std::string& part, auto&& read) {
        if (!m_package->contains(part))
            return;
        std::vector<SlideComment> found;
        try {
            const pugi::xml_node root = parsePart(part, 0, buffer, document);
            const xml::Scope rootScope(namespaces(), root);
            for (pugi::xml_node comment = root.first_child(); comment; comment = comment.next_sibling())
                if (comment.type() == pugi::node_element)
                    read(ChildScope(rootScope, comment), comment, found);
        } catch (const ReadBudget::Exceeded&) {
            throw;
        } catch (const ReadError&) {
            return;
        }
        std::move(found.begin(), found.end(), std::back_inserter(comments));
    };
    for (const std::string& part : legacy)
        eachComment(part, [&](const xml::Scope& scope, pugi::xml_node comment, std::vector<SlideComment>& found) {
            if (!scope.is(comment, P, "cm"))
                return;
            SlideComment item{authorOf(m_legacyAuthors, comment), {}};
            if (const auto text = childNamed(scope, comment, P, "text")) {
                xml::appendElementText(item.text, text->second);
                // Its text is plain: a line end in it parts paragraphs, as CR does in a shape's text.
                item.text.replace(u'\n', u'\r');
            }
            found.push_back(std::move(item));
        });
    for (const std::string& part : threaded)
        eachComment(part, [&](const xml::Scope& scope, pugi::xml_node comment, std::vector<SlideComment>& found) {
            if (!scope.is(comment, P188, "cm"))
                return;
            const auto add = [&](const xml::Scope& itemScope, pugi::xml_node item) {
                const auto body = childNamed(itemScope, item, P188, "txBody");
                found.push_back(
                    {authorOf(m_threadAuthors, item), body ? bodyText(body->first, body->second) : QString()});
            };
            add(scope, comment);
            if (const auto replies = childNamed(scope, comment, P188, "replyLst"))
                for (pugi::xml_node reply = replies->second.first_child(); reply; reply = reply.next_sibling()) {
                    if (reply.type() != pugi::node_element)
                        continue;
                    const ChildScope replyScope(replies->first, reply);
                    if (replyScope.is(reply, P188, "reply"))
                        add(replyScope, reply);
                }
        });
    return comments;
}

} // namespace

std::unique_ptr<PresentationDocument> openOoxmlPackage(std::unique_ptr<ZipPackage> package) {
    return std::make_unique<OoxmlPresentation>(std::move(package));
}

std::unique_ptr<PresentationDocument> openOoxmlPresentation(const QString& path) {
    return reportingReadErrors([&] { return openOoxmlPackage(std::make_unique<ZipPackage>(path)); });
}

} // namespace quorvane::office
