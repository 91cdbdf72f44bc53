#include "capture/ReplayPlan.h"

#include "capture/PcapngReader.h"

#include <algorithm>

namespace brivox {

namespace {

struct CRecorded {
    std::string port;
    PacketDirection direction = PacketDirection::Unknown;
};

// The port and direction an interface's name tells ("COM5 rx").
CRecorded RecordedOn(const CPcapngInterface& interface) {
    const std::string& name = interface.name;
    const size_t space = name.rfind(' ');
    const std::string suffix = space == std::string::npos ? "" : name.substr(space + 1);
    if (suffix == "rx")
        return {name.substr(0, space), PacketDirection::Inbound};
    if (suffix == "tx")
        return {name.substr(0, space), PacketDirection::Outbound};
    return {name, PacketDirection::Unknown};
}

bool Goes(PacketDirection recorded, CReplayPlan::Direction wanted) {
    switch (wanted) {
    case CReplayPlan::Direction::Rx:
        return recorded == PacketDirection::Inbound;
    case CReplayPlan::Direction::Tx:
        return recorded == PacketDirection::Outbound;
    case CReplayPlan::Direction::Both:
        return true;
    }
    return false;
}

bool CarriesSerialBytes(const CPcapngInterface& interface) {
    return interface.linkType >= kLinkTypeUser0 && interface.linkType <= kLinkTypeUser15;
}

} // namespace

std::string PlanReplay(const std::string& path, CReplayPlan::Direction direction,
                       const std::string& port, CReplayPlan& plan) {
    plan = {};
    CPcapngReader reader;
    if (std::string error = reader.Open(path); !error.empty())
        return error;
    int64_t firstUs = -1;
    int64_t lastOffsetUs = 0;
    for (CPcapngPacket packet; reader.Next(packet);) {
        const CPcapngInterface& interface = *reader.Interface(packet.interfaceId);
        if (!CarriesSerialBytes(interface)) {
            ++plan.foreign;
            continue;
        }
        const CRecorded recorded = RecordedOn(interface);
        const PacketDirection goes =
            packet.direction != PacketDirection::Unknown ? packet.direction : recorded.direction;
        if (packet.bytes.empty() || !Goes(goes, direction) ||
            (!port.empty() && recorded.port != port))
            continue;
        if (firstUs < 0 && packet.timeUs >= 0)
            firstUs = packet.timeUs;
        if (packet.timeUs >= 0 && firstUs >= 0)
            lastOffsetUs = std::max(lastOffsetUs, packet.timeUs - firstUs);
        plan.bytes += static_cast<int64_t>(packet.bytes.size());
        plan.items.push_back({lastOffsetUs, std::move(packet.bytes)});
    }
    if (!reader.Problem().empty())
        plan.warning = reader.Problem() + ": the " + std::to_string(reader.PacketsRead()) +
                       " packets before it are read";
    return "";
}

} // namespace brivox
