// Framework-internal: every conversion between the program's types and Qt's, in one place.
#pragma once

#include "framework/CString.h"
#include "framework/Font.h"
#include "framework/Wnd.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

// 8-bit text is in the process's locale encoding, so it goes through the automation conversions.
QString AfxToQString(LPCTSTR psz);
CString AfxFromQString(const QString& s);

QColor AfxToQColor(COLORREF clr);
COLORREF AfxFromQColor(const QColor& color);

// The Qt font a CFont made; nullptr before CreateFont.
const QFont* AfxQFont(const CFont& font);

QRect AfxToQRect(const RECT& rc);
CRect AfxFromQRect(const QRect& rc);

// Windows' MulDiv: a * b / c rounded half away from zero.
int AfxMulDiv(int a, int b, int c);

// Dialog base units of a font: the average width of "A".."Z","a".."z" (rounded) and the cell height.
struct AfxBaseUnits
{
    int x;
    int y;
};
AfxBaseUnits AfxDialogBaseUnits(const QFont& font);
QRect AfxDialogUnitsToPixels(const AfxBaseUnits& units, int x, int y, int cx, int cy);

// The family that stands in for a face: the face itself when installed, a metric-compatible one
// ("Arial": Liberation Sans), else the application's default sans family.
QString AfxResolveFace(LPCTSTR lpszFacename);
// The font of a dialog template: the face at the point size on the screen's logical resolution.
QFont AfxDialogFont(LPCTSTR lpszFacename, int nPointSize);
