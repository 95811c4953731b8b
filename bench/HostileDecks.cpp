// Writes presentations built to exhaust a reader: small files that ask for gigabytes of text, files
// whose naive reading takes quadratic time, packages without their zip directory (read from their
// local headers), and a large .ppt to truncate while it is read.
// bench/hostile-bench.sh reads each with quorvane-cli under a memory limit and prints time and memory.
//
//   bench_hostile_decks FOLDER      writes the files into FOLDER (which must exist)

#include "support/PptTestFiles.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;
using namespace quorvane::test;

namespace {

QString g_folder;

void save(const QString& name, const QByteArray& bytes) {
    QFile file(QDir(g_folder).filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
        std::exit(1);
    }
    std::printf("%-36s %10lld bytes\n", qPrintable(name), static_cast<long long>(bytes.size()));
}

void saveZip(const QString& name, const std::vector<std::pair<std::string, std::string_view>>& parts) {
    const QString path = QDir(g_folder).filePath(name);
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive == nullptr)
        std::exit(1);
    for (const auto& [part, content] : parts) {
        zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
        if (source == nullptr || zip_file_add(archive, part.c_str(), source, 0) < 0)
            std::exit(1);
    }
    if (zip_close(archive) != 0)
        std::exit(1);
    std::printf("%-36s %10lld bytes\n", qPrintable(name), static_cast<long long>(QFile(path).size()));
}

// --- .pptx -------------------------------------------------------------------------------------

const std::string kP = R"(xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main" )"
                       R"(xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" )"
                       R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships")";

// A package whose p:sldIdLst names the one slide part listed times, with more parts after it.
void pptxOnePartManyTimes(const QString& name, const std::string& shapes, int listed,
                          const std::vector<std::pair<std::string, std::string_view>>& more = {}) {
    std::string presentation = "<p:presentation " + kP + "><p:sldIdLst>";
    for (int i = 0; i < listed; ++i)
        presentation += R"(<p:sldId id=")" + std::to_string(256 + i) + R"(" r:id="s"/>)";
    presentation += "</p:sldIdLst></p:presentation>";
    const std::string slide = "<p:sld " + kP + "><p:cSld><p:spTree>" + shapes + "</p:spTree></p:cSld></p:sld>";
    std::vector<std::pair<std::string, std::string_view>> parts{
        {"[Content_Types].xml",
         R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
         R"(<Override PartName="/ppt/presentation.xml" ContentType="application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml"/></Types>)"},
        {"_rels/.rels",
         R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
         R"(<Relationship Id="r" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="ppt/presentation.xml"/></Relationships>)"},
        {"ppt/presentation.xml", presentation},
        {"ppt/_rels/presentation.xml.rels",
         R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
         R"(<Relationship Id="s" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/slide" Target="slides/slide1.xml"/></Relationships>)"},
        {"ppt/slides/slide1.xml", slide}};
    parts.insert(parts.end(), more.begin(), more.end());
    saveZip(name, parts);
}

// --- What slides show besides their shapes ------------------------------------------------------------

const std::string kChartType = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/chart";

std::string chartFrame(int number, const std::string& id) {
    return R"(<p:graphicFrame><p:nvGraphicFramePr><p:cNvPr id=")" + std::to_string(number + 2) + R"(" name="Chart )" +
           std::to_string(number) +
           R"("/><p:cNvGraphicFramePr/><p:nvPr/></p:nvGraphicFramePr><a:graphic><a:graphicData )"
           R"(uri="http://schemas.openxmlformats.org/drawingml/2006/chart"><c:chart )"
           R"(xmlns:c="http://schemas.openxmlformats.org/drawingml/2006/chart" r:id=")" +
           id + R"("/></a:graphicData></a:graphic></p:graphicFrame>)";
}

std::string chartPart(const std::string& title, const std::string& after = {}) {
    return R"(<c:chartSpace xmlns:c="http://schemas.openxmlformats.org/drawingml/2006/chart" )"
           R"(xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main"><c:chart><c:title><c:tx><c:rich>)"
           R"(<a:bodyPr/><a:p><a:r><a:t>)" +
           title + "</a:t></a:r></a:p></c:rich></c:tx></c:title></c:chart></c:chartSpace>" + after;
}

