// Start-up child of the floor: the bare Qt dialog up to shown; then "ready" on stdout, and Exit.
#include "bench/FloorDialog.h"
#include "bench/ReadyLine.h"
#include "framework/qt/AfxQtApplication.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

namespace {

void AnnounceWhenUp(bench::FloorDialog& dlg)
{
    if (!bench::AnnounceReadyWhenShown(&dlg)) {
        QTimer::singleShot(0, &dlg, [&dlg] { AnnounceWhenUp(dlg); });
        return;
    }
    dlg.ExitButton()->click();
}

}

int main(int argc, char** argv)
{
    AfxQtApplication app(argc, argv);
    bench::FloorDialog dlg;
    QTimer::singleShot(0, &dlg, [&dlg] { AnnounceWhenUp(dlg); });
    return dlg.exec() == QDialog::Accepted ? 0 : 1;
}
