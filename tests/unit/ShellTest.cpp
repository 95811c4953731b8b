#include "import/ColumnSeparation.h"
#include "office/Utf8.h"
#include "shell/ErrorReport.h"
#include "shell/Guard.h"
#include "shell/Product.h"
#include "support/FakeServices.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace quorvane;
using namespace Qt::StringLiterals;
using quorvane::test::RecordingErrorReporter;

namespace {

QString location() {
    return QStringLiteral("in Travenor2017/04/05.Form1.PushButton6_Click ");
}

} // namespace

TEST(ErrorReport, TextJoinsDescriptionLocationLineAndClosingLine) {
    const QString text = shell::errorReportText(QStringLiteral("Disk full"), location(), 104);
    EXPECT_EQ(text, u"Disk full\r\nin Travenor2017/04/05.Form1.PushButton6_Click at line 104\r\r"
                    u"Please email screenshot of this message to "_s +
                        shell::supportEmail());
    // A description with its own line breaks is shown unchanged.
    EXPECT_TRUE(shell::errorReportText(QStringLiteral("a\r\nb"), location(), 0).startsWith(u"a\r\nb\r\nin "));
}

TEST(ErrorReport, PromptReporterShowsAWarningBoxCaptionedApplicationErrorAndANoticeAsInformation) {
    test::FakePrompts prompts;
    shell::PromptErrorReporter reporter(prompts);
    reporter.report(QStringLiteral("x"), location(), 100);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].style, shell::MessageStyle::Warning);
    EXPECT_EQ(prompts.messages[0].caption, u"Application Error");
    EXPECT_EQ(prompts.messages[0].text, shell::errorReportText(QStringLiteral("x"), location(), 100));
    // A notice is no failure: an information box with the description alone.
    reporter.notice(QStringLiteral("The rows from 1,048,577 on continue on the sheet \"Sheet2\"."), location(), 164);
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[1].style, shell::MessageStyle::Information);
    EXPECT_EQ(prompts.messages[1].caption, shell::applicationTitleFrom(shell::productTitle()));
    EXPECT_EQ(prompts.messages[1].text, u"The rows from 1,048,577 on continue on the sheet \"Sheet2\"."_s);
}

TEST(Guard, ReportsEachFailingStatementWithItsNumberAndGoesOn) {
    RecordingErrorReporter reporter;
    shell::Guard g(reporter, location());
    EXPECT_EQ(g.line(), 0);
    std::vector<int> ran;
    g.run(100, [&] { ran.push_back(100); });
    g.run(102, [&] { throw std::runtime_error("first"); });
    g.run(104, [&] { ran.push_back(104); });
    g.run(106, [&] { throw std::runtime_error("second"); });
    EXPECT_EQ(ran, (std::vector<int>{100, 104}));
    ASSERT_EQ(reporter.reports.size(), 2u);
    EXPECT_EQ(reporter.reports[0].description, u"first");
    EXPECT_EQ(reporter.reports[0].line, 102);
    EXPECT_EQ(reporter.reports[0].location, location());
    EXPECT_EQ(reporter.reports[1].line, 106);
    EXPECT_EQ(g.failures(), 2);
}

TEST(Guard, FailingTestCountsAsPassedAndFailingAssignmentKeepsTheValue) {
    RecordingErrorReporter reporter;
    shell::Guard g(reporter, location());
    EXPECT_TRUE(g.test(110, [] { return false || (throw std::runtime_error("cannot tell"), false); }));
    EXPECT_FALSE(g.test(112, [] { return false; }));
    QString value = QStringLiteral("previous");
    g.assign(120, value, []() -> QString { throw std::runtime_error("unreadable"); });
    EXPECT_EQ(value, u"previous");
    g.assign(122, value, [] { return QStringLiteral("next"); });
    EXPECT_EQ(value, u"next");
    EXPECT_EQ(reporter.lines(), (std::vector<int>{110, 120}));
}

TEST(Guard, FailureInsideACalledRoutineAbandonsItsRestAndReportsTheCallingStatement) {
    RecordingErrorReporter reporter;
    shell::Guard g(reporter, location());
    bool restRan = false;
    auto routine = [&] {
        throw std::runtime_error("inner");
        restRan = true; // never reached
    };
    g.run(130, routine);
    EXPECT_FALSE(restRan);
    EXPECT_EQ(reporter.lines(), (std::vector<int>{130}));
}

TEST(Guard, AbortIsNotAFailure) {
    RecordingErrorReporter reporter;
    shell::Guard g(reporter, location());
    EXPECT_THROW(g.run(100, [] { throw shell::OperationAborted{}; }), shell::OperationAborted);
    EXPECT_TRUE(reporter.reports.empty());
}

TEST(ApplicationTitle, RemovesTheLastWordAtLeastOnceThenWhileLongerThan40) {
    EXPECT_EQ(shell::applicationTitleFrom(QStringLiteral("Quorvane Text Importer")), u"Quorvane Text");
    const QString fifty = QString(38, u'a') + u" bbbbbb"_s + u" ccccc"_s; // 38 + 7 + 6 = 51
    EXPECT_EQ(fifty.size(), 51);
    const QString title50 = fifty.mid(1); // 50 characters ending in words of 6 and 5 letters
    EXPECT_EQ(shell::applicationTitleFrom(title50).size(), 37);
    EXPECT_EQ(shell::applicationTitleFrom(QStringLiteral("Quorvane")), u"Quorvane"); // no space: kept whole
}

TEST(ColumnSeparation, ReplacesEveryOccurrenceBySplitMark) {
    const QString mark(import::SplitMark);
    EXPECT_EQ(import::separateColumns(QStringLiteral("a b  c"), QStringLiteral(" ")),
              u"a"_s + mark + u"b"_s + mark + mark + u"c"_s);
    EXPECT_EQ(import::separateColumns(QStringLiteral("xaby"), QStringLiteral("ab")), u"x"_s + mark + u"y"_s);
    EXPECT_EQ(import::separateColumns(QStringLiteral("xaby"), QStringLiteral("A")), u"xaby");      // case-sensitive
    EXPECT_EQ(import::separateColumns(QStringLiteral("aaaa"), QStringLiteral("aa")), mark + mark); // no overlap
    EXPECT_EQ(import::separateColumns(QStringLiteral("a,b"), QString()), u"a,b");                  // empty: unchanged
}

TEST(ColumnSeparation, StagedTextKeepsItsColumnMarksAsTextAndNoLoneSurrogate) {
    const QString staged = import::protectSplitMarks(u"a\u00B8b \uFDD0"_s);
    EXPECT_EQ(staged, u"a\uFDD0b \uFFFD"_s);
    EXPECT_EQ(import::separateColumns(staged, u"\u00B8"_s), u"a\u00B8b \uFFFD"_s);
    // Text that is no valid UTF-16 goes out with U+FFFD where it breaks, pairs kept.
    const QString broken = u"x"_s + QChar(0xD800) + u"y\U0001F600"_s + QChar(0xDC00);
    EXPECT_EQ(office::toUtf8(broken), QByteArray("x\xEF\xBF\xBDy\xF0\x9F\x98\x80\xEF\xBF\xBD"));
}