// A one-slide package whose frames show charts: frames[i] names the chart part of charts[frames[i]].
void pptxCharts(const QString& name, const std::vector<int>& frames, const std::vector<std::string_view>& charts) {
    std::string shapes =
        R"(<p:sp><p:txBody><a:p><a:r><a:t>Text besides the charts</a:t></a:r></a:p></p:txBody></p:sp>)";
    std::string relationships =
        R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)";
    for (std::size_t i = 0; i < charts.size(); ++i)
        relationships += R"(<Relationship Id="c)" + std::to_string(i) + R"(" Type=")" + kChartType +
                         R"(" Target="../charts/chart)" + std::to_string(i + 1) + R"(.xml"/>)";
    relationships += "</Relationships>";
    for (std::size_t i = 0; i < frames.size(); ++i)
        shapes += chartFrame(static_cast<int>(i + 1), "c" + std::to_string(frames[i]));
    std::vector<std::pair<std::string, std::string_view>> parts{{"ppt/slides/_rels/slide1.xml.rels", relationships}};
    for (std::size_t i = 0; i < charts.size(); ++i)
        parts.emplace_back("ppt/charts/chart" + std::to_string(i + 1) + ".xml", charts[i]);
    pptxOnePartManyTimes(name, shapes, 1, parts);
}

// --- Zip archives without their directory ---------------------------------------------------------

void appendU16(std::string& out, std::uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8 & 0xFF);
}
void appendU32(std::string& out, std::uint32_t value) {
    appendU16(out, value & 0xFFFF);
    appendU16(out, value >> 16);
}

// Writes zip entries by hand, as a streaming writer does, and no directory after them: the file a
// download cut short at the end of its last entry leaves. An entry's sizes are in its local header,
// or (unknownSizes) in a descriptor after its data, so a reader finds its end only from the data.
class LocalEntries {
public:
    explicit LocalEntries(const QString& name) : m_name(name), m_file(QDir(g_folder).filePath(name)) {
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::exit(1);
    }
    ~LocalEntries() {
        m_file.close();
        std::printf("%-36s %10lld bytes\n", qPrintable(m_name), static_cast<long long>(m_file.size()));
    }

    // A stored entry whose data is produced by the calls of fill(write) in pieces.
    template <typename Fill> void stored(const std::string& name, bool unknownSizes, Fill&& fill) {
        const qint64 header = m_file.pos();
        writeHeader(name, 0, unknownSizes);
        std::uint32_t crc = crc32(0, nullptr, 0), size = 0;
        fill([&](const std::string& piece) {
            crc = crc32(crc, reinterpret_cast<const Bytef*>(piece.data()), static_cast<uInt>(piece.size()));
            size += static_cast<std::uint32_t>(piece.size());
            write(piece);
        });
        finish(header, unknownSizes, crc, size, size);
    }
    void stored(const std::string& name, const std::string& data) {
        stored(name, false, [&](const auto& write) { write(data); });
    }

