#include "banner/NoticeBar.h"

#include "jobs/InternetHelper.h"
#include "options/OptionKeys.h"
#include "options/OptionStore.h"
#include "platform/DeveloperMarker.h"
#include "platform/Language.h"
#include "platform/OfflineSwitch.h"
#include "platform/PostedMessage.h"
#include "platform/UrlOpener.h"
#include "platform/Version.h"
#include "script/ScriptRunState.h"
#include "trace/TraceClient.h"
#include "util/Text.h"

#include <QTimerEvent>
#include <ctime>
#include <mutex>

namespace brivox {

namespace {

// The bar wakes when its item is due to change, and at least once a minute so that it follows
// a clock set by hand; a few ms past the second so that the clock has reached it.
constexpr long kLongestRefreshS = 60;
constexpr int kPastTheSecondMs = 5;
constexpr int kScriptLimitMs = 3000;
constexpr int kReportLimitMs = 5000;
constexpr QColor kBannerColor{80, 80, 80};

struct CLocalSecond {
    long ofDay = 0;
    int msInto = 0;
};

CLocalSecond LocalSecondNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    localtime_r(&now.tv_sec, &local);
    return {local.tm_hour * 3600L + local.tm_min * 60L + local.tm_sec,
            static_cast<int>(now.tv_nsec / 1000000)};
}

long SecondsSinceLocalMidnight() {
    return LocalSecondNow().ofDay;
}

std::string LocalTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return RequestTimeText(local);
}

} // namespace

// What the bar's jobs keep of it: the bar while it lives, and the report's keep-going flag.
struct CNoticeJobLink {
    std::mutex mutex;
    CNoticeBar* bar = nullptr;
    std::atomic<int> keepGoing{1};
};

void CNoticeBarBase::LoadItems(COptionStore& store, const std::string& defaultScript) {
    std::string script = TrimText(store.GetString(opt::kBannerScript));
    std::optional<CNoticeItems> items = ParseNoticeScript(script);
    if (!items) {
        store.SetString(opt::kBannerScript, defaultScript);
        items = ParseNoticeScript(TrimText(defaultScript));
    }
    if (items)
        m_items = std::move(*items);
}

const CNoticeItem* CNoticeBarBase::PickItem() const {
    return PickNotice(m_items, SecondsSinceLocalMidnight());
}

CNoticeBar::CNoticeBar(COptionStore* store, std::shared_ptr<CScriptRunState> keepGoing,
                       std::string defaultScript, std::string scriptUrl, std::string barId,
                       bool underline, bool bold)
    : CNoticeBarBase(underline, bold), m_store(store), m_runState(std::move(keepGoing)),
      m_defaultScript(std::move(defaultScript)), m_scriptUrl(std::move(scriptUrl)),
      m_barId(std::move(barId)), m_jobLink(std::make_shared<CNoticeJobLink>()) {
    m_jobLink->bar = this;
    m_pool.SetShutdownMode("terminate");
}

CNoticeBar::~CNoticeBar() {
    const std::lock_guard lock(m_jobLink->mutex);
    m_jobLink->bar = nullptr;
    m_jobLink->keepGoing = 0;
}

void CNoticeBar::Init() {
    SetNormalColor(kBannerColor);
    SetVisitedColor(kBannerColor);
    SetNotifyWindow(this);
    LoadItems(*m_store, m_defaultScript);
    ShowCurrentItem();
    ScheduleRefresh(kLongestRefreshS);
    if (!IsOffline() && ScriptRequestDue(m_store->GetString(opt::kBannerRequestTime),
                                         std::time(nullptr), DeveloperMarkerExists()))
        RequestScript();
}

void CNoticeBar::ShowCurrentItem() {
    const CNoticeItem* item = PickItem();
    if (item == nullptr)
        return;
    if (item->text != LinkText())
        SetLinkText(item->text);
    if (item->link != Url())
        SetUrl(item->link, 5);
}

void CNoticeBar::ScheduleRefresh(long longestS) {
    const CLocalSecond now = LocalSecondNow();
    const long seconds = SecondsUntilNoticeChanges(Items(), now.ofDay, longestS);
    m_refresh.start(static_cast<int>(seconds * 1000 - now.msInto + kPastTheSecondMs),
                    Qt::PreciseTimer, this);
}

void CNoticeBar::StartPool() {
    m_pool.Start(30, 10, 10);
}

// The request time is stored as the request starts, so that banners started later in this run
// (child sessions) find the gate closed.
void CNoticeBar::RequestScript() {
    m_store->SetString(opt::kBannerRequestTime, LocalTimeNow());
    StartPool();
    const std::string url = ScriptRequestUrl(m_scriptUrl, m_barId, LanguageCode(), VersionNumber());
    m_pool.Submit(
        [url, runState = m_runState, link = m_jobLink](COptionStore*) {
            TraceLine("GNTISRequesting");
            if (runState)
                runState->SetSending(true);
            std::string text;
            if (ReadUrlText(url, text, runState ? &runState->SendingFlag() : nullptr,
                            kScriptLimitMs) != 1)
                return;
            const std::lock_guard lock(link->mutex);
            if (CNoticeBar* bar = link->bar)
                QMetaObject::invokeMethod(
                    bar, [bar, text] { bar->OnScriptArrived(text); }, Qt::QueuedConnection);
        },
        nullptr, nullptr);
}

void CNoticeBar::OnScriptArrived(const std::string& script) {
    m_store->SetString(opt::kBannerScript, script);
    LoadItems(*m_store, m_defaultScript);
    ScheduleRefresh(1); // the new items take over at the next second, as an item change does
}

// The report goes from a worker: a slow server never holds up the window.
void CNoticeBar::OnItemClicked() {
    const CNoticeItem* item = PickItem();
    if (item == nullptr)
        return;
    if (!item->link.empty())
        OpenWebPage(item->link);
    if (item->reportUrl.empty() || IsOffline())
        return;
    const std::string url = ClickReportUrl(*item, m_barId, LanguageCode(), VersionNumber());
    TraceLine("HQLine : " + url);
    StartPool();
    m_pool.Submit(
        [url, link = m_jobLink](COptionStore*) {
            std::string scratch;
            ReadUrlText(url, scratch, &link->keepGoing, kReportLimitMs);
        },
        nullptr, nullptr);
}

void CNoticeBar::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_refresh.timerId()) {
        ShowCurrentItem();
        ScheduleRefresh(kLongestRefreshS);
    } else
        CNoticeBarBase::timerEvent(event);
}

void CNoticeBar::customEvent(QEvent* event) {
    if (event->type() == CPostedMessageEvent::EventType() &&
        static_cast<CPostedMessageEvent*>(event)->Message() == kClickedMessage)
        OnItemClicked();
    else
        CNoticeBarBase::customEvent(event);
}

} // namespace brivox
