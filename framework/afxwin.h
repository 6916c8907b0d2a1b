// Everything the program uses of the framework.
#pragma once

#include "framework/AfxTypes.h"
#include "framework/Automation.h"
#include "framework/CString.h"
#include "framework/DC.h"
#include "framework/Dialog.h"
#include "framework/Font.h"
#include "framework/Menu.h"
#include "framework/MessageMap.h"
#include "framework/Object.h"
#include "framework/Resources.h"
#include "framework/Static.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"
