// When the worker opens the coolers again by itself: the rules alone, on a
// clock of the test's making.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "LinkRecovery.h"

namespace {

TEST(LinkRecovery, ReopensAfterThreeFailedReportsAndBacksOffWhileReportsKeepFailing)
{
    LinkRecovery r;
    r.OnRequestedConnect();
    r.OnConnectResult(1, 1, 0);
    EXPECT_FALSE(r.OnReport(true, 500));

    // One failing report a second; record when the worker would reopen.
    std::vector<uint64_t> reopens;
    for (uint64_t t = 1000; t <= 200000; t += 1000) {
        if (r.OnReport(false, t)) {
            reopens.push_back(t);
            r.OnConnectResult(1, 1, t);  // listed and opened again, and failing again
        }
    }
    std::vector<uint64_t> gaps;
    for (size_t i = 1; i < reopens.size(); ++i)
        gaps.push_back(reopens[i] - reopens[i - 1]);
    ASSERT_FALSE(reopens.empty());
    EXPECT_EQ(reopens[0], 3000u) << "after the third failure in a row";
    ASSERT_GE(gaps.size(), 7u);
    EXPECT_EQ(std::vector<uint64_t>(gaps.begin(), gaps.begin() + 7),
              (std::vector<uint64_t>{3000, 3000, 4000, 8000, 16000, 30000, 30000}));

    // One report that goes through ends the back-off.
    const uint64_t t = reopens.back() + 30000;
    EXPECT_FALSE(r.OnReport(true, t));
    EXPECT_FALSE(r.OnReport(false, t + 1000));
    EXPECT_FALSE(r.OnReport(false, t + 2000));
    EXPECT_TRUE(r.OnReport(false, t + 3000));
}

TEST(LinkRecovery, ListedCoolerNotOpenedIsRetriedWithBackOffUntilItIsGone)
{
    LinkRecovery r;
    r.OnRequestedConnect();
    r.OnConnectResult(1, 0, 10000);
    EXPECT_FALSE(r.RetryDue(10999));
    EXPECT_TRUE(r.RetryDue(11000));
    r.OnConnectResult(1, 0, 11000);
    EXPECT_FALSE(r.RetryDue(12999));
    EXPECT_TRUE(r.RetryDue(13000));
    r.OnConnectResult(0, 0, 13000);  // no longer listed: a notice will tell
    EXPECT_FALSE(r.RetryDue(1000000));

    // A connect asked for from outside starts the back-off again.
    r.OnRequestedConnect();
    r.OnConnectResult(2, 1, 20000);  // one of two coolers held
    EXPECT_TRUE(r.RetryDue(21000));
    r.OnConnectResult(2, 2, 21000);
    EXPECT_FALSE(r.RetryDue(1000000));
}

}  // namespace
