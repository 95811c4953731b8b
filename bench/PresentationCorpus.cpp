// bench_pptx corpus FOLDER [COUNT] — writes COUNT (default 1000) presentations of 20 slides with 6
// text shapes each, laid out as presentation programs write them (run properties, body properties, a
// master, a layout and a theme), with varied words so they compress like real text.
//
// bench_pptx floor FILE... — the floor the reader is measured against: opens each package with libzip
// and inflates every slide part with zlib (libzip's own reading), checking its CRC-32, doing nothing
// else, and prints the wall time, the CPU time and the inflated bytes.
//
// bench_pptx floor-libdeflate FILE... — the same, each slide part's raw deflate data read through
// libzip and inflated in one call with libdeflate, its CRC-32 checked with libdeflate_crc32.
#include <libdeflate.h>
#include <zip.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

const char* const Words[] = {"quarterly", "review",   "revenue",   "growth",   "market",  "customer", "product",
                             "team",      "strategy", "roadmap",   "delivery", "quality", "budget",   "forecast",
                             "risk",      "plan",     "Überblick", "résumé",   "naïve",   "données",  "日本語",
                             "данные",    "2026",     "Q3",        "—",        "%"};

std::string words(std::mt19937& random, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            text += ' ';
        text += Words[random() % (sizeof Words / sizeof *Words)];
    }
    return text;
}

std::string shape(std::mt19937& random, int id, bool title) {
    std::string xml =
        "<p:sp><p:nvSpPr><p:cNvPr id=\"" + std::to_string(id) + "\" name=\"TextBox " + std::to_string(id) +
        "\"/><p:cNvSpPr txBox=\"1\"/><p:nvPr>" + (title ? "<p:ph type=\"title\"/>" : "") +
        "</p:nvPr></p:nvSpPr><p:spPr><a:xfrm><a:off x=\"" + std::to_string(457200 + id * 1000) +
        "\" y=\"274638\"/><a:ext cx=\"8229600\" cy=\"1143000\"/></a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/>"
        "</a:prstGeom><a:noFill/></p:spPr><p:txBody><a:bodyPr wrap=\"square\" rtlCol=\"0\"><a:spAutoFit/>"
        "</a:bodyPr><a:lstStyle/>";
    const int paragraphs = title ? 1 : 1 + static_cast<int>(random() % 4);
    for (int p = 0; p < paragraphs; ++p) {
        xml += "<a:p><a:pPr marL=\"0\" indent=\"0\"><a:buNone/></a:pPr>";
        const int runs = 1 + static_cast<int>(random() % 3);
        for (int r = 0; r < runs; ++r)
            xml += "<a:r><a:rPr lang=\"en-US\" sz=\"2000\" dirty=\"0\"><a:solidFill><a:srgbClr val=\"1F2937\"/>"
                   "</a:solidFill><a:latin typeface=\"Calibri\"/></a:rPr><a:t>" +
                   words(random, 2 + static_cast<int>(random() % 8)) + (r + 1 < runs ? " " : "") + "</a:t></a:r>";
        xml += "<a:endParaRPr lang=\"en-US\" sz=\"2000\" dirty=\"0\"/></a:p>";
    }
    return xml + "</p:txBody></p:sp>";
}

const char* const Ns = " xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\""
                       " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\""
                       " xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\"";
const char* const RelsNs = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
const char* const RelType = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

