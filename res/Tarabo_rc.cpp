// The console's resources: dialog templates, the string table, the icon and the version block.
#include "res/TaraboIcon.h"
#include "res/resource.h"

#include "framework/afxwin.h"

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kButton = kChild | BS_DEFPUSHBUTTON | WS_TABSTOP;

// Persisted state of the scale control as the template carries it.
const BYTE kScaleState[20] = {0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0xe5, 0x02,
                              0x00, 0x00, 0xe5, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

const AFX_DLGITEMTEMPLATE kConsoleItems[] = {
    {IDOK, "BUTTON", "Exit", 119, 165, 50, 14, kButton},
    {IDC_DIO_COMMAND, "EDIT", "", 65, 118, 22, 14, kChild | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
    {IDCANCEL, "BUTTON", "Direct IO", 7, 118, 50, 14, kButton},
    {IDC_READ_WEIGHT, "BUTTON", "Read Weight", 7, 67, 50, 14, kButton},
    {IDC_WEIGHT, "STATIC", "...", 69, 55, 150, 36,
     kChild | SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN | WS_BORDER | WS_GROUP},
    {IDC_GAUGE, "STATIC", "", 226, 55, 45, 36, kChild | SS_BLACKRECT | WS_BORDER},
    {IDC_LOOP, "BUTTON", "Loop", 7, 91, 46, 16, kChild | BS_AUTOCHECKBOX | WS_TABSTOP},
    {IDC_OPEN_DEVICE, "BUTTON", "Open", 7, 9, 50, 14, kButton},
    {IDC_STATUS, "STATIC", "", 69, 8, 169, 16, kChild | SS_LEFT | SS_CENTERIMAGE | SS_SUNKEN | WS_BORDER | WS_GROUP},
    {IDC_CLOSE_DEVICE, "BUTTON", "Close", 248, 9, 50, 14, kButton},
    {IDC_SCALE, "{83029FA3-4740-11CF-88F3-02608CA3BE43}", "", 13, 153, 19, 17, kChild | WS_TABSTOP, 0,
     std::span<const BYTE>(kScaleState)},
    {IDC_CAPACITY, "STATIC", "Static", 71, 29, 161, 21, kChild | SS_LEFT | WS_GROUP},
    {IDC_DIO_RESULT, "STATIC", "", 99, 118, 99, 14, kChild | SS_LEFT | WS_GROUP},
    {IDC_STATIC, "BUTTON", "", 203, 127, 95, 52, kChild | BS_GROUPBOX},
    {IDC_RESULT_HEX, "STATIC", "-", 209, 136, 80, 16, kChild | SS_CENTER | WS_GROUP},
    {IDC_RESULT_NAME, "STATIC", "-", 209, 159, 80, 16, kChild | SS_CENTER | WS_GROUP},
};

#define TARABO_NOTICE "Copyright (C) 2026 Tarabo" // fits the About box's notice line

const AFX_DLGITEMTEMPLATE kAboutItems[] = {
    {IDC_STATIC, "STATIC", "128", 11, 17, 20, 20, kChild | SS_ICON},
    {IDC_STATIC, "STATIC", "Tarabo Version 1.0", 40, 10, 119, 8, kChild | SS_LEFT | SS_NOPREFIX | WS_GROUP},
    {IDC_STATIC, "STATIC", TARABO_NOTICE, 40, 25, 119, 8, kChild | SS_LEFT | WS_GROUP},
    {IDOK, "BUTTON", "OK", 178, 7, 32, 14, kChild | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP},
};

const AFX_DLGTEMPLATE kDialogs[] = {
    {IDD_ABOUTBOX, DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT, 0, 0, 0, 217, 55,
     "About Tarabo", "MS Sans Serif", 8, kAboutItems},
    {IDD_CONSOLE, DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_SETFONT, WS_EX_APPWINDOW, 0,
     0, 305, 186, "Tarabo", "MS Sans Serif", 8, kConsoleItems},
};

const STRINGRESOURCE kStrings[] = {
    {IDS_ABOUTBOX, "&About Tarabo..."},
};

const ICONRESOURCE kIcons[] = {
    {IDR_MAINFRAME, std::span<const ICONIMAGE>(g_taraboIconImages)},
};

const VERSIONINFO kVersion = {
    {1, 0, 0, 1},
    {1, 0, 0, 1},
    "040904B0",
    "",                       // CompanyName
    "Tarabo MFC Application", // FileDescription
    "1, 0, 0, 1",             // FileVersion
    "Tarabo",                 // InternalName
    TARABO_NOTICE,            // LegalCopyright
    "",                       // LegalTrademarks
    "Tarabo.EXE",             // OriginalFilename
    "Tarabo Application",     // ProductName
    "1, 0, 0, 1",             // ProductVersion
};

const AFX_RESOURCES kResources = {kDialogs, kStrings, kIcons, &kVersion};
const AFX_RESOURCE_REGISTRAR kRegistrar(&kResources);

}
