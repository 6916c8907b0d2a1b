// The gauge painted headless and checked on its pixels.
#include "tests/console/ConsoleHarness.h"

#include <algorithm>
#include <climits>

namespace {

struct GaugeRow
{
    const char* behaviour;
    double value, max;
    enum { None, All, LowerHalf, LowerThird } red;
};

const GaugeRow kGaugeRows[] = {
    {"valueEqualToMaximumIsAllRed", 2.5, 2.5, GaugeRow::All},
    {"zeroIsNoRed", 0.0, 2.5, GaugeRow::None},
    {"aboveMaximumIsAllRedAndStoredAsTheMaximum", 9.0, 2.5, GaugeRow::All},
    {"negativeIsNoRed", -0.25, 2.5, GaugeRow::None},
    {"halfFillsTheLowerHalf", 1.25, 2.5, GaugeRow::LowerHalf},
    {"thirdFillsTheLowerThirdTruncated", 1.0, 3.0, GaugeRow::LowerThird},
    {"zeroMaximumIsAllRed", 1.0, 0.0, GaugeRow::All},
    {"zeroMaximumWithNegativeValueIsAllRed", -5.0, 0.0, GaugeRow::All},
    {"negativeMaximumIsAllRed", -3.0, -1.5, GaugeRow::All},
    {"tinyMaximumWithMostNegativeWeightIsNoRed", INT_MIN * 0.001, 0.001, GaugeRow::None},
};
using GaugePaint = ConsoleTable<GaugeRow>;
void PrintTo(const GaugeRow& row, std::ostream* os) { *os << row.behaviour; }

// Counts, down the middle column of the client area, the rows that are pure red and those in the
// button-face colour.
TEST_P(GaugePaint, paintsTheRedColumnFromTheBottom)
{
    const GaugeRow& row = GetParam();
    RunConsole([&](CWeighConsoleDlg& dlg) {
        dlg.m_gauge.m_dValue = row.value;
        dlg.m_gauge.m_dMax = row.max;
        const AFX_IMAGE image = AfxGrabClientArea(dlg.m_gauge);
        const int h = image.height;
        ASSERT_GT(h, 10);
        int red = 0, face = 0;
        for (int y = 0; y < h; ++y) {
            red += image.GetPixel(image.width / 2, y) == RGB(255, 0, 0);
            face += image.GetPixel(image.width / 2, y) == GetSysColor(COLOR_BTNFACE);
        }
        const int expectedRed = row.red == GaugeRow::All         ? h
                                : row.red == GaugeRow::LowerHalf  ? h - h / 2
                                : row.red == GaugeRow::LowerThird ? h - int(2.0 / 3.0 * h)
                                                                  : 0;
        EXPECT_EQ(red, expectedRed);
        EXPECT_EQ(face, h - expectedRed);
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dValue, std::min(row.value, row.max)) << "the clamp is stored";
    });
}

INSTANTIATE_TEST_SUITE_P(Console, GaugePaint, ::testing::ValuesIn(kGaugeRows), kByBehaviour);

TEST_F(ConsoleTest, successfulReadRepaintsTheGaugeWithTheNewMaximum)
{
    device->maximumWeight = 1000;
    device->Queue("ReadWeight", {.result = 0, .weight = 1500});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        AfxPumpMessages(50); // the window's first painting
        AfxClickItem(dlg, IDC_READ_WEIGHT);
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dValue, 1.5);
        AfxPumpMessages(50);
        // Only a repaint clamps the value, so this shows the gauge was repainted.
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dValue, 1.0);
    });
}

}
