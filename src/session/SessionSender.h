#pragma once

#include "jobs/FxMLThreadPool.h"
#include "script/JPScript.h"
#include "session/ByteListModel.h"
#include "session/JobLink.h"
#include "session/LineTurn.h"
#include "session/TestBlock.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

namespace brivox {

class CSendJobHost;
class CSerialPort;

// The sending side of a session: send, repeat and test-send jobs on the session's pool, the
// test-send timer (1) and the repeat timer (3), and the byte reports that jobs post back into
// the TX&RX list. The form decides what a send is and when it may go; this class runs it.
class CSessionSender : public QObject {
public:
    static constexpr int kTestSendPeriodMs = 5000;
    static constexpr int kTestBlockSize = ::brivox::kTestBlockSize;
    static constexpr int kJobTimeoutMs = 4500;

    // What a repeat tick asks of the form.
    struct CRepeatHooks {
        // Sending steps 1-4 without the button: true when the program is ready to run; what
        // went wrong has been shown otherwise.
        std::function<bool()> prepare;
        // The repeat ended by itself (Escape held down at a tick, or a send that could not be
        // built): the form unchecks "Repeat".
        std::function<void()> ended;
    };

    CSessionSender(CFxMLThreadPool& pool, CSerialPort& port, const CJPScript& script,
                   CByteListModel& txRxList, CRepeatHooks hooks);
    ~CSessionSender() override;

    // The line the jobs share with the session's polls: each job runs in its own turn.
    void SetLineTurn(std::shared_ptr<CLineTurn> turn) { m_turn = std::move(turn); }
    CScriptRunState& RunState() { return m_link->RunState(); }
    // The same state for others that share the sending flag (the banner's request), kept alive
    // as long as any of them or the jobs need it.
    std::shared_ptr<CScriptRunState> SharedRunState() { return {m_link, &m_link->RunState()}; }

    // A send job runs the script's items as they are now; earlier runs are not waited for.
    void StartSendJob();

    // Test Send checked or not; unchecking ends a block in progress before it is written.
    void SetTestSend(bool checked);
    // Checking "Repeat": timer 3 with the cycle; unchecking lets a running repeat job finish.
    void StartRepeat(int cycleMs);
    void StopRepeat();

    // Ends every run at once: a waiting script, a paced write, a test block.
    void Stop() { m_link->RunState().SetSending(false); }

    // A typed byte, shown once it has been written; typing keeps the TX&RX list to eight rows.
    void PostTypedByte(uint8_t byte);

    bool IsTestOrRepeatJobRunning() const;

    // The timers' ticks, public for tests.
    void OnTestTimer();
    void OnRepeatTimer();

protected:
    bool event(QEvent* event) override;

private:
    JobHandle Submit(std::function<void(CSendJobHost&)> work);
    void EndRepeat();

    CFxMLThreadPool& m_pool;
    CSerialPort& m_port;
    const CJPScript& m_script;
    CByteListModel& m_txRxList;
    CRepeatHooks m_hooks;
    std::shared_ptr<CJobLink> m_link;
    std::shared_ptr<CLineTurn> m_turn;
    bool m_testSendChecked = false;
    bool m_inRepeatStep = false;
    JobHandle m_testJob = 0;
    JobHandle m_repeatJob = 0;
    QTimer m_testTimer;
    QTimer m_repeatTimer;
};

// The test block: 0, 1, ..., 255, then 1, 1, 2, ..., 255, then 2, 1, ...: each 256-byte stretch
// starts with its own number. Reported byte by byte while sending and the active flag stay on,
// and written only when whole.
void RunTestBlock(CScriptHost& host, const std::atomic<int>& active);

} // namespace brivox
