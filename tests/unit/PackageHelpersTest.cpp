// The bounded zip reader and the XML helpers that the package readers share.
#include "support/PackageBuilder.h"

#include "office/presentation/ReadError.h"
#include "office/presentation/XmlHelpers.h"
#include "office/presentation/ZipPackage.h"

#include <QFile>
#include <QTemporaryDir>

#include "support/TestTools.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;
using namespace quorvane;
using office::ZipPackage;

namespace {

// The zip reader works inside the presentation engine, which reports a ReadError.
template <typename Run> QString failureOf(Run&& run) {
    return test::failureOf<office::ReadError>(std::forward<Run>(run));
}

// Every case runs twice: with the file read into memory in one go (small files) and read part by
// part from the descriptor (large files); both must behave the same.
class ZipPackageTest : public ::testing::TestWithParam<bool> {
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    // The default limits, with the file read whole or not as the parameter says.
    office::ZipLimits limits() const {
        office::ZipLimits limits;
        if (!GetParam())
            limits.wholeFileUpTo = 0;
        return limits;
    }
    QTemporaryDir m_dir;
};

INSTANTIATE_TEST_SUITE_P(ReadWholeOrByPart, ZipPackageTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) { return param.param ? "Whole" : "ByPart"; });

TEST_P(ZipPackageTest, ReadsPartsByNameInAnyAsciiCaseAndReusesTheBuffer) {
    test::writeZip(path(u"a.zip"_s), {{"Folder/Part.xml", "<x/>"}, {"second", std::string(5000, 'z')}});
    const ZipPackage package(path(u"a.zip"_s), limits());
    EXPECT_EQ(package.names(), (std::vector<std::string>{"Folder/Part.xml", "second"}));
    EXPECT_TRUE(package.contains("folder/part.XML"));
    EXPECT_FALSE(package.contains("Folder/Part"));
    std::string buffer = "old contents";
    package.read("second", buffer);
    EXPECT_EQ(buffer, std::string(5000, 'z'));
    package.read("FOLDER/part.xml", buffer);
    EXPECT_EQ(buffer, "<x/>");
    EXPECT_EQ(failureOf([&] { package.read("nothing", buffer); }),
              path(u"a.zip"_s) + u": nothing: the part is missing"_s);
}

TEST_P(ZipPackageTest, LimitsApplyToTheBytesReallyInflated) {
    test::writeZip(path(u"big.zip"_s), {{"big", std::string(300000, 'a') + std::string(300000, 'b')}, {"small", "ok"}});
    office::ZipLimits limits = this->limits();
    limits.maxPartSize = 100000;
    const ZipPackage sized(path(u"big.zip"_s), limits);
    EXPECT_EQ(failureOf([&] { sized.read("big"); }), path(u"big.zip"_s) + u": big: the part is larger than 0 MiB"_s);
    EXPECT_EQ(sized.read("small"), "ok");

    limits = this->limits();
    limits.ratioGrace = 1000;
    const ZipPackage ratio(path(u"big.zip"_s), limits);
    EXPECT_EQ(failureOf([&] { ratio.read("big"); }),
              path(u"big.zip"_s) + u": big: the part inflates more than 100 times (a zip bomb?)"_s);

    // Every read counts towards the bound of the whole package, a part read twice twice.
    limits = this->limits();
    limits.maxTotalSize = 700000;
    const ZipPackage twice(path(u"big.zip"_s), limits);
    EXPECT_EQ(twice.read("big").size(), 600000u);
    EXPECT_EQ(failureOf([&] { twice.read("big"); }),
              path(u"big.zip"_s) + u": big: the parts read inflate to more than 0 MiB together"_s);

    // A read that fails counts what it inflated, and the part fails again at once with the same error.
    limits = this->limits();
    limits.ratioGrace = 1000;
    limits.maxTotalSize = 1000;
    const ZipPackage failing(path(u"big.zip"_s), limits);
    const QString bomb = path(u"big.zip"_s) + u": big: the part inflates more than 100 times (a zip bomb?)"_s;
    EXPECT_EQ(failureOf([&] { failing.read("big"); }), bomb);
    EXPECT_EQ(failureOf([&] { failing.read("big"); }), bomb);
    EXPECT_EQ(failureOf([&] { failing.read("small"); }),
              path(u"big.zip"_s) + u": small: the parts read inflate to more than 0 MiB together"_s);

    limits = this->limits();
    limits.maxEntries = 1;
    EXPECT_EQ(failureOf([&] { ZipPackage(path(u"big.zip"_s), limits); }),
              path(u"big.zip"_s) + u": the zip archive has more than 1 entries"_s);
}

