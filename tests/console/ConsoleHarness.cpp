#include "tests/console/ConsoleHarness.h"

#include <algorithm>

void ConsoleTest::SetUp()
{
    AfxEnableControlContainer();
    device = std::make_shared<opos::ScriptedScale>();
    device->maximumWeight = 2500;
    device->weightUnit = 2;
    m_override = std::make_unique<opos::ServiceOverride>(device);
}

void ConsoleTest::TearDown()
{
    AfxSetTimerSpeedup(1);
    AfxDismissReports();
    m_override.reset();
}

INT_PTR ConsoleTest::RunConsole(const std::function<void(CWeighConsoleDlg&)>& body)
{
    CWeighConsoleDlg dlg;
    return AfxRunModal(dlg, [&] { body(dlg); });
}

std::string ConsoleTest::Text(CWnd& dlg, int id)
{
    CString text;
    dlg.GetDlgItemText(id, text);
    return text.str();
}

void ConsoleTest::ExpectItems(CWnd& dlg, const Items& items)
{
    for (const auto& [id, text] : items)
        EXPECT_EQ(Text(dlg, id), text) << "item " << id;
}

long ConsoleTest::Count(const std::string& call) const
{
    const Calls& calls = device->Calls();
    return long(std::count(calls.begin(), calls.end(), call));
}
