// The serial ports present, for tarabo-scales: the stable /dev/serial/by-id names first (they
// survive re-plugging), then the ports that have none. On Windows the COM ports, in number order,
// with the names Device Manager gives them (SerialPortsWin32.cpp).
#pragma once

#include <string>
#include <vector>

namespace opos::serial {

struct SerialPort
{
    std::string path; // what a configuration names: the by-id link where there is one
    std::string tty;  // the node it is now, e.g. /dev/ttyUSB0
    std::string friendly; // Windows: what the device calls itself, e.g. "USB Serial Port (COM3)"
};

// Ports with hardware behind them: the /sys/class/tty entries with a device that is not a
// placeholder of the platform (the ttyS0-31 every kernel makes). Windows takes no roots.
std::vector<SerialPort> ListSerialPorts(const std::string& devRoot = "/dev", const std::string& sysRoot = "/sys/class/tty");

// The by-id name of a tty, or the path itself when it has none (always, on Windows).
std::string StableSerialPath(const std::string& path, const std::string& devRoot = "/dev");

}
