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
class Gauge : public CStatic
{
public:
    int split = 10;
    int paints = 0;
    void OnPaint()
    {
        ++paints;
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

class GaugeDlg : public CDialog
{
public:
    GaugeDlg() : CDialog(IDD_PLAIN) {}
    Gauge m_gauge;
    bool attach = true;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        if (attach)
            DDX_Control(pDX, IDC_GAUGE, m_gauge);
    }
};

// Paints as the console does when minimised: the icon on the button-face background.
class IconDlg : public CDialog
{
public:
    IconDlg() : CDialog(IDD_PLAIN) {}
    HICON m_hIcon = nullptr;
    void OnPaint()
    {
        CPaintDC dc(this);
        SendMessage(WM_ICONERASEBKGND, WPARAM(dc.GetSafeHdc()), 0);
        CRect rc;
        GetClientRect(&rc);
        dc.DrawIcon(rc.Width() - GetSystemMetrics(SM_CXICON) - 4, rc.Height() - GetSystemMetrics(SM_CYICON) - 4, m_hIcon);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(IconDlg, CDialog)
    ON_WM_PAINT()
END_MESSAGE_MAP()

class IconApp : public CWinApp
{
public:
    IconApp() : CWinApp("Icons") {}
};
}

using Painting = FrameworkTest;
using Fonts = FrameworkTest;

TEST_F(Painting, PaintHandlerDrawsThroughPaintDCAndRepaintsAfterInvalidate)
{
    GaugeDlg dlg;
    AfxRunModal(dlg, [&] {
        QWidget* w = dlg.m_gauge.GetSafeWidget();
        const QColor face = QApplication::palette().color(QPalette::Button);
        EXPECT_EQ(pixel(w, 3, 5), face);
        EXPECT_EQ(pixel(w, 3, 15), QColor(Qt::red));
        dlg.m_gauge.split = 20;
        dlg.m_gauge.InvalidateRect(nullptr, TRUE);
        EXPECT_EQ(pixel(w, 3, 15), face);
        EXPECT_GE(dlg.m_gauge.paints, 2);
    });
}

TEST_F(Painting, UnhandledPaintIsQtsOwnAndABlackRectIsBlack)
{
    GaugeDlg dlg;
    dlg.attach = false;
    AfxRunModal(dlg, [&] {
        QWidget* w = dlg.GetDlgItem(IDC_GAUGE)->GetSafeWidget();
        EXPECT_EQ(pixel(w, 5, 5), QColor(Qt::black));
        EXPECT_EQ(dlg.m_gauge.paints, 0);
    });
}

TEST_F(Painting, PaintDCOutsideThePaintMessageDrawsNothing)
{
    GaugeDlg dlg;
    AfxRunModal(dlg, [&] {
        QWidget* w = dlg.m_gauge.GetSafeWidget();
        const QColor before = pixel(w, 3, 15);
        {
            CPaintDC dc(&dlg.m_gauge);
            EXPECT_EQ(dc.GetPainter(), nullptr);
            dc.FillSolidRect(0, 0, 50, 50, RGB(0, 255, 0));
            EXPECT_FALSE(dc.DrawIcon(0, 0, nullptr));
        }
        EXPECT_EQ(pixel(w, 3, 15), before);
    });
}

TEST_F(Painting, IconIsDrawnOnTheButtonFaceBackground)
{
    IconApp app;
    IconDlg dlg;
    dlg.m_hIcon = app.LoadIcon(IDI_TEST);
    ASSERT_NE(dlg.m_hIcon, nullptr);
    AfxRunModal(dlg, [&] {
        QWidget* w = dlg.GetSafeWidget();
        const QImage image = w->grab().toImage();
        EXPECT_EQ(image.pixelColor(image.width() - 20, image.height() - 20), QColor(Qt::red)) << "the 32x32 image";
        EXPECT_EQ(image.pixelColor(image.width() - 2, image.height() - 2), color(GetSysColor(COLOR_BTNFACE)));
    });
}

TEST_F(Painting, LoadIconSharesOneHandleOfThe32PixelImage)
{
    IconApp app;
    const HICON first = app.LoadIcon(IDI_TEST);
    EXPECT_EQ(app.LoadIcon(IDI_TEST), first);
    EXPECT_EQ(app.LoadIcon(4711), nullptr);
    EXPECT_EQ(GetSystemMetrics(SM_CXICON), 32);
    EXPECT_EQ(GetSystemMetrics(SM_CYICON), 32);
    CDialog about(IDD_ABOUT_TEST);
    AfxRunModal(about, [&] {
        auto* icon = qobject_cast<QLabel*>(about.GetDlgItem(-1)->GetSafeWidget());
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(icon->pixmap().size(), QSize(32, 32)) << "an SS_ICON static shows the icon its text names";
    });
}

TEST_F(Painting, WindowKeepsBigAndSmallIconsAndOffersTheIconForDragging)
{
    IconApp app;
    CDialog dlg(IDD_PLAIN);
    AfxRunModal(dlg, [&] {
        const HICON icon = app.LoadIcon(IDI_TEST);
        EXPECT_EQ(dlg.SetIcon(icon, TRUE), nullptr);
        EXPECT_EQ(dlg.GetIcon(TRUE), icon);
        EXPECT_EQ(dlg.GetIcon(FALSE), nullptr);
        dlg.SetIcon(icon, FALSE);
        EXPECT_EQ(dlg.GetIcon(FALSE), icon);
        EXPECT_FALSE(dlg.GetSafeWidget()->windowIcon().isNull());
        EXPECT_EQ(HICON(dlg.SendMessage(WM_QUERYDRAGICON)), icon);
    });
}

TEST_F(Painting, ButtonFaceIsThePalettesButtonColour)
{
    EXPECT_EQ(color(GetSysColor(COLOR_BTNFACE)), QApplication::palette().color(QPalette::Button));
}

TEST_F(Fonts, PositiveHeightIsTheCellHeightAndWidthTheAverageCharacterWidth)
{
    CFont font;
    ASSERT_TRUE(font.CreateFont(74, 26, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_STROKE_PRECIS,
                                CLIP_STROKE_PRECIS, DRAFT_QUALITY, VARIABLE_PITCH | FF_SWISS, "Arial"));
    const QFont& f = *font.GetQFont();
    const QFontMetrics fm(f);
    EXPECT_EQ(fm.ascent() + fm.descent(), 74);
    EXPECT_NEAR(fm.averageCharWidth(), 26, 1);
    EXPECT_EQ(QFontInfo(f).family(), QString("Liberation Sans")) << "Arial's stand-in";
    EXPECT_TRUE(QFontInfo(f).bold());
    EXPECT_FALSE(f.italic() || f.underline() || f.strikeOut());
}

TEST_F(Fonts, NegativeHeightIsTheCharacterHeightAndStylesApply)
{
    CFont font;
    font.CreateFont(-20, 0, 0, 0, 400, TRUE, TRUE, TRUE, ANSI_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
    const QFont& f = *font.GetQFont();
    EXPECT_EQ(QFontInfo(f).pixelSize(), 20);
    EXPECT_TRUE(f.italic());
    EXPECT_TRUE(f.underline());
    EXPECT_TRUE(f.strikeOut());
    EXPECT_EQ(f.family(), QApplication::font().family()) << "MS Sans Serif stands for the default sans";
    EXPECT_TRUE(font.DeleteObject());
    EXPECT_FALSE(font.IsCreated());
}

TEST_F(Fonts, SetFontOnAStaticChangesItsFont)
{
    CFont font;
    font.CreateFont(40, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0, 0, VARIABLE_PITCH | FF_SWISS, "Arial");
    CDialog dlg(IDD_TEST);
    AfxRunModal(dlg, [&] {
        CWnd* weight = dlg.GetDlgItem(IDC_WEIGHT);
        weight->SetFont(&font);
        EXPECT_EQ(weight->GetFont(), &font);
        EXPECT_EQ(weight->GetSafeWidget()->font(), *font.GetQFont());
        EXPECT_EQ(QFontMetrics(weight->GetSafeWidget()->font()).height(), 39) << "the tallest cell not above 40";
        EXPECT_EQ(dlg.GetDlgItem(IDC_STATUS)->GetFont(), nullptr);
    });
}
