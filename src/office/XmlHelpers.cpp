#include "XmlHelpers.h"

#include <algorithm>
#include <cstring>

using namespace Qt::StringLiterals;

namespace quorvane::office::xml {

QString parseInPlace(pugi::xml_document& document, std::string& buffer) {
    const pugi::xml_parse_result result =
        document.load_buffer_inplace(buffer.data(), buffer.size(), ParseOptions, pugi::encoding_auto);
    if (!result)
        return u"not well-formed XML at byte %1: %2"_s.arg(result.offset).arg(QString::fromUtf8(result.description()));
    if (!document.document_element())
        return u"no XML element"_s;
    // pugixml parses without recursion, so the depth is checked on the finished tree, iteratively.
    // Depth 1 is the document element; text inside the deepest allowed element is fine.
    int depth = 1;
    pugi::xml_node node = document.first_child();
    while (node) {
        if (node.first_child()) {
            node = node.first_child();
            if (++depth > MaxDepth && node.type() == pugi::node_element)
                return u"elements nested deeper than %1 levels"_s.arg(MaxDepth);
            continue;
        }
        while (node && !node.next_sibling()) {
            node = node.parent();
            --depth;
            if (node == document)
                return {};
        }
        if (node)
            node = node.next_sibling();
    }
    return {};
}

NamespaceTable::NamespaceTable(std::initializer_list<std::pair<std::string_view, int>> entries)
    : m_entries(entries) {}

int NamespaceTable::idOf(std::string_view uri) const {
    for (const auto& [known, id] : m_entries)
        if (known == uri)
            return id;
    return OtherNamespace;
}

Scope::Scope(const NamespaceTable& table, pugi::xml_node element) : m_table(&table), m_parent(nullptr) {
    declare(element);
}

Scope::Scope(const Scope& parent, pugi::xml_node element)
    : m_table(parent.m_table), m_parent(parent.m_bindings.empty() ? parent.m_parent : &parent) {
    declare(element);
}

void Scope::declare(pugi::xml_node element) {
    for (pugi::xml_attribute attribute = element.first_attribute(); attribute; attribute = attribute.next_attribute()) {
        const char* name = attribute.name();
        if (std::strncmp(name, "xmlns", 5) != 0)
            continue;
        if (name[5] == '\0')
            // xmlns="" takes the default namespace away again.
            m_bindings.push_back({std::string_view(), *attribute.value() == '\0' ? NoNamespace
                                                                                 : m_table->idOf(attribute.value())});
        else if (name[5] == ':')
            m_bindings.push_back({std::string_view(name + 6), m_table->idOf(attribute.value())});
    }
}

int Scope::namespaceOf(std::string_view prefix) const {
    for (const Scope* scope = this; scope != nullptr; scope = scope->m_parent)
        for (const Binding& binding : scope->m_bindings)
            if (binding.prefix == prefix)
                return binding.ns;
    return prefix.empty() ? NoNamespace : OtherNamespace;
}

Name Scope::name(pugi::xml_node element) const {
    const std::string_view qname = element.name();
    const size_t colon = qname.find(':');
    if (colon == std::string_view::npos)
        return {namespaceOf({}), qname};
    return {namespaceOf(qname.substr(0, colon)), qname.substr(colon + 1)};
}

Name Scope::name(pugi::xml_attribute attribute) const {
    const std::string_view qname = attribute.name();
    const size_t colon = qname.find(':');
    if (colon == std::string_view::npos)
        return {NoNamespace, qname};
    return {namespaceOf(qname.substr(0, colon)), qname.substr(colon + 1)};
}

pugi::xml_attribute Scope::attribute(pugi::xml_node element, int ns, std::string_view local) const {
    for (pugi::xml_attribute attribute = element.first_attribute(); attribute; attribute = attribute.next_attribute())
        if (name(attribute).is(ns, local))
            return attribute;
    return {};
}

std::string_view localName(const char* qname) {
    const char* colon = std::strchr(qname, ':');
    return colon != nullptr ? std::string_view(colon + 1) : std::string_view(qname);
}

void appendText(QString& out, std::string_view utf8) {
    const qsizetype start = out.size();
    out += QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    // Almost all text is clean: only compact when a character has to go.
    QChar* begin = out.data() + start;
    QChar* const end = out.data() + out.size();
    auto unwanted = [](QChar c) {
        const char16_t u = c.unicode();
        return (u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || u == 0xFFFE || u == 0xFFFF;
    };
    QChar* write = std::find_if(begin, end, unwanted);
    if (write == end)
        return;
    for (QChar* read = write; read != end; ++read)
        if (!unwanted(*read))
            *write++ = *read;
    out.truncate(write - out.data());
}

void appendElementText(QString& out, pugi::xml_node element) {
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            appendText(out, child.value());
}

} // namespace quorvane::office::xml
