#include "framework/WinApp.h"

#include "framework/private/AfxReports.h"
#include "framework/qt/AfxConvert.h"
#include "framework/qt/AfxIcon.h"
#include "framework/qt/AfxQtApplication.h"

#include <QApplication>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
bool hasDisplay(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "-platform", 9) == 0 || std::strncmp(argv[i], "--platform", 10) == 0)
            return true;
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

void explainNoDisplay(const char* program)
{
    std::fprintf(stderr,
                 "%s: there is no display to show the console on.\n"
                 "Run it in a desktop session, or without one as\n"
                 "  xvfb-run -a %s\n"
                 "or as\n"
                 "  QT_QPA_PLATFORM=vnc %s\n"
                 "and connect a VNC viewer to port 5900.\n",
                 program, program, program);
}
}

CString AfxModuleName() { return CString(program_invocation_short_name); }

int AfxWinMain(int argc, char** argv)
{
    const char* program = program_invocation_short_name;
    if (!hasDisplay(argc, argv)) {
        explainNoDisplay(program);
        return 1;
    }
    AfxQtApplication app(argc, argv);
    CWinApp* theApp = AfxGetApp();
    if (!theApp) {
        std::fprintf(stderr, "%s: the program has no application object.\n", program);
        return 1;
    }
    QApplication::setApplicationName(AfxToQString(theApp->m_strAppName));
    BOOL runLoop = FALSE;
    AfxCallGuarded([&] { runLoop = theApp->InitInstance(); });
    return runLoop ? app.exec() : 0;
}
