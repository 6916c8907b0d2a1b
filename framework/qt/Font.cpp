#include "framework/Font.h"

#include "framework/qt/AfxConvert.h"

#include <QApplication>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>

#include <algorithm>

namespace {
int cellHeight(const QFont& font) { return QFontMetrics(font).height(); }

// The largest pixel size whose cell (ascent + descent) is no taller than the height asked for. The
// font engine renders whole pixel sizes only, so some heights have no exact fit (Liberation Sans
// has a 39 and a 41 pixel cell, no 40).
void setCellHeight(QFont& font, int height)
{
    font.setPixelSize(height);
    int size = std::max(1, height * height / std::max(1, cellHeight(font)));
    font.setPixelSize(size);
    while (size > 1 && cellHeight(font) > height)
        font.setPixelSize(--size);
    for (int step = 0; step < 8; ++step) {
        QFont larger = font;
        larger.setPixelSize(size + 1);
        if (cellHeight(larger) > height)
            break;
        font = larger;
        ++size;
    }
}

// Qt widens or narrows glyphs by a stretch percentage of the face's own average width.
void setAverageWidth(QFont& font, int width)
{
    font.setStretch(QFont::Unstretched);
    const int natural = QFontMetrics(font).averageCharWidth();
    if (natural > 0)
        font.setStretch(std::clamp((width * 100 + natural / 2) / natural, 1, 4000));
}
}

struct HFONT__
{
    QFont font;
};

CFont::CFont() = default;
CFont::~CFont() { DeleteObject(); }

const QFont* AfxQFont(const CFont& font) { return font.m_hObject ? &font.m_hObject->font : nullptr; }

// Escapement, orientation, character set, precisions and quality have no Qt counterpart here: the
// program draws horizontal text with outline fonts.
BOOL CFont::CreateFont(int nHeight, int nWidth, int, int, int nWeight, BYTE bItalic, BYTE bUnderline,
                       BYTE cStrikeOut, BYTE, BYTE, BYTE, BYTE, BYTE nPitchAndFamily, LPCTSTR lpszFacename)
{
    QFont font(AfxResolveFace(lpszFacename));
    if ((nPitchAndFamily & 0xF0) == FF_SWISS)
        font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Weight(std::clamp(nWeight > 0 ? nWeight : 400, 1, 1000)));
    font.setItalic(bItalic != 0);
    font.setUnderline(bUnderline != 0);
    font.setStrikeOut(cStrikeOut != 0);
    if (nHeight > 0)
        setCellHeight(font, nHeight);
    else
        font.setPixelSize(nHeight < 0 ? -nHeight : QFontInfo(QApplication::font()).pixelSize());
    if (nWidth > 0)
        setAverageWidth(font, nWidth);
    DeleteObject();
    m_hObject = new HFONT__{font};
    return TRUE;
}

BOOL CFont::DeleteObject()
{
    const bool had = m_hObject != nullptr;
    delete m_hObject;
    m_hObject = nullptr;
    return had ? TRUE : FALSE;
}
