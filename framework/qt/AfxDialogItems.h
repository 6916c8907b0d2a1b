// Framework-internal: the Qt widget of each kind of dialog-template item.
#pragma once

#include "framework/Resources.h"
#include "framework/private/AfxControlClass.h"

class AfxWindowImpl;
class QWidget;

// Makes the item's widget (bound to item) as a child of parent, with the item's kind, styles and
// text; placement is the caller's. A hosted control's item (AfxIsControlClass) gets a plain
// placeholder widget.
QWidget* AfxCreateItemWidget(AfxWindowImpl& item, const AFX_DLGITEMTEMPLATE& tpl, QWidget* parent);
