#include "PackageBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <cstdint>

namespace quorvane::test {

void writeZip(const QString& path, const std::vector<PackagePart>& parts) {
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr) << "zip_open failed: " << error;
    for (const PackagePart& part : parts) {
        // The source copies nothing: libzip reads the bytes when the archive is closed below.
        zip_source_t* source = zip_source_buffer(archive, part.content.data(), part.content.size(), 0);
        ASSERT_NE(source, nullptr);
        const zip_int64_t index = zip_file_add(archive, part.name.c_str(), source, ZIP_FL_ENC_UTF_8);
        ASSERT_GE(index, 0) << zip_strerror(archive);
        if (part.stored) {
            ASSERT_EQ(zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0), 0);
        }
    }
    ASSERT_EQ(zip_close(archive), 0) << zip_strerror(archive);
}

namespace {

std::uint32_t le(const QByteArray& bytes, qsizetype at, int size) {
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes.at(at + i));
    return value;
}

} // namespace

std::vector<ZipEntrySpan> zipEntrySpans(const QByteArray& zip, qsizetype* directory) {
    std::vector<ZipEntrySpan> spans;
    const qsizetype end = zip.lastIndexOf(QByteArray("PK\x05\x06", 4));
    EXPECT_GE(end, 0) << "no zip directory";
    if (end < 0)
        return spans;
    const qsizetype start = le(zip, end + 16, 4);
    qsizetype at = start;
    for (std::uint32_t i = 0, count = le(zip, end + 10, 2); i < count; ++i) {
        const qsizetype nameLength = le(zip, at + 28, 2);
        spans.push_back({zip.mid(at + 46, nameLength).toStdString(), le(zip, at + 42, 4), start});
        at += 46 + nameLength + le(zip, at + 30, 2) + le(zip, at + 32, 2);
    }
    std::sort(spans.begin(), spans.end(), [](const auto& a, const auto& b) { return a.start < b.start; });
    for (size_t i = 0; i + 1 < spans.size(); ++i)
        spans[i].end = spans[i + 1].start;
    if (directory != nullptr)
        *directory = start;
    return spans;
}

const char* const TransitionalNamespaces =
    R"( xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main")"
    R"( xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships")"
    R"( xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main")"
    R"( xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006")"
    R"( xmlns:p14="http://schemas.microsoft.com/office/powerpoint/2010/main")";

std::string slideXml(std::string_view shapes) {
    std::string xml = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
                      "\n<p:sld";
    xml += TransitionalNamespaces;
    xml += R"(><p:cSld><p:spTree><p:nvGrpSpPr><p:cNvPr id="1" name=""/><p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr>)"
           R"(<p:grpSpPr/>)";
    xml += shapes;
    xml += "</p:spTree></p:cSld></p:sld>";
    return xml;
}

std::string textBox(std::string_view paragraphs) {
    std::string xml = R"(<p:sp><p:nvSpPr><p:cNvPr id="2" name="Text"/><p:cNvSpPr txBox="1"/><p:nvPr/></p:nvSpPr>)"
                      R"(<p:spPr><a:prstGeom prst="rect"><a:avLst/></a:prstGeom></p:spPr><p:txBody><a:bodyPr/>)";
    xml += paragraphs;
    xml += "</p:txBody></p:sp>";
    return xml;
}

std::string textBoxOf(std::string_view text) {
    return textBox("<a:p><a:r><a:t>" + std::string(text) + "</a:t></a:r></a:p>");
}

std::vector<PackagePart> deckParts(const std::vector<std::string>& slides, std::string_view contentType) {
    std::vector<PackagePart> parts;
    std::string types =
        R"(<?xml version="1.0" encoding="UTF-8"?>)"
        R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
        R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
        R"(<Default Extension="xml" ContentType="application/xml"/>)"
        R"(<Override PartName="/ppt/presentation.xml" ContentType=")";
    types += contentType;
    types += R"("/>)";
    for (size_t i = 1; i <= slides.size(); ++i)
        types += R"(<Override PartName="/ppt/slides/slide)" + std::to_string(i) +
                 R"(.xml" ContentType="application/vnd.openxmlformats-officedocument.presentationml.slide+xml"/>)";
    types += "</Types>";
    parts.push_back({"[Content_Types].xml", types});
    parts.push_back(
        {"_rels/.rels",
         R"(<?xml version="1.0" encoding="UTF-8"?>)"
         R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
         R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="ppt/presentation.xml"/>)"
         R"(</Relationships>)"});
    std::string presentation = R"(<?xml version="1.0" encoding="UTF-8"?><p:presentation)";
    presentation += TransitionalNamespaces;
    presentation += "><p:sldIdLst>";
    std::string rels = R"(<?xml version="1.0" encoding="UTF-8"?>)"
                       R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)";
    for (size_t i = 1; i <= slides.size(); ++i) {
        const std::string n = std::to_string(i);
        presentation += R"(<p:sldId id=")" + std::to_string(255 + i) + R"(" r:id="rId)" + n + R"("/>)";
        rels +=
            R"(<Relationship Id="rId)" + n +
            R"(" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/slide" Target="slides/slide)" +
            n + R"(.xml"/>)";
    }
    presentation += "</p:sldIdLst></p:presentation>";
    rels += "</Relationships>";
    parts.push_back({"ppt/presentation.xml", presentation});
    parts.push_back({"ppt/_rels/presentation.xml.rels", rels});
    for (size_t i = 1; i <= slides.size(); ++i)
        parts.push_back({"ppt/slides/slide" + std::to_string(i) + ".xml", slides[i - 1]});
    return parts;
}

