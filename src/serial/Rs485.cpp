#include "serial/Rs485.h"

#include "util/Text.h"

#include <cerrno>
#include <charconv>
#include <linux/serial.h>
#include <sys/ioctl.h>

namespace brivox {

namespace {

bool DelayOf(const std::string& text, int& ms) {
    const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), ms);
    return !text.empty() && error == std::errc() && stop == text.data() + text.size() && ms >= 0 &&
           ms <= CRs485::kMaxDelayMs;
}

} // namespace

std::string ParseRs485Level(const std::string& text, CRs485& rs485) {
    if (text != "high" && text != "low")
        return "give high or low: RTS while sending";
    rs485.enabled = true;
    rs485.rtsOnSend = text == "high";
    return "";
}

std::string ParseRs485Delays(const std::string& text, CRs485& rs485) {
    const std::vector<std::string> fields = SplitText(text, ",");
    if (fields.size() != 2 || !DelayOf(fields[0], rs485.delayBeforeMs) ||
        !DelayOf(fields[1], rs485.delayAfterMs))
        return "give BEFORE,AFTER in milliseconds, each 0 to " +
               std::to_string(CRs485::kMaxDelayMs);
    return "";
}

Rs485Outcome ApplyKernelRs485(int fd, const CRs485& rs485) {
    serial_rs485 mode{};
    mode.flags =
        SER_RS485_ENABLED | (rs485.rtsOnSend ? SER_RS485_RTS_ON_SEND : SER_RS485_RTS_AFTER_SEND);
    mode.delay_rts_before_send = static_cast<__u32>(rs485.delayBeforeMs);
    mode.delay_rts_after_send = static_cast<__u32>(rs485.delayAfterMs);
    if (ioctl(fd, TIOCSRS485, &mode) == 0)
        return Rs485Outcome::Kernel;
    return errno == ENOTTY || errno == EINVAL ? Rs485Outcome::NotSupported : Rs485Outcome::Failed;
}

} // namespace brivox
