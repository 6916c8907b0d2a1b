// tarabo-scales doctor on Windows: why a COM port or an OPOS registry entry stops a scale, and
// the command or setting that fixes it. Pure, over facts that DoctorWin32.cpp gathers (the
// port's open, SetupAPI's devices, the registry's two views), so it is tested on described facts.
#pragma once

#include "scales-tool/Doctor.h"

namespace doctor::windows {

// A device as SetupAPI lists it.
struct DeviceFacts
{
    std::string name;          // its friendly name or description
    std::string instanceId;    // USB\VID_067B&PID_2303\5&2A1B...
    unsigned long problem = 0; // its problem code (CM_Get_DevNode_Status); 0 when it works
};

enum class PortOpen { Opened, Missing, InUse, Failed };

struct PortFacts
{
    std::string name;                  // the logical name, when asked by name
    std::string port;                  // COM3, as configured or given
    PortOpen open = PortOpen::Opened;
    unsigned long error = 0;           // what CreateFile said when it failed
    std::vector<std::string> present;  // the COM ports there are
    std::optional<DeviceFacts> device; // the port's device, where SetupAPI knows it
    std::vector<DeviceFacts> troubled; // present devices with a problem code (adapters without a driver among them)
};

// HKLM\SOFTWARE\OLEforRetail\ServiceOPOS\Scale\<name>, in the view the 32-bit OPOS control reads
// (WOW6432Node on 64-bit Windows) and in the other one.
struct OposFacts
{
    std::string name;
    bool inControlView = false, inOtherView = false;
    bool ours = false;                 // it has a driver value: a section of Tarabo's own
    std::string serviceObject;         // its default value, the service object's ProgID
    bool registered = false;           // that ProgID's class and DLL, in the control's view
    bool registeredOtherView = false;  // ... in the other view
};

inline constexpr std::string_view kOposScaleKey = "HKLM\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\Scale\\";
inline constexpr std::string_view kOposScaleKey32 = "HKLM\\SOFTWARE\\WOW6432Node\\OLEforRetail\\ServiceOPOS\\Scale\\";

std::vector<Finding> DiagnosePort(const PortFacts& port);
std::vector<Finding> DiagnoseOpos(const OposFacts& entry);

}
