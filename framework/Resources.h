// The application's resources: dialog templates, the string table, icons and the version block,
// looked up by numeric id. A resource file registers its table once, at static initialisation.
#pragma once

#include "framework/AfxTypes.h"

#include <span>

// One item of a dialog template. Rectangles are in dialog units. windowClass is "BUTTON", "EDIT",
// "STATIC", or the class id of a hosted control in braces ("{83029FA3-...}").
struct AFX_DLGITEMTEMPLATE
{
    int id;
    const char* windowClass;
    const char* text;
    short x, y, cx, cy;
    DWORD style;
    DWORD exStyle = 0;
    std::span<const BYTE> initData = {}; // persisted state handed to a hosted control
};

struct AFX_DLGTEMPLATE
{
    UINT id;
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
    const char* caption;
    const char* fontFace;
    WORD pointSize;
    std::span<const AFX_DLGITEMTEMPLATE> items; // in tab order
};

struct STRINGRESOURCE
{
    UINT id;
    const char* text;
};

// An icon in the XPM text format, one image a size.
struct ICONIMAGE
{
    int size;
    std::span<const char* const> xpm;
};

struct ICONRESOURCE
{
    UINT id;
    std::span<const ICONIMAGE> images; // largest first
};

struct VERSIONINFO
{
    WORD fileVersion[4];
    WORD productVersion[4];
    const char* language; // "040904B0"
    const char* companyName;
    const char* fileDescription;
    const char* fileVersionText;
    const char* internalName;
    const char* legalCopyright;
    const char* legalTrademarks;
    const char* originalFilename;
    const char* productName;
    const char* productVersionText;
};

struct AFX_RESOURCES
{
    std::span<const AFX_DLGTEMPLATE> dialogs;
    std::span<const STRINGRESOURCE> strings;
    std::span<const ICONRESOURCE> icons;
    const VERSIONINFO* version;
};

// Makes a table the one the framework reads; a later call replaces an earlier one (tests use this).
void AfxSetResourceTable(const AFX_RESOURCES* pResources);
const AFX_RESOURCES* AfxGetResourceTable();

// Registers a table at static initialisation: `static AFX_RESOURCE_REGISTRAR reg(&table);`
struct AFX_RESOURCE_REGISTRAR
{
    explicit AFX_RESOURCE_REGISTRAR(const AFX_RESOURCES* pResources) { AfxSetResourceTable(pResources); }
};

const AFX_DLGTEMPLATE* AfxFindDialogTemplate(UINT nID);
const char* AfxFindString(UINT nID); // nullptr when there is no such string
const ICONRESOURCE* AfxFindIcon(UINT nID);
// The image of the icon a window shows: the 32x32 one, else the first (the largest).
const ICONIMAGE* AfxFindIconImage(UINT nID);
const VERSIONINFO* AfxGetVersionInfo();
