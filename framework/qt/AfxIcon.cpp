#include "framework/qt/AfxIcon.h"

#include "framework/private/AfxBackend.h"
#include "framework/Resources.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <map>
#include <memory>
#include <utility>

namespace {
std::map<const ICONIMAGE*, std::unique_ptr<HICON__>>* g_icons = nullptr;

// Pixmaps must go before the application does.
void releaseIcons()
{
    delete g_icons;
    g_icons = nullptr;
}
}

HICON AfxLoadIcon(UINT nID)
{
    const ICONIMAGE* image = AfxFindIconImage(nID);
    if (!image || !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return nullptr;
    if (!g_icons) {
        g_icons = new std::map<const ICONIMAGE*, std::unique_ptr<HICON__>>;
        qAddPostRoutine(releaseIcons);
    }
    std::unique_ptr<HICON__>& slot = (*g_icons)[image];
    if (!slot)
        slot = std::make_unique<HICON__>(HICON__{QPixmap(image->xpm.data())});
    return slot.get();
}

QIcon AfxWindowIcon(HICON hBig, HICON hSmall)
{
    QIcon icon;
    if (hBig)
        icon.addPixmap(hBig->pixmap);
    if (hSmall && hSmall != hBig)
        icon.addPixmap(hSmall->pixmap);
    return icon;
}