TEST_P(ZipPackageTest, DamagedAndAmbiguousArchivesAreRefused) {
    // Stored parts keep their bytes as they are, so one can be damaged in place.
    test::writeZip(path(u"crc.zip"_s), {{"one.xml", "<first-part/>", true}, {"two.xml", "<second-part/>", true}});
    QFile file(path(u"crc.zip"_s));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    bytes.replace("<first-part/>", "<first-PART/>");
    // Two entries of the same name: the second entry's name is rewritten in both its headers.
    bytes.replace("two.xml", "one.xml");
    file.seek(0);
    file.write(bytes);
    file.close();
    EXPECT_EQ(failureOf([&] { ZipPackage package(path(u"crc.zip"_s), limits()); }),
              path(u"crc.zip"_s) + u": damaged zip archive: the entry one.xml appears twice"_s);

    test::writeZip(path(u"crc2.zip"_s), {{"one.xml", "<first-part/>", true}});
    QFile second(path(u"crc2.zip"_s));
    ASSERT_TRUE(second.open(QIODevice::ReadWrite));
    bytes = second.readAll();
    bytes.replace("<first-part/>", "<first-PART/>");
    second.seek(0);
    second.write(bytes);
    second.close();
    const ZipPackage package(path(u"crc2.zip"_s), limits());
    EXPECT_EQ(failureOf([&] { package.read("one.xml"); }),
              path(u"crc2.zip"_s) + u": one.xml: the part is damaged: CRC error"_s);

    // Cut short inside its only entry, the archive gives nothing; a file of other bytes is no archive at all.
    test::writeZip(path(u"cut.zip"_s), {{"one.xml", std::string(3000, 'x')}});
    QFile cut(path(u"cut.zip"_s));
    ASSERT_TRUE(cut.resize(40));
    EXPECT_EQ(failureOf([&] { ZipPackage truncated(path(u"cut.zip"_s), limits()); }),
              path(u"cut.zip"_s) + u": damaged zip archive: its directory is missing (is the file truncated?)"_s);
    QFile other(path(u"other.zip"_s));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write(QByteArray(2000, 'o'));
    other.close();
    EXPECT_EQ(failureOf([&] { ZipPackage notZip(path(u"other.zip"_s), limits()); }),
              path(u"other.zip"_s) + u": not a zip archive"_s);
}

// Writes bytes as the file name and opens it as a package.
TEST_P(ZipPackageTest, ADeflatedPartWhoseHeadersLieIsReadAsAStreamFindsIt) {
    // A part is inflated in one call to its recorded size and checked against its recorded CRC-32;
    // when either lies, it is read as a stream, which goes by the bytes themselves.
    const std::string content = std::string(5000, 'a') + "<end/>";
    struct Case {
        const char* what;
        qsizetype local, directory; // where the field is in the local header and in the directory entry
        std::uint32_t value;
        QString says; // empty: the part reads as it is
    };
    for (const Case& c : {
             Case{"a checksum that lies", 14, 16, 0x12345678u, u"part.xml: the part is damaged: CRC error"_s},
             Case{"a size too large", 22, 24, 6000u, {}},
             Case{"a size too small", 22, 24, 100u, {}},
         }) {
        SCOPED_TRACE(c.what);
        const QString zip = path(u"lies.zip"_s);
        test::writeZip(zip, {{"part.xml", content}});
        QFile file(zip);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        qsizetype directory = 0;
        test::zipEntrySpans(bytes, &directory);
        for (const qsizetype at : {c.local, directory + c.directory})
            for (int i = 0; i < 4; ++i)
                bytes[at + i] = static_cast<char>(c.value >> (8 * i));
        file.seek(0);
        file.write(bytes);
        file.close();
        const ZipPackage package(zip, limits());
        std::string read;
        const QString failure = failureOf([&] { read = package.read("part.xml"); });
        EXPECT_EQ(failure, c.says.isEmpty() ? QString() : zip + u": "_s + c.says);
        if (c.says.isEmpty()) {
            EXPECT_EQ(read, content);
        }
    }
}

