#include "serial/PortReader.h"

#include "serial/LineConfig.h"
#include "serial/PseudoTerminal.h"
#include "serial/TtyDevice.h"

#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace brivox {
namespace {

using namespace std::chrono_literals;

// A reader on the slave of a pseudo-terminal, taken from on the test thread as its notices come.
class CReaderOnPty {
public:
    CReaderOnPty() {
        EXPECT_EQ(m_pty.Open(), "");
        auto device = std::make_shared<CTtyDevice>();
        EXPECT_EQ(device->Open(m_pty.SlavePath()), 0);
        EXPECT_EQ(device->Configure(CLineConfig{}), "");
        CPortReader::CHooks hooks;
        hooks.notify = [this](CPortReader::Notice) {
            std::lock_guard lock(m_mutex);
            ++m_notices;
            m_noticed.notify_all();
        };
        m_reader = std::make_shared<CPortReader>(device, std::move(hooks));
        EXPECT_EQ(m_reader->Start(), "");
    }
    ~CReaderOnPty() { m_reader->Stop(1s); }

    int Master() const { return m_pty.Master(); }

    // Takes batches as they are noticed until count bytes came or nothing came for a second.
    std::vector<uint8_t> Take(size_t count) {
        std::vector<uint8_t> received;
        while (received.size() < count) {
            {
                std::unique_lock lock(m_mutex);
                if (!m_noticed.wait_for(lock, 1s, [this] { return m_notices > m_taken; }))
                    break;
                ++m_taken;
            }
            m_reader->TakeChunks([&](const CPortReader::CChunk& chunk) {
                received.insert(received.end(), chunk.bytes, chunk.bytes + chunk.count);
            });
        }
        return received;
    }

    int Notices() {
        std::lock_guard lock(m_mutex);
        return m_notices;
    }

private:
    CPseudoTerminal m_pty;
    std::shared_ptr<CPortReader> m_reader;
    std::mutex m_mutex;
    std::condition_variable m_noticed;
    int m_notices = 0;
    int m_taken = 0;
};

std::vector<uint8_t> Counting(size_t count) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return bytes;
}

// A terminal hands a stream to its reader a few kilobytes at a time; the reader gathers many of
// them into one notice rather than waking the receiving thread for each.
TEST(PortReaderTest, AFastStreamComesInFewNoticesAndInOrder) {
    CReaderOnPty reader;
    const std::vector<uint8_t> stream = Counting(size_t{1} << 20);
    std::thread writer([&] {
        for (size_t sent = 0; sent < stream.size();) {
            const ssize_t wrote = write(reader.Master(), stream.data() + sent,
                                        std::min<size_t>(4096, stream.size() - sent));
            if (wrote <= 0)
                return;
            sent += static_cast<size_t>(wrote);
        }
    });
    const std::vector<uint8_t> received = reader.Take(stream.size());
    writer.join();
    EXPECT_TRUE(received == stream) << received.size();
    // A notice a read would be 256 or more.
    EXPECT_LE(reader.Notices(), 64);
}

} // namespace
} // namespace brivox
