// The serial ports present, for tarabo-scales: the stable /dev/serial/by-id names first (they
// survive re-plugging), then the ports that have none.
#pragma once

#include <string>
#include <vector>

namespace opos::serial {

struct SerialPort
{
    std::string path; // what a configuration names: the by-id link where there is one
    std::string tty;  // the node it is now, e.g. /dev/ttyUSB0
};

// Ports with hardware behind them: the /sys/class/tty entries with a device that is not a
// placeholder of the platform (the ttyS0-31 every kernel makes).
std::vector<SerialPort> ListSerialPorts(const std::string& devRoot = "/dev", const std::string& sysRoot = "/sys/class/tty");

// The by-id name of a tty, or the path itself when it has none.
std::string StableSerialPath(const std::string& path, const std::string& devRoot = "/dev");

}
