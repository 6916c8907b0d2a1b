// Runs the tests on Qt's offscreen platform, whatever the caller's environment, and fails a test
// that leaves a top-level window visible (closing it, so that the next test starts clean).
#include "AfxTesting.h"
#include "qt/AfxQtApplication.h"

#include <QApplication>
#include <QWidget>

#include <gtest/gtest.h>

namespace {
QtMessageHandler g_previousHandler = nullptr;

// The offscreen platform says so each time a window asks to be raised or to grab the keyboard.
void quietOffscreenNotes(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("This plugin does not support")))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

class LeftoverWindowCheck : public testing::EmptyTestEventListener
{
    void OnTestEnd(const testing::TestInfo&) override
    {
        AfxPumpMessages(0);
        const int left = AfxVisibleTopLevelCount();
        if (left == 0)
            return;
        ADD_FAILURE() << left << " top-level window(s) left open by the test";
        AfxDismissReports();
        for (QWidget* w : QApplication::topLevelWidgets())
            w->hide();
        AfxPumpMessages(0);
    }
};
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    g_previousHandler = qInstallMessageHandler(quietOffscreenNotes);
    AfxQtApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    // Appended after the result printer: end-of-test listeners run last-first, so a failure added
    // here is counted before the test's result is printed.
    testing::UnitTest::GetInstance()->listeners().Append(new LeftoverWindowCheck);
    const int result = RUN_ALL_TESTS();
    AfxDismissReports();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return result;
}
