#include "office/presentation/PptRecords.h"

#include "office/presentation/ReadError.h"

#include <algorithm>

namespace quorvane::office::ppt {

void damaged(const std::string& what) {
    throw ReadError(QString::fromStdString(what));
}

std::string hexType(std::uint16_t type) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s = "0x0000";
    for (int i = 0; i < 4; ++i)
        s[static_cast<std::size_t>(5 - i)] = digits[(type >> (4 * i)) & 0xF];
    return s;
}

Record RecordStream::recordAt(std::uint32_t offset, std::optional<std::uint32_t> limit) const {
    const std::uint32_t end = limit.value_or(size());
    if (offset > end || end - offset < 8)
        damaged("the record at offset " + std::to_string(offset) + " lies outside the stream");
    Record r;
    const std::uint16_t verInstance = u16(offset);
    r.instance = static_cast<std::uint16_t>(verInstance >> 4);
    r.type = u16(offset + 2);
    r.length = u32(offset + 4);
    r.offset = offset;
    r.body = offset + 8;
    if (r.length > end - r.body)
        damaged("record " + hexType(r.type) + " at offset " + std::to_string(offset) +
                (limit ? " overruns its container" : " runs past the end of the stream"));
    return r;
}

std::vector<Record> RecordStream::children(const Record& container) const {
    std::vector<Record> out;
    std::uint32_t at = container.body;
    while (at < container.end()) {
        out.push_back(recordAt(at, container.end()));
        at = out.back().end();
    }
    return out;
}

QString RecordStream::utf16(const Record& r) const {
    const auto* p = bytes(r.body, r.length);
    QString s(static_cast<qsizetype>(r.length / 2), Qt::Uninitialized);
    for (std::uint32_t i = 0; i < r.length / 2; ++i)
        s[i] = QChar(le::u16(p + 2 * i));
    return s;
}

QString RecordStream::latin1(const Record& r) const {
    return QString::fromLatin1(reinterpret_cast<const char*>(bytes(r.body, r.length)),
                               static_cast<qsizetype>(r.length));
}

const Record* firstChild(const std::vector<Record>& records, std::uint16_t type) {
    const auto it = std::find_if(records.begin(), records.end(), [type](const Record& r) { return r.type == type; });
    return it == records.end() ? nullptr : &*it;
}

void addToText(const RecordStream& s, const Record& r, TextBlock& block) {
    switch (r.type) {
    case rtTextCharsAtom:
        block.text = s.utf16(r);
        break;
    case rtTextBytesAtom:
        block.text = s.latin1(r);
        break;
    case rtSlideNumberMetaCharAtom:
    case rtFooterMetaCharAtom:
    case rtHeaderMetaCharAtom:
    case rtGenericDateMetaCharAtom:
        if (r.length >= 4) {
            const Field field = r.type == rtSlideNumberMetaCharAtom ? Field::SlideNumber
                                : r.type == rtFooterMetaCharAtom    ? Field::Footer
                                : r.type == rtHeaderMetaCharAtom    ? Field::Header
                                                                    : Field::Date;
            block.fields.emplace_back(s.u32(r.body), field);
        }
        break;
    default:
        break;
    }
}

TextBlock filledIn(const TextBlock& block, const FieldValues& values, bool keepSlideNumbers,
                   const std::function<void(qsizetype)>& requireRoom) {
    if (block.fields.empty()) {
        requireRoom(block.text.size());
        return block;
    }
    std::vector<std::pair<std::uint32_t, Field>> fields = block.fields;
    // In text order; of two fields at one place the first listed counts, and one beyond the text none.
    const auto byPlace = [](const auto& a, const auto& b) { return a.first < b.first; };
    if (!std::is_sorted(fields.begin(), fields.end(), byPlace))
        std::stable_sort(fields.begin(), fields.end(), byPlace);
    fields.erase(
        std::unique(fields.begin(), fields.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
        fields.end());
    const auto size = static_cast<std::uint32_t>(block.text.size());
    fields.erase(std::lower_bound(fields.begin(), fields.end(), std::pair(size, Field::SlideNumber), byPlace),
                 fields.end());

    const QString slideNumber = QString::number(values.slideNumber);
    auto valueOf = [&](Field field) -> const QString* {
        switch (field) {
        case Field::SlideNumber:
            return keepSlideNumbers ? nullptr : &slideNumber;
        case Field::Footer:
            return &values.footer;
        case Field::Header:
            return &values.header;
        case Field::Date:
            return values.fixedDate ? &*values.fixedDate : nullptr;
        }
        return nullptr;
    };
    qsizetype length = block.text.size();
    for (const auto& [at, field] : fields)
        if (const QString* value = valueOf(field))
            length += value->size() - 1;
    requireRoom(length);

    TextBlock filled;
    filled.text.reserve(length);
    std::uint32_t done = 0; // characters of the stored text taken over so far
    for (const auto& [at, field] : fields) {
        if (const QString* value = valueOf(field)) {
            filled.text.append(QStringView(block.text).sliced(done, at - done));
            filled.text.append(*value);
            done = at + 1;
        } else if (field == Field::SlideNumber) {
            filled.fields.emplace_back(static_cast<std::uint32_t>(filled.text.size()) + (at - done), field);
        }
    }
    filled.text.append(QStringView(block.text).sliced(done));
    return filled;
}

} // namespace quorvane::office::ppt
