// Damaged copies of real presentations through quorvane-cli text: cut short at points through the
// file, or with the zip directory removed, each gives exactly the text of the slides whose parts
// survived whole, nothing else, exit status 1 and one report naming the file.
#include "support/PackageBuilder.h"

#include "cli/Commands.h"
#include "office/presentation/OpenPresentation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "support/Streams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;
using namespace quorvane;

namespace {

const QString Data = QStringLiteral(QUORVANE_TEST_DATA);

// The real files: every .pptx, .odp and .otp fixture made by LibreOffice or pptxgenjs, and the samples.
QStringList realFiles() {
    QStringList files;
    for (const QString& folder :
         {Data + u"/pptx"_s, Data + u"/extras"_s, Data + u"/odp"_s, Data + u"/../../samples/Samples"_s})
        for (const QFileInfo& file : QDir(folder).entryInfoList({u"*.pptx"_s, u"*.odp"_s, u"*.otp"_s}, QDir::Files))
            files << file.absoluteFilePath();
    return files;
}

struct TextRun {
    int status = 0;
    std::string out, err;
};
TextRun text(const QStringList& arguments) {
    TextRun run;
    run.status = test::runCommand(cli::runText, arguments, run.out, run.err);
    return run;
}

// The JSON objects of an output, one a line.
std::vector<QJsonObject> objectsOf(const std::string& out) {
    std::vector<QJsonObject> objects;
    for (const QByteArray& line : QByteArray::fromStdString(out).split('\n'))
        if (!line.isEmpty())
            objects.push_back(QJsonDocument::fromJson(line).object());
    return objects;
}

// The shapes of the whole file by slide, without the path (a damaged copy has another).
std::map<int, std::vector<QJsonObject>> shapesBySlide(const QString& path) {
    const TextRun whole = text({u"--json"_s, path});
    EXPECT_EQ(whole.status, 0) << whole.err;
    std::map<int, std::vector<QJsonObject>> slides;
    for (QJsonObject object : objectsOf(whole.out)) {
        object.remove(u"path"_s);
        slides[object.value(u"slide"_s).toInt()].push_back(object);
    }
    return slides;
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

// A point of damage: a cut after a share of the bytes, or the zip directory taken off.
struct Damage {
    int percent; // 0: the directory removed
};

class DamagedCopyTest : public ::testing::TestWithParam<Damage> {};

INSTANTIATE_TEST_SUITE_P(CutsAndNoDirectory, DamagedCopyTest,
                         ::testing::Values(Damage{50}, Damage{80}, Damage{95}, Damage{99}, Damage{0}),
                         [](const ::testing::TestParamInfo<Damage>& param) {
                             return param.param.percent == 0 ? std::string("DirectoryRemoved")
                                                             : "CutAt" + std::to_string(param.param.percent);
                         });

TEST_P(DamagedCopyTest, GivesTheTextOfTheSlidesWhosePartsEndBeforeTheDamage) {
    QTemporaryDir dir;
    for (const QString& original : realFiles()) {
        SCOPED_TRACE(original.toStdString());
        const QByteArray bytes = contentOf(original);
        qsizetype directory = 0;
        const std::vector<test::ZipEntrySpan> spans = test::zipEntrySpans(bytes, &directory);
        const qsizetype cut = GetParam().percent == 0 ? directory : bytes.size() * GetParam().percent / 100;
        // A part survives when it and its data descriptor end before the cut.
        const auto survives = [&](const std::string& part) {
            for (const test::ZipEntrySpan& span : spans)
                if (span.name == part)
                    return span.end <= cut;
            return false;
        };
        const QString copy = dir.filePath(QFileInfo(original).fileName());
        QFile file(copy);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes.left(cut));
        file.close();

        // What the whole file gives for the slides that survive, in the order they are read. These
        // producers name slide N's part ppt/slides/slideN.xml; without the parts that give the slide
        // list, the surviving slides are read in the order of their names and numbered anew.
        const std::map<int, std::vector<QJsonObject>> whole = shapesBySlide(original);
        const bool openDocument = !original.endsWith(u".pptx"_s);
        const int slides = office::openPresentationDocument(original)->slideCount();
        const bool listLost = !openDocument && (!survives("_rels/.rels") || !survives("ppt/presentation.xml") ||
                                                !survives("ppt/_rels/presentation.xml.rels"));
        std::vector<QJsonObject> expected;
        int read = 0;
        for (int slide = 1; slide <= slides; ++slide) {
            if (!(openDocument ? survives("content.xml")
                               : survives("ppt/slides/slide" + std::to_string(slide) + ".xml")))
                continue;
            ++read;
            if (whole.count(slide))
                for (QJsonObject object : whole.at(slide)) {
                    object[u"slide"_s] = listLost ? read : slide;
                    expected.push_back(object);
                }
        }

        const TextRun damaged = text({u"--json"_s, copy});
        EXPECT_EQ(damaged.status, 1);
        // One report, naming the file; the same as the last object's error.
        ASSERT_TRUE(damaged.err.starts_with("quorvane-cli: " + copy.toStdString() + ": damaged")) << damaged.err;
        EXPECT_EQ(std::count(damaged.err.begin(), damaged.err.end(), '\n'), 1) << damaged.err;
        std::vector<QJsonObject> objects = objectsOf(damaged.out);
        ASSERT_FALSE(objects.empty());
        const QJsonObject tail = objects.back();
        objects.pop_back();
        EXPECT_EQ("quorvane-cli: " + tail.value(u"error"_s).toString().toStdString() + "\n", damaged.err);
        for (QJsonObject& object : objects)
            object.remove(u"path"_s);
        EXPECT_EQ(objects, expected) << damaged.out;
        // Nothing survived that a slide could be read from: a plain failure, with nothing counted.
        if (read == 0 && (listLost || openDocument)) {
            EXPECT_FALSE(tail.contains(u"slides_read"_s)) << damaged.err;
            continue;
        }
        EXPECT_EQ(tail.value(u"slides_read"_s).toInt(-1), read) << damaged.err;
        if (listLost)
            EXPECT_TRUE(tail.value(u"slides"_s).isNull()) << damaged.err;
        else
            EXPECT_EQ(tail.value(u"slides"_s).toInt(-1), slides) << damaged.err;

        // Plain text is the same texts, one line each.
        const TextRun plain = text({copy});
        EXPECT_EQ(plain.status, 1);
        EXPECT_EQ(plain.err, damaged.err);
        QString lines;
        for (const QJsonObject& object : expected)
            lines += object.value(u"text"_s).toString() + u"\r\n"_s;
        EXPECT_EQ(plain.out, lines.toStdString());
    }
}

// A copy cut after its slides that lost more than slides: the report names the rest, and a graphic
// that is lost keeps its place, so the shapes after it keep the numbers the whole file gives them.
struct CutAfterTheSlides {
    const char* name;
    const char* file;
    qsizetype cut;
    const char* include;
    const char* lost; // how the report ends
};

class LostBesidesSlidesTest : public ::testing::TestWithParam<CutAfterTheSlides> {};

TEST_P(LostBesidesSlidesTest, AreNamedInTheReportAndTheShapesKeepTheirNumbers) {
    const CutAfterTheSlides damage = GetParam();
    const QString original = Data + u"/extras/"_s + QString::fromLatin1(damage.file);
    QTemporaryDir dir;
    const QString copy = dir.filePath(QString::fromLatin1(damage.file));
    QFile file(copy);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contentOf(original).left(damage.cut));
    file.close();
    const QString include = QString::fromLatin1(damage.include);
    const TextRun whole = text({u"--json"_s, u"--include"_s, include, original});
    const TextRun cut = text({u"--json"_s, u"--include"_s, include, copy});
    EXPECT_EQ(cut.status, 1);
    ASSERT_TRUE(cut.err.ends_with(std::string(damage.lost) + "\n")) << cut.err;
    std::vector<QJsonObject> objects = objectsOf(cut.out);
    ASSERT_FALSE(objects.empty());
    EXPECT_EQ("quorvane-cli: " + objects.back().value(u"error"_s).toString().toStdString() + "\n", cut.err);
    objects.pop_back();
    // Each shape that survived is the whole file's, with its number (a comment whose author's name is
    // lost, as the report says, without it).
    std::vector<QJsonObject> all = objectsOf(whole.out);
    for (QJsonObject& object : all)
        object.remove(u"author"_s);
    for (QJsonObject object : objects) {
        object[u"path"_s] = original;
        object.remove(u"author"_s);
        EXPECT_NE(std::find(all.begin(), all.end(), object), all.end()) << QJsonDocument(object).toJson().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Extras, LostBesidesSlidesTest,
    ::testing::Values(CutAfterTheSlides{"Comments", "review-impress.pptx", 21107, "comments",
                                        "3 of 3 slides read; the names of the comment authors are lost; the "
                                        "comments of slide 2 are lost"},
                      // Through slide 1's relationships, which lead to whatever it has besides shapes.
                      CutAfterTheSlides{"Relationships", "review-impress.pptx", 19000, "comments",
                                        "1 of 3 slides read; slides 2\u20133 are lost; the relationships of slide "
                                        "1 are lost (its notes, comments, charts and SmartArt graphics are unknown)"},
                      CutAfterTheSlides{"SmartArt", "smartart-simple.pptx", 6000, "smartart",
                                        "1 of 1 slide read; the SmartArt graphic of slide 1 is lost"}),
    [](const ::testing::TestParamInfo<CutAfterTheSlides>& param) { return std::string(param.param.name); });

} // namespace
