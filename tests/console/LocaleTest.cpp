// Numbers on the console are written in the C convention whatever the desktop's language. CTest
// runs this suite a second time with LC_ALL=de_DE.UTF-8, whose decimal separator is a comma.
#include "tests/console/ConsoleHarness.h"

#include <cstdlib>
#include <locale>

namespace {

TEST_F(ConsoleTest, weightsCapacityAndDirectIOReplyKeepTheDecimalPointUnderAnyLocale)
{
    const char* wanted = std::getenv("LC_ALL");
    if (wanted && std::string(wanted).starts_with("de_DE")) {
        // std::locale("") throws when the environment's locale is not installed.
        const std::locale environment("");
        ASSERT_EQ(std::use_facet<std::numpunct<char>>(environment).decimal_point(), ',')
            << "LC_ALL=" << wanted << " must be a locale with a decimal comma";
    }

    device->maximumWeight = 15000;
    device->Queue("ReadWeight", {.result = 0, .weight = 1250});
    device->Queue("ReadWeight", {.result = 0, .weight = -3480});
    device->Queue("DirectIO", {.result = 0, .data = 1, .string = u" 1.250 Kg"});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        AfxClickItem(dlg, IDC_OPEN_DEVICE);
        ExpectItems(dlg, {{IDC_WEIGHT, "1.250"}, {IDC_CAPACITY, "Max Weight 15 Kg"}});
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dMax, 15.0);
        AfxClickItem(dlg, IDC_READ_WEIGHT);
        EXPECT_EQ(Text(dlg, IDC_WEIGHT), "-3.480");
        dlg.SetDlgItemText(IDC_DIO_COMMAND, "4");
        AfxClickItem(dlg, IDCANCEL);
        EXPECT_EQ(Text(dlg, IDC_DIO_RESULT), "1 1.250 Kg");
    });
}

}
