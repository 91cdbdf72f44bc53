// Stands in for the C library's ioctl in the test binary, so that tests can make a driver
// refuse a configuration or play one with modem lines, BREAK and RS-485; every other request
// goes to the real call.
#include "IoctlFault.h"

#include <asm/termbits.h>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <dlfcn.h>
#include <linux/serial.h>
#include <mutex>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using Event = brivox::test::CFakeDriver::CEvent;

std::atomic<bool> g_refuseLineSettings{false};

// The fake driver's state; a TIOCMIWAIT sleeps in read() on the pipe, which a signal ends with
// EINTR as the real wait ends.
struct CFake {
    std::mutex mutex;
    uint32_t running = 0;
    bool rs485 = true;
    bool hangUp = true;
    int lines = 0;
    int modem = 0; // DTR and RTS
    int waiters = 0;
    int wake[2] = {-1, -1};
    std::vector<Event> events;
};

std::atomic<CFake*> g_fake{nullptr};

int Real(int fd, unsigned long request, void* argument) {
    using Ioctl = int (*)(int, unsigned long, ...);
    static const auto real = reinterpret_cast<Ioctl>(dlsym(RTLD_NEXT, "ioctl"));
    return real(fd, request, argument);
}

void Note(CFake& fake, Event::Kind kind, bool on) {
    std::lock_guard lock(fake.mutex);
    fake.events.push_back({kind, on, Clock::now()});
}

int ModemControl(CFake& fake, unsigned long request, int bits) {
    for (const auto& [line, kind] :
         {std::pair{TIOCM_DTR, Event::Kind::Dtr}, std::pair{TIOCM_RTS, Event::Kind::Rts}}) {
        if ((bits & line) == 0)
            continue;
        Note(fake, kind, request == TIOCMBIS);
        std::lock_guard lock(fake.mutex);
        fake.modem = request == TIOCMBIS ? fake.modem | line : fake.modem & ~line;
    }
    return 0;
}

int WaitForLines(CFake& fake) {
    {
        std::lock_guard lock(fake.mutex);
        ++fake.waiters;
    }
    char byte;
    const ssize_t got = read(fake.wake[0], &byte, 1);
    const int error = errno;
    std::lock_guard lock(fake.mutex);
    --fake.waiters;
    errno = error;
    return got == 1 ? 0 : -1;
}

int Fake(CFake& fake, int fd, unsigned long request, void* argument) {
    switch (request) {
    case TIOCMBIS:
    case TIOCMBIC:
        return ModemControl(fake, request, *static_cast<int*>(argument));
    case TIOCMGET: {
        std::lock_guard lock(fake.mutex);
        *static_cast<int*>(argument) = fake.lines | fake.modem;
        return 0;
    }
    case TIOCMIWAIT:
        return WaitForLines(fake);
    case TIOCSBRK:
    case TIOCCBRK:
        Note(fake, Event::Kind::Break, request == TIOCSBRK);
        return 0;
    case TIOCSRS485:
        if (!fake.rs485) {
            errno = ENOTTY;
            return -1;
        }
        Note(fake, Event::Kind::Rs485,
             (static_cast<serial_rs485*>(argument)->flags & SER_RS485_ENABLED) != 0);
        return 0;
    case TCSETS2: {
        const int result = Real(fd, request, argument);
        std::lock_guard lock(fake.mutex);
        fake.hangUp = (static_cast<termios2*>(argument)->c_cflag & HUPCL) != 0;
        return result;
    }
    case TCGETS2: {
        const int result = Real(fd, request, argument);
        auto* record = static_cast<termios2*>(argument);
        if (result == 0 && fake.running != 0 && (record->c_cflag & CBAUD) == BOTHER)
            record->c_ospeed = record->c_ispeed = fake.running;
        return result;
    }
    default:
        return Real(fd, request, argument);
    }
}

} // namespace

namespace brivox::test {

void RefuseLineSettings(bool refuse) {
    g_refuseLineSettings = refuse;
}

CFakeDriver::CFakeDriver() {
    auto* fake = new CFake;
    [[maybe_unused]] const int made = pipe(fake->wake);
    g_fake = fake;
}

CFakeDriver::~CFakeDriver() {
    CFake* fake = g_fake.exchange(nullptr);
    close(fake->wake[0]);
    close(fake->wake[1]);
    delete fake;
}

void CFakeDriver::RoundRatesTo(uint32_t running) {
    g_fake.load()->running = running;
}

void CFakeDriver::SetRs485Supported(bool supported) {
    g_fake.load()->rs485 = supported;
}

void CFakeDriver::SetInputLines(int bits) {
    CFake& fake = *g_fake.load();
    {
        std::lock_guard lock(fake.mutex);
        fake.lines = bits;
    }
    [[maybe_unused]] const ssize_t written = write(fake.wake[1], "!", 1);
}

bool CFakeDriver::HangsUpOnClose() const {
    std::lock_guard lock(g_fake.load()->mutex);
    return g_fake.load()->hangUp;
}

std::vector<CFakeDriver::CEvent> CFakeDriver::Events() const {
    std::lock_guard lock(g_fake.load()->mutex);
    return g_fake.load()->events;
}

int CFakeDriver::Waiters() const {
    std::lock_guard lock(g_fake.load()->mutex);
    return g_fake.load()->waiters;
}

} // namespace brivox::test

extern "C" int ioctl(int fd, unsigned long request, ...) __THROW {
    va_list args;
    va_start(args, request);
    void* argument = va_arg(args, void*);
    va_end(args);
    if (g_refuseLineSettings && request == TCSETS2) {
        errno = EINVAL;
        return -1;
    }
    if (CFake* fake = g_fake.load(); fake != nullptr && isatty(fd))
        return Fake(*fake, fd, request, argument);
    return Real(fd, request, argument);
}
