// Message maps: which handler a message reaches, and what default processing does with the rest.
#include "tests/framework/FrameworkFixture.h"

#include <string>
#include <vector>

namespace {
using Log = std::vector<std::string>;
Log g_log;

struct BaseWnd : CWnd
{
    void OnBaseCommand() { g_log.push_back("base 10"); }
    void OnBaseOnly() { g_log.push_back("base 11"); }
    void OnClicked20() { g_log.push_back("clicked 20"); }
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        g_log.push_back("default " + std::to_string(message) + "/" + std::to_string(LOWORD(wParam)));
        return CWnd::DefWindowProc(message, wParam, lParam);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(BaseWnd, CWnd)
    ON_COMMAND(10, OnBaseCommand)
    ON_COMMAND(11, OnBaseOnly)
    ON_BN_CLICKED(20, OnClicked20)
END_MESSAGE_MAP()

struct DerivedWnd : BaseWnd
{
    void OnFirst() { g_log.push_back("derived first 10"); }
    void OnSecond() { g_log.push_back("derived second 10"); }
    void OnNested()
    {
        g_log.push_back("nested 50");
        SendMessage(WM_COMMAND, 11);
        Default(); // must still act on command 50, not on the command sent in between
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(DerivedWnd, BaseWnd)
    ON_COMMAND(10, OnFirst)
    ON_COMMAND(10, OnSecond)
    ON_COMMAND(50, OnNested)
END_MESSAGE_MAP()

}

TEST(MessageMap, MessageReachesTheFirstMatchingEntryOfTheMostDerivedMapThenTheBaseMapsThenDefault)
{
    const struct { UINT message; WPARAM wParam; Log expected; } rows[] = {
        {WM_COMMAND, 10, {"derived first 10"}},       // first match wins, in the derived map
        {WM_COMMAND, 11, {"base 11"}},                // the base map takes what the derived one lacks
        {WM_COMMAND, MAKEWPARAM(20, BN_CLICKED), {"clicked 20"}},
        {WM_COMMAND, MAKEWPARAM(20, 1), {"default 273/20"}}, // another notification code
        {WM_COMMAND, 29, {"default 273/29"}},
        {WM_COMMAND, 50, {"nested 50", "base 11", "default 273/50"}}, // Default() after a nested send
    };
    DerivedWnd w;
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.message << "/" << row.wParam);
        g_log.clear();
        w.SendMessage(row.message, row.wParam, 0);
        EXPECT_EQ(g_log, row.expected);
    }
}
