// Start-up child: the real program (application object, console, simulated K350 behind "K350")
// up to its console shown with the start-up logic done; then "ready" on stdout, and Exit.
#include "bench/ReadyLine.h"

#include "app/WeighApp.h"
#include "framework/AfxTesting.h"
#include "res/resource.h"
#include "framework/qt/AfxQtApplication.h"

#include <QApplication>

namespace {

// Until the console's start-up has run, the capacity line shows the template's text.
bool StartedUp(CDialog& console)
{
    CString capacity;
    console.GetDlgItemText(IDC_CAPACITY, capacity);
    return !(capacity == "Static");
}

void AnnounceWhenUp()
{
    CDialog* console = AfxCurrentModalDialog();
    if (!console || !StartedUp(*console) || !bench::AnnounceReadyWhenShown(console->GetSafeWidget())) {
        AfxPost(0, AnnounceWhenUp);
        return;
    }
    AfxClickItem(*console, IDOK);
}

}

// What AfxWinMain does, with the announcement posted before the application runs.
int main(int argc, char** argv)
{
    AfxQtApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLocal8Bit(static_cast<LPCTSTR>(theApp.m_strAppName)));
    AfxPost(0, AnnounceWhenUp);
    return theApp.InitInstance() ? 1 : 0;
}
