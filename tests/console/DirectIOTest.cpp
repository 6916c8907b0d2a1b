// Direct IO: the command read from its box, the reply line for command 4, and string ownership.
#include "ConsoleHarness.h"

namespace {

struct ReplyCase
{
    LONG data;
    std::optional<std::u16string> string;
    const char* line;
};

const ReplyCase kReplies[] = {
    {0, u"XYZ", "0XYZ Invalid Weight"},
    {21, u"", "21 Weight Not Changed"},
    {24, std::nullopt, "24 Weight Not Changed"},
    {7, u" 1.250 Kg", "7 1.250 Kg"},
    {-3, u"x", "-3x"},
    {22, std::nullopt, "22"},
};

TEST_F(ConsoleTest, commandFourShowsDataStringAndStatusText)
{
    RunConsole([&](CWeighConsoleDlg& dlg) {
        dlg.SetDlgItemText(IDC_DIO_COMMAND, "4");
        for (const ReplyCase& r : kReplies) {
            device->Queue("DirectIO", {.result = 0, .data = r.data, .string = r.string});
            device->ClearCalls();
            AfxClickItem(dlg, IDCANCEL);
            EXPECT_EQ(DeviceCalls(), (Calls{"DirectIO(4,0,null)"}));
            EXPECT_EQ(Text(dlg, IDC_DIO_RESULT), r.line);
        }
        EXPECT_EQ(Text(dlg, IDC_RESULT_NAME), "-"); // never touches the result box
    });
}

TEST_F(ConsoleTest, failedOrOtherCommandsKeepThePreviousReply)
{
    RunConsole([&](CWeighConsoleDlg& dlg) {
        dlg.SetDlgItemText(IDC_DIO_COMMAND, "4");
        device->Queue("DirectIO", {.result = 0, .data = 0, .string = u"A"});
        AfxClickItem(dlg, IDCANCEL);
        ASSERT_EQ(Text(dlg, IDC_DIO_RESULT), "0A Invalid Weight");

        device->Queue("DirectIO", {.result = 106, .data = 21, .string = u"B"});
        AfxClickItem(dlg, IDCANCEL);
        EXPECT_EQ(Text(dlg, IDC_DIO_RESULT), "0A Invalid Weight");

        dlg.SetDlgItemText(IDC_DIO_COMMAND, "3");
        device->Queue("DirectIO", {.result = 0, .data = 21, .string = u"C"});
        AfxClickItem(dlg, IDCANCEL);
        EXPECT_EQ(Text(dlg, IDC_DIO_RESULT), "0A Invalid Weight");
        EXPECT_EQ(Text(dlg, IDC_RESULT_NAME), "-");
    });
}

struct CommandText
{
    const char* typed;
    const char* sent;
};

// The box is read with the window system's item-integer rule; what gives no number sends 0.
const CommandText kCommandTexts[] = {
    {"", "DirectIO(0,0,null)"},          {"abc", "DirectIO(0,0,null)"},
    {"12abc", "DirectIO(0,0,null)"},     {" 4", "DirectIO(4,0,null)"},
    {"+4", "DirectIO(4,0,null)"},        {"-4", "DirectIO(-4,0,null)"},
    {"99999999999", "DirectIO(0,0,null)"}, {"2147483647", "DirectIO(2147483647,0,null)"},
    {"-2147483648", "DirectIO(-2147483648,0,null)"}, {"4 ", "DirectIO(0,0,null)"},
};

TEST_F(ConsoleTest, commandBoxTextIsReadByTheItemIntegerRule)
{
    RunConsole([&](CWeighConsoleDlg& dlg) {
        for (const CommandText& c : kCommandTexts) {
            dlg.SetDlgItemText(IDC_DIO_COMMAND, c.typed);
            device->ClearCalls();
            AfxClickItem(dlg, IDCANCEL);
            EXPECT_EQ(DeviceCalls(), (Calls{c.sent})) << '"' << c.typed << '"';
        }
    });
}

TEST_F(ConsoleTest, replyStringOutsideAsciiConvertsWithoutCorruption)
{
    std::u16string longText(5000, u'w');
    longText += u"\u00e9\u20ac\U0001F600\xD800" u"end"; // accents, euro, an emoji and a lone surrogate
    device->Queue("DirectIO", {.result = 0, .data = 1, .string = longText});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        dlg.SetDlgItemText(IDC_DIO_COMMAND, "4");
        AfxClickItem(dlg, IDCANCEL);
        const std::string line = Text(dlg, IDC_DIO_RESULT);
        ASSERT_GT(line.size(), 5004u);
        EXPECT_EQ(line.substr(0, 6), "1wwwww");
        EXPECT_EQ(line.substr(line.size() - 3), "end");
        EXPECT_EQ(line.find('\0'), std::string::npos);
    });
}

TEST_F(ConsoleTest, replyStringIsFreedOnEveryPath)
{
    const long before = AfxLiveBstrCount();
    RunConsole([&](CWeighConsoleDlg& dlg) {
        const struct { const char* command; LONG result; } paths[] = {{"4", 0}, {"4", 111}, {"9", 0}, {"9", 106}};
        for (const auto& p : paths) {
            dlg.SetDlgItemText(IDC_DIO_COMMAND, p.command);
            device->Queue("DirectIO", {.result = p.result, .data = 1, .string = u"owned by the console"});
            AfxClickItem(dlg, IDCANCEL);
            EXPECT_EQ(AfxLiveBstrCount(), before) << p.command << " " << p.result;
        }
    });
}

TEST_F(ConsoleTest, escapeWithAnEmptyBoxSendsCommandZeroAndLeavesTheConsoleOpen)
{
    bool stillOpen = false;
    RunConsole([&](CWeighConsoleDlg& dlg) {
        device->ClearCalls();
        AfxPressKey(dlg, AfxKey::Escape);
        EXPECT_EQ(DeviceCalls(), (Calls{"DirectIO(0,0,null)"}));
        stillOpen = dlg.IsWindowVisible();
    });
    EXPECT_TRUE(stillOpen);
}

}
