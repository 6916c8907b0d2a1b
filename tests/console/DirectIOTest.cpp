// Direct IO: the command read from its box, the reply line for command 4, and string ownership.
#include "tests/console/ConsoleHarness.h"

namespace {

// Sent one after another; a reply that is not shown leaves the line before it.
TEST_F(ConsoleTest, commandFourShowsDataStringAndStatusTextAndEveryReplyStringIsFreed)
{
    const struct { const char* command; LONG result, data; std::optional<std::u16string> string; const char* line; } rows[] = {
        {"4", 0, 0, u"XYZ", "0XYZ Invalid Weight"},
        {"4", 0, 21, u"", "21 Weight Not Changed"},
        {"4", 0, 24, std::nullopt, "24 Weight Not Changed"},
        {"4", 0, 7, u" 1.250 Kg", "7 1.250 Kg"},
        {"4", 0, -3, u"x", "-3x"},
        {"4", 0, 22, std::nullopt, "22"},
        {"4", 106, 21, u"failed", "22"},
        {"3", 0, 21, u"other command", "22"},
        {"9", 111, 0, u"failed other", "22"},
    };
    const long liveStrings = AfxLiveBstrCount();
    RunConsole([&](CWeighConsoleDlg& dlg) {
        for (const auto& r : rows) {
            SCOPED_TRACE(r.line);
            dlg.SetDlgItemText(IDC_DIO_COMMAND, r.command);
            device->Queue("DirectIO", {.result = r.result, .data = r.data, .string = r.string});
            AfxClickItem(dlg, IDCANCEL);
            EXPECT_EQ(Text(dlg, IDC_DIO_RESULT), r.line);
            EXPECT_EQ(AfxLiveBstrCount(), liveStrings);
        }
        EXPECT_EQ(Text(dlg, IDC_RESULT_NAME), "-"); // never touches the result box
    });
}

// The window system's item-integer rule, signed; what gives no number sends 0.
TEST_F(ConsoleTest, commandBoxTextIsReadAsASignedNumber)
{
    const struct { const char* typed; const char* sent; } rows[] = {
        {"", "DirectIO(0,0,null)"}, {"12abc", "DirectIO(0,0,null)"}, {"-4", "DirectIO(-4,0,null)"},
        {"-2147483648", "DirectIO(-2147483648,0,null)"},
    };
    RunConsole([&](CWeighConsoleDlg& dlg) {
        for (const auto& row : rows) {
            dlg.SetDlgItemText(IDC_DIO_COMMAND, row.typed);
            device->ClearCalls();
            AfxClickItem(dlg, IDCANCEL);
            EXPECT_EQ(device->Calls(), (Calls{row.sent})) << '"' << row.typed << '"';
        }
    });
}

}
