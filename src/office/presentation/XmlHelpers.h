#pragma once

// Small helpers over pugixml for the package readers. pugixml knows nothing of namespaces (names are
// the QNames as written), so elements are matched through a Scope that resolves prefixes from the
// xmlns declarations in force; a file that binds other prefixes, or the Strict namespaces, then reads
// the same as the usual one.

#include <QString>

#include <pugixml.hpp>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvane::office::xml {

// CDATA, the predefined and numeric entity references, CR LF → LF as XML requires, and whitespace-only
// text kept when it is an element's only content (so <a:t> </a:t> stays a space). No DOCTYPE handling:
// declared entities are never expanded.
inline constexpr unsigned int ParseOptions = pugi::parse_cdata | pugi::parse_escapes | pugi::parse_wconv_attribute |
                                             pugi::parse_eol | pugi::parse_ws_pcdata_single;

// Readers refuse elements nested deeper than this: no real document comes near it, and a reader that
// descends recursively stays within a bounded stack. pugixml itself builds and frees its tree without
// recursion, so the cap is applied where a reader descends: see requireDepth and Scope::depth().
inline constexpr int MaxDepth = 256;

// ParseOptions, and the text of an element that starts with text kept in the element itself rather
// than in a child node: a reader that only takes text through appendElementText (or a TextCollector)
// reads the same text from a smaller tree.
inline constexpr unsigned int EmbeddedTextParseOptions = ParseOptions | pugi::parse_embed_pcdata;

// ParseOptions for a vocabulary in which white space between elements is text (OpenDocument: the
// white space in a paragraph's source collapses to one space, also between two spans), so it is kept
// wherever it stands. pugixml ignores parse_ws_pcdata while parse_ws_pcdata_single is set, so that
// one goes.
inline constexpr unsigned int SpaceKeepingParseOptions =
    (ParseOptions & ~pugi::parse_ws_pcdata_single) | pugi::parse_ws_pcdata;

// Parses buffer in place into document (the buffer must outlive the document and is modified) with
// one of the option sets above. Returns an empty string on success, else the reason ("not
// well-formed XML at byte 12: ..."). Throws std::bad_alloc when the memory runs out. Every reader
// parses through here.
QString parseInPlace(pugi::xml_document& document, std::string& buffer, unsigned int options = ParseOptions);

// Throws ReadError "elements nested deeper than 256 levels" when depth, the nesting level a reader has
// reached, passes MaxDepth.
void requireDepth(int depth);

// Namespace identifiers: the caller numbers the namespaces it understands with positive ids; several
// URIs may share an id (Transitional and Strict forms of one vocabulary).
inline constexpr int NoNamespace = -1;   // an unprefixed attribute, or an element with no default namespace
inline constexpr int OtherNamespace = 0; // a namespace the caller did not register, or an unbound prefix

class NamespaceTable {
public:
    NamespaceTable() = default;
    NamespaceTable(std::initializer_list<std::pair<std::string_view, int>> entries);
    void add(std::string_view uri, int id) { m_entries.emplace_back(uri, id); }
    // The id of uri, OtherNamespace when it is not registered.
    int idOf(std::string_view uri) const;

private:
    std::vector<std::pair<std::string_view, int>> m_entries;
};

// A resolved name: the namespace id and the local part (a view into the document's text).
struct Name {
    int ns = OtherNamespace;
    std::string_view local;
    bool is(int nameSpace, std::string_view localName) const { return ns == nameSpace && local == localName; }
};

// The namespace declarations in force at one element. Build the Scope of an element from the Scope of
// its parent; it covers the element's own name and attributes and is the parent Scope of its children.
// Scopes live on the stack during a descent: a child must not outlive its parent.
class Scope {
public:
    // The Scope of the document element, built from the declarations on it.
    Scope(const NamespaceTable& table, pugi::xml_node element);
    // The Scope of element, a child of the element that parent belongs to.
    Scope(const Scope& parent, pugi::xml_node element);

