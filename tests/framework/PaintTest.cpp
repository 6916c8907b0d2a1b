// Icons from the resources as the program draws them. (The gauge's fills and its repainting are
// checked on the console's pixels by GaugePaint, the minimised icon by the application's tests.)
#include "tests/framework/FrameworkFixture.h"

TEST(Painting, TheIconIsOneSharedHandleAndAnSsIconStaticShowsThe32PixelImageItsTextNames)
{
    CWinApp app("Icons");
    const HICON icon = app.LoadIcon(IDI_TEST);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(app.LoadIcon(IDI_TEST), icon);
    CDialog about(IDD_ABOUT_TEST);
    AfxRunModal(about, [&] {
        // A window that has only just been shown may not be on the screen yet on a loaded machine.
        COLORREF centre = 0;
        for (int attempt = 0; attempt < 50 && centre != RGB(255, 0, 0); ++attempt, AfxPumpMessages(20)) {
            const AFX_IMAGE image = AfxGrabClientArea(*about.GetDlgItem(-1));
            centre = image.GetPixel(image.width / 2, image.height / 2);
        }
        EXPECT_EQ(centre, RGB(255, 0, 0)) << "the 32x32 image, red; the 16x16 one is blue";
    });
}
