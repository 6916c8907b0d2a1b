#include "framework/qt/AfxDialogImpl.h"

#include "framework/private/AfxReports.h"
#include "framework/qt/AfxConvert.h"
#include "framework/qt/AfxDialogItems.h"
#include "framework/qt/AfxSystemMenu.h"
#include "framework/qt/AfxWidget.h"
#include "framework/WinApp.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

namespace {
Qt::WindowFlags windowFlags(const AFX_DLGTEMPLATE& tpl)
{
    // WS_EX_APPWINDOW: a window of its own, with its own taskbar entry.
    Qt::WindowFlags flags = (tpl.exStyle & WS_EX_APPWINDOW) ? Qt::Window : Qt::Dialog;
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (tpl.style & WS_SYSMENU)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if ((tpl.style & WS_SYSMENU) && (tpl.style & WS_MINIMIZEBOX))
        flags |= Qt::WindowMinimizeButtonHint;
    if ((tpl.style & WS_SYSMENU) && (tpl.style & WS_MAXIMIZEBOX))
        flags |= Qt::WindowMaximizeButtonHint;
    return flags;
}

// Creates and loads the hosted controls first, so that a failure leaves nothing made.
bool createControls(const AFX_DLGTEMPLATE& tpl, std::vector<std::unique_ptr<CHostedControl>>& controls)
{
    controls.resize(tpl.items.size());
    for (std::size_t i = 0; i < tpl.items.size(); ++i) {
        const AFX_DLGITEMTEMPLATE& item = tpl.items[i];
        if (!AfxIsControlClass(item.windowClass))
            continue;
        if (!AfxControlContainerEnabled())
            return false;
        controls[i] = AfxCreateControlInstance(item.windowClass);
        if (!controls[i] || !AfxCallGuarded([&] { controls[i]->Load(item.initData); }))
            return false;
    }
    return true;
}
}

AfxDialogImpl::AfxDialogImpl(CDialog& dlg, const AFX_DLGTEMPLATE& tpl, std::function<void()> script)
    : AfxWindowImpl(nullptr, 0, tpl.style, tpl.exStyle), m_dlg(dlg), m_tpl(tpl), m_script(std::move(script)),
      m_modal(dlg)
{
}

std::unique_ptr<AfxDialogImpl> AfxDialogImpl::create(CDialog& dlg, const std::function<void()>& script)
{
    const AFX_DLGTEMPLATE* tpl = AfxFindDialogTemplate(dlg.GetTemplateID());
    std::vector<std::unique_ptr<CHostedControl>> controls;
    if (!tpl || !createControls(*tpl, controls))
        return nullptr;
    std::unique_ptr<AfxDialogImpl> impl(new AfxDialogImpl(dlg, *tpl, script));
    impl->build(std::move(controls));
    impl->attach(&dlg);
    return impl;
}

AfxDialogImpl::~AfxDialogImpl()
{
    detachAll();
    m_window.reset();
}

QWidget* AfxDialogImpl::ownerWidget() const
{
    if (m_tpl.exStyle & WS_EX_APPWINDOW)
        return nullptr;
    if (m_dlg.m_pParentWnd && m_dlg.m_pParentWnd->GetSafeWidget())
        return m_dlg.m_pParentWnd->GetSafeWidget()->window();
    if (CDialog* outer = AfxModalRun::current())
        return outer->GetSafeWidget();
    CWinApp* app = AfxGetApp();
    return app && app->m_pMainWnd && app->m_pMainWnd != &m_dlg ? app->m_pMainWnd->GetSafeWidget() : nullptr;
}

