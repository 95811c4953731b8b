// The OOXML presentation reader (.pptx, .pptm, .ppsx, .ppsm, .potx, .potm; Transitional and Strict).
// It finds the main part through the package relationships and decides by its content type, takes the
// slide order from p:sldIdLst, and reads each slide part only when that slide is asked for.
#include "office/presentation/OoxmlPresentation.h"

#include "office/presentation/OoxmlDocument.h"

namespace quorvane::office {

namespace ooxml {

pugi::xml_node OoxmlDocument::parsePart(std::string_view part, int slide, std::string& buffer,
                                        pugi::xml_document& document) {
    if (slide <= 0)
        return ooxml::parsePart(*m_package, part, buffer, document);
    const QString problem = parsePartProblem(*m_package, part, buffer, document);
    if (!problem.isEmpty())
        failSlide(slide, u": "_s + problem);
    return document.document_element();
}

OoxmlDocument::OoxmlDocument(std::unique_ptr<ZipPackage> package)
    : PresentationDocument(package->fileName()), m_package(std::move(package)) {
    if (m_package->recovered())
        m_damage.emplace().cause = m_package->damage();
    if (!readSlideList())
        readSurvivingSlides();
    m_document.reset();
    std::unordered_map<std::string_view, int> listed;
    for (const std::string& part : m_slideParts)
        if (++listed[part] == 2)
            m_repeatedParts.emplace(part, std::nullopt);
}

bool OoxmlDocument::readSlideList() {
    // A package read without its zip directory may have lost any part: what the slide list needs is
    // then looked for first, and its loss is no failure.
    const bool recovered = m_package->recovered();
    if (recovered && !m_package->contains(relationshipsPartOf("")))
        return false;
    const std::string mainPart = findMainPart();
    m_mainPart = mainPart;
    if (!m_package->contains(mainPart)) {
        if (recovered)
            return false;
        fail(u"not a presentation package: its main part %1 is missing"_s.arg(fromUtf8(mainPart)));
    }
    // Without the content types, the main part's root element below still tells a presentation.
    if (!recovered || m_package->contains("[Content_Types].xml")) {
        const std::string contentType = contentTypeOf(*m_package, mainPart, m_buffer, m_document);
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
    listSlides(rootScope, root, relationships, recovered);
    return true;
}

std::string OoxmlDocument::findMainPart() {
    // The main part is whatever the package relationships name, never a fixed name.
    std::string mainPart;
    for (const Relationship& relationship : readRelationships("", true, m_buffer, m_document))
        if (!relationship.external && oneOf(relationship.type, OfficeDocumentTypes)) {
            mainPart = resolveTarget("", relationship.target);
            break;
        }
    if (mainPart.empty())
        fail(u"not a presentation package: it names no main document part"_s);
    return mainPart;
}

void OoxmlDocument::listSlides(const xml::Scope& rootScope, pugi::xml_node root,
                               const std::vector<Relationship>& relationships, bool recovered) {
    // The slide order is the order of p:sldIdLst; the numeric ids and the part names say nothing about it.
    const auto list = childNamed(rootScope, root, P, "sldIdLst");
    if (!list)
        return;
    forEachChildNamed(list->first, list->second, P, "sldId", [&](const xml::Scope& scope, pugi::xml_node entry) {
        const int number = static_cast<int>(m_slideParts.size()) + 1;
        std::string part = slidePartOf(scope.attribute(entry, R, "id").value(), number, relationships);
        // A slide whose part did not survive keeps its place and gives nothing.
        if (!m_package->contains(part)) {
            if (!recovered)
                fail(u"slide %1 is damaged: its part %2 is missing"_s.arg(number).arg(fromUtf8(part)));
            m_damage->lostSlides.push_back(number);
        }
        m_slideParts.push_back(std::move(part));
    });
}

std::string OoxmlDocument::slidePartOf(std::string_view id, int number,
                                       const std::vector<Relationship>& relationships) const {
    const auto match = std::lower_bound(relationships.begin(), relationships.end(), id,
                                        [](const Relationship& r, std::string_view key) { return r.id < key; });
    const Relationship* found = match == relationships.end() || match->id != id ? nullptr : &*match;
    if (found == nullptr || found->external || !oneOf(found->type, SlideTypes))
        fail(u"damaged part %1: slide %2 refers to no slide part"_s.arg(fromUtf8(m_mainPart)).arg(number));
    std::string part = resolveTarget(m_mainPart, found->target);
    if (!m_package->contains(part) && m_package->contains(percentDecoded(part)))
        part = percentDecoded(part);
    return part;
}

void OoxmlDocument::readSurvivingSlides() {
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

const std::vector<ShapeInfo>& OoxmlDocument::readShapes(int slide) {
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
    const auto data = childNamed(rootScope, root, P, "cSld");
    if (const auto tree = data ? childNamed(data->first, data->second, P, "spTree") : std::nullopt) {
        try {
            collectShapes(tree->first, tree->second, m_shapes);
        } catch (const ReadError& error) {
            // The walk only ever stops at the nesting cap.
            failSlide(slide, u": "_s + error.description());
        }
    }
    m_cached = &m_shapes;
    if (repeated != m_repeatedParts.end()) {
        m_cached = &repeated->second.emplace(std::move(m_shapes));
        m_shapes.clear();
    }
    m_cachedSlide = slide;
    return *m_cached;
}

bool OoxmlDocument::relationshipsLost(int slide) const {
    return m_package->recovered() &&
           !m_package->contains(relationshipsPartOf(m_slideParts[static_cast<size_t>(slide - 1)]));
}

std::vector<Relationship> OoxmlDocument::slideRelationships(int slide, std::string& buffer,
                                                            pugi::xml_document& document) {
    const std::string& slidePart = m_slideParts[static_cast<size_t>(slide - 1)];
    if (relationshipsLost(slide)) {
        lose(LostItem::Kind::Relationships, slide,
             ReadError(fromUtf8(relationshipsPartOf(slidePart)) + u": the part is missing"_s));
        return {};
    }
    return readRelationships(slidePart, false, buffer, document);
}

// The speaker notes: the body placeholder of the notes slide that the slide part's relationships name.
QString OoxmlDocument::readNotes(int slide) {
    if (slide < 1 || slide > slideCount())
        fail(u"there is no slide %1"_s.arg(slide));
    if (lost(slide))
        return {};
    const std::string& slidePart = m_slideParts[static_cast<size_t>(slide - 1)];
    std::string relationshipsBuffer;
    pugi::xml_document relationshipsDocument;
    std::string notesPart;
    for (const Relationship& relationship : slideRelationships(slide, relationshipsBuffer, relationshipsDocument))
        if (!relationship.external && oneOf(relationship.type, NotesSlideTypes)) {
            notesPart = resolveTarget(slidePart, relationship.target);
            break;
        }
    if (notesPart.empty())
        return {};
    // Notes whose part is missing (lost with the end of a file cut short, say) are lost; the slide
    // still reads.
    if (!m_package->contains(notesPart)) {
        lose(LostItem::Kind::Notes, slide, ReadError(fromUtf8(notesPart) + u": the part is missing"_s));
        return {};
    }
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

bool OoxmlDocument::readHidden(int slide) {
    if (slide < 1 || slide > slideCount() || lost(slide))
        return false;
    const auto found = m_hiddenParts.find(m_slideParts[static_cast<size_t>(slide - 1)]);
    return found != m_hiddenParts.end() && found->second;
}

} // namespace ooxml

std::unique_ptr<PresentationDocument> openOoxmlPackage(std::unique_ptr<ZipPackage> package) {
    return std::make_unique<ooxml::OoxmlDocument>(std::move(package));
}

std::unique_ptr<PresentationDocument> openOoxmlPresentation(const QString& path) {
    return reportingReadErrors([&] { return openOoxmlPackage(std::make_unique<ZipPackage>(path)); });
}

} // namespace quorvane::office
