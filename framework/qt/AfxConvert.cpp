#include "framework/qt/AfxConvert.h"

#include "framework/Automation.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QScreen>

#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <strings.h>

QString AfxToQString(LPCTSTR psz)
{
    const std::u16string wide = AfxWideFromText(psz);
    return QString::fromUtf16(wide.data(), qsizetype(wide.size()));
}

CString AfxFromQString(const QString& s)
{
    return AfxTextFromWide(reinterpret_cast<const OLECHAR*>(s.utf16()), std::size_t(s.size()));
}

QColor AfxToQColor(COLORREF clr) { return QColor(GetRValue(clr), GetGValue(clr), GetBValue(clr)); }

COLORREF AfxFromQColor(const QColor& color) { return RGB(BYTE(color.red()), BYTE(color.green()), BYTE(color.blue())); }

QRect AfxToQRect(const RECT& rc) { return QRect(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top); }

CRect AfxFromQRect(const QRect& rc) { return CRect(rc.left(), rc.top(), rc.left() + rc.width(), rc.top() + rc.height()); }

int AfxMulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const long long product = static_cast<long long>(a) * b;
    const long long half = std::llabs(c) / 2;
    const bool negative = (product < 0) != (c < 0);
    const long long q = (std::llabs(product) + half) / std::llabs(c);
    return int(negative ? -q : q);
}

AfxBaseUnits AfxDialogBaseUnits(const QFont& font)
{
    const QFontMetrics fm(font);
    const int width = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(width + 26) / 52, fm.height()};
}

QRect AfxDialogUnitsToPixels(const AfxBaseUnits& units, int x, int y, int cx, int cy)
{
    return QRect(AfxMulDiv(x, units.x, 4), AfxMulDiv(y, units.y, 8), AfxMulDiv(cx, units.x, 4),
                 AfxMulDiv(cy, units.y, 8));
}

namespace {
bool isGenericSansFace(const char* face)
{
    static const char* const names[] = {"MS Sans Serif", "MS Shell Dlg", "MS Shell Dlg 2", "Microsoft Sans Serif"};
    for (const char* name : names)
        if (strcasecmp(face, name) == 0)
            return true;
    return false;
}
}

QString AfxResolveFace(LPCTSTR lpszFacename)
{
    const QString fallback = QApplication::font().family();
    if (!lpszFacename || !*lpszFacename || isGenericSansFace(lpszFacename))
        return fallback;
    const QString face = AfxToQString(lpszFacename);
    if (QFontDatabase::hasFamily(face))
        return face;
    if (face.compare(QLatin1String("Arial"), Qt::CaseInsensitive) == 0 &&
        QFontDatabase::hasFamily(QStringLiteral("Liberation Sans")))
        return QStringLiteral("Liberation Sans");
    return fallback;
}

QFont AfxDialogFont(LPCTSTR lpszFacename, int nPointSize)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int dpi = screen ? qRound(screen->logicalDotsPerInchY()) : 96;
    QFont font(AfxResolveFace(lpszFacename));
    font.setPixelSize(std::max(1, AfxMulDiv(nPointSize > 0 ? nPointSize : 8, dpi, 72)));
    return font;
}
