// Message maps: which handler a message reaches, and what default processing does with the rest.
#include "FrameworkFixture.h"

#include <string>
#include <vector>

namespace {
std::vector<std::string> g_log;

class BaseWnd : public CWnd
{
public:
    void OnBaseCommand() { g_log.push_back("base 10"); }
    void OnBaseOnly() { g_log.push_back("base 11"); }
    void OnTimer(UINT_PTR id) { g_log.push_back("timer " + std::to_string(id)); }
    void OnClicked20() { g_log.push_back("clicked 20"); }

protected:
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
    ON_WM_TIMER()
    ON_BN_CLICKED(20, OnClicked20)
END_MESSAGE_MAP()

class DerivedWnd : public BaseWnd
{
    DECLARE_DYNCREATE(DerivedWnd)
public:
    void OnFirst() { g_log.push_back("derived first 10"); }
    void OnSecond() { g_log.push_back("derived second 10"); }
    void OnRange(WORD id) { g_log.push_back("range " + std::to_string(id)); }
    void OnNested()
    {
        g_log.push_back("nested 50");
        SendMessage(WM_TIMER, 7);
        Default(); // must still act on command 50, not on the timer sent in between
    }
    DECLARE_MESSAGE_MAP()
};

IMPLEMENT_DYNCREATE(DerivedWnd, CWnd)

BEGIN_MESSAGE_MAP(DerivedWnd, BaseWnd)
    ON_COMMAND(10, OnFirst)
    ON_COMMAND(10, OnSecond)
    {WM_COMMAND, BN_CLICKED, 30, 39, AFX_THUNK(pThis->OnRange(LOWORD(wParam)); return 0;)},
    ON_COMMAND(50, OnNested)
END_MESSAGE_MAP()

class MapsApp : public CWinApp
{
public:
    MapsApp() : CWinApp("Maps") {}
    void OnSeventySeven() { g_log.push_back("app 77"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(MapsApp, CWinApp)
    ON_COMMAND(77, OnSeventySeven)
END_MESSAGE_MAP()

std::vector<std::string> send(CWnd& w, UINT message, WPARAM wParam)
{
    g_log.clear();
    w.SendMessage(message, wParam, 0);
    return g_log;
}

using Log = std::vector<std::string>;
}

TEST(MessageMap, FirstMatchingEntryOfTheMostDerivedClassWins)
{
    DerivedWnd w;
    EXPECT_EQ(send(w, WM_COMMAND, 10), Log{"derived first 10"});
}

TEST(MessageMap, BaseClassMapTakesWhatTheDerivedMapLacks)
{
    DerivedWnd w;
    EXPECT_EQ(send(w, WM_COMMAND, 11), Log{"base 11"});
    EXPECT_EQ(send(w, WM_TIMER, 42), Log{"timer 42"});
}

TEST(MessageMap, CommandEntriesMatchIdRangeAndNotificationCode)
{
    DerivedWnd w;
    const struct
    {
        WPARAM wParam;
        Log expected;
    } rows[] = {
        {MAKEWPARAM(20, BN_CLICKED), {"clicked 20"}},
        {MAKEWPARAM(20, 1), {"default 273/20"}}, // another notification code
        {MAKEWPARAM(29, 0), {"default 273/29"}},
        {MAKEWPARAM(30, 0), {"range 30"}},
        {MAKEWPARAM(39, 0), {"range 39"}},
        {MAKEWPARAM(40, 0), {"default 273/40"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.wParam);
        EXPECT_EQ(send(w, WM_COMMAND, row.wParam), row.expected);
    }
}

TEST(MessageMap, DefaultActsOnTheMessageBeingHandledAfterNestedSends)
{
    DerivedWnd w;
    EXPECT_EQ(send(w, WM_COMMAND, 50), (Log{"nested 50", "timer 7", "default 273/50"}));
}

TEST(MessageMap, UnhandledCommandsReachTheApplicationMap)
{
    DerivedWnd w;
    EXPECT_EQ(send(w, WM_COMMAND, 77), Log{"default 273/77"});
    MapsApp app;
    EXPECT_EQ(AfxGetApp(), &app);
    EXPECT_EQ(send(w, WM_COMMAND, 77), (Log{"default 273/77", "app 77"}));
    EXPECT_EQ(send(w, WM_COMMAND, 11), Log{"base 11"}); // a window's own entry still comes first
}

TEST(RuntimeClass, DynamicClassesAreFoundByNameAndCreated)
{
    const CRuntimeClass* cls = CRuntimeClass::FromName("DerivedWnd");
    ASSERT_EQ(cls, RUNTIME_CLASS(DerivedWnd));
    std::unique_ptr<CObject> obj(cls->CreateObject());
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->GetRuntimeClass(), RUNTIME_CLASS(DerivedWnd));
    EXPECT_TRUE(obj->IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(CWnd().IsKindOf(RUNTIME_CLASS(DerivedWnd)));
    EXPECT_EQ(CRuntimeClass::FromName("NoSuchClass"), nullptr);
    EXPECT_EQ(CObject::classCObject.CreateObject(), nullptr);
}
