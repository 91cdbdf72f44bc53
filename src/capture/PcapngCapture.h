#pragma once

#include "capture/PcapngWriter.h"
#include "serial/CaptureSink.h"

#include <memory>
#include <string>

namespace brivox {

// One port's capture into a pcapng file that several ports may share: a packet a chunk, sent
// bytes on the port's tx interface and received ones on its rx interface, the port's events as
// empty packets whose comment tells them.
class CPcapngCapture : public CCaptureSink {
public:
    CPcapngCapture(std::shared_ptr<CPcapngWriter> writer, std::string port)
        : m_writer(std::move(writer)), m_port(std::move(port)) {}

    const std::string& Path() const override { return m_writer->Path(); }
    void SetFailureHook(FailureHook hook) override { m_writer->SetFailureHook(std::move(hook)); }
    void Add(Direction direction, const uint8_t* bytes, const uint8_t* marks, int count,
             Clock::time_point when) override;
    void AddNote(const std::string& text, Clock::time_point when) override;
    std::string Error() const override { return m_writer->Error(); }

private:
    const std::shared_ptr<CPcapngWriter> m_writer;
    const std::string m_port;
};

} // namespace brivox
