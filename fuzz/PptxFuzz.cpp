// Feeds arbitrary input to the presentation reader through a file opened by path, as the program opens
// files, and reads every slide. Built twice:
//   fuzz_pptx        the input is the whole file (zip container, dispatch by content, package parts)
//   fuzz_pptx_slide  the input is the XML of the one slide of an otherwise valid package, so the
//                    mutations reach the slide reader instead of dying in the zip checksums; after
//                    a NUL, the rest is the XML of every part the slide may refer to (its diagram
//                    data, chart and comments, the comment authors), for the readers of those
// The file lives in memory (MemoryFile.h), and the slide variant builds its package in memory.
// What counts as a fault: ReadEverySlide.h.
#include "MemoryFile.h"
#include "ReadEverySlide.h"
#include "StoredZip.h"

#include "office/presentation/OpenPresentation.h"

#include <QString>

#ifdef QUORVANE_FUZZ_SLIDE_XML
#include <zip.h>
#endif

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

#ifdef QUORVANE_FUZZ_SLIDE_XML
// A package of one presentation part and one slide part holding the input, zipped in memory; the
// parts a slide refers to hold what follows a NUL in the input.
std::string package(const std::uint8_t* data, std::size_t size) {
    static const std::string types =
        R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
        R"(<Override PartName="/ppt/presentation.xml" ContentType="application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml"/></Types>)";
    static const std::string rels =
        R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="r" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="ppt/presentation.xml"/></Relationships>)";
    static const std::string presentation =
        R"(<p:presentation xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
        R"(<p:sldIdLst><p:sldId id="256" r:id="s"/></p:sldIdLst></p:presentation>)";
    static const std::string presentationRels =
        R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="s" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/slide" Target="slides/slide1.xml"/>)"
        R"(<Relationship Id="a" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/commentAuthors" Target="related.xml"/>)"
        R"(<Relationship Id="b" Type="http://schemas.microsoft.com/office/2018/10/relationships/authors" Target="related.xml"/></Relationships>)";
    // Whatever id a seed's slide gives its diagram or chart (the reader looks them up by id) and
    // both kinds of comments lead to the one related part.
    static const std::string slideRels = [] {
        std::string xml = R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)";
        for (int id = 1; id <= 16; ++id)
            xml +=
                R"(<Relationship Id="rId)" + std::to_string(id) +
                R"(" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/chart" Target="../related.xml"/>)";
        xml +=
            R"(<Relationship Id="c1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/comments" Target="../related.xml"/>)"
            R"(<Relationship Id="c2" Type="http://schemas.microsoft.com/office/2018/10/relationships/comments" Target="../related.xml"/>)"
            R"(</Relationships>)";
        return xml;
    }();
    const auto* nul = static_cast<const std::uint8_t*>(std::memchr(data, 0, size));
    const std::size_t slideSize = nul != nullptr ? static_cast<std::size_t>(nul - data) : size;
    const std::uint8_t* related = nul != nullptr ? nul + 1 : data + size;
    const std::size_t relatedSize = size - static_cast<std::size_t>(related - data);
    const auto* bytes = reinterpret_cast<const char*>(data);
    return quorvane::fuzz::storedZip({{"[Content_Types].xml", types},
                                      {"_rels/.rels", rels},
                                      {"ppt/presentation.xml", presentation},
                                      {"ppt/_rels/presentation.xml.rels", presentationRels},
                                      {"ppt/slides/slide1.xml", {bytes, slideSize}},
                                      {"ppt/slides/_rels/slide1.xml.rels", slideRels},
                                      {"ppt/related.xml", {reinterpret_cast<const char*>(related), relatedSize}}});
}
#endif

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static quorvane::fuzz::MemoryFile file;
#ifdef QUORVANE_FUZZ_SLIDE_XML
    const std::string bytes = package(data, size);
    const QString& path = file.hold(bytes.data(), bytes.size());
#else
    const QString& path = file.hold(data, size);
#endif
    quorvane::fuzz::readEverySlide([&] { return quorvane::office::openPresentationDocument(path); });
    return 0;
}
