// Framework-internal: the Qt widget of each kind of dialog-template item.
#pragma once

#include "Resources.h"

class AfxWindowImpl;
class QWidget;

// "{...}" in windowClass marks a hosted control, which gets a plain placeholder widget.
bool AfxIsControlClass(const char* windowClass);

// Makes the item's widget (bound to item) as a child of parent, with the item's kind, styles and
// text; placement is the caller's.
QWidget* AfxCreateItemWidget(AfxWindowImpl& item, const AFX_DLGITEMTEMPLATE& tpl, QWidget* parent);
