#pragma once

#include "options/OptionStore.h"
#include "script/ScriptHost.h"
#include "session/JobLink.h"

#include <memory>

namespace brivox {

// The executor's host for one job: the options a run reads, copied when the job is submitted
// (the session's store belongs to the UI thread), and the session's job link.
class CSendJobHost : public CScriptHost {
public:
    CSendJobHost(std::shared_ptr<CJobLink> link, const COptionStore& options);

    int32_t ReadIntOption(const std::string& name, int32_t fallback) override {
        return m_options.GetInt(name, fallback);
    }
    bool WriteToPort(const uint8_t* data, int32_t count) override {
        return m_link->Write(data, count);
    }
    void SetRts(bool raised) override { m_link->SetRts(raised); }
    void Report(uint8_t byte, ByteReport kind) override { m_link->Report(byte, kind); }
    CScriptRunState& RunState() override { return m_link->RunState(); }

    CJobLink& Link() { return *m_link; }

private:
    std::shared_ptr<CJobLink> m_link;
    COptionStore m_options;
};

} // namespace brivox
