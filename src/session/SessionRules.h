#pragma once

#include "rules/Responder.h"

#include <functional>
#include <memory>
#include <string>

namespace brivox {

class CByteListModel;
class CSerialPort;

// A session's rules: loaded from a file, on or off, answering on the session's port what they
// match. An answer shows in the TX&RX list as sent bytes; a mark goes to the port's capture.
class CSessionRules {
public:
    CSessionRules(CSerialPort& port, CByteListModel& txRxList) : m_port(port), m_list(txRxList) {}

    // Replaces the rules with the file's; on an error (the text says what and where) the rules
    // in use stay. Loaded rules start on.
    std::string Load(const std::string& path);
    bool Loaded() const { return m_responder != nullptr; }
    const std::string& Path() const { return m_path; }
    void SetEnabled(bool on);
    bool Enabled() const { return m_responder && m_responder->Enabled(); }
    // The loaded rules and what each did; null before a file is loaded.
    const CResponder* Responder() const { return m_responder.get(); }
    // Called after every hit, on the UI thread.
    void SetOnHit(std::function<void()> onHit) { m_onHit = std::move(onHit); }

    void Receive(const uint8_t* bytes, int count);
    // The port opened again: a match in progress is forgotten.
    void Reset();

private:
    bool Write(const std::vector<uint8_t>& bytes);
    void Report(const CResponderEvent& event);

    CSerialPort& m_port;
    CByteListModel& m_list;
    std::string m_path;
    std::unique_ptr<CResponder> m_responder;
    std::function<void()> m_onHit;
};

} // namespace brivox
