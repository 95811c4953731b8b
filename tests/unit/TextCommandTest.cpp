// quorvane-cli text: exact bytes on standard output, one message per failed file, every file read.
#include "support/PackageBuilder.h"

#include "cli/Commands.h"
#include "office/LocalNames.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "support/Streams.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace quorvane;

namespace {

using quorvane::test::drain;

TEST(TextCommandTest, WritesEachFileAndReportsEachFailureByItsPath) {
    QTemporaryDir dir;
    const QString good = dir.filePath(u"good.pptx"_s);
    test::writeDeck(
        good, {test::slideXml(test::textBox("<a:p><a:r><a:t>a\xC2\xB8</a:t></a:r><a:br/><a:r><a:t>b</a:t></a:r></a:p>"
                                            "<a:p><a:r><a:t>\xF0\x9F\x98\x80</a:t></a:r></a:p>"))});
    const QString bad = dir.filePath(u"bad.pptx"_s);
    std::FILE* file = std::fopen(bad.toLocal8Bit().constData(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("not a presentation", file);
    std::fclose(file);

    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int status = cli::runText({good, bad, good}, out, err);
    EXPECT_EQ(status, 1);
    const std::string once = "a\xC2\xB8\vb\r\xF0\x9F\x98\x80\r\n";
    EXPECT_EQ(drain(out), once + once);
    EXPECT_EQ(drain(err), "quorvane-cli: " + bad.toStdString() + ": not a presentation file (not a zip archive)\n");

    out = std::tmpfile();
    err = std::tmpfile();
    EXPECT_EQ(cli::runText({good}, out, err), 0);
    EXPECT_EQ(drain(out), once);
    EXPECT_EQ(drain(err), "");
}

const QString Extras = QStringLiteral(QUORVANE_TEST_DATA "/extras");

// Runs "quorvane-cli text ARGUMENTS"; returns the exit status, the output and the errors.
struct TextRun {
    int status;
    std::string out, err;
};
TextRun runText(const QStringList& arguments) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int status = cli::runText(arguments, out, err);
    return {status, drain(out), drain(err)};
}

TEST(TextCommandTest, JsonLinesHoldTheSameTextsAndOneErrorObjectPerFailedFile) {
    QTemporaryDir dir;
    const QString bad = dir.filePath(u"bad.odp"_s);
    QFile badFile(bad);
    ASSERT_TRUE(badFile.open(QIODevice::WriteOnly));
    badFile.write("<not a presentation");
    badFile.close();
    const QString deck = Extras + u"/extras-impress.pptx"_s;

    const TextRun json = runText({u"--json"_s, u"--include=notes,tables,groups"_s, deck, bad});
    EXPECT_EQ(json.status, 1);
    const TextRun plain = runText({u"--include"_s, u"notes,tables,groups"_s, deck});
    EXPECT_EQ(plain.status, 0);
    // Every line parses on its own; the texts are the plain output's lines, in order.
    QString texts;
    QList<QJsonObject> objects;
    for (const QByteArray& line : QByteArray::fromStdString(json.out).split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError problem;
        const QJsonDocument document = QJsonDocument::fromJson(line, &problem);
        ASSERT_TRUE(document.isObject()) << problem.errorString().toStdString() << ": " << line.toStdString();
        objects << document.object();
        if (document.object().contains(u"text"_s))
            texts += document.object().value(u"text"_s).toString() + u"\r\n"_s;
    }
    EXPECT_EQ(texts.toStdString(), plain.out);
    ASSERT_EQ(objects.size(), 10);
    EXPECT_EQ(objects[0].keys(), (QStringList{u"kind"_s, u"name"_s, u"path"_s, u"shape"_s, u"slide"_s, u"text"_s}));
    EXPECT_EQ(objects[0].value(u"path"_s).toString(), deck);
    EXPECT_EQ(objects[2].value(u"kind"_s).toString(), u"notes"_s);
    EXPECT_EQ(objects[2].value(u"shape"_s).toInt(), 3);
    const QJsonArray cells = objects[7].value(u"cells"_s).toArray();
    ASSERT_EQ(cells.size(), 3);
    EXPECT_EQ(cells[2].toArray(), (QJsonArray{u"Total for the trip"_s, u""_s, u"two nights"_s}));
    EXPECT_EQ(objects[7].value(u"text"_s).toString(),
              u"Item\tPrice\tNote\rTent\t120\t\rTotal for the trip\t\ttwo nights"_s);
    // The failed file: one object with its path and the reason, and the report on standard error.
    EXPECT_EQ(objects[9].keys(), (QStringList{u"error"_s, u"path"_s}));
    EXPECT_EQ(objects[9].value(u"path"_s).toString(), bad);
    EXPECT_TRUE(objects[9].value(u"error"_s).toString().startsWith(bad + u": "_s));
    EXPECT_EQ(json.err, "quorvane-cli: " + objects[9].value(u"error"_s).toString().toStdString() + "\n");
}

TEST(TextCommandTest, CommentsCarryTheirAuthorAndHiddenSlidesAreMarkedOrSkipped) {
    const QString deck = Extras + u"/review-impress.pptx"_s;
    const TextRun json = runText({u"--json"_s, u"--include=comments"_s, deck});
    ASSERT_EQ(json.status, 0) << json.err;
    QList<QJsonObject> objects;
    for (const QByteArray& line : QByteArray::fromStdString(json.out).split('\n'))
        if (!line.isEmpty())
            objects << QJsonDocument::fromJson(line).object();
    ASSERT_EQ(objects.size(), 5);
    EXPECT_EQ(objects[1].value(u"kind"_s).toString(), u"comment"_s);
    EXPECT_EQ(objects[1].value(u"author"_s).toString(), u"Ann Lee"_s);
    EXPECT_EQ(objects[1].value(u"reply"_s), QJsonValue(false));
    EXPECT_EQ(objects[2].value(u"text"_s).toString(), u"Taken in May.\rReplace the logo."_s);
    EXPECT_FALSE(objects[2].contains(u"hidden"_s));
    EXPECT_EQ(objects[3].value(u"slide"_s).toInt(), 2);
    EXPECT_TRUE(objects[3].value(u"hidden"_s).toBool());
    EXPECT_FALSE(objects[3].contains(u"author"_s)); // only comments have one

    // Skipped in plain text too: the hidden slide's line goes, nothing else changes.
    EXPECT_EQ(runText({deck}).out, "Site survey\r\nBackup numbers\r\n");
    EXPECT_EQ(runText({u"--skip-hidden"_s, deck}).out, "Site survey\r\n");
    const TextRun skipped = runText({u"--json"_s, u"--skip-hidden"_s, u"--include"_s, u"comments"_s, deck});
    EXPECT_EQ(QByteArray::fromStdString(skipped.out).count('\n'), 3);
    EXPECT_EQ(skipped.out.find("\"slide\":2"), std::string::npos);
    // Without the new options, a hidden slide's objects are as they always were.
    EXPECT_EQ(runText({u"--json"_s, deck}).out.find("hidden"), std::string::npos);
    const TextRun wrong = runText({u"--include"_s, u"notes,smartarts"_s, deck});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_NE(wrong.err.find("smartart, charts, comments and alt"), std::string::npos);

    // Each format's comment carries its date as the file stores it.
    const struct {
        QString file;
        QString date;
    } dated[] = {
        {u"review-impress.pptx"_s, u"2026-05-04T10:00:00.000000000"_s},
        {u"review.odp"_s, u"2026-05-04T10:00:00"_s},
        {u"review.ppt"_s, u"2026-05-04T10:00:00.000"_s},
    };
    for (const auto& c : dated) {
        const TextRun comments = runText({u"--json"_s, u"--include=comments"_s, Extras + u'/' + c.file});
        const QJsonObject first =
            QJsonDocument::fromJson(QByteArray::fromStdString(comments.out).split('\n').at(1)).object();
        EXPECT_EQ(first.value(u"date"_s).toString(), c.date) << c.file.toStdString();
    }
}

TEST(TextCommandTest, FileListsByLineOrNulSeparated) {
    QTemporaryDir dir;
    const QString odp = Extras + u"/extras.odp"_s, ppt = Extras + u"/extras.ppt"_s;
    const std::string both = runText({odp, ppt}).out;
    ASSERT_FALSE(both.empty());
    const auto list = [&](const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    // Lines (CR LF too, empty ones skipped), then NUL-separated names.
    const QString lines = list(u"lines.txt"_s, QFile::encodeName(odp) + "\r\n\n" + QFile::encodeName(ppt) + "\n");
    EXPECT_EQ(runText({u"--files-from"_s, lines}).out, both);
    const QString nul = list(u"nul.txt"_s, QFile::encodeName(odp) + '\0' + QFile::encodeName(ppt));
    EXPECT_EQ(runText({u"--files-from"_s, nul, u"-0"_s}).out, both);
    // Arguments first, then the list.
    EXPECT_EQ(runText({odp, u"--files-from"_s, list(u"one.txt"_s, QFile::encodeName(ppt))}).out, both);

    // A list that cannot be read is named by its full path; -0 needs a list.
    const TextRun missing = runText({u"--files-from"_s, dir.filePath(u"missing.txt"_s)});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_TRUE(missing.err.starts_with("quorvane-cli text: " + dir.filePath(u"missing.txt"_s).toStdString() +
                                        ": cannot read the file list: "))
        << missing.err;
    EXPECT_EQ(runText({u"-0"_s, odp}).status, 2);
    EXPECT_EQ(runText({u"--include"_s, u"notes,pies"_s, odp}).status, 2);
}

TEST(TextCommandTest, AFolderStandsForTheFilesBelowItOrThoseOfItsExtension) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(u"sub"_s));
    test::writeDeck(dir.filePath(u"a.pptx"_s), {test::slideXml(test::textBoxOf("in a"))});
    test::writeDeck(dir.filePath(u"sub/b.pptx"_s), {test::slideXml(test::textBoxOf("in b"))});
    QFile notes(dir.filePath(u"notes.txt"_s));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("no presentation");
    notes.close();

    // Every file below the folder, in the folder walk's order; the one that is no presentation fails.
    const TextRun all = runText({dir.path()});
    EXPECT_EQ(all.status, 1);
    EXPECT_EQ(all.out, "in a\r\nin b\r\n");
    EXPECT_NE(all.err.find("notes.txt: not a presentation file"), std::string::npos) << all.err;
    // With --ext only the files the folder scan finds.
    const TextRun decks = runText({u"--ext"_s, u".pptx"_s, dir.path()});
    EXPECT_EQ(decks.status, 0) << decks.err;
    EXPECT_EQ(decks.out, all.out);
}

TEST(TextCommandTest, ProtectedFilesOpenWithThePasswordsOfThePasswordFile) {
    const QString data = QStringLiteral(QUORVANE_TEST_DATA);
    const QStringList protectedFiles{data + u"/protected/agile.pptx"_s, data + u"/protected/standard.pptx"_s,
                                     data + u"/protected/deck.odp"_s};
    const QStringList plain{data + u"/pptx/pptxgenjs-deck.pptx"_s, data + u"/pptx/pptxgenjs-deck.pptx"_s,
                            data + u"/odp/deck.odp"_s};
    QTemporaryDir dir;
    const auto passwordFile = [&](const QByteArray& bytes) {
        QFile file(dir.filePath(u"passwords"_s));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    // Each password tried in turn on every file; CR LF and LF line ends alike.
    const TextRun opened =
        runText(QStringList{u"--password-file"_s, passwordFile("odp-secret\r\nstandard\nZebra-7 \xC3\x9Cn\xC3\xAF"
                                                               "code\n")} +
                protectedFiles);
    EXPECT_EQ(opened.status, 0) << opened.err;
    EXPECT_EQ(opened.out, runText(plain).out);

    const QString& agile = protectedFiles[0];
    const TextRun none = runText({agile});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err,
              "quorvane-cli: " + agile.toStdString() + ": protected by a password (give it with --password-file)\n");
    const TextRun wrong = runText({u"--password-file"_s, passwordFile("one\ntwo\n"), agile});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(wrong.err, "quorvane-cli: " + agile.toStdString() + ": the password is wrong (2 tried)\n");
    // A password is never an argument, and standard input serves one list only.
    EXPECT_EQ(runText({u"--password-file"_s, u"-"_s, u"--files-from"_s, u"-"_s}).status, 2);
    EXPECT_TRUE(runText({u"--password-file"_s, dir.filePath(u"missing"_s), agile})
                    .err.starts_with("quorvane-cli text: " + dir.filePath(u"missing"_s).toStdString() +
                                     ": cannot read the password file: "));
}

TEST(TextCommandTest, NamesThatAreNoUtf8AreOpenedByTheirBytesAndShownEscaped) {
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    // "Präsentation.pptx" written in Latin-1, as an older system names it.
    const QByteArray latin1 = folder + "/Pr\xE4sentation.pptx";
    ASSERT_TRUE(QFile::copy(Extras + u"/extras.odp"_s, dir.filePath(u"copy.odp"_s)));
    ASSERT_EQ(::rename(QFile::encodeName(dir.filePath(u"copy.odp"_s)).constData(), latin1.constData()), 0);
    const QString name = office::nameFromNative(latin1);
    EXPECT_EQ(office::nativeName(name), latin1);
    const QString shown = dir.path() + u"/Pr\\xE4sentation.pptx"_s;
    EXPECT_EQ(office::shownName(name), shown);

    const std::string expected = runText({Extras + u"/extras.odp"_s}).out;
    EXPECT_EQ(runText({name}).out, expected);
    // Through a NUL-separated list, as find -print0 writes it.
    QFile list(dir.filePath(u"list"_s));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write(latin1 + '\0');
    list.close();
    EXPECT_EQ(runText({u"--files-from"_s, list.fileName(), u"-0"_s}).out, expected);

    // A message and a JSON object show the byte escaped, as valid text.
    const QString missing = office::nameFromNative(folder + "/gone\xE4.pptx");
    const TextRun json = runText({u"--json"_s, missing});
    EXPECT_EQ(json.err, "quorvane-cli: " + dir.path().toStdString() +
                            "/gone\\xE4.pptx: cannot open the file: No such file or directory\n");
    const QJsonObject object = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object();
    EXPECT_EQ(object.value(u"path"_s).toString(), dir.path() + u"/gone\\xE4.pptx"_s);
    ::unlink(latin1.constData()); // the temporary folder cannot name it to remove it
}

TEST(TextCommandTest, ControlCharactersInNamesReachStandardErrorEscaped) {
    QTemporaryDir dir;
    // A file name that would set the terminal's title, and a package whose slide part's name would
    // clear the screen: each message shows them escaped, and the JSON error the name as it is.
    const QString title = dir.filePath(u"a\x1B]2;title\x07"
                                       u"b\u009B.pptx"_s);
    std::vector<test::PackagePart> parts = test::deckParts({test::slideXml("")});
    for (test::PackagePart& part : parts)
        if (part.name == "ppt/_rels/presentation.xml.rels")
            part.content.replace(part.content.find("slides/slide1.xml"), 17, "slides/&#x1B;[2J.xml");
    const QString screen = dir.filePath(u"screen.pptx"_s);
    test::writeZip(screen, parts);
    const TextRun run = runText({u"--json"_s, title, screen});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.find('\x1B'), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\x07'), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(dir.filePath(u"a\\x1B]2;title\\x07b\\u009B.pptx"_s).toStdString()), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("ppt/slides/\\x1B[2J.xml"), std::string::npos) << run.err;
    const QJsonObject first = QJsonDocument::fromJson(QByteArray::fromStdString(run.out).split('\n').front()).object();
    EXPECT_EQ(first.value(u"path"_s).toString(), title);
}

} // namespace
