// The gauge painted headless and checked on its real pixels.
#include "ConsoleHarness.h"

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <climits>

namespace {

struct Painted
{
    int redRows = 0;
    int faceRows = 0;
    int height = 0; // of the client area
    bool borderDrawn = false;
};

// Paints the gauge and counts, down its middle column, the rows that are pure red and those in the
// button-face colour.
Painted Paint(CWeightGauge& gauge)
{
    CRect client;
    gauge.GetClientRect(client);
    QWidget* widget = gauge.GetSafeWidget();
    const QImage image = widget->grab().toImage();
    const QColor face(GetRValue(GetSysColor(COLOR_BTNFACE)), GetGValue(GetSysColor(COLOR_BTNFACE)),
                      GetBValue(GetSysColor(COLOR_BTNFACE)));
    Painted p;
    p.height = client.Height();
    // The item's border is the window's own and frames whatever the gauge paints.
    p.borderDrawn = image.height() > client.Height() && image.pixelColor(image.width() / 2, 0) == QColor(Qt::black);
    const int x = image.width() / 2;
    for (int y = 0; y < image.height(); ++y) {
        const QColor c = image.pixelColor(x, y);
        if (c == QColor(255, 0, 0))
            ++p.redRows;
        else if (c == face)
            ++p.faceRows;
    }
    return p;
}

struct GaugeCase
{
    const char* name;
    double value;
    double max;
    enum { None, All, LowerHalf, LowerThird } red;
};

const GaugeCase kGaugeCases[] = {
    {"valueEqualToMaximumIsAllRed", 2.5, 2.5, GaugeCase::All},
    {"zeroIsNoRed", 0.0, 2.5, GaugeCase::None},
    {"aboveMaximumIsAllRed", 9.0, 2.5, GaugeCase::All},
    {"negativeIsNoRed", -0.25, 2.5, GaugeCase::None},
    {"halfFillsTheLowerHalf", 1.25, 2.5, GaugeCase::LowerHalf},
    {"thirdFillsTheLowerThirdTruncated", 1.0, 3.0, GaugeCase::LowerThird},
    {"zeroMaximumIsAllRed", 1.0, 0.0, GaugeCase::All},
    {"zeroMaximumWithNegativeValueIsAllRed", -5.0, 0.0, GaugeCase::All},
    {"negativeMaximumIsAllRed", -3.0, -1.5, GaugeCase::All},
    {"tinyMaximumWithMostNegativeWeightIsNoRed", INT_MIN * 0.001, 0.001, GaugeCase::None},
    {"tinyMaximumWithLargeNegativeIsNoRed", -1e300, 1e-300, GaugeCase::None},
};

class GaugePaint : public ConsoleTest, public ::testing::WithParamInterface<GaugeCase>
{
};

TEST_P(GaugePaint, paintsTheRedColumnFromTheBottom)
{
    const GaugeCase& c = GetParam();
    RunConsole([&](CWeighConsoleDlg& dlg) {
        dlg.m_gauge.m_dValue = c.value;
        dlg.m_gauge.m_dMax = c.max;
        const Painted p = Paint(dlg.m_gauge);
        ASSERT_GT(p.height, 10);
        int expectedRed = 0;
        switch (c.red) {
        case GaugeCase::None: expectedRed = 0; break;
        case GaugeCase::All: expectedRed = p.height; break;
        case GaugeCase::LowerHalf: expectedRed = p.height - p.height / 2; break;
        case GaugeCase::LowerThird: expectedRed = p.height - int(2.0 / 3.0 * p.height); break;
        }
        EXPECT_EQ(p.redRows, expectedRed);
        EXPECT_EQ(p.faceRows, p.height - expectedRed);
        EXPECT_TRUE(p.borderDrawn);
    });
}

INSTANTIATE_TEST_SUITE_P(Values, GaugePaint, ::testing::ValuesIn(kGaugeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConsoleTest, gaugeKeepsTheClampedValueAfterPainting)
{
    RunConsole([&](CWeighConsoleDlg& dlg) {
        dlg.m_gauge.m_dValue = 7.5;
        dlg.m_gauge.m_dMax = 2.5;
        Paint(dlg.m_gauge);
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dValue, 2.5);
        dlg.m_gauge.m_dValue = 2.5; // equal is left alone
        Paint(dlg.m_gauge);
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dValue, 2.5);
    });
}

TEST_F(ConsoleTest, successfulReadRepaintsTheGaugeWithTheNewMaximum)
{
    device->maximumWeight = 1000;
    device->Queue("ReadWeight", {.result = 0, .weight = 1500});
    RunConsole([&](CWeighConsoleDlg& dlg) {
        AfxClickItem(dlg, IDC_READ_WEIGHT);
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dValue, 1.5);
        AfxPumpMessages(50);
        // Only the repaint clamps the value, so this shows the gauge was repainted.
        EXPECT_DOUBLE_EQ(dlg.m_gauge.m_dValue, 1.0);
    });
}

}
