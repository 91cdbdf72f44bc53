// Stands in for the C library's ioctl in the test binary, so that tests can make a driver
// refuse a configuration; every other request goes to the real call.
#include "IoctlFault.h"

#include <asm/termbits.h>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <dlfcn.h>
#include <sys/ioctl.h>

namespace {

std::atomic<bool> g_refuseLineSettings{false};

} // namespace

namespace brivox::test {

void RefuseLineSettings(bool refuse) {
    g_refuseLineSettings = refuse;
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
    using Ioctl = int (*)(int, unsigned long, ...);
    static const auto real = reinterpret_cast<Ioctl>(dlsym(RTLD_NEXT, "ioctl"));
    return real(fd, request, argument);
}
