// quorvane-cli text: exact bytes on standard output, one message per failed file, every file read.
#include "support/PackageBuilder.h"

#include "cli/Commands.h"

#include <QTemporaryDir>

#include "support/Streams.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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

} // namespace
