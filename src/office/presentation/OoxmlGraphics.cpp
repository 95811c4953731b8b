// The diagrams and charts of the OOXML reader: the node texts of a SmartArt graphic's data model and
// the explicit texts of a chart, read from their parts when asked for.
#include "office/presentation/OoxmlDocument.h"

namespace quorvane::office::ooxml {

namespace {

// A diagram's data model as far as its texts go: the points by id and the parent-of connections.
struct DiagramModel {
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
};

// The points and connections of the data model (root); text gives the text of a point's dgm:t.
template <typename Text> DiagramModel readDiagramModel(const xml::Scope& rootScope, pugi::xml_node root, Text&& text) {
    DiagramModel model;
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
                if (type == "doc" && model.documentPoint.empty())
                    model.documentPoint = id;
                DiagramModel::Point point{type, {}};
                if (type.empty() || type == "node" || type == "asst")
                    if (const auto body = childNamed(scope, item, Dgm, "t"))
                        point.text = text(body->first, body->second);
                model.points.emplace(id, std::move(point));
            } else if (scope.is(item, Dgm, "cxn")) {
                const std::string_view type = item.attribute("type").value();
                if (!type.empty() && type != "parOf")
                    continue;
                model.connections.push_back({item.attribute("srcId").value(), item.attribute("destId").value(),
                                             item.attribute("srcOrd").as_uint()});
            }
        }
    }
    return model;
}

// The texts of the model's points, depth first from the document point.
std::vector<QString> walkDiagram(DiagramModel& model) {
    using Connection = DiagramModel::Connection;
    std::vector<Connection>& connections = model.connections;
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
    std::vector<std::string_view> pending{model.documentPoint};
    while (!pending.empty()) {
        const std::string_view id = pending.back();
        pending.pop_back();
        if (!visited.emplace(id, true).second)
            continue;
        const auto point = model.points.find(id);
        if (point != model.points.end() && !point->second.text.isEmpty())
            texts.push_back(point->second.text);
        const auto [first, last] = childrenOf(id);
        for (auto child = last; child != first;)
            pending.push_back((--child)->destination);
    }
    return texts;
}

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
            forEachChildNamed(cache->first, cache->second, C, "pt",
                              [&](const xml::Scope& pointScope, pugi::xml_node point) {
                                  if (const auto value = childNamed(pointScope, point, C, "v"))
                                      append(value->second);
                              });
    return text;
}

} // namespace

std::vector<QString> OoxmlDocument::readGraphicTexts(int slide, const ShapeInfo& shape) {
    if (slide < 1 || slide > slideCount() || lost(slide) || shape.source.empty() ||
        (shape.kind != ShapeKind::Diagram && shape.kind != ShapeKind::Chart))
        return {};
    const std::string& slidePart = m_slideParts[static_cast<size_t>(slide - 1)];
    std::string buffer;
    pugi::xml_document document;
    std::string part;
    bool named = false;
    for (const Relationship& relationship : slideRelationships(slide, buffer, document))
        if (!relationship.external && relationship.id == shape.source) {
            part = resolveTarget(slidePart, relationship.target);
            named = true;
            break;
        }
    if (!named && relationshipsLost(slide))
        fail(fromUtf8(relationshipsPartOf(slidePart)) + u": the part is missing"_s);
    const QString what = shape.kind == ShapeKind::Diagram ? u"diagram data"_s : u"chart"_s;
    if (!named)
        fail(u"%1: the %2 %3 is not among its relationships"_s.arg(fromUtf8(slidePart), what, fromUtf8(shape.source)));
    if (part.empty())
        fail(u"%1: the %2 %3 points outside the package"_s.arg(fromUtf8(slidePart), what, fromUtf8(shape.source)));
    // A part is read once however many frames show it: its texts, or its failure, are kept.
    return m_graphicParts.of(part, [&] {
        if (!m_package->contains(part))
            fail(fromUtf8(part) + u": the part is missing"_s);
        const pugi::xml_node root = parsePart(part, 0, buffer, document);
        const xml::Scope rootScope(namespaces(), root);
        try {
            return shape.kind == ShapeKind::Diagram ? diagramTexts(rootScope, root) : chartTexts(rootScope, root);
        } catch (const ReadBudget::Exceeded&) {
            throw;
        } catch (const ReadError& error) {
            fail(u"damaged part "_s + fromUtf8(part) + u": "_s + error.description());
        }
    });
}

// The node texts of a diagram's data model, depth first along the parent-of connections from the
// document point, children by their source order. A point reached twice (connections that make a
// cycle, or a node with two parents) is walked once.
std::vector<QString> OoxmlDocument::diagramTexts(const xml::Scope& rootScope, pugi::xml_node root) {
    if (!rootScope.is(root, Dgm, "dataModel"))
        throw ReadError(u"not a diagram data model"_s);
    DiagramModel model = readDiagramModel(
        rootScope, root, [&](const xml::Scope& scope, pugi::xml_node body) { return bodyText(scope, body); });
    if (model.documentPoint.empty())
        return {};
    return walkDiagram(model);
}

// A chart's explicit texts: its title, each series' name in the plot area's order, each axis title.
// A title without c:tx is one the application makes up, and gives nothing.
std::vector<QString> OoxmlDocument::chartTexts(const xml::Scope& rootScope, pugi::xml_node root) {
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
        forEachChildNamed(scope, child, C, "ser", [&](const xml::Scope& seriesScope, pugi::xml_node series) {
            if (const auto tx = childNamed(seriesScope, series, C, "tx"))
                give(cachedText(tx->first, tx->second));
        });
    }
    for (const auto& [scope, axis] : axes)
        titleOf(scope, axis);
    return texts;
}

} // namespace quorvane::office::ooxml
