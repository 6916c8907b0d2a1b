// Framework-internal: a dialog template of the resource table as the dialog manager reads it.
#pragma once

#include "framework/Resources.h"
#include "framework/private/AfxControlClass.h"

#include <vector>

// The template in memory (AFX_DLGTEMPLATE with its items, DWORD-aligned). A hosted control's item becomes
// a plain static that the control is sited in; an icon static names its icon by number.
std::vector<WORD> AfxBuildDialogTemplate(const AFX_DLGTEMPLATE& tpl);
