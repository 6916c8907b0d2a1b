#include "framework/qt/AfxWindowImpl.h"

#include "framework/Font.h"
#include "framework/private/AfxTestHooks.h"
#include "framework/qt/AfxIcon.h"
#include "framework/qt/AfxSystemMenu.h"

#include <QKeyEvent>

#include <algorithm>

AfxWindowImpl::AfxWindowImpl(AfxWindowImpl* pParent, int nID, DWORD dwStyle, DWORD dwExStyle)
    : m_parent(pParent), m_id(nID), m_style(dwStyle), m_exStyle(dwExStyle)
{
    if (dwStyle & WS_SYSMENU)
        resetSystemMenu();
}

AfxWindowImpl::~AfxWindowImpl()
{
    detachAll();
    if (m_widget && m_hooks)
        m_hooks->releaseImpl();
}

void AfxWindowImpl::bindWidget(QWidget* pWidget, AfxWidgetHooks* pHooks)
{
    m_widget = pWidget;
    m_hooks = pHooks;
}

void AfxWindowImpl::unbindWidget()
{
    m_widget = nullptr;
    m_hooks = nullptr;
    m_timers.clear(); // Qt's timers die with the widget
}

AfxWindowImpl* AfxWindowImpl::root()
{
    AfxWindowImpl* p = this;
    while (p->m_parent)
        p = p->m_parent;
    return p;
}

void AfxWindowImpl::attach(CWnd* pWnd)
{
    if (m_wnd == pWnd)
        return;
    detach();
    if (pWnd && pWnd->m_pImpl)
        pWnd->m_pImpl->detach();
    m_wnd = pWnd;
    if (pWnd)
        pWnd->m_pImpl = this;
}

void AfxWindowImpl::detach()
{
    if (m_wnd)
        m_wnd->m_pImpl = nullptr;
    m_wnd = nullptr;
}

CWnd* AfxWindowImpl::itemWnd()
{
    if (!m_wnd) {
        if (!m_ownedWnd)
            m_ownedWnd = std::make_unique<CWnd>();
        attach(m_ownedWnd.get());
    }
    return m_wnd;
}

AfxWindowImpl* AfxWindowImpl::addChild(std::unique_ptr<AfxWindowImpl> child)
{
    m_children.push_back(std::move(child));
    return m_children.back().get();
}

AfxWindowImpl* AfxWindowImpl::child(int nID) const
{
    for (const auto& c : m_children)
        if (c->m_id == nID)
            return c.get();
    return nullptr;
}

void AfxWindowImpl::detachAll()
{
    for (auto& c : m_children)
        c->detachAll();
    detach();
}

LRESULT AfxWindowImpl::send(UINT message, WPARAM wParam, LPARAM lParam)
{
    return m_wnd ? m_wnd->SendMessage(message, wParam, lParam) : 0;
}

void AfxWindowImpl::notifyParent(UINT nCode)
{
    if (m_parent)
        m_parent->send(WM_COMMAND, MAKEWPARAM(WORD(m_id), WORD(nCode)), 0);
}

bool AfxWindowImpl::onTimer(int qtTimerId)
{
    const auto it = m_timers.find(qtTimerId);
    if (it == m_timers.end())
        return false;
    send(WM_TIMER, it->second, 0);
    return true;
}

bool AfxWindowImpl::onKey(QKeyEvent* pEvent) { return root()->handleKey(this, pEvent); }

bool AfxWindowImpl::handleKey(AfxWindowImpl*, QKeyEvent*) { return false; }

bool AfxWindowImpl::onContextMenu(const QPoint& globalPos)
{
    if (m_parent || !m_sysMenu || !m_widget)
        return false;
    AfxPopupSystemMenu(*this, globalPos);
    return true;
}

UINT_PTR AfxWindowImpl::setTimer(UINT_PTR nIDEvent, UINT nElapse)
{
    if (!m_widget)
        return 0;
    killTimer(nIDEvent);
    const int period = int(AfxTimerPeriod(nElapse));
    // Precise timers never fire twice for one late handler: Qt schedules the next tick from now.
    const int qtId = m_widget->startTimer(period, Qt::PreciseTimer);
    if (qtId == 0)
        return 0;
    m_timers[qtId] = nIDEvent;
    return nIDEvent;
}

bool AfxWindowImpl::killTimer(UINT_PTR nIDEvent)
{
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
        if (it->second == nIDEvent) {
            if (m_widget)
                m_widget->killTimer(it->first);
            m_timers.erase(it);
            return true;
        }
    }
    return false;
}

HICON AfxWindowImpl::setIcon(HICON hIcon, bool bBig)
{
    HICON previous = m_icons[bBig ? 1 : 0];
    m_icons[bBig ? 1 : 0] = hIcon;
    if (m_widget && m_widget->isWindow())
        m_widget->setWindowIcon(AfxWindowIcon(m_icons[1], m_icons[0]));
    return previous;
}

void AfxWindowImpl::resetSystemMenu()
{
    m_sysMenu = std::make_unique<CMenu>();
    m_sysMenu->AppendMenu(MF_STRING, SC_CLOSE, "&Close");
}