    // The namespace id bound to prefix ("" is the default namespace) at this element.
    int namespaceOf(std::string_view prefix) const;
    // The resolved name of an element covered by this Scope.
    Name name(pugi::xml_node element) const;
    // The resolved name of an attribute; unprefixed attributes are in NoNamespace.
    Name name(pugi::xml_attribute attribute) const;
    bool is(pugi::xml_node element, int ns, std::string_view local) const { return name(element).is(ns, local); }
    // The nesting level of the element: 1 for the Scope built from a table, one more for each child
    // Scope. A reader that descends recursively stops when it passes MaxDepth.
    int depth() const { return m_depth; }
    // The first attribute of element with that resolved name, or a null attribute.
    pugi::xml_attribute attribute(pugi::xml_node element, int ns, std::string_view local) const;

private:
    struct Binding {
        std::string_view prefix;
        int ns;
    };
    void declare(pugi::xml_node element);

    const NamespaceTable* m_table;
    const Scope* m_parent; // the nearest enclosing Scope that declares something
    int m_depth;
    std::vector<Binding> m_bindings;
};

// An element's QName split at its first colon, as Scope::name splits it ("p:sp" → "p" and "sp";
// "sp" → "" and "sp"). A walk splits each name once, picks the elements it wants by the local part
// and resolves the prefix (Scope::namespaceOf) only for those.
struct QName {
    std::string_view prefix;
    std::string_view local;
};
QName splitName(const char* qname);

// The Scope of a child a reader descends into, refusing to go past the nesting cap (requireDepth).
struct ChildScope : Scope {
    ChildScope(const Scope& parent, pugi::xml_node child) : Scope(parent, child) { requireDepth(depth()); }
};

// The first child element of element (covered by scope) in namespace ns whose local name passes test,
// with its Scope; nothing when there is none. The local name is tested first, so the prefixes of the
// children passed over are never resolved.
template <typename Test>
std::optional<std::pair<ChildScope, pugi::xml_node>> childWhere(const Scope& scope, pugi::xml_node element, int ns,
                                                                Test&& test) {
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        const QName qname = splitName(child.name());
        if (child.type() != pugi::node_element || !test(qname.local))
            continue;
        ChildScope childScope(scope, child);
        if (childScope.namespaceOf(qname.prefix) == ns)
            return std::pair<ChildScope, pugi::xml_node>{std::move(childScope), child};
    }
    return std::nullopt;
}

// The first child element of element named ns:local, with its Scope.
inline std::optional<std::pair<ChildScope, pugi::xml_node>> childNamed(const Scope& scope, pugi::xml_node element,
                                                                       int ns, std::string_view local) {
    return childWhere(scope, element, ns, [&](std::string_view name) { return name == local; });
}

// Calls visit(childScope, child) for each child element of element (covered by scope) named ns:local,
// in document order.
template <typename Visit>
void forEachChildNamed(const Scope& scope, pugi::xml_node element, int ns, std::string_view local, Visit&& visit) {
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        const QName qname = splitName(child.name());
        if (child.type() != pugi::node_element || qname.local != local)
            continue;
        const ChildScope childScope(scope, child);
        if (childScope.namespaceOf(qname.prefix) == ns)
            visit(childScope, child);
    }
}

// Appends UTF-8 text as UTF-16, dropping the characters XML 1.0 does not allow (C0 controls other than
// TAB, LF and CR, and U+FFFE/U+FFFF), which pugixml lets through from references such as &#x1;.
// Malformed UTF-8 becomes U+FFFD. Nothing else is decoded or changed.
void appendText(QString& out, std::string_view utf8);

// Appends the text content of element (its text and CDATA children, not deeper, after the text kept
// in the element itself under EmbeddedTextParseOptions) like appendText.
void appendElementText(QString& out, pugi::xml_node element);

// Builds one string (a shape's text) from many small pieces with the same result as appendText on
// each piece in turn, but converting to UTF-16 once per run of pieces rather than once per piece:
// pieces are gathered as UTF-8 while joining them cannot change how they decode. The object keeps
// its buffer between strings, so one serves a whole document.
class TextCollector {
public:
    // Starts appending to out (keeping what it holds). Call finish() before reading out.
    void begin(QString& out) {
        m_out = &out;
        m_pending.clear();
    }
    // Like appendText(out, utf8).
    void append(std::string_view utf8);
    // Like appendElementText(out, element).
    void appendElementText(pugi::xml_node element);
    // Appends c as it is, also a character that appendText drops (a separator such as VT).
    void appendSeparator(char16_t c);
    // Converts what is gathered; out is complete afterwards.
    void finish();

private:
    QString* m_out = nullptr;
    std::string m_pending;
};

} // namespace quorvane::office::xml
