// Fonts created from the window system's logical-font figures.
#pragma once

#include "framework/AfxTypes.h"

class CFont
{
public:
    CFont();
    ~CFont();
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;

    // A positive height is the cell height in pixels, a negative one the character height; the
    // width is the average character width (0: the face's own). A face that is missing is replaced
    // by a metric-compatible one where there is one ("Arial": Liberation Sans), else the default sans.
    BOOL CreateFont(int nHeight, int nWidth, int nEscapement, int nOrientation, int nWeight, BYTE bItalic,
                    BYTE bUnderline, BYTE cStrikeOut, BYTE nCharSet, BYTE nOutPrecision, BYTE nClipPrecision,
                    BYTE nQuality, BYTE nPitchAndFamily, LPCTSTR lpszFacename);
    BOOL DeleteObject();
    BOOL IsCreated() const { return m_hObject != nullptr; }

    HFONT m_hObject = nullptr;
};
