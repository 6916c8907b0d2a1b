// The Windows HID layer for real, under Wine, where no HID scale is: the listing goes through
// SetupAPI and hid.dll and ends cleanly with no scale, and a path that is no device says why.
#include "opos/ResultCodes.h"
#include "opos/hid/HidDevices.h"

#include <gtest/gtest.h>

TEST(HidApiWin32, ListingFindsNoScaleWhereNoneIsAndOpeningNoDeviceSaysWhy)
{
    for (const opos::HidrawNode& n : opos::ListHidDevices()) {
        EXPECT_FALSE(n.scale) << n.path << " (" << n.name << ")";
        EXPECT_FALSE(n.path.empty());
    }
    const std::string path = R"(\\?\hid#vid_0000&pid_0000#0&0&0#{4d1e55b2-f16f-11cf-88cb-001111000030})";
    try {
        opos::OpenHidScaleAt(path);
        ADD_FAILURE() << "opened a device that is not there";
    } catch (const opos::DeviceError& e) {
        EXPECT_EQ(e.Result(), OPOS_E_NOHARDWARE);
        EXPECT_EQ(std::string(e.what()).rfind(path + ": ", 0), 0u) << e.what();
    }
}
