// The Windows that the GUI tests run on: dialogs laid out in "MS Sans Serif" 8 must measure as on
// Windows at 96 DPI, or every layout check of the dialogs would compare against the wrong sizes.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// An empty dialog template in memory with DS_SETFONT and the given font.
std::vector<WORD> DialogTemplate(const wchar_t* face, WORD points)
{
    std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD));
    auto* dlg = reinterpret_cast<DLGTEMPLATE*>(t.data());
    dlg->style = DS_SETFONT | WS_POPUP | WS_CAPTION;
    dlg->cx = 100;
    dlg->cy = 50;
    t.insert(t.end(), {0, 0, 0}); // no menu, the standard class, no title
    t.push_back(points);
    for (const wchar_t* c = face; *c; ++c)
        t.push_back(WORD(*c));
    t.push_back(0);
    return t;
}

INT_PTR CALLBACK IgnoreMessages(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

struct Measured
{
    RECT fourByEight;
    std::string face;
};

Measured MeasureDialogFont(const wchar_t* face, WORD points)
{
    const auto t = DialogTemplate(face, points);
    HWND dlg = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(t.data()),
                                          nullptr, IgnoreMessages, 0);
    EXPECT_NE(dlg, nullptr) << "error " << GetLastError();
    Measured m{{0, 0, 4, 8}, ""};
    if (!dlg)
        return m;
    MapDialogRect(dlg, &m.fourByEight);
    HDC dc = GetDC(dlg);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(dlg, WM_GETFONT, 0, 0)));
    char name[LF_FACESIZE] = {};
    GetTextFaceA(dc, LF_FACESIZE, name);
    m.face = name;
    SelectObject(dc, old);
    ReleaseDC(dlg, dc);
    DestroyWindow(dlg);
    return m;
}

}

TEST(WineEnvironment, MsSansSerifEightIsTheBitmapFaceWithSixByThirteenBaseUnits)
{
    const Measured m = MeasureDialogFont(L"MS Sans Serif", 8);
    EXPECT_EQ(m.face, "MS Sans Serif");
    EXPECT_EQ(m.fourByEight.right, 6) << "four dialog units across are one average character";
    EXPECT_EQ(m.fourByEight.bottom, 13) << "eight dialog units down are one character height";
}
