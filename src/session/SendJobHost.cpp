#include "session/SendJobHost.h"

#include "options/OptionKeys.h"

namespace brivox {

CSendJobHost::CSendJobHost(std::shared_ptr<CJobLink> link, const COptionStore& options)
    : m_link(std::move(link)) {
    for (const char* key : {opt::kByteDelay, opt::kRtsWhileSending})
        m_options.SetInt(key, options.GetInt(key, 0));
}

} // namespace brivox