void AfxDialogImpl::build(std::vector<std::unique_ptr<CHostedControl>> controls)
{
    m_window.reset(new AfxWidget<QDialog>(this, ownerWidget(), windowFlags(m_tpl)));
    m_window->setWindowTitle(AfxToQString(m_tpl.caption));
    const QFont font = AfxDialogFont(m_tpl.fontFace, m_tpl.pointSize);
    m_window->setFont(font);
    const AfxBaseUnits units = AfxDialogBaseUnits(font);
    m_window->setFixedSize(AfxDialogUnitsToPixels(units, 0, 0, m_tpl.cx, m_tpl.cy).size());
    QWidget* previous = nullptr;
    for (std::size_t i = 0; i < m_tpl.items.size(); ++i) {
        const AFX_DLGITEMTEMPLATE& tpl = m_tpl.items[i];
        AfxWindowImpl* item = addChild(std::make_unique<AfxWindowImpl>(this, tpl.id, tpl.style, tpl.exStyle));
        QWidget* w = AfxCreateItemWidget(*item, tpl, m_window.get());
        w->setGeometry(AfxDialogUnitsToPixels(units, tpl.x, tpl.y, tpl.cx, tpl.cy));
        item->setControl(std::move(controls[i]));
        if (w->focusPolicy() != Qt::NoFocus) {
            if (previous)
                QWidget::setTabOrder(previous, w);
            previous = w;
        }
    }
}

void AfxDialogImpl::initialFocus()
{
    for (const auto& c : children())
        if (c->widget() && (c->style() & WS_TABSTOP) && c->widget()->focusPolicy() != Qt::NoFocus &&
            c->widget()->isEnabled()) {
            c->widget()->setFocus(Qt::OtherFocusReason);
            return;
        }
}

INT_PTR AfxDialogImpl::run()
{
    m_modal.enter();
    BOOL defaultFocus = TRUE;
    AfxCallGuarded([&] { defaultFocus = m_dlg.OnInitDialog(); });
    if (defaultFocus)
        initialFocus();
    if (!m_modal.ended()) {
        m_window->setWindowModality(Qt::ApplicationModal);
        m_window->show();
        m_window->activateWindow();
        if (m_script)
            QTimer::singleShot(0, m_window.get(), [this] {
                const std::function<void()> script = std::move(m_script);
                AfxCallGuarded(script);
                if (isRunning())
                    end(-2);
            });
        m_window->exec();
    }
    m_modal.leave();
    return m_modal.result();
}

void AfxDialogImpl::end(INT_PTR nResult)
{
    m_modal.end(nResult);
    if (m_window)
        m_window->done(int(nResult));
}

INT_PTR AfxRunDialog(CDialog& dlg, std::function<void()> script)
{
    std::unique_ptr<AfxDialogImpl> window = AfxDialogImpl::create(dlg, script);
    return window ? window->run() : -1;
}

void AfxEndDialog(CDialog& dlg, INT_PTR nResult)
{
    if (auto* window = dynamic_cast<AfxDialogImpl*>(dlg.GetImpl()))
        window->end(nResult);
}

bool AfxDialogImpl::handleKey(AfxWindowImpl* pSource, QKeyEvent* pEvent)
{
    const Qt::KeyboardModifiers mods = pEvent->modifiers() & ~Qt::KeypadModifier;
    switch (pEvent->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (mods != Qt::NoModifier)
            return false;
        onEnter(pSource);
        return true;
    case Qt::Key_Escape:
        if (mods != Qt::NoModifier)
            return false;
        send(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return true;
    case Qt::Key_F1:
        if (mods != Qt::NoModifier)
            return false;
        send(WM_COMMAND, MAKEWPARAM(WORD(ID_HELP), 0), 0);
        return true;
    case Qt::Key_Space:
        if (mods != Qt::AltModifier || !systemMenu())
            return false;
        AfxPopupSystemMenu(*this, widget()->mapToGlobal(QPoint(0, 0)));
        return true;
    default:
        return false;
    }
}

// Enter on a push button clicks it; in an edit box it clicks the first push button after the box
// in tab order (so a typed value is sent with Enter); anywhere else it does nothing.
void AfxDialogImpl::onEnter(AfxWindowImpl* pSource)
{
    QWidget* source = pSource ? pSource->widget() : nullptr;
    if (auto* button = qobject_cast<QPushButton*>(source)) {
        button->click();
        return;
    }
    if (!qobject_cast<QLineEdit*>(source))
        return;
    const auto& items = children();
    auto it = std::find_if(items.begin(), items.end(), [&](const auto& c) { return c.get() == pSource; });
    for (; it != items.end(); ++it)
        if (auto* next = qobject_cast<QPushButton*>((*it)->widget())) {
            next->click();
            return;
        }
}
