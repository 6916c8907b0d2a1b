#include "framework/private/AfxModal.h"

#include "framework/AfxTesting.h"

#include <algorithm>
#include <vector>

namespace {
std::vector<AfxModalRun*>& runningDialogs()
{
    static std::vector<AfxModalRun*> s_running;
    return s_running;
}
}

void AfxModalRun::enter()
{
    runningDialogs().push_back(this);
    m_running = true;
}

void AfxModalRun::leave()
{
    m_running = false;
    auto& running = runningDialogs();
    running.erase(std::remove(running.begin(), running.end(), this), running.end());
}

CDialog* AfxModalRun::current()
{
    const auto& running = runningDialogs();
    return running.empty() ? nullptr : &running.back()->m_dlg;
}

CDialog* AfxCurrentModalDialog() { return AfxModalRun::current(); }
