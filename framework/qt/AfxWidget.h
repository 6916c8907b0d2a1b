// Framework-internal: the adaptor that puts a Qt widget of any kind under a window binding. Paint,
// timer, close, key and context-menu events go to the window's message map first (its default
// processing falls back on Qt's own handling); a button's click goes to the parent as BN_CLICKED.
#pragma once

#include "framework/qt/AfxWindowImpl.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QTimerEvent>

#include <type_traits>
#include <utility>

template <class QtWidget>
class AfxWidget : public QtWidget, public AfxWidgetHooks
{
public:
    template <class... Args>
    explicit AfxWidget(AfxWindowImpl* pImpl, Args&&... args) : QtWidget(std::forward<Args>(args)...), m_impl(pImpl)
    {
        m_impl->bindWidget(this, this);
        if constexpr (std::is_base_of_v<QAbstractButton, QtWidget>)
            QObject::connect(this, &QAbstractButton::clicked, this, [this] {
                if (m_impl)
                    m_impl->notifyParent(BN_CLICKED);
            });
    }
    ~AfxWidget() override
    {
        if (m_impl)
            m_impl->unbindWidget();
    }

    void defaultPaint() override
    {
        if (m_paintEvent) {
            QtWidget::paintEvent(m_paintEvent);
            m_paintedByQt = true;
        }
    }
    void releaseImpl() override { m_impl = nullptr; }

    QString windowText() const override
    {
        if constexpr (std::is_base_of_v<QLineEdit, QtWidget> || std::is_base_of_v<QAbstractButton, QtWidget>)
            return this->text();
        else if constexpr (std::is_base_of_v<QGroupBox, QtWidget>)
            return this->title();
        else if constexpr (std::is_base_of_v<QLabel, QtWidget>)
            return m_impl ? m_impl->rawText() : this->text();
        else
            return this->windowTitle();
    }

    void setWindowText(const QString& text) override
    {
        if constexpr (std::is_base_of_v<QLineEdit, QtWidget> || std::is_base_of_v<QAbstractButton, QtWidget>)
            this->setText(text);
        else if constexpr (std::is_base_of_v<QGroupBox, QtWidget>)
            this->setTitle(text);
        else if constexpr (std::is_base_of_v<QLabel, QtWidget>)
            setLabelText(text);
        else
            this->setWindowTitle(text);
    }

protected:
    void paintEvent(QPaintEvent* e) override
    {
        if (!m_impl || !m_impl->wnd()) {
            QtWidget::paintEvent(e);
            return;
        }
        m_paintEvent = e;
        m_paintedByQt = false;
        m_impl->setInPaint(true);
        m_impl->send(WM_PAINT);
        if (m_impl)
            m_impl->setInPaint(false);
        m_paintEvent = nullptr;
        // The border is the window's, not the client's: it is drawn whoever painted the inside.
        if constexpr (std::is_base_of_v<QFrame, QtWidget>)
            if (!m_paintedByQt && this->frameWidth() > 0) {
                QPainter painter(this);
                this->drawFrame(&painter);
            }
    }
    void timerEvent(QTimerEvent* e) override
    {
        if (!m_impl || !m_impl->onTimer(e->timerId()))
            QtWidget::timerEvent(e);
    }
    void keyPressEvent(QKeyEvent* e) override
    {
        if (!m_impl || !m_impl->onKey(e))
            QtWidget::keyPressEvent(e);
    }
    void contextMenuEvent(QContextMenuEvent* e) override
    {
        if (!m_impl || !m_impl->onContextMenu(e->globalPos()))
            QtWidget::contextMenuEvent(e);
    }
    // The caption's close button asks the window, as the system menu's Close does.
    void closeEvent(QCloseEvent* e) override
    {
        if (!m_impl || !m_impl->wnd() || !this->isWindow()) {
            QtWidget::closeEvent(e);
            return;
        }
        e->ignore();
        m_impl->send(WM_SYSCOMMAND, SC_CLOSE, 0);
    }

private:
    // A static shows '&' as the mark of a mnemonic ("&&" for a real one) unless SS_NOPREFIX.
    void setLabelText(const QString& text)
    {
        if (m_impl)
            m_impl->setRawText(text);
        if (m_impl && (m_impl->style() & SS_TYPEMASK) == SS_ICON)
            return;
        const bool prefix = !m_impl || !(m_impl->style() & SS_NOPREFIX);
        this->setText(prefix ? stripMnemonics(text) : text);
    }
    static QString stripMnemonics(const QString& text)
    {
        QString out;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] == QLatin1Char('&') && i + 1 < text.size())
                ++i;
            out += text[i];
        }
        return out;
    }

    AfxWindowImpl* m_impl;
    QPaintEvent* m_paintEvent = nullptr;
    bool m_paintedByQt = false;
};
