// Framework-internal: icon handles. An icon is the executable's icon resource where it has one, else
// the image of the resource table; handles are shared and live as long as the process.
#pragma once

#include "AfxPlatform.h"

// The 32x32 image of the icon (the largest when there is none that size); nullptr when missing.
HICON AfxLoadIcon(UINT nID);
