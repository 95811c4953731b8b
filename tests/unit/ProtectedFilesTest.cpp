// Password-protected presentations as real producers write them (tests/data/protected): each opens with
// its password to exactly what its unprotected copy gives, fails by name without one or with wrong
// ones, and a hostile or damaged encryption descriptor is a named error.
#include "support/PptTestFiles.h"

#include "office/Passwords.h"
#include "office/presentation/OpenPresentation.h"
#include "office/presentation/PptReader.h"

#include <QFile>
#include <QTemporaryDir>

#include <zip.h>

#include <functional>

#include "support/TestTools.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace quorvane;
using office::PasswordList;

namespace {

const QString kData = QStringLiteral(QUORVANE_TEST_DATA);

struct Fixture {
    QString file;     // in protected/
    QString password; // that opens it
    QString plain;    // its unprotected copy, in the test data (empty: none)
};

const std::vector<Fixture> kFixtures = {
    {u"agile.pptx"_s, u"Zebra-7 Ünïcode"_s, u"pptx/pptxgenjs-deck.pptx"_s},
    {u"standard.pptx"_s, u"standard"_s, u"pptx/pptxgenjs-deck.pptx"_s},
    {u"deck.odp"_s, u"odp-secret"_s, u"odp/deck.odp"_s},
    {u"Password_Protected-hello.ppt"_s, u"hello"_s, {}},
};

QString protectedFile(const QString& name) {
    return kData + u"/protected/"_s + name;
}

std::shared_ptr<PasswordList> passwords(const QStringList& texts, const QString& howToGive = {}) {
    std::vector<office::SharedPassword> list;
    for (const QString& text : texts)
        list.push_back(std::make_shared<office::Password>(text.toStdString()));
    return std::make_shared<PasswordList>(std::move(list), howToGive);
}

// Every slide's shapes (text frames and their texts) and notes, one line each.
QStringList everything(office::PresentationDocument& document) {
    QStringList out;
    for (int slide = 1; slide <= document.slideCount(); ++slide) {
        for (const office::ShapeInfo& shape : document.shapes(slide))
            out.append(u"%1 %2: %3"_s.arg(slide).arg(shape.hasTextFrame).arg(shape.text));
        out.append(u"%1 notes: %2"_s.arg(slide).arg(document.notes(slide)));
    }
    return out;
}

// The message of the PasswordError that opening path with list throws; "" when it throws none.
QString refusal(const QString& path, office::PasswordSource* list, int* tried = nullptr) {
    try {
        office::openPresentationDocument(path, list);
    } catch (const office::PasswordError& error) {
        if (tried)
            *tried = error.tried();
        return error.description();
    }
    return {};
}

TEST(ProtectedFilesTest, EachOpensWithItsPasswordToTheTextOfItsUnprotectedCopy) {
    for (const Fixture& fixture : kFixtures) {
        SCOPED_TRACE(fixture.file.toStdString());
        // A wrong password before the right one is passed over, and the right one comes first after.
        const auto list = passwords({u"not this one"_s, fixture.password});
        const auto document = office::openPresentationDocument(protectedFile(fixture.file), list.get());
        EXPECT_EQ(list->passwords().front()->utf8(), fixture.password.toStdString());
        const QStringList text = everything(*document);
        if (fixture.plain.isEmpty()) {
            EXPECT_EQ(text,
                      QStringList({u"1 1: This is a protected document"_s,
                                   u"1 1: It only has the one slide\rIt does have notes\rThe password is “hello”"_s,
                                   u"1 notes: Just for the hell of it, we have some notes"_s}));
            continue;
        }
        EXPECT_EQ(text, everything(*office::openPresentationDocument(kData + u"/"_s + fixture.plain)));
    }
}

TEST(ProtectedFilesTest, WithoutAPasswordOrWithWrongOnesItFailsSayingSo) {
    for (const Fixture& fixture : kFixtures) {
        SCOPED_TRACE(fixture.file.toStdString());
        const QString path = protectedFile(fixture.file);
        EXPECT_EQ(refusal(path, nullptr), path + u": protected by a password"_s);
        EXPECT_EQ(refusal(path, passwords({}, u"(give it with --password-file)"_s).get()),
                  path + u": protected by a password (give it with --password-file)"_s);
        int tried = 0;
        EXPECT_EQ(refusal(path, passwords({u"one"_s, fixture.password + u"x"_s}).get(), &tried),
                  path + u": the password is wrong (2 tried)"_s);
        EXPECT_EQ(tried, 2);
    }
}

// A copy of the zip package at from with the entry name's content changed by edit, at to.
void rewriteZipEntry(const QString& from, const QString& to, const char* name,
                     const std::function<void(std::string&)>& edit) {
    int error = 0;
    zip_t* source = zip_open(from.toLocal8Bit().constData(), ZIP_RDONLY, &error);
    zip_t* target = zip_open(to.toLocal8Bit().constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_TRUE(source && target);
    std::vector<std::string> contents;
    contents.reserve(static_cast<std::size_t>(zip_get_num_entries(source, 0)));
    for (zip_int64_t i = 0; i < zip_get_num_entries(source, 0); ++i) {
        const char* entry = zip_get_name(source, static_cast<zip_uint64_t>(i), 0);
        zip_stat_t stat;
        zip_stat_index(source, static_cast<zip_uint64_t>(i), 0, &stat);
        std::string& content = contents.emplace_back(stat.size, '\0');
        zip_file_t* file = zip_fopen_index(source, static_cast<zip_uint64_t>(i), 0);
        zip_fread(file, content.data(), content.size());
        zip_fclose(file);
        if (std::string_view(entry) == name)
            edit(content);
        zip_source_t* data = zip_source_buffer(target, content.data(), content.size(), 0);
        const zip_int64_t added = zip_file_add(target, entry, data, ZIP_FL_ENC_UTF_8);
        // The encrypted parts stay stored, as they were written.
        zip_set_file_compression(target, static_cast<zip_uint64_t>(added),
                                 stat.comp_method == ZIP_CM_STORE ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
    }
    ASSERT_EQ(zip_close(target), 0);
    zip_discard(source);
}

void replaceOnce(std::string& text, std::string_view from, std::string_view to) {
    const auto at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
}

TEST(ProtectedFilesTest, HostileOrDamagedEncryptionDataIsANamedError) {
    QTemporaryDir dir;
    const QString built = dir.filePath(u"built.pptx"_s);
    // The streams of a protected compound file, changed by edit, opened from memory.
    const auto compound = [&](const QString& name, const QString& stream,
                              const std::function<void(QByteArray&)>& edit) {
        test::Streams streams = test::readCompoundFile(protectedFile(name));
        edit(test::streamNamed(streams, stream));
        const auto list = passwords({kFixtures[name == u"agile.pptx" ? 0 : name == u"standard.pptx" ? 1 : 3].password});
        return test::failureOf(
            [&] { office::openCompoundFileData(test::writeCompoundFile(streams), built, list.get()); });
    };
    const auto xmlEdit = [](const char* from, const char* to) {
        return [=](QByteArray& info) { info.replace(from, to); };
    };
    EXPECT_EQ(
        compound(u"agile.pptx"_s, u"EncryptionInfo"_s, xmlEdit("spinCount=\"100000\"", "spinCount=\"4294967295\"")),
        built + u": damaged encryption data: the spin count 4294967295 is far beyond what producers write "
                u"(over 10,000,000)"_s);
    EXPECT_EQ(
        compound(u"agile.pptx"_s, u"EncryptionInfo"_s, xmlEdit("cipherAlgorithm=\"AES\"", "cipherAlgorithm=\"3DES\"")),
        built + u": encrypted with 3DES, which this program cannot open"_s);
    EXPECT_EQ(compound(u"agile.pptx"_s, u"EncryptedPackage"_s, [](QByteArray& package) { package[5000] ^= 1; }),
              built + u": damaged protected package: it fails its integrity check"_s);
    EXPECT_EQ(compound(u"agile.pptx"_s, u"EncryptionInfo"_s, [](QByteArray& info) { info.truncate(info.size() / 2); }),
              built + u": damaged encryption data: the Agile encryption descriptor is no XML"_s);
    EXPECT_EQ(compound(u"standard.pptx"_s, u"EncryptionInfo"_s, [](QByteArray& info) { info.chop(10); }),
              built + u": damaged encryption data: the encryption header is cut short"_s);
    EXPECT_EQ(compound(u"standard.pptx"_s, u"EncryptedPackage"_s, [](QByteArray& package) { package.truncate(4000); }),
              built + u": damaged encryption data: the encrypted package is cut short"_s);
    // RC4 of Office 97 has another verifier; binary presentations never used it.
    EXPECT_EQ(compound(u"Password_Protected-hello.ppt"_s, u"PowerPoint Document"_s,
                       [](QByteArray& stream) {
                           const qsizetype session = stream.indexOf(QByteArray::fromHex("0f00142f"));
                           stream[session + 8] = 1;
                           stream[session + 10] = 1;
                       }),
              built + u": encrypted with RC4 of Office 97, which this program cannot open"_s);

    // A protected OpenDocument package: its manifest says how each part is encrypted.
    const QString odp = dir.filePath(u"built.odp"_s);
    const auto openDocument = [&](const std::function<void(std::string&)>& editManifest, const char* part = "",
                                  const std::function<void(std::string&)>& editPart = {}) {
        rewriteZipEntry(protectedFile(u"deck.odp"_s), dir.filePath(u"step.odp"_s), "META-INF/manifest.xml",
                        editManifest);
        rewriteZipEntry(dir.filePath(u"step.odp"_s), odp, part, editPart);
        const auto list = passwords({u"odp-secret"_s});
        return test::failureOf([&] { everything(*office::openPresentationDocument(odp, list.get())); });
    };
    const auto manifestEdit = [](const char* from, const char* to) {
        return [=](std::string& manifest) { replaceOnce(manifest, from, to); };
    };
    EXPECT_EQ(openDocument(manifestEdit("iteration-count=\"100000\"", "iteration-count=\"99999999999\"")),
              odp + u": damaged encryption data: the iteration count 99999999999 is far beyond what producers write "
                    u"(over 10,000,000)"_s);
    EXPECT_EQ(openDocument(manifestEdit("xmlenc#aes256-cbc", "xmlenc#tripledes-cbc")),
              odp +
                  u": encrypted with http://www.w3.org/2001/04/xmlenc#tripledes-cbc, which this program cannot open"_s);
    EXPECT_EQ(openDocument(manifestEdit("manifest:checksum=\"", "manifest:checksum=\"A")),
              odp + u": damaged encryption data: the manifest's checksum is missing or no base64"_s);
    // A part damaged past the start its checksum covers is found out when it is inflated.
    EXPECT_EQ(openDocument([](std::string&) {}, "content.xml", [](std::string& part) { part[2000] ^= 0x55; }),
              odp + u": content.xml: damaged part: its deflated data is broken"_s);
}

} // namespace
