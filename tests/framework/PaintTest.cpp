// Painting through CPaintDC, checked on the pixels: fills, invalidation, icons.
#include "tests/framework/FrameworkFixture.h"

namespace {
// Paints its top part in the button-face colour and the rest red, as the console's gauge does.
struct Gauge : CStatic
{
    int split = 10;
    void OnPaint()
    {
        CPaintDC dc(this);
        CRect rc;
        GetClientRect(&rc);
        dc.FillSolidRect(0, 0, rc.Width(), split, GetSysColor(COLOR_BTNFACE));
        rc.top = split;
        dc.FillSolidRect(&rc, dc.GetNearestColor(RGB(255, 0, 0)));
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Gauge, CStatic)
    ON_WM_PAINT()
END_MESSAGE_MAP()

// Paints the icon 4 pixels in from the bottom-right corner, as the console does when minimised.
struct PaintDlg : CDialog
{
    PaintDlg() : CDialog(IDD_PLAIN) {}
    Gauge m_gauge;
    HICON m_hIcon = nullptr;
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, IDC_GAUGE, m_gauge); }
    void OnPaint()
    {
        CRect rc;
        GetClientRect(&rc);
        CPaintDC(this).DrawIcon(rc.Width() - 36, rc.Height() - 36, m_hIcon);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(PaintDlg, CDialog)
    ON_WM_PAINT()
END_MESSAGE_MAP()

constexpr COLORREF kRed = RGB(255, 0, 0);
}

TEST(Painting, PaintHandlersDrawThroughPaintDCAndTheIconIsOneSharedHandleOfThe32PixelImage)
{
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    CWinApp app("Icons");
    PaintDlg dlg;
    dlg.m_hIcon = app.LoadIcon(IDI_TEST);
    ASSERT_NE(dlg.m_hIcon, nullptr);
    EXPECT_EQ(app.LoadIcon(IDI_TEST), dlg.m_hIcon);
    AfxRunModal(dlg, [&] {
        EXPECT_EQ(AfxGrabClientArea(dlg.m_gauge).GetPixel(3, 5), face);
        EXPECT_EQ(AfxGrabClientArea(dlg.m_gauge).GetPixel(3, 15), kRed);
        CPaintDC(&dlg.m_gauge).FillSolidRect(0, 0, 50, 50, RGB(0, 255, 0));
        EXPECT_EQ(AfxGrabClientArea(dlg.m_gauge).GetPixel(3, 15), kRed) << "a paint DC outside WM_PAINT draws nothing";
        dlg.m_gauge.split = 20;
        dlg.m_gauge.InvalidateRect(nullptr, TRUE);
        AfxPumpMessages(0);
        EXPECT_EQ(AfxGrabClientArea(dlg.m_gauge).GetPixel(3, 15), face) << "repainted after the invalidation";

        const AFX_IMAGE image = AfxGrabClientArea(dlg);
        EXPECT_EQ(image.GetPixel(image.width - 20, image.height - 20), kRed) << "the 32x32 image";
        EXPECT_EQ(image.GetPixel(image.width - 2, image.height - 2), face);
    });
    AfxRunModal(dlg, [&] { EXPECT_EQ(dlg.GetDlgItem(IDC_GAUGE), &dlg.m_gauge) << "attached again on a second run"; });
    CDialog about(IDD_ABOUT_TEST);
    AfxRunModal(about, [&] {
        // A window that has only just been shown may not be on the screen yet on a loaded machine.
        COLORREF centre = 0;
        for (int attempt = 0; attempt < 50 && centre != kRed; ++attempt, AfxPumpMessages(20)) {
            const AFX_IMAGE icon = AfxGrabClientArea(*about.GetDlgItem(-1));
            centre = icon.GetPixel(icon.width / 2, icon.height / 2);
        }
        EXPECT_EQ(centre, kRed) << "an SS_ICON static shows the icon its text names";
    });
}
