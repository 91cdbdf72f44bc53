// The kernel's termios2 (for BOTHER) cannot share a translation unit with glibc's <termios.h>,
// so every termios access of the serial code lives here.
#include "serial/LineConfig.h"

#include <asm/termbits.h>
#include <cerrno>
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

} // namespace

std::string LineConfigText(const CLineConfig& line) {
    return std::to_string(line.baud) + "," + line.parity + "," + std::to_string(line.dataBits) +
           "," + std::to_string(line.stopBits);
}

CLineConfig LineConfigFor(const CSerialSettings& settings) {
    CLineConfig line;
    line.baud = static_cast<uint32_t>(settings.GetBaud());
    line.dataBits = settings.GetDataBits() == "7" ? 7 : 8;
    line.parity = settings.GetParity() == "Even" ? 'E' : settings.GetParity() == "Odd" ? 'O' : 'N';
    line.stopBits = settings.GetStopBits() == "2" ? 2 : 1;
    return line;
}

void EncodeLine(const CLineConfig& line, CTermiosFlags& flags) {
    const bool parity = line.parity == 'E' || line.parity == 'O';
    flags.iflag = parity ? INPCK : 0;
    flags.oflag = 0;
    flags.lflag = 0;
    uint32_t cflag = flags.cflag & ~(CBAUD | CIBAUD | CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    cflag |= BaudCodeFor(line.baud) | SizeCodeFor(line.dataBits) | CLOCAL | CREAD;
    if (parity)
        cflag |= PARENB | (line.parity == 'O' ? PARODD : 0);
    if (line.stopBits == 2)
        cflag |= CSTOPB;
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
    line.parity = (flags.cflag & PARENB) == 0 ? 'N' : (flags.cflag & PARODD) != 0 ? 'O' : 'E';
    line.stopBits = (flags.cflag & CSTOPB) != 0 ? 2 : 1;
    return line;
}

std::string ApplyLine(int fd, const CLineConfig& line) {
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
