#pragma once

#include "serial/CaptureSink.h"

#include <memory>
#include <string>
#include <vector>

namespace brivox {

// Whether a capture file of that name is a pcapng one (its name ends in .pcapng).
bool IsPcapngPath(const std::string& path);

// Opens the capture file for the ports named, one sink a port: a pcapng file (all the ports in
// one, an interface each) for a name ending in .pcapng, else a text log, which takes one port.
// An error text ("Cannot write m.log: Permission denied").
std::string OpenCaptures(const std::string& path, const std::vector<std::string>& ports,
                         std::vector<std::shared_ptr<CCaptureSink>>& sinks);

} // namespace brivox
