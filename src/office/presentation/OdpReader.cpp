// The reader of OpenDocument presentations: zipped (.odp, .otp) and flat XML (.fodp). The slides are
// the draw:page elements of the document body in order; a page's shapes are its drawing elements in
// document order; a group's shapes are its own drawing elements.
#include "office/presentation/OdpReader.h"

#include "office/presentation/OdfEncryption.h"

#include "office/presentation/FileAccess.h"
#include "office/presentation/OdpShapes.h"
#include "office/presentation/ReadError.h"
#include "office/presentation/XmlHelpers.h"
#include "office/presentation/ZipPackage.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

using namespace Qt::StringLiterals;

namespace quorvane::office {

namespace {

using namespace odp;

// The largest flat presentation read; larger ones are refused rather than parsed.
constexpr std::uint64_t kMaxFlatFile = std::uint64_t{512} << 20;

// The titles in a chart's document (root): chart:title elements of the chart, its plot area and axes.
std::vector<QString> chartTitles(const xml::Scope& rootScope, pugi::xml_node root, const SlideContext& context) {
    std::vector<QString> texts;
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
    walk(walk, rootScope, root);
    return texts;
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
        xml::forEachChildNamed(presentation, m_presentation, nsDraw, "page",
                               [&](const xml::Scope&, pugi::xml_node page) { m_pages.push_back(page); });
    }

    int slideCount() const override { return static_cast<int>(m_pages.size()); }
    const DocumentDamage* readDamage() const override { return m_damage ? &*m_damage : nullptr; }

    // Marks the presentation as read from a damaged package (content.xml came whole from it).
    void setDamage(const QString& cause) { m_damage.emplace().cause = cause; }

private:
    // The Scopes from the document element down to the page of a slide, for the names in force there.
    struct PageScopes {
        PageScopes(const OdpDocument& document, int slide)
            : node(document.m_pages[static_cast<std::size_t>(slide - 1)]), root(namespaces(), document.m_root),
              body(root, document.m_body), presentation(body, document.m_presentation), page(presentation, node) {}
        PageScopes(const PageScopes&) = delete;
        PageScopes& operator=(const PageScopes&) = delete;

        pugi::xml_node node;
        xml::Scope root, body, presentation, page;
    };

    const std::vector<ShapeInfo>& readShapes(int slide) override {
        if (slide < 1 || slide > slideCount())
            fail(u"there is no slide %1"_s.arg(slide));
        // The server asks for the shapes of a slide once for each of its members it calls on a shape:
        // the page is walked once, not once per call.
        if (slide == m_shapesSlide)
            return m_shapes;
        m_shapesSlide = 0;
        m_shapes.clear();
        const PageScopes scopes(*this, slide);
        const pugi::xml_node pageNode = scopes.node;
        const xml::Scope& page = scopes.page;
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
        const PageScopes scopes(*this, slide);
        const pugi::xml_node pageNode = scopes.node;
        const xml::Scope& page = scopes.page;
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
        const PageScopes scopes(*this, slide);
        const xml::Scope& root = scopes.root;
        const std::string_view styleName = scopes.page.attribute(scopes.node, nsDraw, "style-name").value();
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
        const PageScopes scopes(*this, slide);
        const pugi::xml_node pageNode = scopes.node;
        const xml::Scope& page = scopes.page;
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
            if (const pugi::xml_node date = childNamed(scope, child, nsDc, "date"))
                xml::appendElementText(comment.date, date);
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
        const pugi::xml_node object = offset < 0 ? pugi::xml_node() : objectAt(slide, offset);
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
        const std::string_view reference = scopes.back().attribute(object, nsXlink, "href").value();
        SlideContext context{slide, budget()};
        // The chart's document declares its own namespaces, or (inside a flat file) inherits them.
        if (reference.empty()) {
            const pugi::xml_node chartRoot = childNamed(scopes.back(), object, nsOffice, "document");
            return chartRoot ? chartTitles(xml::Scope(scopes.back(), chartRoot), chartRoot, context)
                             : std::vector<QString>();
        }
        return objectPartTexts(reference, context);
    }