class ZipRecoveryTest : public ZipPackageTest {
protected:
    std::unique_ptr<ZipPackage> openBytes(const QByteArray& bytes, const office::ZipLimits& limits) {
        QFile file(path(u"damaged.zip"_s));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        return std::make_unique<ZipPackage>(path(u"damaged.zip"_s), limits);
    }
    std::unique_ptr<ZipPackage> openBytes(const QByteArray& bytes) { return openBytes(bytes, limits()); }
    QByteArray zipped(const std::vector<test::PackagePart>& parts) {
        test::writeZip(path(u"whole.zip"_s), parts);
        QFile file(path(u"whole.zip"_s));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
};

INSTANTIATE_TEST_SUITE_P(ReadWholeOrByPart, ZipRecoveryTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& param) { return param.param ? "Whole" : "ByPart"; });

TEST_P(ZipRecoveryTest, WithoutItsDirectoryTheWholeXmlPartsBeforeTheDamageAreRead) {
    const std::string content = "<part>" + std::string(2000, 'c') + "</part>";
    const QByteArray whole = zipped({{"a.xml", content},
                                     {"b.rels", "<relationships-part/>", true},
                                     {"picture.png", std::string(3000, 'p')},
                                     {"c.xml", content}});
    qsizetype directory = 0;
    const std::vector<test::ZipEntrySpan> spans = test::zipEntrySpans(whole, &directory);
    ASSERT_EQ(spans.size(), 4u);
    const std::vector<std::string> all{"a.xml", "b.rels", "picture.png", "c.xml"};

    const auto removed = openBytes(whole.left(directory));
    EXPECT_TRUE(removed->recovered());
    EXPECT_EQ(removed->damage(), u"its zip directory is missing"_s);
    EXPECT_EQ(removed->names(), all);
    EXPECT_EQ(removed->read("C.XML"), content);
    EXPECT_EQ(removed->read("b.rels"), "<relationships-part/>");
    // Pictures are passed over: no reader asks for them.
    EXPECT_EQ(failureOf([&] { removed->read("picture.png"); }),
              path(u"damaged.zip"_s) + u": picture.png: the part is not read without the zip directory"_s);

    const auto cutDirectory = openBytes(whole.left(directory + 10));
    EXPECT_EQ(cutDirectory->damage(), u"its zip directory is cut short or damaged"_s);
    EXPECT_EQ(cutDirectory->names(), all);
    // A directory whose first record is damaged is of no use either.
    QByteArray unusable = whole;
    unusable[directory] = 'Q';
    EXPECT_EQ(openBytes(unusable)->damage(), u"its zip directory is cut short or damaged"_s)
        << openBytes(unusable)->damage().toStdString();

    // A part cut short is lost with everything after it, whatever the cut leaves of it.
    for (const qsizetype cut : {spans[3].start + 10, spans[3].start + 40, spans[3].end - 1}) {
        const auto cutPart = openBytes(whole.left(cut));
        EXPECT_EQ(cutPart->damage(),
                  cut < spans[3].start + 35 ? u"cut short after picture.png"_s : u"cut short in c.xml"_s)
            << cut;
        EXPECT_EQ(cutPart->names(), (std::vector<std::string>{"a.xml", "b.rels", "picture.png"})) << cut;
    }

    // A part whose bytes fail their CRC is lost with everything after it; the directory would not help.
    QByteArray damaged = whole.left(directory);
    damaged.replace("<relationships-part/>", "<relationships-PART/>");
    const auto crc = openBytes(damaged);
    EXPECT_TRUE(crc->damage().startsWith(u"b.rels is damaged ("_s)) << crc->damage().toStdString();
    EXPECT_EQ(crc->names(), (std::vector<std::string>{"a.xml"}));
    EXPECT_EQ(crc->read("a.xml"), content);

    // An archive with its directory is read through it, as always.
    EXPECT_FALSE(openBytes(whole)->recovered());
}

