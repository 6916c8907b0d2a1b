// Framework-internal: the system menu as a popup. Window managers keep their own window menu to
// themselves, so a window with WS_SYSMENU shows its CMenu on Alt+Space and on a right-click on its
// background; a chosen item goes to the window's map as WM_SYSCOMMAND with the item's id.
#pragma once

#include <QPoint>

class AfxWindowImpl;
class QMenu;

// Opens the popup (replacing one that is open) and returns it; it deletes itself once hidden.
QMenu* AfxPopupSystemMenu(AfxWindowImpl& window, const QPoint& globalPos);
