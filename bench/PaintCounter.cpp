#include "bench/PaintCounter.h"

#include <QEvent>
#include <QWidget>

namespace bench {

PaintCounter::PaintCounter(QWidget* widget)
{
    widget->installEventFilter(this);
}

bool PaintCounter::eventFilter(QObject*, QEvent* event)
{
    if (event->type() == QEvent::Paint)
        ++m_count;
    return false;
}

}
