#include "capture/PcapngCapture.h"

namespace brivox {

void CPcapngCapture::Add(Direction direction, const uint8_t* bytes, const uint8_t* marks, int count,
                         Clock::time_point when) {
    if (count <= 0)
        return;
    m_writer->Write(
        m_port, direction == Direction::Tx ? PacketDirection::Outbound : PacketDirection::Inbound,
        CWallClock::SteadyUs(when), {bytes, marks, static_cast<size_t>(count)});
}

void CPcapngCapture::AddNote(const std::string& text, Clock::time_point when) {
    m_writer->Write(m_port, PacketDirection::Unknown, CWallClock::SteadyUs(when), {}, text);
}

} // namespace brivox
