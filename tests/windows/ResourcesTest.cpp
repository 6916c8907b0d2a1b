// The icon and version block that the build makes from the resource tables, read back the way
// Explorer reads them from the executable (this test program links the same resources).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

std::vector<BYTE> OwnVersionBlock()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::vector<BYTE> block(GetFileVersionInfoSizeW(path, nullptr));
    if (block.empty() || !GetFileVersionInfoW(path, 0, DWORD(block.size()), block.data()))
        block.clear();
    return block;
}

// The icon drawn at its own size over magenta, a colour it does not use.
struct DrawnIcon
{
    int width = 0, height = 0;
    std::vector<COLORREF> pixels;
    COLORREF at(int x, int y) const { return pixels[y * width + x]; }
};

DrawnIcon DrawIcon128(int size)
{
    DrawnIcon drawn;
    HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(128), IMAGE_ICON, size, size, 0));
    if (!icon)
        return drawn;
    ICONINFO info{};
    BITMAP bm{};
    GetIconInfo(icon, &info);
    GetObjectW(info.hbmColor, sizeof bm, &bm);
    drawn.width = bm.bmWidth;
    drawn.height = bm.bmHeight;
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);

    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP target = CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ old = SelectObject(dc, target);
    const RECT all{0, 0, size, size};
    HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
    FillRect(dc, &all, magenta);
    DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            drawn.pixels.push_back(GetPixel(dc, x, y));
    DeleteObject(magenta);
    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    DestroyIcon(icon);
    return drawn;
}

constexpr COLORREF kClear = RGB(255, 0, 255), kBlack = RGB(0, 0, 0), kWhite = RGB(255, 255, 255),
                   kLime = RGB(0, 255, 0), kNavy = RGB(0, 0, 128), kRed = RGB(255, 0, 0);

}

TEST(WindowsResources, VersionBlockCarriesVersionOneZeroZeroOneAndTheStringsOfTheTable)
{
    std::vector<BYTE> block = OwnVersionBlock();
    ASSERT_FALSE(block.empty()) << "no version resource";
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_APP));

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);

    const struct { const wchar_t* name; const wchar_t* value; } fields[] = {
        {L"CompanyName", L""},
        {L"FileDescription", L"Tarabo MFC Application"},
        {L"FileVersion", L"1, 0, 0, 1"},
        {L"InternalName", L"Tarabo"},
        {L"LegalCopyright", L"Copyright (C) 2026 Tarabo"},
        {L"LegalTrademarks", L""},
        {L"OriginalFilename", L"Tarabo.EXE"},
        {L"ProductName", L"Tarabo Application"},
        {L"ProductVersion", L"1, 0, 0, 1"},
    };
    for (const auto& f : fields) {
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + f.name;
        wchar_t* value = nullptr;
        SCOPED_TRACE(std::string(query.begin(), query.end()));
        ASSERT_TRUE(VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length));
        EXPECT_EQ(std::wstring(value), f.value);
    }
}

TEST(WindowsResources, Icon128HasBothImagesWithTheirColoursTransparencyAndRowOrder)
{
    // Pixels of the two images of the table: transparent corners, the outline, the display and
    // the keys; top and bottom rows both, so an image stored upside down fails.
    const struct { int size, x, y; COLORREF colour; } points[] = {
        {32, 0, 0, kClear},  {32, 2, 3, kBlack}, {32, 3, 4, kWhite}, {32, 9, 15, kLime},
        {32, 7, 21, kNavy},  {32, 23, 21, kRed}, {32, 5, 30, kBlack}, {32, 0, 31, kClear},
        {16, 0, 0, kClear},  {16, 1, 1, kBlack}, {16, 5, 8, kLime},  {16, 4, 11, kNavy},
        {16, 10, 11, kRed},  {16, 3, 15, kBlack}, {16, 0, 15, kClear},
    };
    for (int size : {32, 16}) {
        SCOPED_TRACE("size " + std::to_string(size));
        const DrawnIcon icon = DrawIcon128(size);
        ASSERT_EQ(icon.width, size) << "the resource has an image of this size, not a scaled one";
        ASSERT_EQ(icon.height, size);
        for (const auto& p : points) {
            if (p.size == size) {
                EXPECT_EQ(icon.at(p.x, p.y), p.colour) << "at " << p.x << ", " << p.y;
            }
        }
    }
}
