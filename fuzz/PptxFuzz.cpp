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
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t* archive = buffer != nullptr ? zip_open_from_source(buffer, ZIP_TRUNCATE, &error) : nullptr;
    if (archive == nullptr)
        std::abort();
    zip_source_keep(buffer); // its bytes are read after zip_close
    auto add = [&](const char* name, const void* bytes, std::size_t length) {
        zip_source_t* source = zip_source_buffer(archive, bytes, length, 0);
        const zip_int64_t index = source != nullptr ? zip_file_add(archive, name, source, 0) : -1;
        // Stored: the slide reader is the target, not deflate.
        if (index < 0 || zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0) != 0)
            std::abort();
    };
    add("[Content_Types].xml", types.data(), types.size());
    add("_rels/.rels", rels.data(), rels.size());
    add("ppt/presentation.xml", presentation.data(), presentation.size());
    add("ppt/_rels/presentation.xml.rels", presentationRels.data(), presentationRels.size());
    add("ppt/slides/slide1.xml", data, slideSize);
    add("ppt/slides/_rels/slide1.xml.rels", slideRels.data(), slideRels.size());
    add("ppt/related.xml", related, relatedSize);
    if (zip_close(archive) != 0)
        std::abort();
    zip_stat_t stat;
    std::string bytes;
    if (zip_source_stat(buffer, &stat) != 0 || zip_source_open(buffer) != 0)
        std::abort();
    bytes.resize(static_cast<std::size_t>(stat.size));
    if (zip_source_read(buffer, bytes.data(), stat.size) != static_cast<zip_int64_t>(stat.size))
        std::abort();
    zip_source_close(buffer);
    zip_source_free(buffer);
    zip_error_fini(&error);
    return bytes;
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
