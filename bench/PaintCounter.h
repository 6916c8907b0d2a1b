// Counts the paint events a widget receives while the counter lives, to make sure a benchmark's
// repaint really paints.
#pragma once

#include <QObject>

class QWidget;

namespace bench {

class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget* widget);
    long Count() const { return m_count; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    long m_count = 0;
};

}