TEST_P(ZipRecoveryTest, WithoutItsDirectoryTheLimitsStillHold) {
    const QByteArray whole = zipped({{"small.xml", "ok"}, {"big.xml", std::string(600000, 'a')}, {"bog.xml", "ok"}});
    qsizetype directory = 0;
    test::zipEntrySpans(whole, &directory);
    const QByteArray bytes = whole.left(directory);
    office::ZipLimits limits = this->limits();
    limits.ratioGrace = 1000;
    const auto bomb = openBytes(bytes, limits);
    EXPECT_EQ(bomb->damage(), u"big.xml inflates more than 100 times (a zip bomb?)"_s);
    EXPECT_EQ(bomb->names(), (std::vector<std::string>{"small.xml"}));

    limits = this->limits();
    limits.maxPartSize = 100000;
    EXPECT_EQ(openBytes(bytes, limits)->damage(), u"big.xml is larger than 0 MiB"_s);

    limits = this->limits();
    limits.maxEntries = 2;
    EXPECT_EQ(failureOf([&] { openBytes(bytes, limits); }),
              path(u"damaged.zip"_s) + u": the zip archive has more than 2 entries"_s);
    limits = this->limits();
    limits.maxTotalSize = 1000;
    EXPECT_EQ(
        failureOf([&] { openBytes(bytes, limits); }),
        path(u"damaged.zip"_s) +
            u": damaged zip archive: read without its directory, its parts inflate to more than 0 MiB together"_s);
    // What is kept counts towards the bound of the whole package as the reads of a whole one do.
    limits.maxTotalSize = 700000;
    const auto readTwice = openBytes(bytes, limits);
    EXPECT_EQ(readTwice->read("big.xml").size(), 600000u);
    EXPECT_EQ(failureOf([&] { readTwice->read("big.xml"); }),
              path(u"damaged.zip"_s) + u": big.xml: the parts read inflate to more than 0 MiB together"_s);

    QByteArray twice = bytes;
    twice.replace("bog.xml", "big.xml");
    EXPECT_EQ(failureOf([&] { openBytes(twice); }),
              path(u"damaged.zip"_s) + u": damaged zip archive: the entry big.xml appears twice"_s);
}

