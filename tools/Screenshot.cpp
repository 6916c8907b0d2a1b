// Renders the console after Open and a read on the simulated K350 into a PNG, for the README.
// It runs the real program code headless; only the scale's clock is moved by hand, so the picture
// always shows the same settled weight.
#include "app/WeighApp.h"
#include "console/WeighConsoleDlg.h"
#include "framework/AfxTesting.h"
#include "opos/Opos.h"
#include "framework/qt/AfxQtApplication.h"

#include <QApplication>
#include <QPixmap>
#include <QWidget>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    AfxQtApplication app(argc, argv);
    opos::ManualClock clock(0);
    opos::ClockOverride useClock(clock);
    AfxEnableControlContainer();

    bool saved = false;
    CWeighConsoleDlg dlg;
    AfxRunModal(dlg, [&] {
        AfxClickItem(dlg, IDC_OPEN_DEVICE); // the cycle begins with a settled load
        AfxClickItem(dlg, IDC_READ_WEIGHT);
        dlg.SetDlgItemText(IDC_DIO_COMMAND, "4");
        AfxClickItem(dlg, IDCANCEL);
        AfxPumpMessages(100);
        saved = dlg.GetSafeWidget()->grab().save(QString::fromLocal8Bit(argv[1]));
    });
    if (!saved)
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return saved ? 0 : 1;
}