    // The draw:object element that starts at offset in the page of slide, or a null node. The page's
    // objects are found in one walk, when the first of them is asked for.
    pugi::xml_node objectAt(int slide, std::ptrdiff_t offset) {
        if (slide != m_objectsSlide) {
            m_objects.clear();
            m_objectsSlide = slide;
            const pugi::xml_node page = m_pages[static_cast<std::size_t>(slide - 1)];
            // Depth first without recursion, as the page may be nested deep.
            for (pugi::xml_node node = page.first_child(); node && node != page;) {
                if (node.type() == pugi::node_element && xml::splitName(node.name()).local == "object")
                    m_objects.emplace(node.offset_debug(), node);
                if (node.first_child()) {
                    node = node.first_child();
                    continue;
                }
                while (node != page && !node.next_sibling())
                    node = node.parent();
                if (node != page)
                    node = node.next_sibling();
            }
        }
        const auto found = m_objects.find(offset);
        return found == m_objects.end() ? pugi::xml_node() : found->second;
    }

    // The titles of the object part that reference (an object's xlink:href) names: read once however
    // many frames show it, its failure (missing, damaged) too. Throws ReadError when it cannot be read.
    std::vector<QString> objectPartTexts(std::string_view reference, const SlideContext& context) {
        if (!m_package)
            return {};
        if (reference.starts_with("./"))
            reference.remove_prefix(2);
        // A reference to something outside the package (a linked file) is no part of it.
        if (reference.empty() || reference.find("..") != std::string_view::npos ||
            reference.find(':') != std::string_view::npos || reference.starts_with('/'))
            return {};
        const std::string part = std::string(reference) + "/content.xml";
        return m_objectParts.of(part, [&] {
            if (!m_package->contains(part))
                fail(QString::fromUtf8(part) + u": the part is missing"_s);
            std::string buffer;
            pugi::xml_document document;
            m_package->read(part, buffer);
            if (const QString problem = xml::parseInPlace(document, buffer, xml::SpaceKeepingParseOptions);
                !problem.isEmpty())
                fail(u"damaged part "_s + QString::fromUtf8(part) + u": "_s + problem);
            const pugi::xml_node chartRoot = document.document_element();
            return chartTitles(xml::Scope(namespaces(), chartRoot), chartRoot, context);
        });
    }

    // The first child element of element named ns:local, or a null node.
    static pugi::xml_node childNamed(const xml::Scope& parent, pugi::xml_node element, int ns, std::string_view local) {
        const auto found = xml::childNamed(parent, element, ns, local);
        return found ? found->second : pugi::xml_node();
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
    // The draw:object elements of one slide's page by where they start (see objectAt).
    std::unordered_map<std::ptrdiff_t, pugi::xml_node> m_objects;
    int m_objectsSlide = 0;
    // The texts of each object part read so far, or why it could not be read.
    PartTexts m_objectParts;
    std::optional<DocumentDamage> m_damage;
};

} // namespace

std::unique_ptr<PresentationDocument> openOpenDocumentPackage(std::unique_ptr<ZipPackage> owned,
                                                              PasswordSource* passwords) {
    const ZipPackage& package = *owned;
    if (package.contains("mimetype")) {
        const std::string type = package.read("mimetype");
        if (type != "application/vnd.oasis.opendocument.presentation" &&
            type != "application/vnd.oasis.opendocument.presentation-template")
            package.fail(u"not a presentation: the OpenDocument package is of type "_s + QString::fromUtf8(type));
    }
    // A password-protected package lists how each part is encrypted; they are decrypted as they are read.
    if (package.contains("META-INF/manifest.xml"))
        if (const std::string manifest = package.read("META-INF/manifest.xml"); manifestListsEncryption(manifest))
            owned->setDecryption(unlockOpenDocument(manifest, package, passwords));
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

std::unique_ptr<PresentationDocument> openOpenDocumentPresentation(const QString& path, PasswordSource* passwords) {
    return reportingReadErrors([&] { return openOpenDocumentPackage(std::make_unique<ZipPackage>(path), passwords); });
}

std::unique_ptr<PresentationDocument> openFlatOpenDocumentPresentation(const QString& path) {
    return reportingReadErrors([&]() -> std::unique_ptr<PresentationDocument> {
        std::string content = readWholeFile(
            path, kMaxFlatFile, u"too large for a flat presentation (over %1 MiB)"_s.arg(kMaxFlatFile >> 20));
        return std::make_unique<OdpDocument>(displayName(path), QString(), std::move(content));
    });
}

} // namespace quorvane::office
