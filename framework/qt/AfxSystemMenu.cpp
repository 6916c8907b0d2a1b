#include "framework/qt/AfxSystemMenu.h"

#include "framework/qt/AfxConvert.h"
#include "framework/qt/AfxWindowImpl.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

namespace {
QPointer<QMenu> g_openMenu;
const QString kMenuName = QStringLiteral("afxSystemMenu");

void addItem(QMenu* menu, AfxWindowImpl& window, const CMenu::Item& item)
{
    if (item.nFlags & MF_SEPARATOR) {
        menu->addSeparator();
        return;
    }
    QAction* action = menu->addAction(AfxToQString(item.text));
    action->setData(QVariant::fromValue<qulonglong>(item.nID));
    const WPARAM id = item.nID;
    // QMenu hides itself before it triggers the action, so a handler may run a modal loop.
    QObject::connect(action, &QAction::triggered, menu, [&window, id] { window.send(WM_SYSCOMMAND, id, 0); });
}
}

QMenu* AfxPopupSystemMenu(AfxWindowImpl& window, const QPoint& globalPos)
{
    if (g_openMenu)
        g_openMenu->hide();
    if (!window.systemMenu() || !window.widget())
        return nullptr;
    // One menu per window, living as long as the window. An item's handler may run a modal loop
    // (the About box) and return into the menu's own key or mouse handling, so the menu must not
    // be deleted while it is hidden, only with its window.
    auto* menu = window.widget()->findChild<QMenu*>(kMenuName, Qt::FindDirectChildrenOnly);
    if (!menu) {
        menu = new QMenu(window.widget());
        menu->setObjectName(kMenuName);
    }
    menu->clear();
    for (const CMenu::Item& item : window.systemMenu()->GetItems())
        addItem(menu, window, item);
    g_openMenu = menu;
    menu->popup(globalPos);
    return menu;
}
