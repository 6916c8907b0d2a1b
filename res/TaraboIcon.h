#pragma once

#include "framework/afxwin.h"

extern const ICONIMAGE g_taraboIconImages[2]; // 32 x 32, then 16 x 16
