// Static items (texts, frames, rectangles) as program objects.
#pragma once

#include "Wnd.h"

class CStatic : public CWnd
{
public:
    CStatic() = default;
};
