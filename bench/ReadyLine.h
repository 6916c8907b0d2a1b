// The start-up children's signal to the runner: "ready" on stdout once the window is on screen
// and painted.
#pragma once

class QWidget;

namespace bench {

// When the window is exposed: paints it through, writes "ready" and returns true. Otherwise
// returns false; try again later.
bool AnnounceReadyWhenShown(QWidget* window);

}
