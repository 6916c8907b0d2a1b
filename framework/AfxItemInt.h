// Kept for the fuzz target, which names the header here; the framework's own is private/AfxItemInt.h.
#pragma once

#include "framework/private/AfxItemInt.h"
