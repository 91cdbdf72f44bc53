#pragma once

#include <string>
#include <vector>

namespace brivox {

// <settings folder>/ports: symbolic links named COM<n> that pin a number to a device node or
// name a serial server (rfc2217://HOST:PORT, tcp://HOST:PORT).
std::string PortMapFolder();

// One COM<n> link of the map.
struct CPortLink {
    int number = 0;
    std::string target;   // the device path the link names, made absolute, or the server address
    std::string identity; // the target with every link resolved; empty when it does not exist
    bool present = false; // the target exists and is a tty, or is a server address
};

// The links of a map folder named "COM" and digits, in no particular order.
std::vector<CPortLink> ReadPortMap(const std::string& folder);

// Links COM<number> to the device, replacing an older link of that name; error text.
std::string RegisterPort(const std::string& folder, int number, const std::string& devicePath);
// Links the device at the lowest number that no port in use and no link holds, taking over a link
// into a process that has ended (ProcessOwnedPath); the number, or 0 with the error set.
int RegisterFreePort(const std::string& folder, const std::string& devicePath,
                     const std::vector<int>& inUse, std::string& error);
// Removes COM<number> when it still names the device (another process may have taken it over).
void UnregisterPort(const std::string& folder, int number, const std::string& devicePath);

// The path of this process's open descriptor, which names the device while the process lives
// and nothing once it has ended, however it ended: a simulator's link through it cannot outlive
// the simulator and later reach another program's pseudo-terminal that gets the same number.
std::string ProcessOwnedPath(int fd);

// A character device of the tty subsystem, pseudo-terminals included.
bool IsTtyDevice(const std::string& path);

} // namespace brivox
