#pragma once

#include "banner/LinkStatic.h"
#include "banner/NoticeScript.h"
#include "jobs/FxMLThreadPool.h"

#include <QBasicTimer>
#include <memory>
#include <string>

namespace brivox {

class COptionStore;
class CScriptRunState;
struct CNoticeJobLink;

// A link whose text is the notice of the moment from a banner script.
class CNoticeBarBase : public CLinkStatic {
public:
    using CLinkStatic::CLinkStatic;

    // The items of the store's script; a script without the prefix is replaced there by the
    // default one. Nothing changes when even that does not parse.
    void LoadItems(COptionStore& store, const std::string& defaultScript);
    // The notice of this moment of the day (local time), or none.
    const CNoticeItem* PickItem() const;
    const CNoticeItems& Items() const { return m_items; }

private:
    CNoticeItems m_items;
};

// The banner line of a session: the notices rotate with the clock, a click opens the notice's
// link and reports the click, and once a day the maker's server is asked for a fresh script.
// Offline (platform/OfflineSwitch.h) it neither asks nor reports and shows the script it has.
//
// The global store is only ever touched on the UI thread: the request's worker fetches the text
// and hands it back through a queued call, which stores it and rebuilds the items. Jobs are
// let go when the bar goes, so closing a session never waits for the network.
class CNoticeBar : public CNoticeBarBase {
public:
    CNoticeBar(COptionStore* store, std::shared_ptr<CScriptRunState> keepGoing,
               std::string defaultScript, std::string scriptUrl, std::string barId, bool underline,
               bool bold);
    ~CNoticeBar() override;

    void Init();
    void ShowCurrentItem();
    void OnItemClicked();

    const std::string& BarId() const { return m_barId; }
    const CFxMLThreadPool& Pool() const { return m_pool; }

protected:
    void timerEvent(QTimerEvent* event) override;
    void customEvent(QEvent* event) override;

private:
    void RequestScript();
    void OnScriptArrived(const std::string& script);
    void StartPool();
    void ScheduleRefresh(long longestS);

    CFxMLThreadPool m_pool;
    COptionStore* m_store;
    std::shared_ptr<CScriptRunState> m_runState;
    std::string m_defaultScript;
    std::string m_scriptUrl;
    std::string m_barId;
    QBasicTimer m_refresh;
    std::shared_ptr<CNoticeJobLink> m_jobLink;
};

} // namespace brivox
