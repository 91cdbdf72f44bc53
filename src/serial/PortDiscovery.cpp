#include "serial/PortDiscovery.h"

#include "platform/FileIO.h"
#include "platform/Paths.h"
#include "util/Text.h"

#include <algorithm>
#include <dirent.h>
#include <set>
#include <tuple>

namespace brivox {

namespace {

constexpr char kDevPrefix[] = "/dev/";
constexpr char kLongNamePrefix[] = "\\\\?\\";

// "ttyUSB12" splits into the family "ttyUSB" and the index 12.
struct CDeviceName {
    int rank;
    std::string family;
    long index;
};

CDeviceName SplitDeviceName(const std::string& path) {
    static const char* const kFamilies[] = {"ttyUSB", "ttyACM", "ttyS", "ttyAMA"};
    const std::string name = path.substr(path.find_last_of('/') + 1);
    size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9')
        --digits;
    CDeviceName split{0, name.substr(0, digits),
                      digits < name.size() ? ReadLeadingInt(name.substr(digits)) : -1};
    const auto* family = std::find(std::begin(kFamilies), std::end(kFamilies), split.family);
    split.rank = static_cast<int>(family - std::begin(kFamilies));
    return split;
}

bool IsLegacyPort(const std::string& name) {
    return name.size() > 4 && name.compare(0, 4, "ttyS") == 0 && name[4] >= '0' && name[4] <= '9';
}

bool HasKnownUart(const std::string& entry) {
    std::string type;
    return ReadWholeFile(entry + "/type", type) && ReadLeadingInt(type) != 0;
}

std::string StripPrefix(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0 ? text.substr(prefix.size()) : text;
}

// The digits at the start of the text, up to the first non-digit.
int LeadingDigits(const std::string& text) {
    const size_t end = text.find_first_not_of("0123456789");
    return ReadLeadingInt(text.substr(0, end));
}

} // namespace

std::vector<std::string> ListSerialDevices(const std::string& sysClassTty,
                                           const std::string& devRoot) {
    std::vector<std::string> devices;
    DIR* dir = opendir(sysClassTty.c_str());
    if (dir == nullptr)
        return devices;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        const std::string folder = sysClassTty + "/" + name;
        if (name[0] == '.' || !PathExists(folder + "/device/driver"))
            continue;
        if (IsLegacyPort(name) && !HasKnownUart(folder))
            continue;
        devices.push_back(devRoot + "/" + name);
    }
    closedir(dir);
    SortSerialDevices(devices);
    return devices;
}

void SortSerialDevices(std::vector<std::string>& devices) {
    std::sort(devices.begin(), devices.end(), [](const std::string& a, const std::string& b) {
        const CDeviceName x = SplitDeviceName(a);
        const CDeviceName y = SplitDeviceName(b);
        return std::tie(x.rank, x.family, x.index) < std::tie(y.rank, y.family, y.index);
    });
}

std::vector<CPortEntry> NumberPorts(const std::vector<CPortLink>& links,
                                    const std::vector<std::string>& devices) {
    std::vector<CPortEntry> ports;
    std::set<int> taken;
    std::set<std::string> mapped;
    for (const CPortLink& link : links) {
        taken.insert(link.number);
        if (!link.identity.empty())
            mapped.insert(link.identity);
        if (link.present)
            ports.push_back({link.number, link.identity});
    }
    int next = 1;
    for (const std::string& device : devices) {
        if (mapped.contains(device))
            continue;
        while (taken.contains(next))
            ++next;
        ports.push_back({next++, device});
    }
    std::stable_sort(ports.begin(), ports.end(),
                     [](const CPortEntry& a, const CPortEntry& b) { return a.number < b.number; });
    return ports;
}

std::vector<CPortEntry> DiscoverPortTable() {
    return NumberPorts(ReadPortMap(PortMapFolder()), ListSerialDevices("/sys/class/tty", "/dev"));
}

void DiscoverPorts(std::vector<std::string>& numbers) {
    numbers.clear();
    for (const CPortEntry& entry : DiscoverPortTable())
        numbers.push_back(std::to_string(entry.number));
}

std::string ComDeviceName(int number) {
    return (number <= 9 ? "COM" : std::string(kLongNamePrefix) + "COM") + std::to_string(number);
}

std::string ResolveComDevice(const std::string& deviceName) {
    const std::string name = StripPrefix(deviceName, kLongNamePrefix);
    if (name.size() < 4 || name.compare(0, 3, "COM") != 0 ||
        name.find_first_not_of("0123456789", 3) != std::string::npos)
        return "";
    const int number = LeadingDigits(name.substr(3));
    for (const CPortEntry& entry : DiscoverPortTable())
        if (entry.number == number)
            return entry.device;
    return "";
}

std::string PortComboText(const CPortEntry& entry) {
    return "COM" + std::to_string(entry.number) + " (" + StripPrefix(entry.device, kDevPrefix) +
           ")";
}

int PortNumberFromComboText(const std::string& text) {
    if (text.compare(0, 3, "COM") != 0)
        return 1;
    return LeadingDigits(text.substr(3));
}

} // namespace brivox
