// Framework-internal: icon handles. An HICON is one image of an icon resource; handles are shared,
// made on first use and owned by the framework until the application object is gone.
#pragma once

#include "framework/AfxTypes.h"
#include "framework/private/AfxBackend.h" // AfxLoadIcon

#include <QIcon>
#include <QPixmap>

struct HICON__
{
    QPixmap pixmap;
};

// The icon of a window with a big and a small image (either may be null).
QIcon AfxWindowIcon(HICON hBig, HICON hSmall);
