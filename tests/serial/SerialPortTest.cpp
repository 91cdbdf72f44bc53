#include "IoctlFault.h"
#include "serial/LineConfig.h"
#include "support/PortTestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace brivox {
namespace {

using test::CRecordingPort;
using test::CRegisteredPty;
using test::PatternBytes;
using test::RunEventsUntil;

constexpr int kPort = 21;

TEST(SerialPortTest, AppliesEveryListedRateAndTheLineRaw) {
    CRegisteredPty device(kPort);
    const uint32_t rates[] = {600,   1200,  2400,  4800,   9600,   19200, 28800,
                              38400, 57600, 76800, 115200, 128000, 256000};
    for (const uint32_t rate : rates) {
        for (const char* stopBits : {"1", "2"}) {
            CRecordingPort port(kPort, std::to_string(rate) + ",N,8," + stopBits);
            ASSERT_TRUE(port.Open()) << rate << ": " << port.GetLastError();
            CLineConfig line;
            CTermiosFlags flags;
            ASSERT_EQ(ReadAppliedLine(device.Pty().Slave(), line, &flags), "");
            EXPECT_EQ(line.baud, rate);
            EXPECT_EQ(line.stopBits, stopBits[0] == '2' ? StopBits::Two : StopBits::One) << rate;
            EXPECT_EQ(flags.ospeed, rate);
            EXPECT_EQ(flags.lflag & (ICANON | ECHO | ISIG), 0u);
            EXPECT_EQ(flags.iflag & (IXON | IXOFF | ICRNL), 0u);
            EXPECT_EQ(flags.cflag & CRTSCTS, 0u);
            EXPECT_EQ(flags.cflag & (CLOCAL | CREAD), static_cast<uint32_t>(CLOCAL | CREAD));
        }
    }
}

TEST(SerialPortTest, BurstArrivesOnTheUiThreadInOrderedChunksOfAtMost128WithTheirReadTimes) {
    CRegisteredPty device(kPort);
    CRecordingPort port(kPort);
    ASSERT_TRUE(port.Open()) << port.GetLastError();
    EXPECT_TRUE(port.IsOpen());
    const std::vector<uint8_t> burst = PatternBytes(300);
    device.Send(burst);
    ASSERT_TRUE(RunEventsUntil([&] { return port.Received().size() >= burst.size(); }));
    EXPECT_EQ(port.Received(), burst);
    EXPECT_GE(port.chunks.size(), 3u);
    for (const auto& chunk : port.chunks)
        EXPECT_LE(chunk.size(), 128u);
    for (size_t i = 0; i < port.chunks.size(); ++i) {
        EXPECT_LE(port.arrivals[i], port.deliveries[i]) << i;
        if (i > 0) {
            EXPECT_LE(port.arrivals[i - 1], port.arrivals[i]) << i;
        }
    }
}

TEST(SerialPortTest, WriteFromAWorkerPutsEveryByteOnTheLine) {
    CRegisteredPty device(kPort);
    CRecordingPort port(kPort);
    ASSERT_TRUE(port.Open());
    // Far more than the pseudo-terminal queue holds: the write meets EAGAIN and partial writes.
    const std::vector<uint8_t> bytes = PatternBytes(200000);
    bool written = false;
    std::thread worker([&] { written = port.Write(bytes.data(), bytes.size()); });
    const std::vector<uint8_t> received = device.Receive(bytes.size());
    worker.join();
    EXPECT_TRUE(written);
    EXPECT_EQ(received, bytes);

    CByteBuffer buffer;
    buffer.Append("AB");
    EXPECT_TRUE(port.Write(buffer));
    EXPECT_EQ(device.Receive(2), (std::vector<uint8_t>{'A', 'B'}));
}

TEST(SerialPortTest, OpenIsExclusiveCloseIsIdempotentAndReopenWorks) {
    CRegisteredPty device(kPort);
    CRecordingPort first(kPort);
    CRecordingPort second(kPort);
    EXPECT_EQ(first.Close(), 0);
    EXPECT_EQ(first.purged, 0);
    ASSERT_TRUE(first.Open());
    EXPECT_FALSE(first.Open());
    EXPECT_NE(first.GetLastError().find("already open"), std::string::npos);
    EXPECT_TRUE(first.IsOpen());
    EXPECT_FALSE(second.Open());
    EXPECT_NE(second.GetLastError(), "");
    EXPECT_EQ(first.Close(), 0);
    EXPECT_FALSE(first.IsOpen());
    EXPECT_EQ(first.Close(), 0);
    ASSERT_TRUE(second.Open()) << second.GetLastError();
    EXPECT_TRUE(second.SetPortOpen(false));
    ASSERT_TRUE(first.SetPortOpen(true));
    device.Send({0x41});
    EXPECT_TRUE(RunEventsUntil([&] { return first.Received().size() == 1; }));
}

TEST(SerialPortTest, OpenFailsForAPortNobodyHasAndWritesNothingWhileClosed) {
    CRecordingPort port(4000);
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(port.GetDeviceName(), "\\\\?\\COM4000");
    EXPECT_NE(port.GetLastError().find("no such port"), std::string::npos);
    EXPECT_FALSE(port.IsOpen());
    const uint8_t byte = 1;
    EXPECT_FALSE(port.Write(&byte, 1));
    EXPECT_FALSE(port.SetRTS(true));
    EXPECT_FALSE(port.SetDTR(true));
}

TEST(SerialPortTest, RefusedLineSettingsReportAndReleaseTheDevice) {
    CRegisteredPty device(kPort);
    CRecordingPort port(kPort);
    test::RefuseLineSettings(true);
    const bool opened = port.Open();
    test::RefuseLineSettings(false);
    EXPECT_FALSE(opened);
    EXPECT_EQ(port.GetLastError(), "Can't Config");
    EXPECT_EQ(port.configFailed, 1);
    EXPECT_FALSE(port.IsOpen());
    CRecordingPort other(kPort);
    EXPECT_TRUE(other.Open()) << other.GetLastError();
}

TEST(SerialPortTest, ModemLinesWithoutDriverSupportLeaveThePortAlone) {
    CRegisteredPty device(kPort);
    CRecordingPort port(kPort);
    ASSERT_TRUE(port.Open());
    int probe = TIOCM_RTS;
    const bool driverHasLines = ioctl(device.Pty().Slave(), TIOCMBIS, &probe) == 0;
    for (const bool on : {true, false, true}) {
        EXPECT_EQ(port.SetRTS(on), driverHasLines);
        EXPECT_EQ(port.SetDTR(on), driverHasLines);
        int lines = 0;
        if (driverHasLines && ioctl(device.Pty().Slave(), TIOCMGET, &lines) == 0) {
            EXPECT_EQ((lines & (TIOCM_RTS | TIOCM_DTR)) != 0, on);
        }
    }
    EXPECT_TRUE(port.IsOpen());
    device.Send({1, 2, 3});
    EXPECT_TRUE(RunEventsUntil([&] { return port.Received().size() == 3; }));
    EXPECT_TRUE(port.Write(PatternBytes(4).data(), 4));
    EXPECT_EQ(device.Receive(4), PatternBytes(4));
}

// The UI thread does not run its loop while the reader waits with a chunk: Close must still end
// the reader at once, and the stale notice must deliver nothing later.
TEST(SerialPortTest, CloseWhileAChunkWaitsForTheUiThread) {
    CRegisteredPty device(kPort);
    CRecordingPort port(kPort);
    ASSERT_TRUE(port.Open());
    device.Send({7, 8, 9});
    for (int i = 0; i < 1000 && !port.HasUndelivered(); ++i)
        usleep(1000);
    ASSERT_TRUE(port.HasUndelivered());
    EXPECT_EQ(port.Close(), 0);
    EXPECT_FALSE(RunEventsUntil([&] { return !port.chunks.empty(); }, 200));
    ASSERT_TRUE(port.Open());
    device.Send({10});
    ASSERT_TRUE(RunEventsUntil([&] { return !port.chunks.empty(); }));
    EXPECT_EQ(port.Received(), std::vector<uint8_t>{10});
}

// Bytes in the driver's queue of the port's terminal.
int QueuedAt(CRegisteredPty& device) {
    int queued = -1;
    ioctl(device.Pty().Slave(), TIOCINQ, &queued);
    return queued;
}

// Polls without running the UI thread's loop, which is what this is about.
bool HoldsWithin(const std::function<bool()>& done) {
    for (int i = 0; i < 2000 && !done(); ++i)
        usleep(1000);
    return done();
}

// While the UI thread is busy, the reader fills one batch ahead and then leaves further bytes
// with the driver, so that a slow window still holds the line back; once the loop runs,
// everything arrives in order.
TEST(SerialPortTest, ABusyUiThreadHoldsTheLineBackAfterOneBatchAhead) {
    CRegisteredPty device(kPort);
    CRecordingPort port(kPort);
    ASSERT_TRUE(port.Open());
    device.Send({1, 2});
    ASSERT_TRUE(HoldsWithin([&] { return port.HasUndelivered(); }));
    device.Send({3, 4});
    usleep(50000); // ample for a free reader to take them from the driver
    ASSERT_EQ(QueuedAt(device), 0);
    device.Send({5, 6});
    ASSERT_TRUE(HoldsWithin([&] { return QueuedAt(device) == 2; }));
    usleep(30000);
    EXPECT_EQ(QueuedAt(device), 2);
    ASSERT_TRUE(RunEventsUntil([&] { return port.Received().size() == 6; }));
    EXPECT_EQ(port.Received(), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
}

// A device that goes away while a batch waits is reported only after its bytes.
TEST(SerialPortTest, DeviceGoneWhileABatchWaitsDeliversItFirst) {
    CRegisteredPty device(kPort);
    CRecordingPort port(kPort);
    ASSERT_TRUE(port.Open());
    device.Send({1, 2});
    ASSERT_TRUE(HoldsWithin([&] { return port.HasUndelivered(); }));
    device.Pty().Close();
    usleep(100000); // the reader sees the hang-up before the loop runs
    ASSERT_TRUE(RunEventsUntil([&] { return port.lost == 1; }));
    EXPECT_EQ(port.Received(), (std::vector<uint8_t>{1, 2}));
}

TEST(SerialPortTest, CloseWhileDataStreamsAndFromInsideOnReceive) {
    CRegisteredPty device(kPort);
    CRecordingPort port(kPort);
    ASSERT_TRUE(port.Open());
    std::atomic<bool> streaming{true};
    // Non-blocking, so that the flood can stop while nobody reads any more.
    fcntl(device.Pty().Master(), F_SETFL, O_NONBLOCK);
    std::thread flood([&] {
        const std::vector<uint8_t> block = PatternBytes(4096);
        while (streaming)
            if (write(device.Pty().Master(), block.data(), block.size()) <= 0)
                usleep(1000);
    });
    EXPECT_TRUE(RunEventsUntil([&] { return port.Received().size() > 10000; }));
    EXPECT_EQ(port.Close(), 0);
    EXPECT_FALSE(port.IsOpen());

    port.closeOnReceive = true;
    port.chunks.clear();
    ASSERT_TRUE(port.Open());
    EXPECT_TRUE(RunEventsUntil([&] { return !port.IsOpen(); }));
    EXPECT_EQ(port.chunks.size(), 1u);
    streaming = false;
    flood.join();
}

TEST(SerialPortTest, DeviceGoneClosesThePortAndTellsTheOwner) {
    auto device = std::make_unique<CRegisteredPty>(kPort);
    CRecordingPort port(kPort);
    ASSERT_TRUE(port.Open());
    device->Send({0x55});
    ASSERT_TRUE(RunEventsUntil([&] { return port.Received().size() == 1; }));
    device->Pty().Close();
    // The port's state changes only on the UI thread, together with the news.
    usleep(20000);
    EXPECT_TRUE(port.IsOpen());
    ASSERT_TRUE(RunEventsUntil([&] { return port.lost == 1; }));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Received(), std::vector<uint8_t>{0x55});
    EXPECT_EQ(port.Close(), 0);
    EXPECT_FALSE(port.Write(PatternBytes(1).data(), 1));

    device.reset();
    device = std::make_unique<CRegisteredPty>(kPort);
    ASSERT_TRUE(port.Open()) << port.GetLastError();
    device->Send({0x66});
    EXPECT_TRUE(RunEventsUntil([&] { return port.Received().size() == 2; }));
    EXPECT_EQ(port.lost, 1);
}

} // namespace
} // namespace brivox
