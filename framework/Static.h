// Static items (texts, frames, rectangles) as program objects.
#pragma once

#include "framework/Wnd.h"

class CStatic : public CWnd
{
public:
    CStatic() = default;
};