TEST_P(ZipRecoveryTest, EntriesWhoseSizesFollowTheirDataAreReadToTheLast) {
    // LibreOffice writes every entry's sizes after its data, and the content types last.
    QFile file(QStringLiteral(QUORVANE_TEST_DATA "/pptx/impress-shapes.pptx"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    qsizetype directory = 0;
    const std::vector<test::ZipEntrySpan> spans = test::zipEntrySpans(whole, &directory);
    const auto removed = openBytes(whole.left(directory));
    EXPECT_EQ(removed->damage(), u"its zip directory is missing"_s);
    ASSERT_EQ(removed->names().size(), spans.size());
    EXPECT_EQ(removed->names().back(), "[Content_Types].xml");
    const ZipPackage original(QStringLiteral(QUORVANE_TEST_DATA "/pptx/impress-shapes.pptx"), limits());
    EXPECT_EQ(removed->read("[Content_Types].xml"), original.read("[Content_Types].xml"));
    // Its descriptor cut, the last entry is lost.
    EXPECT_EQ(openBytes(whole.left(directory - 3))->damage(), u"cut short in [Content_Types].xml"_s);
}

// Little-endian fields of zip records, to damage archives the way a crafted file does.
void setLe(QByteArray& bytes, qsizetype at, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
}
// Where the directory record of the entry name starts.
qsizetype centralRecordOf(const QByteArray& zip, const std::string& name) {
    for (qsizetype at = zip.indexOf("PK\x01\x02"); at >= 0; at = zip.indexOf("PK\x01\x02", at + 4))
        if (zip.mid(at + 46, static_cast<qsizetype>(name.size())).toStdString() == name)
            return at;
    ADD_FAILURE() << "no record of " << name;
    return 0;
}
qsizetype localHeaderOf(const QByteArray& zip, const std::string& name) {
    for (const test::ZipEntrySpan& span : test::zipEntrySpans(zip))
        if (span.name == name)
            return span.start;
    ADD_FAILURE() << "no entry " << name;
    return 0;
}

TEST_P(ZipRecoveryTest, ADirectorySoundButForItsEndIsReadAsItIs) {
    const QByteArray whole = zipped({{"a.xml", "<a/>"}, {"b.xml", "<b/>"}, {"c.xml", "<c/>"}});
    // The end record counts one entry too many, and the local headers of a and b swap their names:
    // the directory's names are the ones a reader of the whole archive believes.
    QByteArray miscounted = whole;
    const qsizetype end = miscounted.lastIndexOf("PK\x05\x06");
    setLe(miscounted, end + 8, 4, 2);
    setLe(miscounted, end + 10, 4, 2);
    miscounted.replace(localHeaderOf(whole, "a.xml") + 30, 5, "b.xml");
    miscounted.replace(localHeaderOf(whole, "b.xml") + 30, 5, "a.xml");
    const auto counted = openBytes(miscounted);
    EXPECT_TRUE(counted->recovered());
    EXPECT_EQ(counted->damage(), u"its zip directory is damaged"_s);
    EXPECT_EQ(counted->names(), (std::vector<std::string>{"a.xml", "b.xml", "c.xml"}));
    EXPECT_EQ(counted->read("a.xml"), "<a/>");
    EXPECT_EQ(counted->read("b.xml"), "<b/>");

    // An entry of a method that is not read (99, which libzip refuses to open the archive for) is one
    // damaged entry; the entries after it are read, with the directory and without.
    QByteArray unknown = whole;
    setLe(unknown, localHeaderOf(whole, "b.xml") + 8, 99, 2);
    setLe(unknown, centralRecordOf(whole, "b.xml") + 10, 99, 2);
    const auto withDirectory = openBytes(unknown);
    EXPECT_EQ(withDirectory->damage(),
              u"its zip directory is damaged; b.xml is damaged (compression method 99, which is not read)"_s);
    EXPECT_EQ(withDirectory->names(), (std::vector<std::string>{"a.xml", "c.xml"}));
    EXPECT_EQ(withDirectory->read("c.xml"), "<c/>");
    const auto withoutDirectory = openBytes(unknown.left(unknown.indexOf("PK\x01\x02")));
    EXPECT_TRUE(withoutDirectory->damage().startsWith(u"its zip directory is missing; b.xml is damaged ("_s))
        << withoutDirectory->damage().toStdString();
    EXPECT_EQ(withoutDirectory->names(), (std::vector<std::string>{"a.xml", "c.xml"}));
    EXPECT_EQ(withoutDirectory->read("c.xml"), "<c/>");
}

TEST_P(ZipRecoveryTest, AnEntryHiddenInAnotherEntrysDataIsNeverRead) {
    // A stored picture whose local header gives a size shorter than its data, which holds the local
    // entry of a slide: the directory says where the picture ends, and that the slide is elsewhere.
    const QByteArray hidden = zipped({{"slide.xml", "<INVENTED/>", true}});
    const std::string picture(100, 'p');
    const std::string data = picture + hidden.left(hidden.indexOf("PK\x01\x02")).toStdString() + std::string(50, '\0');
    QByteArray whole = zipped({{"a.xml", "<a/>"}, {"picture.png", data, true}, {"slide.xml", "<REAL/>"}});
    const qsizetype local = localHeaderOf(whole, "picture.png");
    setLe(whole, local + 14, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(picture.data()), 100)),
          4);
    setLe(whole, local + 18, 100, 4);
    setLe(whole, local + 22, 100, 4);
    EXPECT_EQ(openBytes(whole)->read("slide.xml"), "<REAL/>");
    // Wherever the file is cut, the slide read is the real one or none, and a cut inside the directory
    // still finds it where the surviving records say. Only a cut right after the hidden entry leaves a
    // file that is, byte for byte, a sound one whose slide is that entry: nothing can tell them apart.
    const qsizetype hiddenEnd = local + 30 + 11 + 100 + hidden.indexOf("PK\x01\x02");
    for (qsizetype cut = local + 30; cut < whole.size(); ++cut) {
        if (cut == hiddenEnd)
            continue;
        std::unique_ptr<ZipPackage> package;
        try {
            package = openBytes(whole.left(cut));
        } catch (const office::ReadError&) {
            continue; // nothing survived
        }
        if (package->contains("slide.xml")) {
            EXPECT_EQ(package->read("slide.xml"), "<REAL/>") << cut;
        }
    }
    EXPECT_EQ(openBytes(whole.left(whole.size() - 40))->read("slide.xml"), "<REAL/>");
}

