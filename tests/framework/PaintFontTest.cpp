// Painting through CPaintDC checked on real pixels, icons, system colours and fonts.
#include "FrameworkFixture.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPalette>

namespace {
QColor pixel(QWidget* w, int x, int y) { return w->grab().toImage().pixelColor(x, y); }
QColor color(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

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

// Paints the icon, as the console does when minimised.
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
        CPaintDC(this).DrawIcon(rc.Width() - 36, rc.Height() - 36, m_hIcon); // a 32-pixel icon, 4 pixels in
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(PaintDlg, CDialog)
    ON_WM_PAINT()
END_MESSAGE_MAP()
}

TEST(Painting, PaintHandlersDrawThroughPaintDCAndTheIconIsOneSharedHandleOfThe32PixelImage)
{
    const QColor face = QApplication::palette().color(QPalette::Button);
    EXPECT_EQ(color(GetSysColor(COLOR_BTNFACE)), face);
    CWinApp app("Icons");
    PaintDlg dlg;
    dlg.m_hIcon = app.LoadIcon(IDI_TEST);
    ASSERT_NE(dlg.m_hIcon, nullptr);
    EXPECT_EQ(app.LoadIcon(IDI_TEST), dlg.m_hIcon);
    AfxRunModal(dlg, [&] {
        QWidget* w = dlg.m_gauge.GetSafeWidget();
        EXPECT_EQ(pixel(w, 3, 5), face);
        EXPECT_EQ(pixel(w, 3, 15), QColor(Qt::red));
        CPaintDC(&dlg.m_gauge).FillSolidRect(0, 0, 50, 50, RGB(0, 255, 0));
        EXPECT_EQ(pixel(w, 3, 15), QColor(Qt::red)) << "a paint DC outside WM_PAINT draws nothing";
        dlg.m_gauge.split = 20;
        dlg.m_gauge.InvalidateRect(nullptr, TRUE);
        EXPECT_EQ(pixel(w, 3, 15), face) << "repainted after the invalidation";

        const QImage image = dlg.GetSafeWidget()->grab().toImage();
        EXPECT_EQ(image.pixelColor(image.width() - 20, image.height() - 20), QColor(Qt::red)) << "the 32x32 image";
        EXPECT_EQ(image.pixelColor(image.width() - 2, image.height() - 2), face);
    });
    CDialog about(IDD_ABOUT_TEST);
    AfxRunModal(about, [&] {
        auto* label = qobject_cast<QLabel*>(about.GetDlgItem(-1)->GetSafeWidget());
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->pixmap().size(), QSize(32, 32)) << "an SS_ICON static shows the icon its text names";
    });
}

TEST(Fonts, HeightIsTheCellHeightWhenPositiveAndTheCharacterHeightWhenNegativeAndStaticsTakeIt)
{
    CFont big, small, forty;
    ASSERT_TRUE(big.CreateFont(74, 26, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_STROKE_PRECIS,
                               CLIP_STROKE_PRECIS, DRAFT_QUALITY, VARIABLE_PITCH | FF_SWISS, "Arial"));
    const QFontMetrics fm(*big.GetQFont());
    EXPECT_EQ(fm.ascent() + fm.descent(), 74);
    EXPECT_NEAR(fm.averageCharWidth(), 26, 1) << "width is the average character width";
    EXPECT_TRUE(QFontInfo(*big.GetQFont()).bold() && QFontInfo(*big.GetQFont()).family() == "Liberation Sans");

    small.CreateFont(-20, 0, 0, 0, 400, TRUE, TRUE, TRUE, ANSI_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
    const QFont& f = *small.GetQFont();
    EXPECT_TRUE(QFontInfo(f).pixelSize() == 20 && f.italic() && f.underline() && f.strikeOut());
    EXPECT_EQ(f.family(), QApplication::font().family()) << "MS Sans Serif stands for the default sans";
    EXPECT_TRUE(small.DeleteObject() && !small.IsCreated());

    forty.CreateFont(40, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0, 0, VARIABLE_PITCH | FF_SWISS, "Arial");
    CDialog dlg(IDD_TEST);
    AfxRunModal(dlg, [&] {
        dlg.GetDlgItem(IDC_WEIGHT)->SetFont(&forty);
        EXPECT_EQ(dlg.GetDlgItem(IDC_WEIGHT)->GetFont(), &forty);
        EXPECT_EQ(QFontMetrics(item(dlg, IDC_WEIGHT)->font()).height(), 39) << "the tallest cell not above 40";
    });
}
