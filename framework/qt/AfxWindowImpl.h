// Framework-internal: the binding of a window's program object (CWnd) to its Qt widget, with the
// state Windows keeps per window (timers, icons, font, system menu, hosted control, items).
#pragma once

#include "framework/Menu.h"
#include "framework/Wnd.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <map>
#include <memory>
#include <vector>

class QKeyEvent;
class QMenu;
struct AFX_DLGITEMTEMPLATE;

// What a widget adaptor offers back to the framework.
class AfxWidgetHooks
{
public:
    virtual ~AfxWidgetHooks() = default;
    virtual void defaultPaint() = 0; // Qt's own painting of the paint event being handled
    virtual QString windowText() const = 0;
    virtual void setWindowText(const QString& text) = 0;
    virtual void releaseImpl() = 0; // the binding goes away before the widget
};

class AfxWindowImpl
{
public:
    AfxWindowImpl(AfxWindowImpl* pParent, int nID, DWORD dwStyle, DWORD dwExStyle);
    virtual ~AfxWindowImpl();
    AfxWindowImpl(const AfxWindowImpl&) = delete;
    AfxWindowImpl& operator=(const AfxWindowImpl&) = delete;

    // Called by the adaptor of the widget.
    void bindWidget(QWidget* pWidget, AfxWidgetHooks* pHooks);
    void unbindWidget();
    QWidget* widget() const { return m_widget; }
    AfxWidgetHooks* hooks() const { return m_widget ? m_hooks : nullptr; }

    int id() const { return m_id; }
    DWORD style() const { return m_style; }
    DWORD exStyle() const { return m_exStyle; }
    AfxWindowImpl* parent() const { return m_parent; }
    AfxWindowImpl* root();

    // The program object attached to this window (one at a time).
    CWnd* wnd() const { return m_wnd; }
    void attach(CWnd* pWnd);
    void detach();
    // The attached object, else one the framework makes and owns.
    CWnd* itemWnd();

    AfxWindowImpl* addChild(std::unique_ptr<AfxWindowImpl> child);
    AfxWindowImpl* child(int nID) const;
    const std::vector<std::unique_ptr<AfxWindowImpl>>& children() const { return m_children; }
    void detachAll();

    // Sends a message into the attached object's map; failures are reported, never thrown.
    LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // Sends WM_COMMAND with this item's id and the code to the parent window.
    void notifyParent(UINT nCode);

    // Event entry points of the adaptors; false: Qt's own handling applies.
    bool onTimer(int qtTimerId);
    virtual bool onKey(QKeyEvent* pEvent);
    virtual bool onContextMenu(const QPoint& globalPos);

    bool inPaint() const { return m_inPaint; }
    void setInPaint(bool b) { m_inPaint = b; }

    UINT_PTR setTimer(UINT_PTR nIDEvent, UINT nElapse);
    bool killTimer(UINT_PTR nIDEvent);

    HICON setIcon(HICON hIcon, bool bBig);
    HICON icon(bool bBig) const { return m_icons[bBig ? 1 : 0]; }
    CFont* font() const { return m_font; }
    void setFont(CFont* pFont) { m_font = pFont; }
    CMenu* systemMenu() const { return m_sysMenu.get(); }
    void resetSystemMenu();
    CHostedControl* control() const { return m_control.get(); }
    void setControl(std::unique_ptr<CHostedControl> control) { m_control = std::move(control); }

    // Static texts keep the text as set; the widget shows it without its '&' markers.
    const QString& rawText() const { return m_rawText; }
    void setRawText(const QString& s) { m_rawText = s; }

protected:
    virtual bool handleKey(AfxWindowImpl* pSource, QKeyEvent* pEvent);

private:
    AfxWindowImpl* m_parent;
    int m_id;
    DWORD m_style;
    DWORD m_exStyle;
    QPointer<QWidget> m_widget;
    AfxWidgetHooks* m_hooks = nullptr;
    CWnd* m_wnd = nullptr;
    std::unique_ptr<CWnd> m_ownedWnd;
    std::vector<std::unique_ptr<AfxWindowImpl>> m_children;
    std::map<int, UINT_PTR> m_timers; // Qt timer id -> program timer id
    bool m_inPaint = false;
    HICON m_icons[2] = {nullptr, nullptr};
    CFont* m_font = nullptr;
    std::unique_ptr<CMenu> m_sysMenu;
    std::unique_ptr<CHostedControl> m_control;
    QString m_rawText;
};