    // A deflated entry of zeros bytes of zeros, inflating far beyond any real ratio.
    void deflatedZeros(const std::string& name, std::uint64_t zeros) {
        const qint64 header = m_file.pos();
        writeHeader(name, 8, true);
        z_stream stream{};
        if (deflateInit2(&stream, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
            std::exit(1);
        std::string chunk(1 << 20, '\0');
        std::string out(1 << 20, '\0');
        std::uint32_t crc = crc32(0, nullptr, 0), compressed = 0;
        for (std::uint64_t left = zeros;;) {
            const auto take = static_cast<uInt>(std::min<std::uint64_t>(left, chunk.size()));
            crc = crc32(crc, reinterpret_cast<const Bytef*>(chunk.data()), take);
            left -= take;
            stream.next_in = reinterpret_cast<Bytef*>(chunk.data());
            stream.avail_in = take;
            const int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
            int result = Z_OK;
            do {
                stream.next_out = reinterpret_cast<Bytef*>(out.data());
                stream.avail_out = static_cast<uInt>(out.size());
                result = deflate(&stream, flush);
                const std::size_t produced = out.size() - stream.avail_out;
                compressed += static_cast<std::uint32_t>(produced);
                write(out.substr(0, produced));
            } while (stream.avail_out == 0);
            if (result == Z_STREAM_END)
                break;
        }
        deflateEnd(&stream);
        finish(header, true, crc, compressed, static_cast<std::uint32_t>(zeros));
    }

private:
    void write(const std::string& bytes) {
        if (m_file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()))
            std::exit(1);
    }
    void writeHeader(const std::string& name, std::uint32_t method, bool unknownSizes) {
        std::string header = "PK\x03\x04";
        appendU16(header, 20);
        appendU16(header, unknownSizes ? 0x08 : 0);
        appendU16(header, method);
        appendU32(header, 0); // time and date
        appendU32(header, 0); // CRC, filled in after the data when known
        appendU32(header, 0); // compressed size
        appendU32(header, 0); // size
        appendU16(header, static_cast<std::uint32_t>(name.size()));
        appendU16(header, 0);
        write(header + name);
    }
    // The sizes and CRC: in a descriptor after the data, or written back into the local header.
    void finish(qint64 header, bool unknownSizes, std::uint32_t crc, std::uint32_t compressed, std::uint32_t size) {
        std::string sizes;
        appendU32(sizes, crc);
        appendU32(sizes, compressed);
        appendU32(sizes, size);
        if (unknownSizes) {
            write("PK\x07\x08" + sizes);
            return;
        }
        const qint64 end = m_file.pos();
        m_file.seek(header + 14);
        write(sizes);
        m_file.seek(end);
    }

    QString m_name;
    QFile m_file;
};

const std::string kTypes =
    R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
    R"(<Override PartName="/ppt/presentation.xml" ContentType="application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml"/></Types>)";
const std::string kRels =
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="r" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="ppt/presentation.xml"/></Relationships>)";
const std::string kPresentationRels =
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="s" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/slide" Target="slides/slide1.xml"/></Relationships>)";

// The parts before the slide of a one-slide package, each listed times in the slide list.
void presentationParts(LocalEntries& zip, int listed = 1) {
    std::string presentation = "<p:presentation " + kP + "><p:sldIdLst>";
    for (int i = 0; i < listed; ++i)
        presentation += R"(<p:sldId id=")" + std::to_string(256 + i) + R"(" r:id="s"/>)";
    presentation += "</p:sldIdLst></p:presentation>";
    zip.stored("[Content_Types].xml", kTypes);
    zip.stored("_rels/.rels", kRels);
    zip.stored("ppt/presentation.xml", presentation);
    zip.stored("ppt/_rels/presentation.xml.rels", kPresentationRels);
}

std::string slidePart(const std::string& shapes) {
    return "<p:sld " + kP + "><p:cSld><p:spTree>" + shapes + "</p:spTree></p:cSld></p:sld>";
}

// --- OpenDocument --------------------------------------------------------------------------------

std::string odpContent(const std::string& shapes, bool flat) {
    const char* root = flat ? "office:document" : "office:document-content";
    return std::string("<") + root +
           R"( xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0")"
           R"( xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0")"
           R"( xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.3"><office:body>)"
           R"(<office:presentation><draw:page draw:name="1">)" +
           shapes + "</draw:page></office:presentation></office:body></" + root + ">";
}

void odp(const QString& name, const std::string& shapes) {
    saveZip(name, {{"mimetype", "application/vnd.oasis.opendocument.presentation"},
                   {"content.xml", odpContent(shapes, false)}});
}

std::string textFrames(int count) {
    std::string shapes;
    for (int i = 0; i < count; ++i)
        shapes += "<draw:frame><draw:text-box><text:p>Shape " + std::to_string(i + 1) +
                  "</text:p></draw:text-box></draw:frame>";
    return shapes;
}

// --- .ppt ----------------------------------------------------------------------------------------

QByteArray u32(std::uint32_t value) {
    QByteArray bytes(4, '\0');
    writeU32(bytes, 0, value);
    return bytes;
}

