#include "framework/qt/AfxDialogItems.h"

#include "framework/qt/AfxConvert.h"
#include "framework/qt/AfxIcon.h"
#include "framework/qt/AfxWidget.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cstdlib>
#include <strings.h>

namespace {
bool isClass(const char* windowClass, const char* name) { return windowClass && strcasecmp(windowClass, name) == 0; }

QWidget* makeButton(AfxWindowImpl& item, DWORD style, QWidget* parent)
{
    switch (style & BS_TYPEMASK) {
    case BS_AUTOCHECKBOX:
        return new AfxWidget<QCheckBox>(&item, parent);
    case BS_GROUPBOX:
        return new AfxWidget<QGroupBox>(&item, parent);
    default: {
        // Enter is the framework's business: no Qt default-button behaviour.
        auto* button = new AfxWidget<QPushButton>(&item, parent);
        button->setAutoDefault(false);
        button->setDefault(false);
        return button;
    }
    }
}

// Edges: SS_SUNKEN and WS_EX_STATICEDGE sink the item, WS_BORDER draws a thin line round it.
void setEdge(QFrame* frame, DWORD style, DWORD exStyle)
{
    if ((style & SS_SUNKEN) || (exStyle & WS_EX_STATICEDGE))
        frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    else if (style & WS_BORDER)
        frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    frame->setLineWidth(1);
}

QWidget* makeStatic(AfxWindowImpl& item, const AFX_DLGITEMTEMPLATE& tpl, QWidget* parent)
{
    auto* label = new AfxWidget<QLabel>(&item, parent);
    label->setTextFormat(Qt::PlainText);
    const DWORD type = tpl.style & SS_TYPEMASK;
    const Qt::Alignment vertical = (tpl.style & SS_CENTERIMAGE) ? Qt::AlignVCenter : Qt::AlignTop;
    label->setAlignment((type == SS_CENTER ? Qt::AlignHCenter : Qt::AlignLeft) | vertical);
    label->setWordWrap(!(tpl.style & SS_CENTERIMAGE) && (type == SS_LEFT || type == SS_CENTER));
    if (type == SS_ICON) {
        if (HICON icon = AfxLoadIcon(UINT(std::strtoul(tpl.text ? tpl.text : "", nullptr, 10))))
            label->setPixmap(icon->pixmap);
    } else if (type == SS_BLACKRECT) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, Qt::black);
        label->setPalette(palette);
        label->setAutoFillBackground(true);
    }
    setEdge(label, tpl.style, tpl.exStyle);
    return label;
}

QWidget* makeWidget(AfxWindowImpl& item, const AFX_DLGITEMTEMPLATE& tpl, QWidget* parent)
{
    if (AfxIsControlClass(tpl.windowClass))
        return new AfxWidget<QFrame>(&item, parent);
    if (isClass(tpl.windowClass, "BUTTON"))
        return makeButton(item, tpl.style, parent);
    if (isClass(tpl.windowClass, "EDIT"))
        return new AfxWidget<QLineEdit>(&item, parent);
    return makeStatic(item, tpl, parent);
}

Qt::FocusPolicy focusPolicy(QWidget* w, DWORD style)
{
    const bool takesFocus = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w);
    if (!takesFocus)
        return Qt::NoFocus;
    return (style & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus;
}
}

QWidget* AfxCreateItemWidget(AfxWindowImpl& item, const AFX_DLGITEMTEMPLATE& tpl, QWidget* parent)
{
    QWidget* w = makeWidget(item, tpl, parent);
    w->setFocusPolicy(focusPolicy(w, tpl.style));
    w->setEnabled(!(tpl.style & WS_DISABLED));
    if (!AfxIsControlClass(tpl.windowClass))
        item.hooks()->setWindowText(AfxToQString(tpl.text));
    return w;
}
