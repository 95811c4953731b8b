// The shape walk of the OOXML reader: a slide's shape tree, groups, tables, lines, and the text of
// text bodies, through the branches of mc:AlternateContent the reader understands.
#include "office/presentation/OoxmlDocument.h"

namespace quorvane::office::ooxml {

namespace {

// Preset geometries of lines and connectors: a p:sp drawn with one of these is a line, not a text shape.
constexpr std::array<std::string_view, 10> LinePresets = {
    "line",           "straightConnector1", "bentConnector2",   "bentConnector3",   "bentConnector4",
    "bentConnector5", "curvedConnector2",   "curvedConnector3", "curvedConnector4", "curvedConnector5"};

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

} // namespace

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

// The walks below split each child's name once and look at its local part first, resolving the
// prefix only for the few names they act on: most elements of a slide (properties, styles) are
// skipped unresolved. Text and CDATA nodes have no name, so the local-name test skips them too.
void OoxmlDocument::collectShapes(const xml::Scope& parent, pugi::xml_node container, std::vector<ShapeInfo>& out) {
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
        ReadStop::checkpoint();
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
void OoxmlDocument::readTable(const xml::Scope& scope, pugi::xml_node frame, ShapeInfo& info) {
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
    forEachChildNamed(tableScope, tableNode, A, "tr", [&](const xml::Scope& rowScope, pugi::xml_node row) {
        std::vector<QString>& cells = rows.emplace_back();
        forEachChildNamed(rowScope, row, A, "tc", [&](const xml::Scope& cellScope, pugi::xml_node cell) {
            QString& text = cells.emplace_back();
            if (isTrue(cellScope.attribute(cell, xml::NoNamespace, "hMerge").value()) ||
                isTrue(cellScope.attribute(cell, xml::NoNamespace, "vMerge").value()))
                return;
            if (const auto body = childNamed(cellScope, cell, A, "txBody")) {
                bool first = true;
                m_text.begin(text);
                collectParagraphs(body->first, body->second, first);
                m_text.finish();
            }
        });
        info.columns = std::max(info.columns, static_cast<int>(cells.size()));
    });
    info.cells.reserve(rows.size() * static_cast<size_t>(info.columns));
    for (std::vector<QString>& cells : rows) {
        cells.resize(static_cast<size_t>(info.columns));
        std::move(cells.begin(), cells.end(), std::back_inserter(info.cells));
    }
}

ShapeInfo OoxmlDocument::textShape(const xml::Scope& scope, pugi::xml_node shape) {
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

// Paragraphs are joined by CR, with nothing after the last one.
void OoxmlDocument::collectParagraphs(const xml::Scope& parent, pugi::xml_node container, bool& first) {
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
void OoxmlDocument::collectRuns(const xml::Scope& parent, pugi::xml_node container) {
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
void OoxmlDocument::readGraphicReference(const xml::Scope& scope, pugi::xml_node frame, ShapeInfo& info) {
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

QString OoxmlDocument::bodyText(const xml::Scope& scope, pugi::xml_node container) {
    QString text;
    bool first = true;
    m_text.begin(text);
    collectParagraphs(scope, container, first);
    m_text.finish();
    return text;
}

} // namespace quorvane::office::ooxml
