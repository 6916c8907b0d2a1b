// Opens and claims a logical scale (argv[1], claim time-out argv[2] ms, 5000 by default) on the
// standard service, says "claimed" or "failed", then obeys "release" and "close" lines on its
// input until the input ends or it is killed.
#include "opos/DeviceRegistry.h"
#include "opos/ResultCodes.h"
#include "opos/SimulatedK350.h"
#include "opos/StandardScaleService.h"

#include <iostream>

using namespace opos;

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3)
        return 2;
    const std::string name = argv[1];
    const std::u16string wide(name.begin(), name.end());
    DeviceOverride device(wide, [] { return std::make_unique<SimulatedK350>(0); });
    StandardScaleService scale;
    const bool ok = scale.Open(wide) == OPOS_SUCCESS && scale.Claim(argc == 3 ? std::stol(argv[2]) : 5000) == OPOS_SUCCESS;
    std::cout << (ok ? "claimed" : "failed") << std::endl;
    for (std::string line; std::getline(std::cin, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line == "release" || line == "close")
            std::cout << line << "d " << (line == "release" ? scale.Release() : scale.Close()) << std::endl;
    }
    return 0;
}
