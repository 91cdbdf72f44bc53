#pragma once

#include "serial/PortMap.h"

#include <string>
#include <vector>

namespace brivox {

// A discovered port: its COM number and the device node it opens.
struct CPortEntry {
    int number = 0;
    std::string device;
    bool operator==(const CPortEntry&) const = default;
};

// The serial devices of a sysfs tty class folder: entries with a device/driver link, legacy
// ttyS ports only when their UART type is known (not PORT_UNKNOWN). Paths under devRoot, in
// the order SortSerialDevices gives.
std::vector<std::string> ListSerialDevices(const std::string& sysClassTty,
                                           const std::string& devRoot);

// ttyUSB, ttyACM, ttyS, ttyAMA, then the other families by name; each family by its index.
void SortSerialDevices(std::vector<std::string>& devices);

// The present links under their numbers, and every device that no link names under the lowest
// numbers no link uses (a pinned number stays reserved while its device is away). Ascending by
// number; equal numbers are all kept.
std::vector<CPortEntry> NumberPorts(const std::vector<CPortLink>& links,
                                    const std::vector<std::string>& devices);

// The port map of the settings folder over the machine's serial devices.
std::vector<CPortEntry> DiscoverPortTable();

// The discovered numbers as decimal texts, ascending; empty when there are none.
void DiscoverPorts(std::vector<std::string>& numbers);

// "COM%d" for 1 to 9, "\\?\COM%d" from 10 on.
std::string ComDeviceName(int number);
// The device node a "COM%d" or "\\?\COM%d" name opens; empty when no port has that number.
std::string ResolveComDevice(const std::string& deviceName);

// "COM3 (ttyUSB0)": the number and the device without its /dev/ prefix.
std::string PortComboText(const CPortEntry& entry);
// The digits after "COM" up to the first non-digit (0 when none); 1 without the "COM" prefix.
int PortNumberFromComboText(const std::string& text);

} // namespace brivox
