#include "framework/AfxTesting.h"

#include "framework/private/AfxReports.h"
#include "framework/qt/AfxDialogImpl.h"
#include "framework/qt/AfxQtApplication.h"
#include "framework/qt/AfxSystemMenu.h"

#include "framework/Font.h"
#include "framework/qt/AfxConvert.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>

#include <memory>

namespace {
QWidget* itemWidget(CWnd& dlg, int nID)
{
    AfxWindowImpl* item = dlg.GetImpl() ? dlg.GetImpl()->child(nID) : nullptr;
    return item ? item->widget() : nullptr;
}

std::unique_ptr<QApplication> g_testApp;
QtMessageHandler g_previousHandler = nullptr;

// The offscreen platform says so each time a window asks to be raised or to grab the keyboard.
void quietOffscreenNotes(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("This plugin does not support")))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

AFX_IMAGE imageBits(const QImage& image)
{
    AFX_IMAGE result{image.width(), image.height(), {}};
    result.bits.reserve(std::size_t(image.width()) * std::size_t(image.height()));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            result.bits.push_back(AfxFromQColor(image.pixelColor(x, y)));
    return result;
}
}

// Whatever the caller's environment, tests run on the offscreen platform.
void AfxTestStartup(int& argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    g_previousHandler = qInstallMessageHandler(quietOffscreenNotes);
    g_testApp = std::make_unique<AfxQtApplication>(argc, argv);
}

void AfxTestShutdown()
{
    AfxDismissReports();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    g_testApp.reset();
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

int AfxCloseTopLevelWindows()
{
    const int shown = AfxVisibleTopLevelCount();
    AfxDismissReports();
    for (QWidget* w : QApplication::topLevelWidgets())
        w->hide();
    AfxPumpMessages(0);
    return shown;
}

int AfxFocusedItemId(CWnd& dlg)
{
    const QWidget* window = dlg.GetSafeWidget();
    const QWidget* focus = window ? window->focusWidget() : nullptr;
    if (!focus || !dlg.GetImpl())
        return 0;
    for (const auto& item : dlg.GetImpl()->children())
        if (item->widget() && (item->widget() == focus || item->widget()->isAncestorOf(focus)))
            return item->id();
    return 0;
}

AFX_IMAGE AfxGrabClientArea(CWnd& wnd)
{
    QWidget* w = wnd.GetSafeWidget();
    if (!w)
        return {};
    const auto* frame = qobject_cast<const QFrame*>(w);
    return imageBits(w->grab(frame ? frame->contentsRect() : w->rect()).toImage());
}

// Only the window's own painting: a minimised window shows none of its items.
AFX_IMAGE AfxPaintMinimized(CWnd& wnd, int cx, int cy)
{
    QWidget* w = wnd.GetSafeWidget();
    if (!w)
        return {};
    const QSize minimum = w->minimumSize(), maximum = w->maximumSize(), size = w->size();
    w->setFixedSize(cx, cy);
    w->setWindowState(w->windowState() | Qt::WindowMinimized);
    QImage image(cx, cy, QImage::Format_ARGB32);
    image.fill(Qt::black);
    w->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
    w->setMinimumSize(minimum);
    w->setMaximumSize(maximum);
    w->resize(size);
    return imageBits(image);
}

AFX_FONTINFO AfxGetItemFont(CWnd& item)
{
    const QWidget* w = item.GetSafeWidget();
    const QFont font = w ? w->font() : QApplication::font();
    const QFontInfo info(font);
    const QFontMetrics metrics(font);
    return {metrics.height(), metrics.averageCharWidth(), info.weight(), info.italic() ? TRUE : FALSE,
            AfxFromQString(info.family())};
}
