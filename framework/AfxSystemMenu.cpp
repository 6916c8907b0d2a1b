#include "AfxSystemMenu.h"

#include "AfxConvert.h"
#include "AfxWindowImpl.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

namespace {
QPointer<QMenu> g_openMenu;

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
    auto* menu = new QMenu(window.widget());
    for (const CMenu::Item& item : window.systemMenu()->GetItems())
        addItem(menu, window, item);
    QObject::connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
    g_openMenu = menu;
    menu->popup(globalPos);
    return menu;
}
