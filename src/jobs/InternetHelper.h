#pragma once

#include <atomic>
#include <cstdint>
#include <string>

class QObject;

namespace brivox {

// Fetches web text with a blocking HTTP GET. Holds no state: every call opens and closes its own
// connection, so it may be called from any thread, several at once.
class CInternetHelper {
public:
    // Reads the body of an http: or https: URL as text, one line at a time: the newline that
    // ends a line is dropped, a carriage return before it is kept, and the lines are joined
    // without separator. Redirects are followed; the body is read whatever the status code.
    //
    // timeLimitMs bounds the connection and the whole call: a line that arrives after it, or a
    // body that stalls past it (even inside a line), ends the call. keepGoing, when given, is
    // read after each line and ends the call when it is 0. progressMessage, when not 0, is
    // posted to progressTarget (wParam 0, lParam 0) after each line; the target must outlive
    // the call.
    //
    // Result: 1 when the body was read to its end (text holds it all). 0 otherwise: when the URL
    // could not be opened (bad URL, unreachable host, refused connection, no answer in time)
    // text is untouched; when reading stopped part way, text holds the lines read until then.
    int ReadUrlText(const std::string& url, std::string& text, const std::atomic<int>* keepGoing,
                    int timeLimitMs, QObject* progressTarget, uint32_t progressMessage) const;
};

// The program's one helper object.
extern const CInternetHelper g_internetHelper;

inline int ReadUrlText(const std::string& url, std::string& text, const std::atomic<int>* keepGoing,
                       int timeLimitMs, QObject* progressTarget = nullptr,
                       uint32_t progressMessage = 0) {
    return g_internetHelper.ReadUrlText(url, text, keepGoing, timeLimitMs, progressTarget,
                                        progressMessage);
}

// The user agent of every request: the application's name.
extern const char* const kInternetAgentName;

} // namespace brivox
