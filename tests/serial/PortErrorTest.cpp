#include "serial/PortError.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace brivox {
namespace {

TEST(PortErrorTest, SystemErrorsBecomeTheUsersWords) {
    const struct {
        int systemError;
        const char* message;
    } cases[] = {
        {EACCES,
         "Cannot open COM5 (/dev/ttyUSB0): permission denied. Add your user to the dialout group "
         "(sudo usermod -aG dialout $USER) and log in again."},
        {EBUSY, "Cannot open COM5 (/dev/ttyUSB0): in use by another program"},
        {EAGAIN, "Cannot open COM5 (/dev/ttyUSB0): in use by another program"},
        {ENOENT, "Cannot open COM5 (/dev/ttyUSB0): no such device"},
        {ENOTTY, "Cannot open COM5 (/dev/ttyUSB0): not a serial device"},
        {EIO, "Cannot open COM5 (/dev/ttyUSB0): the device went away"},
        {ENOMEM, "Cannot open COM5 (/dev/ttyUSB0): Cannot allocate memory"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PortOpenMessage(PortSubject("COM5", "/dev/ttyUSB0"), PortErrorOf(c.systemError),
                                  c.systemError),
                  c.message);
    EXPECT_EQ(PortSubject("", "/dev/pts/4"), "/dev/pts/4");
}

} // namespace
} // namespace brivox
