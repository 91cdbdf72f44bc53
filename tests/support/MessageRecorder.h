#pragma once

#include "platform/MessageBox.h"

#include <deque>
#include <vector>

namespace brivox::test {

// Stands in for the message boxes while it lives: records every request and answers with the
// scripted answers in order, then with OK.
class CMessageRecorder {
public:
    CMessageRecorder();
    ~CMessageRecorder();
    CMessageRecorder(const CMessageRecorder&) = delete;
    CMessageRecorder& operator=(const CMessageRecorder&) = delete;

    void ScriptAnswer(int answer) { m_answers.push_back(answer); }
    const std::vector<CMessageRequest>& Requests() const { return m_requests; }

private:
    int Present(const CMessageRequest& request);

    MessagePresenter m_previous;
    std::vector<CMessageRequest> m_requests;
    std::deque<int> m_answers;
};

} // namespace brivox::test