int writeCorpus(const char* folder, int count) {
    constexpr int Slides = 20;
    std::mt19937 random(12345);
    std::string theme =
        "<?xml version=\"1.0\"?><a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
        "name=\"Office\"><a:themeElements>";
    for (int i = 0; i < 200; ++i)
        theme += "<a:font script=\"S" + std::to_string(i) + "\" typeface=\"Font " + std::to_string(i % 17) + "\"/>";
    theme += "</a:themeElements></a:theme>";
    for (int n = 1; n <= count; ++n) {
        const std::string path = std::string(folder) + "/deck" + std::to_string(n) + ".pptx";
        int error = 0;
        zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        if (archive == nullptr) {
            std::fprintf(stderr, "cannot create %s\n", path.c_str());
            return 1;
        }
        std::vector<std::string> parts; // kept alive until zip_close reads them
        parts.reserve(64);
        auto add = [&](const std::string& name, std::string content) {
            parts.push_back(std::move(content));
            zip_source_t* source = zip_source_buffer(archive, parts.back().data(), parts.back().size(), 0);
            zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
        };
        std::string types =
            "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
            "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
            "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
            "<Override PartName=\"/ppt/presentation.xml\" ContentType=\"application/vnd.openxmlformats-"
            "officedocument.presentationml.presentation.main+xml\"/>";
        std::string presentation =
            std::string("<?xml version=\"1.0\"?><p:presentation") + Ns +
            "><p:sldMasterIdLst><p:sldMasterId id=\"2147483648\" r:id=\"rId1\"/></p:sldMasterIdLst><p:sldIdLst>";
        std::string presentationRels = std::string("<?xml version=\"1.0\"?>") + RelsNs +
                                       "<Relationship Id=\"rId1\" Type=\"" + RelType +
                                       "slideMaster\" Target=\"slideMasters/slideMaster1.xml\"/>";
        for (int s = 1; s <= Slides; ++s) {
            const std::string id = std::to_string(s + 1);
            types += "<Override PartName=\"/ppt/slides/slide" + std::to_string(s) +
                     ".xml\" ContentType=\"application/vnd.openxmlformats-officedocument.presentationml.slide+xml\"/>";
            presentation += "<p:sldId id=\"" + std::to_string(255 + s) + "\" r:id=\"rId" + id + "\"/>";
            presentationRels += "<Relationship Id=\"rId" + id + "\" Type=\"" + RelType +
                                "slide\" Target=\"slides/slide" + std::to_string(s) + ".xml\"/>";
        }
        types += "</Types>";
        presentation +=
            "</p:sldIdLst><p:sldSz cx=\"12192000\" cy=\"6858000\"/><p:notesSz cx=\"6858000\" cy=\"9144000\"/>"
            "</p:presentation>";
        presentationRels += "</Relationships>";
        add("[Content_Types].xml", types);
        add("_rels/.rels", std::string("<?xml version=\"1.0\"?>") + RelsNs + "<Relationship Id=\"rId1\" Type=\"" +
                               RelType + "officeDocument\" Target=\"ppt/presentation.xml\"/></Relationships>");
        add("ppt/presentation.xml", presentation);
        add("ppt/_rels/presentation.xml.rels", presentationRels);
        add("ppt/theme/theme1.xml", theme);
        add("ppt/slideMasters/slideMaster1.xml",
            std::string("<p:sldMaster") + Ns + "><p:cSld><p:spTree/></p:cSld></p:sldMaster>");
        add("ppt/slideLayouts/slideLayout1.xml",
            std::string("<p:sldLayout") + Ns + "><p:cSld><p:spTree/></p:cSld></p:sldLayout>");
        for (int s = 1; s <= Slides; ++s) {
            std::string slide = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<p:sld") +
                                Ns +
                                "><p:cSld><p:spTree><p:nvGrpSpPr><p:cNvPr id=\"1\" name=\"\"/><p:cNvGrpSpPr/><p:nvPr/>"
                                "</p:nvGrpSpPr><p:grpSpPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"0\" cy=\"0\"/>"
                                "<a:chOff x=\"0\" y=\"0\"/><a:chExt cx=\"0\" cy=\"0\"/></a:xfrm></p:grpSpPr>";
            for (int k = 0; k < 6; ++k)
                slide += shape(random, k + 2, k == 0);
            slide += "</p:spTree></p:cSld><p:clrMapOvr><a:masterClrMapping/></p:clrMapOvr></p:sld>";
            add("ppt/slides/slide" + std::to_string(s) + ".xml", std::move(slide));
            add("ppt/slides/_rels/slide" + std::to_string(s) + ".xml.rels",
                std::string("<?xml version=\"1.0\"?>") + RelsNs + "<Relationship Id=\"rId1\" Type=\"" + RelType +
                    "slideLayout\" Target=\"../slideLayouts/slideLayout1.xml\"/></Relationships>");
        }
        if (zip_close(archive) != 0) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}

// Inflates the slide part at index with zlib, through libzip, which checks its CRC-32 at the end.
bool inflateWithZlib(zip_t* archive, zip_uint64_t index, std::vector<char>& buffer, unsigned long long& bytes) {
    zip_file_t* file = zip_fopen_index(archive, index, 0);
    if (file == nullptr)
        return false;
    zip_int64_t got = 0;
    while ((got = zip_fread(file, buffer.data(), buffer.size())) > 0)
        bytes += static_cast<unsigned long long>(got);
    zip_fclose(file);
    return got == 0;
}

// Inflates the slide part at index with libdeflate in one call, from its raw data, to its recorded size.
bool inflateWithLibdeflate(zip_t* archive, zip_uint64_t index, libdeflate_decompressor* decompressor,
                           std::vector<char>& raw, std::vector<char>& buffer, unsigned long long& bytes) {
    zip_stat_t stat;
    if (zip_stat_index(archive, index, 0, &stat) != 0)
        return false;
    raw.resize(stat.comp_size);
    buffer.resize(stat.size);
    zip_file_t* file = zip_fopen_index(archive, index, ZIP_FL_COMPRESSED);
    if (file == nullptr)
        return false;
    const zip_int64_t got = zip_fread(file, raw.data(), raw.size());
    zip_fclose(file);
    if (got != static_cast<zip_int64_t>(raw.size()) ||
        libdeflate_deflate_decompress(decompressor, raw.data(), raw.size(), buffer.data(), buffer.size(), nullptr) !=
            LIBDEFLATE_SUCCESS ||
        libdeflate_crc32(0, buffer.data(), buffer.size()) != stat.crc)
        return false;
    bytes += stat.size;
    return true;
}

int inflateFloor(int count, char** files, bool libdeflate) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<char> buffer(1 << 16), raw;
    libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
    unsigned long long bytes = 0;
    for (int i = 0; i < count; ++i) {
        int error = 0;
        zip_t* archive = zip_open(files[i], ZIP_RDONLY, &error);
        if (archive == nullptr) {
            std::fprintf(stderr, "cannot open %s\n", files[i]);
            return 1;
        }
        const zip_int64_t entries = zip_get_num_entries(archive, 0);
        for (zip_int64_t e = 0; e < entries; ++e) {
            const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(e), 0);
            // Slide parts only: ppt/slides/slideN.xml, not their relationships.
            if (name == nullptr || std::strncmp(name, "ppt/slides/slide", 16) != 0 ||
                std::strchr(name + 16, '/') != nullptr)
                continue;
            const auto index = static_cast<zip_uint64_t>(e);
            if (!(libdeflate ? inflateWithLibdeflate(archive, index, decompressor, raw, buffer, bytes)
                             : inflateWithZlib(archive, index, buffer, bytes))) {
                std::fprintf(stderr, "cannot inflate %s in %s\n", name, files[i]);
                return 1;
            }
        }
        zip_discard(archive);
    }
    libdeflate_free_decompressor(decompressor);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // CPU time as well: on a busy machine it is the fairer figure to compare.
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("%.3f %.3f %llu\n", seconds, cpu, bytes);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "corpus") == 0)
        return writeCorpus(argv[2], argc > 3 ? std::atoi(argv[3]) : 1000);
    if (argc >= 2 && std::strcmp(argv[1], "floor") == 0)
        return inflateFloor(argc - 2, argv + 2, false);
    if (argc >= 2 && std::strcmp(argv[1], "floor-libdeflate") == 0)
        return inflateFloor(argc - 2, argv + 2, true);
    std::fputs(
        "usage: bench_pptx corpus FOLDER [COUNT] | bench_pptx floor FILE... | bench_pptx floor-libdeflate FILE...\n",
        stderr);
    return 2;
}
