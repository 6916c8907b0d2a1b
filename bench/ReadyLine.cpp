#include "bench/ReadyLine.h"

#include <QWidget>
#include <QWindow>

#include <cstdio>

namespace bench {

bool AnnounceReadyWhenShown(QWidget* window)
{
    if (!window || !window->windowHandle() || !window->windowHandle()->isExposed())
        return false;
    window->repaint();
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    return true;
}

}
