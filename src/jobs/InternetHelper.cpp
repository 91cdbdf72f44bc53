#include "jobs/InternetHelper.h"

#include "platform/PostedMessage.h"

#include <algorithm>
#include <chrono>
#include <curl/curl.h>
#include <mutex>
#include <string_view>

namespace brivox {

const CInternetHelper g_internetHelper;
const char* const kInternetAgentName = "Brivox";

namespace {

using Clock = std::chrono::steady_clock;

void InitialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
        return a == (b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b);
    });
}

// One call's reading state, shared with libcurl's callbacks.
class CUrlRead {
public:
    CUrlRead(std::string& text, const std::atomic<int>* keepGoing, int timeLimitMs,
             QObject* progressTarget, uint32_t progressMessage)
        : m_text(text), m_keepGoing(keepGoing), m_timeLimitMs(timeLimitMs),
          m_progressTarget(progressTarget), m_progressMessage(progressMessage),
          m_start(Clock::now()) {}

    CURL* curl = nullptr;

    bool IsOpened() const { return m_opened; }

    // The answer has arrived: from here on the text holds what was read.
    void Open() {
        if (m_opened)
            return;
        m_opened = true;
        m_text.clear();
    }

    bool PastTimeLimit() const {
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_start);
        return elapsed.count() > m_timeLimitMs;
    }

    // Body bytes: every complete line is taken; false ends the transfer.
    bool TakeBody(std::string_view chunk) {
        Open();
        while (!chunk.empty()) {
            const size_t newline = chunk.find('\n');
            if (newline == std::string_view::npos) {
                m_pending.append(chunk);
                break;
            }
            m_pending.append(chunk.substr(0, newline));
            chunk.remove_prefix(newline + 1);
            std::string line;
            line.swap(m_pending);
            if (!TakeLine(line))
                return false;
        }
        return true;
    }

    // The body ended: a last line without a newline is a line too.
    bool Finish() {
        Open();
        if (m_pending.empty())
            return true;
        std::string line;
        line.swap(m_pending);
        return TakeLine(line);
    }

private:
    bool TakeLine(const std::string& line) {
        if (PastTimeLimit())
            return false;
        m_text += line;
        if (m_keepGoing != nullptr && m_keepGoing->load() == 0)
            return false;
        if (m_progressTarget != nullptr && m_progressMessage != 0)
            PostWindowMessage(m_progressTarget, m_progressMessage, 0, 0);
        return true;
    }

    std::string& m_text;
    const std::atomic<int>* m_keepGoing;
    int m_timeLimitMs;
    QObject* m_progressTarget;
    uint32_t m_progressMessage;
    Clock::time_point m_start;
    bool m_opened = false;
    std::string m_pending; // the line being received
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    const size_t length = size * count;
    auto* read = static_cast<CUrlRead*>(user);
    return read->TakeBody(std::string_view(data, length)) ? length : 0;
}

// The blank line that ends the headers of the final answer (not a 1xx, not a redirect that is
// followed) opens the body, even when no body byte ever comes.
size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    const size_t length = size * count;
    auto* read = static_cast<CUrlRead*>(user);
    const std::string_view line(data, length);
    if (line == "\r\n" || line == "\n") {
        long code = 0;
        curl_easy_getinfo(read->curl, CURLINFO_RESPONSE_CODE, &code);
        char* redirect = nullptr;
        curl_easy_getinfo(read->curl, CURLINFO_REDIRECT_URL, &redirect);
        const bool followed = code >= 300 && code < 400 && redirect != nullptr;
        if (code >= 200 && !followed)
            read->Open();
    }
    return length;
}

// Called by libcurl often while data flows and about once a second while it stalls.
int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<CUrlRead*>(user)->PastTimeLimit() ? 1 : 0;
}

} // namespace

int CInternetHelper::ReadUrlText(const std::string& url, std::string& text,
                                 const std::atomic<int>* keepGoing, int timeLimitMs,
                                 QObject* progressTarget, uint32_t progressMessage) const {
    CUrlRead read(text, keepGoing, timeLimitMs, progressTarget, progressMessage);
    if (!StartsWithNoCase(url, "http://") && !StartsWithNoCase(url, "https://"))
        return 0;

    InitialiseCurlOnce();
    CURL* curl = curl_easy_init();
    if (curl == nullptr)
        return 0;
    read.curl = curl;

    const long limit = std::max(timeLimitMs, 1);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, kInternetAgentName);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(curl, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L); // signals would reach other threads
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, limit);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, limit);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &read);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &read);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &read);

    const CURLcode result = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    if (result != CURLE_OK)
        return 0;
    return read.Finish() ? 1 : 0;
}

} // namespace brivox
