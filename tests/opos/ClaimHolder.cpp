// Opens and claims a logical scale (argv[1], claim time-out argv[2] ms, 5000 by default) through the control, says "claimed", then obeys
// "release" and "close" lines on its input until the input ends or it is killed.
#include "Opos.h"

#include <cstdio>
#include <iostream>
#include <string>

using namespace opos;

namespace {
LONG call(CHostedControl* control, DISPID id)
{
    LONG result = -1;
    AfxInvokeHelper(control, id, DISPATCH_METHOD, VT_I4, &result, VTS_NONE);
    return result;
}
}

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3)
        return 2;
    const LONG claimTimeoutMs = argc == 3 ? LONG(std::stol(argv[2])) : 5000;
    const std::string name = argv[1];
    DeviceInstallation device(std::u16string(name.begin(), name.end()),
                              [] { return std::make_unique<SimulatedK350>(CurrentClock().NowMs()); });
    auto control = AfxCreateControlInstance(kScaleControlClsid);
    LONG result = -1;
    AfxInvokeHelper(control.get(), dispid::Open, DISPATCH_METHOD, VT_I4, &result, VTS_BSTR, name.c_str());
    if (result == OPOS_SUCCESS)
        AfxInvokeHelper(control.get(), dispid::Claim, DISPATCH_METHOD, VT_I4, &result, VTS_I4, claimTimeoutMs);
    std::cout << (result == OPOS_SUCCESS ? "claimed" : "failed") << std::endl;
    for (std::string line; std::getline(std::cin, line);) {
        if (line == "release")
            std::cout << "released " << call(control.get(), dispid::Release) << std::endl;
        else if (line == "close")
            std::cout << "closed " << call(control.get(), dispid::Close) << std::endl;
    }
    return 0;
}
