// The main of every GUI test program: the framework set up headless, and a check that fails a test
// which leaves a top-level window open (closing it, so that the next test starts clean).
#include "framework/AfxTesting.h"

#include <gtest/gtest.h>

namespace {
class LeftoverWindowCheck : public testing::EmptyTestEventListener
{
    void OnTestEnd(const testing::TestInfo&) override
    {
        AfxPumpMessages(0);
        if (const int left = AfxCloseTopLevelWindows())
            ADD_FAILURE() << left << " top-level window(s) left open by the test";
    }
};
}

int main(int argc, char** argv)
{
    AfxTestStartup(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    // Appended after the result printer: end-of-test listeners run last-first, so a failure added
    // here is counted before the test's result is printed.
    testing::UnitTest::GetInstance()->listeners().Append(new LeftoverWindowCheck);
    const int result = RUN_ALL_TESTS();
    AfxTestShutdown();
    return result;
}
