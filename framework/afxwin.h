// Everything the program uses of the framework.
#pragma once

#include "AfxTypes.h"
#include "Automation.h"
#include "CString.h"
#include "DC.h"
#include "Dialog.h"
#include "Font.h"
#include "Menu.h"
#include "MessageMap.h"
#include "Object.h"
#include "Resources.h"
#include "Static.h"
#include "WinApp.h"
#include "Wnd.h"
