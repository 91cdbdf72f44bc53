#include "modbus/ModbusPoll.h"

#include "modbus/ModbusFrame.h"

#include <gtest/gtest.h>
#include <vector>

namespace brivox {
namespace {

using namespace std::chrono_literals;
using Clock = CModbusPoll::Clock;
using Bytes = std::vector<uint8_t>;

constexpr auto kCharacter = 1ms; // 3.5 characters of quiet: 3.5 ms
const Clock::time_point kT0 = Clock::time_point() + 1h;

CModbusPollDefinition Definition(ModbusTransport transport, int function = 0x03, int count = 2) {
    CModbusPollDefinition d;
    d.function = function;
    d.start = 0x10;
    d.count = count;
    d.intervalMs = 100;
    d.timeoutMs = 50;
    d.transport = transport;
    return d;
}

// A reply ADU in the transport's frame; for TCP with this transaction id.
Bytes Framed(ModbusTransport transport, const Bytes& adu, uint16_t transaction = 1) {
    if (transport == ModbusTransport::Rtu)
        return RtuFrameOf(adu);
    if (transport == ModbusTransport::Ascii)
        return AsciiFrameOf(adu);
    Bytes frame = {
        static_cast<uint8_t>(transaction >> 8), static_cast<uint8_t>(transaction), 0, 0, 0,
        static_cast<uint8_t>(adu.size())};
    frame.insert(frame.end(), adu.begin(), adu.end());
    return frame;
}

const Bytes kTwoRegisters = {0x01, 0x03, 0x04, 0x40, 0x49, 0x0F, 0xD0};

TEST(ModbusPollTest, EachTransportFramesTheRequestAndTakesARepliesInPieces) {
    for (ModbusTransport transport :
         {ModbusTransport::Rtu, ModbusTransport::Ascii, ModbusTransport::Tcp}) {
        CModbusPoll poll(Definition(transport), kCharacter);
        const Bytes request = poll.TakeRequest(kT0);
        EXPECT_EQ(request, Framed(transport, {0x01, 0x03, 0x00, 0x10, 0x00, 0x02}));
        poll.Sent(kT0 + 1ms);
        const Bytes reply = Framed(transport, kTwoRegisters);
        const size_t half = reply.size() / 2;
        EXPECT_FALSE(poll.Receive(reply.data(), half, kT0 + 2ms));
        EXPECT_TRUE(poll.Receive(reply.data() + half, reply.size() - half, kT0 + 3ms));
        EXPECT_EQ(poll.LastResult().outcome, ModbusPollOutcome::Valid);
        EXPECT_EQ(poll.LastResult().values, (std::vector<uint16_t>{0x4049, 0x0FD0}));
        EXPECT_EQ(poll.LastResult().replyMicros, 2000) << "from the last byte out to the last in";
        EXPECT_EQ(poll.Statistics().valid, 1);
    }
}

TEST(ModbusPollTest, CoilsComeBackOneValueEach) {
    CModbusPoll poll(Definition(ModbusTransport::Rtu, 0x01, 10), kCharacter);
    poll.TakeRequest(kT0);
    const Bytes reply = RtuFrameOf({0x01, 0x01, 0x02, 0b1000'0101, 0b10});
    ASSERT_TRUE(poll.Receive(reply.data(), reply.size(), kT0 + 1ms));
    EXPECT_EQ(poll.LastResult().values, (std::vector<uint16_t>{1, 0, 1, 0, 0, 0, 0, 1, 0, 1}));
}

TEST(ModbusPollTest, EveryKindOfBadReplyIsCountedAndThePollGoesOn) {
    Bytes badCrc = RtuFrameOf(kTwoRegisters);
    badCrc.back() ^= 0xFF;
    const struct {
        const char* what;
        Bytes reply;
        ModbusPollOutcome outcome;
        int64_t CModbusPollStatistics::*counter;
    } cases[] = {
        {"bad CRC", badCrc, ModbusPollOutcome::BadChecksum, &CModbusPollStatistics::checksumErrors},
        {"exception", RtuFrameOf({0x01, 0x83, 0x02}), ModbusPollOutcome::Exception,
         &CModbusPollStatistics::exceptions},
        {"another slave", RtuFrameOf({0x02, 0x03, 0x04, 0, 0, 0, 0}), ModbusPollOutcome::WrongSlave,
         &CModbusPollStatistics::wrongSlave},
        {"another function", RtuFrameOf({0x01, 0x04, 0x04, 0, 0, 0, 0}),
         ModbusPollOutcome::WrongFunction, &CModbusPollStatistics::wrongFunction},
        {"too few registers", RtuFrameOf({0x01, 0x03, 0x02, 0, 0}), ModbusPollOutcome::WrongLength,
         &CModbusPollStatistics::wrongLength},
        {"garbage",
         {0x5A, 0xA5, 0x13, 0x37},
         ModbusPollOutcome::WrongSlave,
         &CModbusPollStatistics::wrongSlave},
        {"a reply cut short",
         {0x01, 0x03, 0x04, 0x40},
         ModbusPollOutcome::TimedOut,
         &CModbusPollStatistics::timeouts},
    };
    for (const auto& c : cases) {
        CModbusPoll poll(Definition(ModbusTransport::Rtu), kCharacter);
        poll.TakeRequest(kT0);
        const bool ended = poll.Receive(c.reply.data(), c.reply.size(), kT0 + 5ms);
        EXPECT_EQ(ended, c.outcome != ModbusPollOutcome::TimedOut) << c.what;
        if (!ended) {
            EXPECT_FALSE(poll.Expire(kT0 + 49ms)) << c.what;
            EXPECT_TRUE(poll.Expire(kT0 + 50ms)) << c.what;
        }
        EXPECT_EQ(poll.LastResult().outcome, c.outcome) << c.what;
        EXPECT_NE(poll.LastResult().error, "") << c.what;
        EXPECT_EQ(poll.Statistics().*c.counter, 1) << c.what;
        EXPECT_EQ(poll.Statistics().valid, 0) << c.what;

        ASSERT_TRUE(poll.TakeRequest(kT0 + 100ms).size() > 0) << c.what;
        const Bytes good = RtuFrameOf(kTwoRegisters);
        EXPECT_TRUE(poll.Receive(good.data(), good.size(), kT0 + 105ms)) << c.what;
        EXPECT_EQ(poll.Statistics().valid, 1) << c.what;
        EXPECT_EQ(poll.Statistics().requests, 2) << c.what;
    }
}

TEST(ModbusPollTest, AnExceptionNamesItsCode) {
    CModbusPoll poll(Definition(ModbusTransport::Rtu), kCharacter);
    poll.TakeRequest(kT0);
    const Bytes reply = RtuFrameOf({0x01, 0x83, 0x02});
    ASSERT_TRUE(poll.Receive(reply.data(), reply.size(), kT0 + 1ms));
    EXPECT_EQ(poll.LastResult().error, "exception 02 (illegal data address)");
    EXPECT_EQ(poll.Statistics().exceptionsByCode.at(2), 1);
}

TEST(ModbusPollTest, ALateReplyIsCountedOnceAndTheNextRequestWaitsForTheLineToSettle) {
    CModbusPoll poll(Definition(ModbusTransport::Rtu), kCharacter);
    poll.TakeRequest(kT0);
    EXPECT_TRUE(poll.TakeRequest(kT0 + 1ms).empty()) << "never a second request on the line";
    EXPECT_EQ(poll.NextWake(), kT0 + 50ms);
    ASSERT_TRUE(poll.Expire(kT0 + 50ms));
    EXPECT_EQ(poll.LastResult().outcome, ModbusPollOutcome::TimedOut);
    const Bytes late = RtuFrameOf(kTwoRegisters);
    poll.Receive(late.data(), 4, kT0 + 99ms);
    poll.Receive(late.data() + 4, late.size() - 4, kT0 + 100ms);
    EXPECT_EQ(poll.Statistics().late, 1);
    EXPECT_EQ(poll.Statistics().valid, 0);
    EXPECT_EQ(poll.NextWake(), kT0 + 103500us) << "3.5 characters after the last byte";
    EXPECT_TRUE(poll.TakeRequest(kT0 + 103ms).empty());
    EXPECT_FALSE(poll.TakeRequest(kT0 + 103500us).empty());
}

TEST(ModbusPollTest, RequestsFollowTheIntervalOrComeBackToBack) {
    CModbusPoll paced(Definition(ModbusTransport::Tcp), 0ns);
    const Bytes reply = Framed(ModbusTransport::Tcp, kTwoRegisters);
    paced.TakeRequest(kT0);
    paced.Receive(reply.data(), reply.size(), kT0 + 1ms);
    EXPECT_EQ(paced.NextWake(), kT0 + 100ms);
    EXPECT_TRUE(paced.TakeRequest(kT0 + 99ms).empty());
    EXPECT_FALSE(paced.TakeRequest(kT0 + 100ms).empty());

    CModbusPollDefinition fastest = Definition(ModbusTransport::Tcp);
    fastest.intervalMs = 0;
    CModbusPoll backToBack(fastest, 0ns);
    for (uint16_t cycle = 1; cycle <= 3; ++cycle) {
        const Clock::time_point now = kT0 + cycle * 1ms;
        ASSERT_FALSE(backToBack.TakeRequest(now).empty()) << cycle;
        const Bytes answer = Framed(ModbusTransport::Tcp, kTwoRegisters, cycle);
        ASSERT_TRUE(backToBack.Receive(answer.data(), answer.size(), now)) << cycle;
    }
    EXPECT_EQ(backToBack.Statistics().valid, 3) << "each reply matched its transaction id";
}

TEST(ModbusPollTest, ATcpReplyToAnEarlierRequestIsDroppedAsLate) {
    CModbusPoll poll(Definition(ModbusTransport::Tcp), 0ns);
    poll.TakeRequest(kT0);
    ASSERT_TRUE(poll.Expire(kT0 + 50ms));
    poll.TakeRequest(kT0 + 100ms);
    Bytes both = Framed(ModbusTransport::Tcp, kTwoRegisters, 1);
    const Bytes current = Framed(ModbusTransport::Tcp, kTwoRegisters, 2);
    both.insert(both.end(), current.begin(), current.end());
    ASSERT_TRUE(poll.Receive(both.data(), both.size(), kT0 + 101ms));
    EXPECT_EQ(poll.LastResult().outcome, ModbusPollOutcome::Valid);
    EXPECT_EQ(poll.Statistics().late, 1);

    // A late reply split by the next request: the stream keeps its pieces together.
    poll.TakeRequest(kT0 + 200ms);
    ASSERT_TRUE(poll.Expire(kT0 + 250ms));
    const Bytes late = Framed(ModbusTransport::Tcp, kTwoRegisters, 3);
    EXPECT_FALSE(poll.Receive(late.data(), 5, kT0 + 260ms));
    poll.TakeRequest(kT0 + 300ms);
    Bytes rest(late.begin() + 5, late.end());
    const Bytes fourth = Framed(ModbusTransport::Tcp, kTwoRegisters, 4);
    rest.insert(rest.end(), fourth.begin(), fourth.end());
    ASSERT_TRUE(poll.Receive(rest.data(), rest.size(), kT0 + 301ms));
    EXPECT_EQ(poll.LastResult().outcome, ModbusPollOutcome::Valid);
    EXPECT_EQ(poll.Statistics().late, 2);
}

TEST(ModbusPollTest, StatisticsSummariseCountsAndReplyTimes) {
    CModbusPollStatistics statistics;
    statistics.requests = 4;
    for (int64_t micros : {1000, 1200, 3000})
        statistics.Count({ModbusPollOutcome::Valid, {}, 0, "", micros, {}, {}});
    statistics.Count({ModbusPollOutcome::Exception, {}, 6, "", 900, {}, {}});
    EXPECT_EQ(statistics.Summary(false),
              "requests 4, valid 3, time-outs 0, CRC errors 0, exceptions 1 (06: 1), wrong slave "
              "0, wrong function 0, wrong length 0, late 0; reply time min 0.90 median 1.00 p99 "
              "3.00 max 3.00 ms");
}

TEST(ModbusPollTest, LatencyPercentilesAreWithinTheirBucket) {
    CLatencyHistogram histogram;
    EXPECT_EQ(histogram.Percentile(0.5), 0);
    for (int64_t micros = 1; micros <= 100000; ++micros)
        histogram.Add(micros);
    EXPECT_EQ(histogram.Min(), 1);
    EXPECT_EQ(histogram.Max(), 100000);
    for (double fraction : {0.005, 0.5, 0.99}) {
        const double exact = fraction * 100000;
        EXPECT_NEAR(static_cast<double>(histogram.Percentile(fraction)), exact, exact * 0.016)
            << fraction;
    }
}

TEST(ModbusPollTest, ADefinitionOutOfRangeIsRefusedByName) {
    const struct {
        void (*spoil)(CModbusPollDefinition&);
        const char* error;
    } cases[] = {
        {[](CModbusPollDefinition& d) { d.slave = 0; }, "the slave is 1 to 247"},
        {[](CModbusPollDefinition& d) { d.function = 5; }, "the function is 01, 02, 03 or 04"},
        {[](CModbusPollDefinition& d) { d.count = 126; }, "the count is 1 to 125"},
        {[](CModbusPollDefinition& d) { d.start = 0xFFFF; }, "the start and count reach past"},
        {[](CModbusPollDefinition& d) { d.timeoutMs = 0; }, "the time-out is 1 to 60000 ms"},
    };
    EXPECT_EQ(CheckModbusPollDefinition(Definition(ModbusTransport::Rtu)), "");
    for (const auto& c : cases) {
        CModbusPollDefinition d = Definition(ModbusTransport::Rtu);
        c.spoil(d);
        EXPECT_EQ(CheckModbusPollDefinition(d).rfind(c.error, 0), 0u) << c.error;
    }
}

} // namespace
} // namespace brivox

namespace brivox {
namespace {

TEST(ModbusPollTest, QueuedRequestsGoOutBetweenTheReadsOneAtATime) {
    CModbusPoll poll(Definition(ModbusTransport::Rtu), kCharacter);
    const Bytes write = {0x01, 0x06, 0x00, 0x10, 0x12, 0x34};
    EXPECT_EQ(poll.TakeRequest(kT0), RtuFrameOf({0x01, 0x03, 0x00, 0x10, 0x00, 0x02}));
    poll.Queue(write);
    EXPECT_TRUE(poll.TakeRequest(kT0 + 1ms).empty()) << "a reply is awaited";
    const Bytes reply = RtuFrameOf(kTwoRegisters);
    ASSERT_TRUE(poll.Receive(reply.data(), reply.size(), kT0 + 5ms));
    EXPECT_EQ(poll.NextWake(), kT0 + 5ms + 3500us) << "the queued write waits for quiet only";
    EXPECT_EQ(poll.TakeRequest(kT0 + 9ms), RtuFrameOf(write));
    const Bytes confirmed = RtuFrameOf(write);
    ASSERT_TRUE(poll.Receive(confirmed.data(), confirmed.size(), kT0 + 12ms));
    EXPECT_EQ(poll.LastResult().outcome, ModbusPollOutcome::Valid);
    EXPECT_EQ(poll.LastResult().reply, write);
    EXPECT_TRUE(poll.LastResult().values.empty());
    EXPECT_EQ(poll.NextWake(), kT0 + 100ms) << "the next read keeps its interval";
    EXPECT_EQ(poll.Statistics().requests, 2);

    CModbusPollDefinition queuedOnly = Definition(ModbusTransport::Rtu);
    queuedOnly.periodic = false;
    CModbusPoll scan(queuedOnly, kCharacter);
    EXPECT_TRUE(scan.TakeRequest(kT0).empty()) << "no read of its own";
    scan.Queue({0x05, 0x03, 0x00, 0x00, 0x00, 0x01});
    EXPECT_EQ(scan.TakeRequest(kT0), RtuFrameOf({0x05, 0x03, 0x00, 0x00, 0x00, 0x01}));
    ASSERT_TRUE(scan.Expire(kT0 + 50ms));
    EXPECT_EQ(scan.LastResult().request[0], 0x05);
    EXPECT_EQ(scan.NextWake(), Clock::time_point::max());
}

} // namespace
} // namespace brivox
