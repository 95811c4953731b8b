#include "import/SpreadsheetChecks.h"

#include "office/spreadsheet/SpreadsheetEngine.h"
#include "support/FakeServices.h"
#include "support/RecordingOffice.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace quorvane;
using namespace quorvane::import;

namespace {

const QString Title = u"Quorvane"_s;

TEST(SpreadsheetChecks, CreatableCheckDropsTheInstanceAndShowsNothing) {
    office::SpreadsheetEngine engine;
    test::FakePrompts prompts;
    EXPECT_TRUE(CheckExcelCreatable(engine, prompts, Title));
    EXPECT_TRUE(prompts.messages.empty());
    // The dropped instance does not linger as a running one that the import would warn about.
    EXPECT_FALSE(ExcelIsRunning(engine));
}

TEST(SpreadsheetChecks, UncreatableServerGetsTheFiveParagraphMessage) {
    test::RecordingSpreadsheetServer server;
    server.failCall(u"create"_s);
    test::FakePrompts prompts;
    EXPECT_FALSE(CheckExcelCreatable(server, prompts, Title));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].style, shell::MessageStyle::OkOnly);
    EXPECT_EQ(prompts.messages[0].caption, Title);
    EXPECT_EQ(prompts.messages[0].text,
              u"Error 842001. A normal instance of Excel could not be created.\r\n\r\n"
              u"1. Please make sure Excel is installed on this computer.\r\n\r\n"
              u"2. Please open Excel normally and make sure a blank spreadsheet opens immediately without any "
              u"interrupting window (such as an Excel file recovery window).\r\n\r\n"
              u"3. Please make sure that when you double-click on a XLS or XLSX file that Excel opens normally "
              u"without any interrupting messages.\r\n\r\n"
              u"4. All versions of Excel are supported by this software except for the rare Excel Starter and "
              u"Student editions."_s);
}

TEST(SpreadsheetChecks, RunningTestNeedsAGenuineInstance) {
    EXPECT_EQ(spreadsheetApplicationName(), office::SpreadsheetEngine().create()->name());
    {
        test::RecordingSpreadsheetServer server;
        EXPECT_FALSE(ExcelIsRunning(server)); // nothing running
        server.startUserInstance();
        EXPECT_TRUE(ExcelIsRunning(server));
        server.foreignName = u"Some Other Sheets"_s;
        EXPECT_FALSE(ExcelIsRunning(server)); // a foreign server
    }
    for (const QString& member : {u"attach"_s, u"name"_s}) {
        test::RecordingSpreadsheetServer server;
        server.startUserInstance();
        server.failCall(member);
        EXPECT_FALSE(ExcelIsRunning(server)) << member.toStdString();
    }
}

TEST(SpreadsheetChecks, WarningAsksOnlyWhenRunningAndOnlyYesProceeds) {
    test::RecordingSpreadsheetServer server;
    test::FakePrompts prompts;
    EXPECT_FALSE(WarnIfExcelOpen(server, prompts, Title));
    EXPECT_TRUE(prompts.messages.empty());

    server.startUserInstance();
    prompts.answerNextMessage(shell::MessageAnswer::Yes);
    EXPECT_FALSE(WarnIfExcelOpen(server, prompts, Title));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].style, shell::MessageStyle::YesNo);
    EXPECT_EQ(prompts.messages[0].caption, Title);
    EXPECT_EQ(prompts.messages[0].text, u"Excel may be open. It is recommended that you close Excel first.\r"
                                        u"Close the open result windows if necessary.\r\n\r\n"
                                        u"Would you like to proceed anyway?"_s);
    prompts.answerNextMessage(shell::MessageAnswer::No);
    EXPECT_TRUE(WarnIfExcelOpen(server, prompts, Title));
    prompts.answerNextMessage(shell::MessageAnswer::Cancel);
    EXPECT_TRUE(WarnIfExcelOpen(server, prompts, Title));
}

} // namespace