// ---- XML helpers --------------------------------------------------------------------------------

enum : int { Known = 1 };

TEST(XmlHelpersTest, WhitespaceOnlyTextStaysAndDeepTreesParse) {
    std::string buffer = "<r><t> </t><t>\t\n</t><t/></r>";
    pugi::xml_document document;
    ASSERT_EQ(office::xml::parseInPlace(document, buffer), QString());
    QStringList texts;
    for (pugi::xml_node t : document.document_element().children()) {
        QString text;
        office::xml::appendElementText(text, t);
        texts << text;
    }
    EXPECT_EQ(texts, QStringList({u" "_s, u"\t\n"_s, QString()}));

    // pugixml builds deep trees without recursion; readers cap the depth as they descend (Scope::depth).
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<e>";
    for (int i = 0; i < 100000; ++i)
        deep += "</e>";
    EXPECT_EQ(office::xml::parseInPlace(document, deep), QString());
    std::string broken = "<a><b></a>";
    EXPECT_TRUE(office::xml::parseInPlace(document, broken).startsWith(u"not well-formed XML at byte"_s));
    std::string empty;
    EXPECT_FALSE(office::xml::parseInPlace(document, empty).isEmpty());
}

TEST(XmlHelpersTest, ElementTextReadsTheSameWhetherTextIsEmbeddedOrNot) {
    for (const unsigned int options : {office::xml::ParseOptions, office::xml::EmbeddedTextParseOptions}) {
        std::string buffer = "<r><t> </t><t>a<![CDATA[b]]>c&amp;</t><t><![CDATA[x]]>y</t><t>\xC3<b/>\xA9</t><t/></r>";
        pugi::xml_document document;
        ASSERT_EQ(office::xml::parseInPlace(document, buffer, options), QString());
        QStringList texts;
        QStringList collected;
        office::xml::TextCollector collector;
        for (pugi::xml_node t : document.document_element().children()) {
            QString text;
            office::xml::appendElementText(text, t);
            texts << text;
            QString gathered;
            collector.begin(gathered);
            collector.appendElementText(t);
            collector.finish();
            collected << gathered;
        }
        // A cut UTF-8 sequence stays cut across the child element: each piece is converted apart.
        const QStringList expected{u" "_s, u"abc&"_s, u"xy"_s, u"\uFFFD\uFFFD"_s, QString()};
        EXPECT_EQ(texts, expected) << options;
        EXPECT_EQ(collected, expected) << options;
    }
}

