#include "capture/PcapngWriter.h"

#include "capture/PcapngReader.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace brivox {

namespace {

constexpr char kApplication[] = "Brivox";

} // namespace

std::string PcapngAppendPoint(const std::string& path, uint64_t& wholeBytes) {
    wholeBytes = 0;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0)
        return "";
    CPcapngReader reader;
    if (std::string error = reader.Open(path); !error.empty())
        return error;
    reader.SkipToEnd();
    if (!reader.Problem().empty() && !reader.Cut())
        return reader.Problem();
    wholeBytes = reader.WholeBytes();
    return "";
}

std::string CPcapngWriter::Open(const std::string& path) {
    const std::lock_guard lock(m_mutex);
    uint64_t wholeBytes = 0;
    if (std::string error = PcapngAppendPoint(path, wholeBytes); !error.empty())
        return error + "; a capture is appended only to a whole pcapng file";
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        static_cast<uint64_t>(info.st_size) > wholeBytes &&
        truncate(path.c_str(), static_cast<off_t>(wholeBytes)) != 0)
        return path + ": " + std::strerror(errno);
    if (std::string error = m_file.Open(path); !error.empty())
        return error;
    m_path = path;
    m_interfaces.clear();
    if (!m_file.Append(PcapngSectionHeader(kApplication)))
        return m_file.Error();
    return "";
}

void CPcapngWriter::SetFailureHook(FailureHook hook) {
    const std::lock_guard lock(m_mutex);
    m_onFailure = std::move(hook);
}

std::string CPcapngWriter::Error() const {
    const std::lock_guard lock(m_mutex);
    return m_file.Error();
}

bool CPcapngWriter::Append(const std::string& block) {
    if (m_file.Append(block))
        return true;
    if (m_file.Failed() && m_onFailure) {
        m_onFailure(m_file.Error());
        m_onFailure = nullptr;
    }
    return false;
}

int64_t CPcapngWriter::InterfaceOf(const std::string& port, PacketDirection direction) {
    const auto key = std::make_pair(port, direction);
    if (const auto known = m_interfaces.find(key); known != m_interfaces.end())
        return known->second;
    const bool sent = direction == PacketDirection::Outbound;
    CPcapngInterface interface;
    interface.name = port + (sent ? " tx" : " rx");
    interface.description = port + (sent ? ": sent" : ": received");
    if (!Append(PcapngInterfaceBlock(interface)))
        return -1;
    const auto id = static_cast<uint32_t>(m_interfaces.size());
    m_interfaces.emplace(key, id);
    return id;
}

bool CPcapngWriter::Write(const std::string& port, PacketDirection direction, int64_t steadyUs,
                          const CBytes& bytes, const std::string& note) {
    const std::lock_guard lock(m_mutex);
    if (!m_file.IsOpen())
        return false;
    // A note is no traffic: it goes on the port's receiving interface without a direction.
    const int64_t interface = InterfaceOf(
        port, direction == PacketDirection::Outbound ? direction : PacketDirection::Inbound);
    if (interface < 0)
        return false;
    CPcapngPacket packet;
    packet.interfaceId = static_cast<uint32_t>(interface);
    packet.timeUs = m_clock.WallUs(steadyUs);
    packet.direction = direction;
    packet.bytes.assign(bytes.bytes, bytes.bytes + bytes.count);
    const std::string errors = LineErrorComment(bytes.bytes, bytes.marks, bytes.count);
    packet.lineError = !errors.empty();
    packet.comment = note.empty() ? errors : errors.empty() ? note : note + "; " + errors;
    return Append(PcapngPacketBlock(packet));
}

} // namespace brivox
