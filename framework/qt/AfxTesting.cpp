#include "AfxTesting.h"

#include "AfxDialogImpl.h"
#include "AfxReports.h"
#include "AfxSystemMenu.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>

namespace {
QWidget* itemWidget(CWnd& dlg, int nID)
{
    AfxWindowImpl* item = dlg.GetImpl() ? dlg.GetImpl()->child(nID) : nullptr;
    return item ? item->widget() : nullptr;
}
}

void AfxPumpMessages(int milliseconds)
{
    if (milliseconds <= 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void AfxPost(int delayMs, std::function<void()> fn)
{
    QTimer::singleShot(delayMs, QCoreApplication::instance(), [fn = std::move(fn)] { AfxCallGuarded(fn); });
}

CDialog* AfxCurrentModalDialog() { return AfxDialogImpl::current(); }

void AfxClickItem(CWnd& dlg, int nID)
{
    if (auto* button = qobject_cast<QAbstractButton*>(itemWidget(dlg, nID)))
        button->click();
}

void AfxSetItemFocus(CWnd& dlg, int nID)
{
    if (QWidget* w = itemWidget(dlg, nID))
        w->setFocus(Qt::OtherFocusReason);
}

void AfxPressKey(CWnd& dlg, AfxKey key)
{
    QWidget* window = dlg.GetSafeWidget() ? dlg.GetSafeWidget()->window() : nullptr;
    if (!window)
        return;
    QWidget* target = window->focusWidget() ? window->focusWidget() : window;
    struct KeyInfo
    {
        int key;
        Qt::KeyboardModifiers mods;
        QString text;
    };
    const KeyInfo info = key == AfxKey::Enter    ? KeyInfo{Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r")}
                         : key == AfxKey::Escape ? KeyInfo{Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b")}
                         : key == AfxKey::F1     ? KeyInfo{Qt::Key_F1, Qt::NoModifier, QString()}
                                                 : KeyInfo{Qt::Key_Space, Qt::AltModifier, QStringLiteral(" ")};
    QKeyEvent press(QEvent::KeyPress, info.key, info.mods, info.text);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, info.key, info.mods, info.text);
    QCoreApplication::sendEvent(target, &release);
}

void AfxCloseBox(CWnd& dlg)
{
    if (QWidget* w = dlg.GetSafeWidget())
        w->window()->close();
}

BOOL AfxChooseSystemMenuItem(CWnd& dlg, UINT nID)
{
    AfxWindowImpl* window = dlg.GetImpl();
    QMenu* menu = window && window->widget() ? AfxPopupSystemMenu(*window, window->widget()->mapToGlobal(QPoint(8, 8)))
                                             : nullptr;
    if (!menu)
        return FALSE;
    const QList<QAction*> actions = menu->actions();
    for (QAction* action : actions) {
        if (!action->isSeparator() && action->data().toULongLong() == nID) {
            // Through the menu's own key handling, which a handler's modal loop returns into.
            menu->setActiveAction(action);
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(menu, &enter);
            return TRUE;
        }
    }
    menu->hide();
    return FALSE;
}

int AfxVisibleTopLevelCount()
{
    int count = 0;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget* w : windows)
        if (w->isVisible())
            ++count;
    return count;
}
