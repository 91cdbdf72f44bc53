#include "session/SessionSender.h"

#include "platform/EscapeKey.h"
#include "platform/PostedMessage.h"
#include "script/ScriptExecutor.h"
#include "serial/SerialPort.h"
#include "session/SendJobHost.h"

#include <utility>

namespace brivox {

namespace {

// Marks the report of a typed byte (above the byte's 8 bits of wParam).
constexpr uintptr_t kTypedByte = 0x100;
// A poll holds the line for one request and its reply: at most its time-out, 60 s.
constexpr std::chrono::milliseconds kLongestTurnWait{61000};
// After a send the line stays the form's until its answer has come and the line has been quiet
// for 3.5 characters, or for this long when nothing comes.
constexpr std::chrono::milliseconds kAnswerPatience{1000};

std::function<void(CSendJobHost&)> RunItems(std::vector<CJPItem> items) {
    return [items = std::move(items)](CSendJobHost& host) { JPExecute(items, host, true); };
}

} // namespace

void RunTestBlock(CScriptHost& host, const std::atomic<int>& active) {
    const CScriptRunState& state = host.RunState();
    std::vector<uint8_t> block;
    block.reserve(CSessionSender::kTestBlockSize);
    for (int i = 0; i < CSessionSender::kTestBlockSize; ++i) {
        if (!state.IsSending() || active.load() == 0)
            return;
        const uint8_t byte = TestBlockByte(i);
        host.Report(byte, ByteReport::Sent);
        block.push_back(byte);
    }
    WriteBytes(host, block);
}

CSessionSender::CSessionSender(CFxMLThreadPool& pool, CSerialPort& port, const CJPScript& script,
                               CByteListModel& txRxList, CRepeatHooks hooks)
    : m_pool(pool), m_port(port), m_script(script), m_txRxList(txRxList), m_hooks(std::move(hooks)),
      m_link(std::make_shared<CJobLink>(port, *this)) {
    connect(&m_testTimer, &QTimer::timeout, this, &CSessionSender::OnTestTimer);
    connect(&m_repeatTimer, &QTimer::timeout, this, &CSessionSender::OnRepeatTimer);
    m_testTimer.start(kTestSendPeriodMs);
    TrackEscapeKey();
}

// Jobs still running afterwards find the port and this receiver detached.
CSessionSender::~CSessionSender() {
    Stop();
    m_link->Detach();
}

// Every job starts the same way: sending on, the TX&RX list emptied, the options it reads
// copied for it.
JobHandle CSessionSender::Submit(std::function<void(CSendJobHost&)> work) {
    auto host = std::make_shared<CSendJobHost>(m_link, m_script.Options());
    RunState().SetSending(true);
    m_txRxList.Clear();
    return m_pool.Submit(
        [host, turn = m_turn, quiet = m_port.LineCharacterTime() * 7 / 2,
         work = std::move(work)](COptionStore*) {
            const CLineTurnHold hold(
                turn.get(), [&host] { return !host->RunState().IsSending(); }, kLongestTurnWait,
                quiet, kAnswerPatience);
            if (hold.Got())
                work(*host);
        },
        nullptr, nullptr, nullptr, 0, 0, kJobTimeoutMs);
}

void CSessionSender::StartSendJob() {
    Submit(RunItems(m_script.Items()));
}

void CSessionSender::SetTestSend(bool checked) {
    m_testSendChecked = checked;
    if (!checked)
        m_link->TestSendActive().store(0);
}

void CSessionSender::StartRepeat(int cycleMs) {
    m_repeatTimer.start(cycleMs);
}

void CSessionSender::StopRepeat() {
    m_repeatTimer.stop();
}

bool CSessionSender::IsTestOrRepeatJobRunning() const {
    return m_pool.IsJobRunning(m_testJob) != 0 || m_pool.IsJobRunning(m_repeatJob) != 0;
}

void CSessionSender::OnTestTimer() {
    if (!m_testSendChecked || IsTestOrRepeatJobRunning())
        return;
    m_link->TestSendActive().store(1);
    m_testJob =
        Submit([](CSendJobHost& host) { RunTestBlock(host, host.Link().TestSendActive()); });
}

// A tick that finds the message box of an earlier tick still open does nothing. A send that
// cannot be built ends the repeat, so its message shows once and nothing stale goes out.
void CSessionSender::OnRepeatTimer() {
    if (IsEscapeHeldDown()) {
        EndRepeat();
        return;
    }
    if (m_inRepeatStep || IsTestOrRepeatJobRunning())
        return;
    m_inRepeatStep = true;
    const bool ready = m_hooks.prepare && m_hooks.prepare();
    m_inRepeatStep = false;
    if (!ready)
        EndRepeat();
    else if (m_repeatTimer.isActive())
        m_repeatJob = Submit(RunItems(m_script.Items()));
}

void CSessionSender::EndRepeat() {
    StopRepeat();
    if (m_hooks.ended)
        m_hooks.ended();
}

void CSessionSender::PostTypedByte(uint8_t byte) {
    PostWindowMessage(this, CJobLink::kReportMessage, kTypedByte | byte,
                      static_cast<intptr_t>(ByteReport::Sent));
}

bool CSessionSender::event(QEvent* event) {
    if (event->type() != CPostedMessageEvent::EventType())
        return QObject::event(event);
    const auto* report = static_cast<const CPostedMessageEvent*>(event);
    const intptr_t kind = report->LParam();
    if (report->Message() != CJobLink::kReportMessage || kind < 0 || kind > 2)
        return true;
    if (report->WParam() & kTypedByte)
        m_txRxList.KeepTypingRows();
    m_txRxList.AddByte(static_cast<uint8_t>(report->WParam() & 0xFF), static_cast<ByteKind>(kind));
    return true;
}

} // namespace brivox
