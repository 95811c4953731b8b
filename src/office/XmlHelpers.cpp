#include "XmlHelpers.h"

#include <QStringDecoder>

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
    return {};
}

QString tooDeepReason() {
    return u"elements nested deeper than %1 levels"_s.arg(MaxDepth);
}

NamespaceTable::NamespaceTable(std::initializer_list<std::pair<std::string_view, int>> entries)
    : m_entries(entries) {}

int NamespaceTable::idOf(std::string_view uri) const {
    for (const auto& [known, id] : m_entries)
        if (known == uri)
            return id;
    return OtherNamespace;
}

Scope::Scope(const NamespaceTable& table, pugi::xml_node element) : m_table(&table), m_parent(nullptr), m_depth(1) {
    declare(element);
}

Scope::Scope(const Scope& parent, pugi::xml_node element)
    : m_table(parent.m_table), m_parent(parent.m_bindings.empty() ? parent.m_parent : &parent),
      m_depth(parent.m_depth + 1) {
    declare(element);
}

void Scope::declare(pugi::xml_node element) {
    for (pugi::xml_attribute attribute = element.first_attribute(); attribute; attribute = attribute.next_attribute()) {
        const char* name = attribute.name();
        if (name[0] != 'x' || std::strncmp(name, "xmlns", 5) != 0)
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
    // One pass, no library calls: the readers ask this of nearly every element they meet.
    const char* start = qname;
    const char* end = qname;
    for (; *end != '\0'; ++end)
        if (*end == ':')
            start = end + 1;
    return std::string_view(start, static_cast<size_t>(end - start));
}

void appendText(QString& out, std::string_view utf8) {
    // Most slide text is plain ASCII without control characters: append it without a detour.
    bool plain = true;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 || (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r')) {
            plain = false;
            break;
        }
    }
    if (plain) {
        out.append(QLatin1StringView(utf8.data(), static_cast<qsizetype>(utf8.size())));
        return;
    }
    // Decode straight into the result: UTF-8 never needs more UTF-16 units than it has bytes.
    const qsizetype start = out.size();
    out.resize(start + static_cast<qsizetype>(utf8.size()));
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QChar* const end = decoder.appendToBuffer(out.data() + start, QByteArrayView(utf8.data(), static_cast<qsizetype>(utf8.size())));
    out.truncate(end - out.constData());
    QChar* begin = out.data() + start;
    auto unwanted = [](QChar c) {
        const char16_t u = c.unicode();
        return (u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || u == 0xFFFE || u == 0xFFFF;
    };
    QChar* const stop = out.data() + out.size();
    QChar* write = std::find_if(begin, stop, unwanted);
    if (write == stop)
        return;
    for (QChar* read = write; read != stop; ++read)
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