void writeDeck(const QString& path, const std::vector<std::string>& slides) {
    writeZip(path, deckParts(slides));
}

QString writeTextDeck(const QString& path, const QStringList& texts) {
    std::string shapes;
    for (const QString& text : texts)
        shapes += textBoxOf(text.toHtmlEscaped().toStdString());
    QDir().mkpath(QFileInfo(path).path());
    writeDeck(path, {slideXml(shapes)});
    return path;
}

namespace {

std::string graphicFrame(std::string_view name, std::string_view data) {
    return R"(<p:graphicFrame><p:nvGraphicFramePr><p:cNvPr id="9" name=")" + std::string(name) +
           R"("/><p:cNvGraphicFramePr/><p:nvPr/></p:nvGraphicFramePr><a:graphic>)" + std::string(data) +
           "</a:graphic></p:graphicFrame>";
}

const char* const Dgm = R"(xmlns:dgm="http://schemas.openxmlformats.org/drawingml/2006/diagram" )"
                        R"(xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main")";

} // namespace

std::string chartFrame(std::string_view name, std::string_view id) {
    return graphicFrame(name, R"(<a:graphicData uri="http://schemas.openxmlformats.org/drawingml/2006/chart">)"
                              R"(<c:chart xmlns:c="http://schemas.openxmlformats.org/drawingml/2006/chart" r:id=")" +
                                  std::string(id) + R"("/></a:graphicData>)");
}

std::string diagramFrame(std::string_view name, std::string_view id) {
    return graphicFrame(name, R"(<a:graphicData uri="http://schemas.openxmlformats.org/drawingml/2006/diagram">)"
                              R"(<dgm:relIds xmlns:dgm="http://schemas.openxmlformats.org/drawingml/2006/diagram" )"
                              R"(r:dm=")" +
                                  std::string(id) + R"("/></a:graphicData>)");
}

const char* const ChartType = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/chart";
const char* const DiagramDataType = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/diagramData";
const char* const CommentsType = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/comments";
const char* const CommentAuthorsType =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/commentAuthors";

std::string relationship(std::string_view id, std::string_view type, std::string_view target) {
    return R"(<Relationship Id=")" + std::string(id) + R"(" Type=")" + std::string(type) + R"(" Target=")" +
           std::string(target) + R"("/>)";
}

std::string relationshipsPart(std::string_view relationships) {
    return R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)" +
           std::string(relationships) + "</Relationships>";
}

std::string chartPart(std::string_view title) {
    return R"(<c:chartSpace xmlns:c="http://schemas.openxmlformats.org/drawingml/2006/chart" )"
           R"(xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main"><c:chart><c:title><c:tx><c:rich>)"
           R"(<a:bodyPr/><a:p><a:r><a:t>)" +
           std::string(title) + "</a:t></a:r></a:p></c:rich></c:tx></c:title></c:chart></c:chartSpace>";
}

std::string diagramDataPart(std::string_view text) {
    return std::string("<dgm:dataModel ") + Dgm +
           R"(><dgm:ptLst><dgm:pt modelId="0" type="doc"/><dgm:pt modelId="1"><dgm:t><a:bodyPr/><a:p><a:r><a:t>)" +
           std::string(text) +
           R"(</a:t></a:r></a:p></dgm:t></dgm:pt></dgm:ptLst><dgm:cxnLst><dgm:cxn modelId="c" srcId="0" )"
           R"(destId="1" srcOrd="0"/></dgm:cxnLst></dgm:dataModel>)";
}

std::string commentsPart(std::string_view text) {
    return R"(<p:cmLst xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main"><p:cm authorId="0" )"
           R"(idx="1"><p:pos x="0" y="0"/><p:text>)" +
           std::string(text) + "</p:text></p:cm></p:cmLst>";
}

std::string commentAuthorsPart(std::string_view author) {
    return R"(<p:cmAuthorLst xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main">)"
           R"(<p:cmAuthor id="0" name=")" +
           std::string(author) + R"(" initials="A" lastIdx="1" clrIdx="0"/></p:cmAuthorLst>)";
}

std::vector<PackagePart> reviewedDeckParts() {
    std::vector<PackagePart> parts =
        deckParts({slideXml(chartFrame("Chart", "rId1") + diagramFrame("Diagram", "rId2") + textBoxOf("Kept"))});
    for (PackagePart& part : parts)
        if (part.name == "ppt/_rels/presentation.xml.rels")
            part.content.insert(part.content.rfind("</Relationships>"),
                                relationship("rIdA", CommentAuthorsType, "commentAuthors.xml"));
    parts.push_back({"ppt/slides/_rels/slide1.xml.rels",
                     relationshipsPart(relationship("rId1", ChartType, "../charts/chart1.xml") +
                                       relationship("rId2", DiagramDataType, "../diagrams/data1.xml") +
                                       relationship("rId3", CommentsType, "../comments/comment1.xml"))});
    parts.push_back({"ppt/charts/chart1.xml", chartPart("Revenue")});
    parts.push_back({"ppt/diagrams/data1.xml", diagramDataPart("Plan")});
    parts.push_back({"ppt/comments/comment1.xml", commentsPart("Check this")});
    parts.push_back({"ppt/commentAuthors.xml", commentAuthorsPart("Ann")});
    return parts;
}

} // namespace quorvane::test