PptRecord container(std::uint16_t type, std::vector<PptRecord> children, std::uint16_t instance = 0) {
    PptRecord r;
    r.verInstance = static_cast<std::uint16_t>(0xF | (instance << 4));
    r.type = type;
    r.children = std::move(children);
    return r;
}

// A text box shape whose text box holds records.
PptRecord textShape(std::vector<PptRecord> records) {
    PptRecord fsp = atom(0xF00A, u32(1024) + u32(0xA00), 202);
    fsp.verInstance |= 2;
    return container(0xF004, {fsp, container(0xF00D, std::move(records))});
}

// The sample presentation as streams, with its document record and its first slide record parsed.
struct Sample {
    Streams streams;
    PptEdits edits;
    PptRecord document;
    std::uint32_t slideId = 0;
    PptRecord slide;
};

Sample sample() {
    Sample s;
    s.streams = readCompoundFile(QStringLiteral(QUORVANE_TEST_DATA "/ppt/sample.ppt"));
    std::erase_if(s.streams, [](const auto& stream) { return stream.first.contains(u"SummaryInformation"_s); });
    s.edits = readEdits(s.streams);
    const QByteArray& stream = streamNamed(s.streams, u"PowerPoint Document"_s);
    s.document = parseRecord(stream, s.edits.persist.at(s.edits.documentId));
    for (const PptRecord& part : s.document.children)
        if (part.type == 4080 && (part.verInstance >> 4) == 0)
            for (const PptRecord& r : part.children)
                if (r.type == 1011) {
                    s.slideId = readU32(r.atom, 0);
                    break;
                }
    s.slide = parseRecord(stream, s.edits.persist.at(s.slideId));
    return s;
}

// Puts shapes on the sample's first slide (after the group's own record) in place of its own.
void setShapes(Sample& s, std::vector<PptRecord> shapes) {
    PptRecord* group = s.slide.find(0xF003);
    group->children.resize(1);
    for (PptRecord& shape : shapes)
        group->children.push_back(std::move(shape));
}

// Lists the first slide entries times in the slide list, each entry with its own copy of texts.
void listFirstSlide(Sample& s, int entries, const std::vector<QString>& texts) {
    for (PptRecord& part : s.document.children) {
        if (part.type != 4080 || (part.verInstance >> 4) != 0)
            continue;
        const PptRecord first = *std::find_if(part.children.begin(), part.children.end(),
                                              [](const PptRecord& r) { return r.type == 1011; });
        part.children.clear();
        for (int i = 0; i < entries; ++i) {
            part.children.push_back(first);
            for (const QString& text : texts) {
                part.children.push_back(atom(3999, u32(1)));
                part.children.push_back(textChars(text));
            }
        }
    }
}

// The document's footer, which the first slide no longer overrides.
void setFooter(Sample& s, const QString& footer) {
    std::erase_if(s.document.children, [](const PptRecord& r) { return r.type == 4057; });
    std::erase_if(s.slide.children, [](const PptRecord& r) { return r.type == 4057; });
    PptRecord string = textChars(footer);
    string.type = 4026;
    string.verInstance = 2 << 4;
    s.document.children.push_back(container(4057, {atom(4058, u32(0)), string}, 3));
}

QByteArray written(Sample& s, int version = 3) {
    appendEdit(s.streams, {{s.edits.documentId, s.document.bytes()}, {s.slideId, s.slide.bytes()}});
    return writeCompoundFile(s.streams, version);
}

