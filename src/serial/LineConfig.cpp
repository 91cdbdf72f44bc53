// The kernel's termios2 (for BOTHER) cannot share a translation unit with glibc's <termios.h>,
// so every termios access of the serial code lives here.
#include "serial/LineConfig.h"

#include "util/Text.h"

#include <asm/termbits.h>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <sys/ioctl.h>

namespace brivox {

namespace {

struct CBaudCode {
    uint32_t rate;
    uint32_t code;
};

constexpr CBaudCode kBaudCodes[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

struct CSizeCode {
    int bits;
    uint32_t code;
};

constexpr CSizeCode kSizeCodes[] = {{5, CS5}, {6, CS6}, {7, CS7}, {8, CS8}};

uint32_t BaudCodeFor(uint32_t rate) {
    for (const CBaudCode& entry : kBaudCodes)
        if (entry.rate == rate)
            return entry.code;
    return BOTHER;
}

uint32_t RateFor(uint32_t code, uint32_t speed) {
    for (const CBaudCode& entry : kBaudCodes)
        if (entry.code == code)
            return entry.rate;
    return speed;
}

uint32_t SizeCodeFor(int bits) {
    for (const CSizeCode& entry : kSizeCodes)
        if (entry.bits == bits)
            return entry.code;
    return CS8;
}

std::string SystemError(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

CTermiosFlags FlagsOf(const termios2& record) {
    return {record.c_iflag, record.c_oflag,  record.c_cflag,
            record.c_lflag, record.c_ispeed, record.c_ospeed};
}

struct CParityName {
    char letter;
    const char* name;
};

constexpr CParityName kParityNames[] = {
    {'N', "None"}, {'E', "Even"}, {'O', "Odd"}, {'M', "Mark"}, {'S', "Space"},
};

const char* StopBitsText(StopBits stop) {
    return stop == StopBits::Two ? "2" : stop == StopBits::OneAndHalf ? "1.5" : "1";
}

char ParityLetter(const std::string& text) {
    for (const CParityName& parity : kParityNames)
        if (text == parity.name || text == std::string(1, parity.letter))
            return parity.letter;
    return 0;
}

bool WholeNumber(const std::string& text, uint32_t low, uint32_t high, uint32_t& value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc() && stop == end && value >= low && value <= high;
}

bool StopBitsOf(const std::string& text, StopBits& stop) {
    for (const StopBits candidate : {StopBits::One, StopBits::OneAndHalf, StopBits::Two})
        if (text == StopBitsText(candidate)) {
            stop = candidate;
            return true;
        }
    return false;
}

} // namespace

std::string LineConfigText(const CLineConfig& line) {
    return std::to_string(line.baud) + "," + line.parity + "," + std::to_string(line.dataBits) +
           "," + StopBitsText(line.stopBits);
}

std::string ParseLineConfig(const std::string& text, CLineConfig& line) {
    const std::vector<std::string> fields = SplitText(text, ",");
    if (fields.size() != 4)
        return "give BAUD,PARITY,DATA,STOP, as 115200,N,8,1";
    CLineConfig read = line;
    uint32_t dataBits = 0;
    if (!WholeNumber(fields[0], CLineConfig::kMinBaud, CLineConfig::kMaxBaud, read.baud))
        return "baud " + fields[0] + ": give a rate from 50 to 12000000";
    if (fields[1].size() != 1 || (read.parity = ParityLetter(fields[1])) == 0)
        return "parity " + fields[1] + ": give N, E, O, M (mark) or S (space)";
    if (!WholeNumber(fields[2], 5, 8, dataBits))
        return "data bits " + fields[2] + ": give 5, 6, 7 or 8";
    read.dataBits = static_cast<int>(dataBits);
    if (!StopBitsOf(fields[3], read.stopBits))
        return "stop bits " + fields[3] + ": give 1, 1.5 or 2";
    line = read;
    return "";
}

CLineConfig LineConfigFor(const CSerialSettings& settings) {
    CLineConfig line;
    line.baud = static_cast<uint32_t>(settings.GetBaud());
    uint32_t dataBits = 8;
    line.dataBits =
        WholeNumber(settings.GetDataBits(), 5, 8, dataBits) ? static_cast<int>(dataBits) : 8;
    line.parity = ParityLetter(settings.GetParity());
    if (line.parity == 0)
        line.parity = 'N';
    if (!StopBitsOf(settings.GetStopBits(), line.stopBits))
        line.stopBits = StopBits::One;
    return line;
}

int CharacterHalfBits(const CLineConfig& line) {
    const int stopHalves = line.stopBits == StopBits::Two          ? 4
                           : line.stopBits == StopBits::OneAndHalf ? 3
                                                                   : 2;
    return 2 * (1 + line.dataBits + (line.parity == 'N' ? 0 : 1)) + stopHalves;
}

std::chrono::nanoseconds CharacterTime(const CLineConfig& line) {
    return std::chrono::nanoseconds(int64_t{CharacterHalfBits(line)} * 500'000'000 /
                                    std::max<uint32_t>(line.baud, 1));
}

std::string LineRefusal(const CLineConfig& line) {
    if (line.stopBits == StopBits::OneAndHalf && line.dataBits != 5)
        return "1.5 stop bits: a serial line has them only with 5 data bits";
    return "";
}

std::string RateDeviation(uint32_t asked, uint32_t running) {
    const double deviation = (static_cast<double>(running) - asked) / std::max<uint32_t>(asked, 1);
    if (deviation >= -0.02 && deviation <= 0.02)
        return "";
    char percent[32];
    std::snprintf(percent, sizeof percent, "%+.1f %%", deviation * 100);
    return "asked " + std::to_string(asked) + ", the adapter runs at " + std::to_string(running) +
           ", " + percent;
}

void EncodeLine(const CLineConfig& line, CTermiosFlags& flags) {
    const bool parity = line.parity != 'N';
    flags.iflag = parity || line.markErrors ? INPCK : 0;
    if (line.markErrors)
        flags.iflag |= PARMRK;
    if (line.flow == FlowControl::XonXoff)
        flags.iflag |= IXON | IXOFF;
    flags.oflag = 0;
    flags.lflag = 0;
    uint32_t cflag =
        flags.cflag & ~(CBAUD | CIBAUD | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    cflag |= BaudCodeFor(line.baud) | SizeCodeFor(line.dataBits) | CLOCAL | CREAD;
    if (parity)
        cflag |= PARENB | (line.parity == 'O' || line.parity == 'M' ? PARODD : 0);
    // A sticky parity bit: PARODD makes it a 1 (mark), without it a 0 (space).
    if (line.parity == 'M' || line.parity == 'S')
        cflag |= CMSPAR;
    // With 5 data bits the UART makes 1.5 stop bits of CSTOPB.
    if (line.stopBits != StopBits::One)
        cflag |= CSTOPB;
    if (line.flow == FlowControl::RtsCts)
        cflag |= CRTSCTS;
    flags.cflag = cflag;
    flags.ispeed = line.baud;
    flags.ospeed = line.baud;
}

CLineConfig DecodeLine(const CTermiosFlags& flags) {
    CLineConfig line;
    line.baud = RateFor(flags.cflag & CBAUD, flags.ospeed);
    for (const CSizeCode& entry : kSizeCodes)
        if ((flags.cflag & CSIZE) == entry.code)
            line.dataBits = entry.bits;
    const bool odd = (flags.cflag & PARODD) != 0;
    line.parity = (flags.cflag & PARENB) == 0   ? 'N'
                  : (flags.cflag & CMSPAR) != 0 ? (odd ? 'M' : 'S')
                  : odd                         ? 'O'
                                                : 'E';
    line.stopBits = (flags.cflag & CSTOPB) == 0 ? StopBits::One
                    : line.dataBits == 5        ? StopBits::OneAndHalf
                                                : StopBits::Two;
    line.flow = (flags.cflag & CRTSCTS) != 0 ? FlowControl::RtsCts
                : (flags.iflag & IXON) != 0  ? FlowControl::XonXoff
                                             : FlowControl::None;
    line.markErrors = (flags.iflag & PARMRK) != 0;
    return line;
}

std::string ApplyLine(int fd, const CLineConfig& line, uint32_t* running) {
    if (std::string refusal = LineRefusal(line); !refusal.empty())
        return refusal;
    termios2 record{};
    if (ioctl(fd, TCGETS2, &record) != 0)
        return SystemError("TCGETS2");
    CTermiosFlags flags = FlagsOf(record);
    EncodeLine(line, flags);
    record.c_iflag = flags.iflag;
    record.c_oflag = flags.oflag;
    record.c_cflag = flags.cflag;
    record.c_lflag = flags.lflag;
    record.c_ispeed = flags.ispeed;
    record.c_ospeed = flags.ospeed;
    record.c_cc[VMIN] = 1;
    record.c_cc[VTIME] = 0;
    if (ioctl(fd, TCSETS2, &record) != 0)
        return SystemError("TCSETS2");
    // A driver writes the rate its divisor gives back into the record.
    if (running != nullptr)
        *running = ioctl(fd, TCGETS2, &record) == 0
                       ? RateFor(record.c_cflag & CBAUD, record.c_ospeed)
                       : line.baud;
    return "";
}

std::string SetHangUpOnLastClose(int fd, bool on) {
    termios2 record{};
    if (ioctl(fd, TCGETS2, &record) != 0)
        return SystemError("TCGETS2");
    record.c_cflag = on ? record.c_cflag | HUPCL : record.c_cflag & ~HUPCL;
    if (ioctl(fd, TCSETS2, &record) != 0)
        return SystemError("TCSETS2");
    return "";
}

std::string ReadAppliedLine(int fd, CLineConfig& line, CTermiosFlags* flags) {
    termios2 record{};
    if (ioctl(fd, TCGETS2, &record) != 0)
        return SystemError("TCGETS2");
    line = DecodeLine(FlagsOf(record));
    if (flags != nullptr)
        *flags = FlagsOf(record);
    return "";
}

} // namespace brivox
