// Feeds arbitrary input to the presentation reader through a real file, as the program opens files,
// and reads every slide. Built twice:
//   fuzz_pptx        the input is the whole file (zip container, dispatch by content, package parts)
//   fuzz_pptx_slide  the input is the XML of the one slide of an otherwise valid package, so the
//                    mutations reach the slide reader instead of dying in the zip checksums
// Any outcome but a clean read or an AutomationError is a fault (the sanitizers report the rest).
#include "office/AutomationError.h"
#include "office/presentation/OpenPresentation.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <zip.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace {

// One file for the whole run, rewritten for every input.
const QString& inputPath() {
    static const QString path = [] {
        QByteArray folder = QFile::encodeName(QDir::tempPath()) + "/quorvane-fuzz-XXXXXX";
        if (::mkdtemp(folder.data()) == nullptr)
            std::abort();
        return QFile::decodeName(folder) + QStringLiteral("/input.pptx");
    }();
    return path;
}

#ifdef QUORVANE_FUZZ_SLIDE_XML
void writeInput(const std::uint8_t* data, std::size_t size) {
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
        R"(<Relationship Id="s" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/slide" Target="slides/slide1.xml"/></Relationships>)";
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(inputPath()).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive == nullptr)
        std::abort();
    auto add = [&](const char* name, const void* bytes, std::size_t length) {
        zip_source_t* source = zip_source_buffer(archive, bytes, length, 0);
        if (source == nullptr || zip_file_add(archive, name, source, 0) < 0)
            std::abort();
    };
    add("[Content_Types].xml", types.data(), types.size());
    add("_rels/.rels", rels.data(), rels.size());
    add("ppt/presentation.xml", presentation.data(), presentation.size());
    add("ppt/_rels/presentation.xml.rels", presentationRels.data(), presentationRels.size());
    add("ppt/slides/slide1.xml", data, size);
    if (zip_close(archive) != 0)
        std::abort();
}
#else
void writeInput(const std::uint8_t* data, std::size_t size) {
    const int fd = ::open(QFile::encodeName(inputPath()).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size) || ::close(fd) != 0)
        std::abort();
}
#endif

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvane::office;
    writeInput(data, size);
    try {
        auto document = openPresentationDocument(inputPath());
        for (int slide = 1; slide <= document->slideCount(); ++slide) {
            try {
                for (const ShapeInfo& shape : document->shapes(slide))
                    if (!shape.hasTextFrame && !shape.text.isEmpty())
                        std::abort(); // a shape without a text frame never has text
            } catch (const AutomationError&) {
                // one damaged slide; the others must still read
            }
        }
    } catch (const AutomationError&) {
    }
    return 0;
}
