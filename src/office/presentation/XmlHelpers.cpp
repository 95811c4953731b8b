#include "office/presentation/XmlHelpers.h"

#include "office/presentation/ReadError.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

using namespace Qt::StringLiterals;

namespace quorvane::office::xml {

namespace {

// The text of an XML buffer as code units of one width and byte order, for the little scanning done
// before pugixml sees it.
struct Units {
    char* data;
    size_t count;
    int width;
    bool bigEndian;

    char32_t at(size_t i) const {
        char32_t unit = 0;
        for (int b = 0; b < width; ++b) {
            const auto byte = static_cast<unsigned char>(data[i * width + (bigEndian ? b : width - 1 - b)]);
            unit = (unit << 8) | byte;
        }
        return unit;
    }
    void setAscii(size_t i, char c) {
        for (int b = 0; b < width; ++b)
            data[i * width + b] = '\0';
        data[i * width + (bigEndian ? width - 1 : 0)] = c;
    }
    bool startsWith(size_t i, std::string_view ascii) const {
        if (count - i < ascii.size())
            return false;
        for (size_t k = 0; k < ascii.size(); ++k)
            if (at(i + k) != static_cast<char32_t>(ascii[k]))
                return false;
        return true;
    }
    // The position after the first end at or after i, or count.
    size_t after(size_t i, std::string_view end) const {
        for (; i < count; ++i)
            if (startsWith(i, end))
                return i + end.size();
        return count;
    }
};

// The width and byte order pugixml takes the buffer to be in (encoding_auto): a byte-order mark, or
// the first character '<' of UTF-32, or "<?" of UTF-16; else 8-bit.
Units unitsOf(std::string& buffer) {
    const auto b = [&](size_t i) { return i < buffer.size() ? static_cast<unsigned char>(buffer[i]) : 0x100u; };
    if ((b(0) == 0 && b(1) == 0 && b(2) == 0xFE && b(3) == 0xFF) ||
        (b(0) == 0 && b(1) == 0 && b(2) == 0 && b(3) == '<'))
        return {buffer.data(), buffer.size() / 4, 4, true};
    if ((b(0) == 0xFF && b(1) == 0xFE && b(2) == 0 && b(3) == 0) ||
        (b(0) == '<' && b(1) == 0 && b(2) == 0 && b(3) == 0))
        return {buffer.data(), buffer.size() / 4, 4, false};
    if ((b(0) == 0xFE && b(1) == 0xFF) || (b(0) == 0 && b(1) == '<' && b(2) == 0 && b(3) == '?'))
        return {buffer.data(), buffer.size() / 2, 2, true};
    if ((b(0) == 0xFF && b(1) == 0xFE) || (b(0) == '<' && b(1) == 0 && b(2) == '?' && b(3) == 0))
        return {buffer.data(), buffer.size() / 2, 2, false};
    return {buffer.data(), buffer.size(), 1, false};
}

// At a character reference ("&#" at i): the value pugixml gives it (counted in 32 bits, wrapping as
// pugixml's count does), the span of its digits, and whether it is complete (ends in ';').
struct Reference {
    std::uint32_t value = 0;
    size_t digits = 0, end = 0;
    bool complete = false;
};

Reference referenceAt(const Units& text, size_t i) {
    Reference ref;
    size_t at = i + 2;
    const bool hex = at < text.count && text.at(at) == 'x';
    if (hex)
        ++at;
    ref.digits = at;
    for (; at < text.count; ++at) {
        const char32_t c = text.at(at);
        if (c >= '0' && c <= '9')
            ref.value = ref.value * (hex ? 16 : 10) + static_cast<std::uint32_t>(c - '0');
        else if (hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f')
            ref.value = ref.value * 16 + static_cast<std::uint32_t>((c | 0x20) - 'a' + 10);
        else
            break;
    }
    ref.end = at;
    ref.complete = at < text.count && text.at(at) == ';' && at > ref.digits;
    return ref;
}

bool isNullReference(const Units& text, size_t i) {
    if (text.at(i) != '&' || i + 1 >= text.count || text.at(i + 1) != '#')
        return false;
    const Reference ref = referenceAt(text, i);
    return ref.complete && ref.value == 0;
}

// pugixml turns a reference to U+0000 ("&#0;", "&#x00;", or one whose number wraps to 0) into a NUL
// that ends the text it stands in, so the rest of the text would be lost. XML forbids the character
// like the other C0 controls, which the readers drop (appendText): each such reference is rewritten
// in place, keeping its length, to one to U+0001, which is dropped with them. Comments, CDATA sections
// and processing instructions hold no references and stay as they are.
void neutraliseNullReferences(std::string& buffer) {
    Units text = unitsOf(buffer);
    if (text.width == 1) {
        // Most parts hold no such reference: look for one before walking the markup.
        bool found = false;
        for (const char* amp = buffer.data(); !found && amp != nullptr;) {
            const auto rest = static_cast<size_t>(buffer.data() + buffer.size() - amp);
            amp = static_cast<const char*>(std::memchr(amp, '&', rest));
            if (amp != nullptr)
                found = isNullReference(text, static_cast<size_t>(amp++ - buffer.data()));
        }
        if (!found)
            return;
    }
    for (size_t i = 0; i < text.count;) {
        const char32_t c = text.at(i);
        if (c == '<') {
            if (text.startsWith(i, "<!--"))
                i = text.after(i + 4, "-->");
            else if (text.startsWith(i, "<![CDATA["))
                i = text.after(i + 9, "]]>");
            else if (text.startsWith(i, "<?"))
                i = text.after(i + 2, "?>");
            else
                ++i;
        } else if (c == '&' && i + 1 < text.count && text.at(i + 1) == '#') {
            const Reference ref = referenceAt(text, i);
            if (ref.complete && ref.value == 0) {
                for (size_t d = ref.digits; d + 1 < ref.end; ++d)
                    text.setAscii(d, '0');
                text.setAscii(ref.end - 1, '1');
            }
            i = ref.end;
        } else {
            ++i;
        }
    }
}

} // namespace

QString parseInPlace(pugi::xml_document& document, std::string& buffer, unsigned int options) {
    if (options & pugi::parse_escapes)
        neutraliseNullReferences(buffer);
    const pugi::xml_parse_result result =
        document.load_buffer_inplace(buffer.data(), buffer.size(), options, pugi::encoding_auto);
    // Running out of memory says nothing about the part: it must not read as damage.
    if (result.status == pugi::status_out_of_memory)
        throw std::bad_alloc();
    if (!result)
        return u"not well-formed XML at byte %1: %2"_s.arg(result.offset).arg(QString::fromUtf8(result.description()));
    if (!document.document_element())
        return u"no XML element"_s;
    return {};
}

void requireDepth(int depth) {
    if (depth > MaxDepth)
        throw ReadError(u"elements nested deeper than %1 levels"_s.arg(MaxDepth));
}

NamespaceTable::NamespaceTable(std::initializer_list<std::pair<std::string_view, int>> entries) : m_entries(entries) {}

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
            m_bindings.push_back(
                {std::string_view(), *attribute.value() == '\0' ? NoNamespace : m_table->idOf(attribute.value())});
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

QName splitName(const char* qname) {
    for (const char* at = qname; *at != '\0'; ++at)
        if (*at == ':')
            return {std::string_view(qname, static_cast<size_t>(at - qname)), std::string_view(at + 1)};
    return {std::string_view(), std::string_view(qname)};
}

namespace {

// Whether the text is ASCII without C0 controls other than TAB, LF and CR: such text needs neither
// decoding nor filtering. Eight bytes at a time, as shape text is mostly of this kind.
bool plainAscii(std::string_view utf8) {
    constexpr std::uint64_t Ones = 0x0101010101010101u;
    constexpr std::uint64_t High = 0x8080808080808080u;
    auto plainByte = [](unsigned char byte) {
        return byte < 0x80 && (byte >= 0x20 || byte == '\t' || byte == '\n' || byte == '\r');
    };
    size_t at = 0;
    for (; at + 8 <= utf8.size(); at += 8) {
        std::uint64_t word;
        std::memcpy(&word, utf8.data() + at, sizeof word);
        if ((word & High) != 0)
            return false;
        // Some byte is below 0x20 (the classic "has less than" test): look at each.
        if (((word - Ones * 0x20) & ~word & High) != 0)
            for (size_t i = at; i < at + 8; ++i)
                if (!plainByte(static_cast<unsigned char>(utf8[i])))
                    return false;
    }
    for (; at < utf8.size(); ++at)
        if (!plainByte(static_cast<unsigned char>(utf8[at])))
            return false;
    return true;
}

// Whether decoding text followed by more bytes gives the decoding of text followed by the decoding of
// those bytes: text must end with an ASCII byte or a complete UTF-8 sequence. Anything unusual
// (a stray or missing continuation byte) answers false, which only costs a separate conversion.
bool endsCleanly(std::string_view text) {
    const auto last = static_cast<unsigned char>(text.back());
    if (last < 0x80)
        return true;
    size_t lead = text.size() - 1;
    int continuations = 0;
    while (lead > 0 && continuations < 3 && (static_cast<unsigned char>(text[lead]) & 0xC0) == 0x80) {
        --lead;
        ++continuations;
    }
    const auto byte = static_cast<unsigned char>(text[lead]);
    const int length = (byte >= 0xC2 && byte <= 0xDF)   ? 2
                       : (byte >= 0xE0 && byte <= 0xEF) ? 3
                       : (byte >= 0xF0 && byte <= 0xF4) ? 4
                                                        : 0;
    return length != 0 && continuations == length - 1;
}

// Whether a piece must start a conversion of its own: the decoder drops a byte-order mark only at
// the start of what it converts (so a piece that starts like one goes apart, also when it is cut
// short), and a leading continuation byte would meet the bytes before it.
bool startsApart(std::string_view piece) {
    const auto first = static_cast<unsigned char>(piece.front());
    return (first & 0xC0) == 0x80 || (first == 0xEF && (piece.size() == 1 || piece[1] == '\xBB'));
}

} // namespace

void appendText(QString& out, std::string_view utf8) {
    // Most slide text is plain ASCII without control characters: append it without a detour.
    if (plainAscii(utf8)) {
        out.append(QLatin1StringView(utf8.data(), static_cast<qsizetype>(utf8.size())));
        return;
    }
    // Decode straight into the result: UTF-8 never needs more UTF-16 units than it has bytes.
    const qsizetype start = out.size();
    out.resize(start + static_cast<qsizetype>(utf8.size()));
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QChar* const end =
        decoder.appendToBuffer(out.data() + start, QByteArrayView(utf8.data(), static_cast<qsizetype>(utf8.size())));
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
    // Embedded text always comes first: only text that starts the content is kept in the element.
    appendText(out, element.value());
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            appendText(out, child.value());
}

void TextCollector::append(std::string_view utf8) {
    if (utf8.empty())
        return;
    if (!m_pending.empty() && (!endsCleanly(m_pending) || startsApart(utf8)))
        finish();
    m_pending.append(utf8);
}

void TextCollector::appendElementText(pugi::xml_node element) {
    append(element.value());
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            append(child.value());
}

void TextCollector::appendSeparator(char16_t c) {
    // TAB, LF and CR pass appendText unchanged, so they can wait with the text; others cannot.
    if ((c == u'\t' || c == u'\n' || c == u'\r' || (c >= 0x20 && c < 0x7F)) &&
        (m_pending.empty() || endsCleanly(m_pending))) {
        m_pending.push_back(static_cast<char>(c));
        return;
    }
    finish();
    m_out->append(QChar(c));
}

void TextCollector::finish() {
    if (m_pending.empty())
        return;
    appendText(*m_out, m_pending);
    m_pending.clear();
}

} // namespace quorvane::office::xml
