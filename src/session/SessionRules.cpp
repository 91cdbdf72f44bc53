#include "session/SessionRules.h"

#include "serial/SerialPort.h"
#include "session/ByteListModel.h"
#include "util/WallClock.h"

namespace brivox {

std::string CSessionRules::Load(const std::string& path) {
    std::vector<CRule> rules;
    if (std::string error = LoadRules(path, rules); !error.empty())
        return error;
    m_responder = std::make_unique<CResponder>(
        std::move(rules), [this](const std::vector<uint8_t>& bytes) { return Write(bytes); },
        [this](const CResponderEvent& event) { Report(event); });
    m_path = path;
    return "";
}

void CSessionRules::SetEnabled(bool on) {
    if (m_responder)
        m_responder->SetEnabled(on);
}

void CSessionRules::Receive(const uint8_t* bytes, int count) {
    if (m_responder)
        m_responder->Receive(bytes, static_cast<size_t>(count),
                             CWallClock::SteadyUs(std::chrono::steady_clock::now()));
}

void CSessionRules::Reset() {
    if (m_responder)
        m_responder->Reset();
}

bool CSessionRules::Write(const std::vector<uint8_t>& bytes) {
    if (!m_port.IsOpen() || !m_port.Write(bytes.data(), bytes.size()))
        return false;
    m_list.AddBytes(bytes.data(), static_cast<int>(bytes.size()), ByteKind::Sent);
    return true;
}

void CSessionRules::Report(const CResponderEvent& event) {
    const CRule& rule = m_responder->Rules()[event.hit.rule];
    if (!rule.mark.empty())
        if (const std::shared_ptr<CCaptureSink> capture = m_port.Capture())
            capture->AddNote("rule " + rule.name + ": " + rule.mark,
                             std::chrono::steady_clock::now());
    if (m_onHit)
        m_onHit();
}

} // namespace brivox
