#include "support/LocalOnly.h"

#include "banner/NoticeScript.h"
#include "options/GlobalOptions.h"
#include "options/OptionDefaults.h"
#include "options/OptionKeys.h"
#include "platform/UrlOpener.h"
#include "support/HttpTestServer.h"

#include <QUrl>
#include <ctime>
#include <string>

namespace brivox::test {

void KeepTestsLocal() {
    SetNoticeServerOrigin("http://127.0.0.1:" + std::to_string(CHttpTestServer::UnusedPort()));
    SetUrlOpener([](const QUrl&) { return false; });
}

void ResetGlobalOptions() {
    GlobalOptions().Clear();
    RegisterDefaultOptions(GlobalOptions(), "eng");
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    GlobalOptions().SetString(opt::kBannerRequestTime, RequestTimeText(local));
}

} // namespace brivox::test
