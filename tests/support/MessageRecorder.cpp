#include "support/MessageRecorder.h"

namespace brivox::test {

CMessageRecorder::CMessageRecorder() {
    m_previous = SetMessagePresenter([this](const CMessageRequest& r) { return Present(r); });
}

CMessageRecorder::~CMessageRecorder() {
    SetMessagePresenter(m_previous);
}

int CMessageRecorder::Present(const CMessageRequest& request) {
    m_requests.push_back(request);
    if (m_answers.empty())
        return kIdOk;
    const int answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

} // namespace brivox::test
