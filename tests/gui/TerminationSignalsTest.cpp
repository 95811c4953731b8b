// The desktop program's termination signals reach its event loop instead of ending it on the spot.
#include "app/TerminationSignals.h"

#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <vector>

using namespace quorvane;

namespace {

TEST(TerminationSignalsTest, EachSignalReachesTheEventLoopAndTheOldHandlingComesBack) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        std::vector<int> received;
        {
            const app::TerminationSignals termination([&received](int number) { received.push_back(number); });
            std::raise(signal); // would end the test program without it
            EXPECT_TRUE(QTest::qWaitFor([&received] { return !received.empty(); }, 5000));
            EXPECT_EQ(received, std::vector<int>{signal});
        }
        EXPECT_EQ(std::signal(signal, SIG_DFL), SIG_DFL);
    }
}

} // namespace
