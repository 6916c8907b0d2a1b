#include "AfxIcon.h"

#include "Resources.h"

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

const ICONIMAGE* pickImage(const ICONRESOURCE& icon)
{
    for (const ICONIMAGE& image : icon.images)
        if (image.size == 32)
            return &image;
    return icon.images.empty() ? nullptr : &icon.images.front();
}
}

HICON AfxLoadIcon(UINT nID)
{
    const ICONRESOURCE* icon = AfxFindIcon(nID);
    const ICONIMAGE* image = icon ? pickImage(*icon) : nullptr;
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
