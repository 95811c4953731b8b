#include "office/presentation/OoxmlPackage.h"

#include <QByteArray>

using namespace Qt::StringLiterals;

namespace quorvane::office::ooxml {

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
        {"http://schemas.microsoft.com/office/powerpoint/2012/main", P15},
    };
    return table;
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

std::string_view folderOf(std::string_view part) {
    const size_t slash = part.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : part.substr(0, slash + 1);
}

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

QString parsePartProblem(const ZipPackage& package, std::string_view part, std::string& buffer,
                         pugi::xml_document& document) {
    package.read(part, buffer);
    // The reader takes text only from a:t through the text collector, so text can stay in its element.
    return xml::parseInPlace(document, buffer, xml::EmbeddedTextParseOptions);
}

pugi::xml_node parsePart(const ZipPackage& package, std::string_view part, std::string& buffer,
                         pugi::xml_document& document) {
    const QString problem = parsePartProblem(package, part, buffer, document);
    if (!problem.isEmpty())
        package.fail(u"damaged part "_s + fromUtf8(part) + u": "_s + problem);
    return document.document_element();
}

std::vector<Relationship> readRelationships(const ZipPackage& package, std::string_view sourcePart, bool required,
                                            std::string& buffer, pugi::xml_document& document) {
    const std::string partName = relationshipsPartOf(sourcePart);
    std::vector<Relationship> relationships;
    if (!package.contains(partName)) {
        if (required)
            package.fail(
                u"not a presentation package: the package relationships (%1) are missing"_s.arg(fromUtf8(partName)));
        return relationships;
    }
    const pugi::xml_node root = parsePart(package, partName, buffer, document);
    const xml::Scope rootScope(namespaces(), root);
    if (!rootScope.is(root, Rels, "Relationships"))
        package.fail(u"damaged part %1: not a relationships part"_s.arg(fromUtf8(partName)));
    xml::forEachChildNamed(rootScope, root, Rels, "Relationship", [&](const xml::Scope&, pugi::xml_node child) {
        Relationship relationship;
        relationship.id = child.attribute("Id").value();
        relationship.type = child.attribute("Type").value();
        // An external target points outside the package and is never opened.
        relationship.external = std::string_view(child.attribute("TargetMode").value()) == "External";
        if (!relationship.external)
            relationship.target = child.attribute("Target").value();
        relationships.push_back(relationship);
    });
    return relationships;
}

std::string contentTypeOf(const ZipPackage& package, std::string_view part, std::string& buffer,
                          pugi::xml_document& document) {
    const pugi::xml_node root = parsePart(package, "[Content_Types].xml", buffer, document);
    const xml::Scope rootScope(namespaces(), root);
    if (!rootScope.is(root, Types, "Types"))
        package.fail(u"damaged part [Content_Types].xml: not a content types part"_s);
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

} // namespace quorvane::office::ooxml