// A shape whose text is count field characters, each showing the footer.
PptRecord footerFieldShape(int count) {
    std::vector<PptRecord> records = {atom(3999, u32(4)), textChars(QString(count, u'*'))};
    for (int i = 0; i < count; ++i)
        records.push_back(atom(4090, u32(static_cast<std::uint32_t>(i))));
    return textShape(std::move(records));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_hostile_decks FOLDER\n");
        return 2;
    }
    g_folder = QFile::decodeName(argv[1]);

    // Text asked for many times over: each would need gigabytes.
    {
        // Both parts stay below the size up to which a part may inflate without limit.
        std::string text;
        while (text.size() < 900000)
            text += "<p:sp><p:txBody><a:p><a:r><a:t>Fifty characters of text on one of many shapes...</a:t></a:r></a:p>"
                    "</p:txBody></p:sp>";
        pptxOnePartManyTimes(u"pptx-one-slide-listed-25000-times.pptx"_s, text, 25000);
        std::string pictures;
        for (int i = 0; i < 110000; ++i)
            pictures += "<p:pic/>";
        pptxOnePartManyTimes(u"pptx-pictures-listed-25000-times.pptx"_s, pictures, 25000);
    }
    {
        std::string shapes;
        for (int i = 0; i < 1000; ++i)
            shapes += R"(<draw:custom-shape><text:p><text:s text:c="8000000"/></text:p></draw:custom-shape>)";
        odp(u"odp-8000000-spaces-on-1000-shapes.odp"_s, shapes);
    }
    {
        // One text of the slide list shown by 20,000 placeholders, the slide listed 1,000 times.
        Sample s = sample();
        setShapes(s, std::vector<PptRecord>(20000, textShape({atom(3998, u32(0))})));
        listFirstSlide(s, 1000, {QString(1000, u'x')});
        save(u"ppt-placeholders-and-slide-list.ppt"_s, written(s));
    }
    {
        // One slide listed 100,000 times, holding a text of 60,000 fields that show an empty footer:
        // nothing to show, but work for each listing unless the slide is read once.
        Sample s = sample();
        setShapes(s, {footerFieldShape(60000)});
        setFooter(s, QString());
        listFirstSlide(s, 100000, {});
        save(u"ppt-empty-fields-slide-listed.ppt"_s, written(s));
    }

    // Quadratic before: every footer field, and every shape access of a page, rebuilt the whole. The
    // long footers keep the text (42 million characters) within the bound.
    for (const int fields : {14000, 28000}) {
        Sample s = sample();
        setShapes(s, {footerFieldShape(fields)});
        setFooter(s, QString(42'000'000 / fields, u'f'));
        save(u"ppt-%1-footer-fields.ppt"_s.arg(fields), written(s));
    }
    // Read with --include charts: many frames on one zip bomb of a chart (each frame read it again),
    // one on an OpenDocument object, 30,000 inline charts (each searched for across its page), and
    // 400 sound charts of 1.5 MiB, more than a package's bound lets be read.
    const std::string bomb = chartPart("Bomb", std::string(20u << 20, ' '));
    for (const int frames : {2000, 20000})
        pptxCharts(u"pptx-charts-%1-frames-on-one-bomb.pptx"_s.arg(frames), std::vector<int>(frames, 0), {bomb});
    {
        std::string frames;
        for (int i = 0; i < 3000; ++i)
            frames += R"(<draw:frame><draw:object xlink:href="./Object 1"/></draw:frame>)";
        std::string content = odpContent(frames, false);
        content.insert(content.find(" office:version"), R"( xmlns:xlink="http://www.w3.org/1999/xlink")");
        saveZip(u"odp-charts-3000-frames-on-one-bomb.odp"_s,
                {{"mimetype", "application/vnd.oasis.opendocument.presentation"},
                 {"content.xml", content},
                 {"Object 1/content.xml", std::string(20u << 20, ' ')}});
    }
    {
        std::string frames;
        for (int i = 0; i < 30000; ++i)
            frames += R"(<draw:frame><draw:object><office:document><office:body><office:chart><chart:chart>)"
                      R"(<chart:title><text:p>Chart )" +
                      std::to_string(i + 1) +
                      R"(</text:p></chart:title></chart:chart></office:chart></office:body></office:document>)"
                      R"(</draw:object></draw:frame>)";
        std::string content = odpContent(frames, true);
        content.insert(content.find(" office:version"),
                       R"( xmlns:chart="urn:oasis:names:tc:opendocument:xmlns:chart:1.0")");
        save(u"fodp-charts-30000-inline.fodp"_s, QByteArray::fromStdString(content));
    }
    {
        // 1.5 MiB each, varied enough to inflate well within the ratio a zip bomb passes: one letter
        // in a hundred differs. Every part holds the same bytes, so the file is written from one.
        std::uint32_t seed = 1;
        std::string varied;
        for (int i = 0; i < (3 << 19); ++i) {
            seed = seed * 1103515245u + 12345u;
            varied += (seed >> 16) % 100 == 0 ? 'b' : 'a';
        }
        const std::string chart = chartPart("Chart", "<!--" + varied + "-->");
        std::vector<int> frames;
        for (int i = 0; i < 400; ++i)
            frames.push_back(i);
        pptxCharts(u"pptx-charts-400-past-the-bound.pptx"_s, frames, std::vector<std::string_view>(400, chart));
    }
    odp(u"odp-4000-shapes.odp"_s, textFrames(4000));
    odp(u"odp-8000-shapes.odp"_s, textFrames(8000));
    save(u"fodp-400000-shapes.fodp"_s, QByteArray::fromStdString(odpContent(textFrames(400000), true)));

    // Without their zip directory: read entry by entry from their local headers, with the same bounds.
    {
        LocalEntries zip(u"pptx-no-directory-30000-entries.pptx"_s);
        for (int i = 0; i < 30000; ++i)
            zip.stored("part" + std::to_string(i) + ".xml", "<x/>");
    }
    {
        // The slide's sizes follow its data: its end is only found by inflating it, 1 GiB of zeros.
        LocalEntries zip(u"pptx-no-directory-slide-of-1-gib.pptx"_s);
        presentationParts(zip);
        zip.deflatedZeros("ppt/slides/slide1.xml", std::uint64_t{1} << 30);
    }
    {
        std::string text;
        while (text.size() < 900000)
            text += "<p:sp><p:txBody><a:p><a:r><a:t>Fifty characters of text on one of many shapes...</a:t></a:r></a:p>"
                    "</p:txBody></p:sp>";
        LocalEntries zip(u"pptx-no-directory-one-slide-listed-25000-times.pptx"_s);
        presentationParts(zip, 25000);
        zip.stored("ppt/slides/slide1.xml", slidePart(text));
    }
    {
        // 300 MB of pictures whose sizes follow their data, full of false descriptor marks, then the slide.
        LocalEntries zip(u"pptx-no-directory-300-mb-of-pictures.pptx"_s);
        presentationParts(zip);
        std::string block;
        while (block.size() < (1u << 20))
            block += "PK\x07\x08 not the end of the picture, only bytes that look like its start. ";
        block.resize(1u << 20);
        for (int picture = 1; picture <= 3; ++picture)
            zip.stored("ppt/media/image" + std::to_string(picture) + ".png", true, [&](const auto& write) {
                for (int i = 0; i < 100; ++i)
                    write(block);
            });
        zip.stored("ppt/slides/slide1.xml", slidePart("<p:sp><p:txBody><a:p><a:r><a:t>After the pictures</a:t>"
                                                      "</a:r></a:p></p:txBody></p:sp>"));
    }
    {
        // 60,000 saved edits whose links to their persist directories point outside the stream: each is
        // mended by the directory written right before its edit.
        Sample s = sample();
        QByteArray& stream = streamNamed(s.streams, u"PowerPoint Document"_s);
        std::uint32_t previous = s.edits.currentEdit;
        for (int i = 0; i < 60000; ++i) {
            stream += atom(6002, QByteArray()).bytes();
            PptRecord edit = atom(4085, stream.mid(previous + 8, 0x1C));
            writeU32(edit.atom, 8, previous);
            writeU32(edit.atom, 12, 0xFFFFFFF0);
            previous = static_cast<std::uint32_t>(stream.size());
            stream += edit.bytes();
        }
        writeU32(streamNamed(s.streams, u"Current User"_s), 16, previous);
        save(u"ppt-60000-edits-with-broken-links.ppt"_s, writeCompoundFile(s.streams));
    }

    // 400 MB: a large document stream (so reading it takes a while) and large pictures.
    {
        Sample s = sample();
        QByteArray& stream = streamNamed(s.streams, u"PowerPoint Document"_s);
        // An atom of a type the reader does not know, after everything else.
        stream += atom(0x0FFF, QByteArray(200 << 20, 'x')).bytes();
        s.streams.emplace_back(u"Pictures"_s, QByteArray(200 << 20, '\0'));
        save(u"ppt-400-mb.ppt"_s, writeCompoundFile(s.streams, 4));
    }
    return 0;
}