TEST(XmlHelpersTest, ScopesResolvePrefixesAndTheDefaultNamespace) {
    const office::xml::NamespaceTable table{{"urn:known", Known}, {"urn:known:strict", Known}};
    std::string buffer = R"(<k:root xmlns:k="urn:known" xmlns="urn:known:strict" k:attr="1" plain="2">)"
                         R"(<child/><o:x xmlns:o="urn:other"/><inner xmlns=""><k:deep/></inner></k:root>)";
    pugi::xml_document document;
    ASSERT_EQ(office::xml::parseInPlace(document, buffer), QString());
    const pugi::xml_node root = document.document_element();
    const office::xml::Scope scope(table, root);
    EXPECT_TRUE(scope.is(root, Known, "root"));
    EXPECT_STREQ(scope.attribute(root, Known, "attr").value(), "1");
    EXPECT_STREQ(scope.attribute(root, office::xml::NoNamespace, "plain").value(), "2");

    const pugi::xml_node child = root.first_child();
    EXPECT_TRUE(office::xml::Scope(scope, child).is(child, Known, "child"));
    const pugi::xml_node other = child.next_sibling();
    EXPECT_EQ(office::xml::Scope(scope, other).name(other).ns, office::xml::OtherNamespace);
    const pugi::xml_node inner = other.next_sibling();
    const office::xml::Scope innerScope(scope, inner);
    EXPECT_EQ(innerScope.name(inner).ns, office::xml::NoNamespace);
    const pugi::xml_node deep = inner.first_child();
    const office::xml::Scope deepScope(innerScope, deep);
    EXPECT_TRUE(deepScope.is(deep, Known, "deep"));
    EXPECT_EQ(deepScope.depth(), 3);
    EXPECT_EQ(innerScope.namespaceOf("unbound"), office::xml::OtherNamespace);
}

TEST(XmlHelpersTest, TextDropsOnlyCharactersXmlDoesNotAllow) {
    QString text = u"kept"_s;
    office::xml::appendText(text, "\x01"
                                  "a\tb\nc\rd\x0B"
                                  "e\x1F"
                                  "f\xEF\xBF\xBE"
                                  "g_x0041_");
    EXPECT_EQ(text, u"kepta\tb\nc\rdefg_x0041_"_s);
    text.clear();
    office::xml::appendText(text, "bad \xFF byte");
    EXPECT_EQ(text, u"bad \uFFFD byte"_s);
}

// The collector joins pieces before converting them, which must never change the text: compare it
// with converting piece by piece on random runs of awkward pieces (cut and stray UTF-8 sequences,
// byte-order marks, characters XML forbids, separators).
TEST(XmlHelpersTest, CollectedTextEqualsConvertingEachPiece) {
    const std::vector<std::string> pieces = {"plain",
                                             " ",
                                             "Ü",
                                             "日本",
                                             "😀",
                                             "\xC3",
                                             "\xA9",
                                             "\xE6\x97",
                                             "\xA5",
                                             "\xF0\x9F\x98",
                                             "\x80\x80",
                                             "\xEF\xBB\xBF",
                                             "\xEF\xBB",
                                             "\xEF",
                                             "\xBB\xBF",
                                             "\xEF\xBF\xBE",
                                             "\xEF\xBF\xBF",
                                             "\x01",
                                             "a\x1F",
                                             "tab\tnew\nline\r",
                                             "\xC0\xAF",
                                             "\xED\xA0\x80",
                                             "\xF4\x90\x80\x80",
                                             "\xFF",
                                             "long plain text run"};
    std::mt19937 random(2026);
    office::xml::TextCollector collector;
    for (int round = 0; round < 3000; ++round) {
        QString expected = u"before"_s;
        QString collected = expected;
        collector.begin(collected);
        const int count = 1 + static_cast<int>(random() % 6);
        for (int i = 0; i < count; ++i) {
            const unsigned pick = random() % (pieces.size() + 2);
            if (pick == pieces.size()) {
                expected += QChar(u'\r');
                collector.appendSeparator(u'\r');
            } else if (pick == pieces.size() + 1) {
                expected += QChar(u'\v');
                collector.appendSeparator(u'\v');
            } else {
                office::xml::appendText(expected, pieces[pick]);
                collector.append(pieces[pick]);
            }
        }
        collector.finish();
        ASSERT_EQ(collected, expected) << "round " << round;
    }
}

} // namespace
