// brivox-cli run against brivox-devsim, each on its own pseudo-terminal in this test's port map.
#include "CliRun.h"
#include "cli/Cli.h"
#include "modbus/ModbusFrame.h"
#include "support/DevsimProcess.h"
#include "support/PortTestSupport.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

namespace brivox {
namespace {

using test::CDevsimProcess;

constexpr char kPort[] = "COM52";

test::CCliRun RunOnDevice(std::vector<std::string> args) {
    args.insert(args.begin(), {"run", "--port", kPort});
    return test::RunCliCaptured(args);
}

std::vector<std::string> Devsim(std::vector<std::string> behaviour) {
    behaviour.insert(behaviour.end(), {"--register", "52"});
    return behaviour;
}

TEST(RunCommandTest, DetailScriptsMatchMismatchOrTimeOut) {
    const struct {
        std::vector<std::string> device;
        std::vector<std::string> args;
        int code;
        const char* out;
    } cases[] = {
        {{"--reply", "05=06 00 10"},
         {"--", "05 <06 00 10>"},
         0,
         "TX 05\nRX 06 00 10\nresult match\n"},
        {{"--reply", "05=06 01 10"},
         {"05 <06 00 10> 07"},
         1,
         "TX 05\nRX 06 01 10\nexpected 06 00 10\nresult mismatch\n"},
        {{"--reply", "07=08"}, {"--timeout", "300", "41 <06>"}, 2, "TX 41\nresult timeout\n"},
        {{"--reply", "FF=00"}, {"--mode", "string", "--", "-AT"}, 0, "TX 2D 41 54\nresult match\n"},
        {{"--reply", "FF=00"},
         {"--mode", "decimal", "--delay", "20", "--rts-while-sending", "65 66"},
         0,
         "TX 41 42\nresult match\n"},
        {{"--echo"},
         {"--settings", "9600,E,7,2", "41 42 <41 42>"},
         0,
         "TX 41 42\nRX 41 42\nresult match\n"},
    };
    for (const auto& c : cases) {
        CDevsimProcess devsim(Devsim(c.device));
        const test::CCliRun run = RunOnDevice(c.args);
        EXPECT_EQ(run.code, c.code) << c.args.back() << run.err;
        EXPECT_EQ(run.out, c.out) << c.args.back();
    }
}

TEST(RunCommandTest, PortAndSyntaxErrorsExitWithThree) {
    CDevsimProcess devsim(Devsim({"--echo"}));
    EXPECT_EQ(RunOnDevice({"41  42"}).code, 3);
    EXPECT_NE(RunOnDevice({"41  42"}).err.find("syntax error at 3: Unrecognized character"),
              std::string::npos);
    std::ostringstream out, err;
    EXPECT_EQ(cli::RunCli({"run", "--port", "COM77", "41"}, out, err), 3);
    EXPECT_EQ(cli::RunCli({"run", "--port", "/dev/null", "41"}, out, err), 3);
    EXPECT_EQ(cli::RunCli({"run", "--port", kPort, "--bogus", "41"}, out, err), 3);
}

TEST(RunCommandTest, ModbusRequestsInBothFramingsAreAnsweredAndDecoded) {
    const struct {
        std::vector<std::string> fields;
        const char* decoded;
    } cases[] = {
        {{"--function", "01", "--start", "0000", "--length", "7"}, "coils 1 0 0 1 0 0 1"},
        {{"--function", "02", "--start", "0002", "--length", "4"}, "coils 1 0 1 0"},
        {{"--function", "03", "--start", "0010", "--length", "3"}, "registers 0010 0011 0012"},
        {{"--function", "04", "--start", "0001", "--length", "2"}, "registers 8001 8002"},
        {{"--function", "05", "--start", "0004", "--bit-on", "1"},
         "written address 0004 value FF00"},
        {{"--function", "06", "--start", "0020", "--word", "ABCD"},
         "written address 0020 value ABCD"},
        {{"--function", "0F", "--start", "0008", "--length", "10", "--bits", "CD 01"},
         "written address 0008 quantity 000A"},
        {{"--function", "10", "--start", "0030", "--words", "000A 0102"},
         "written address 0030 quantity 0002"},
        {{"--function", "03", "--start", "FFF0", "--length", "100"}, "exception 02"},
    };
    for (const char* framing : {"rtu", "ascii"}) {
        CDevsimProcess devsim(Devsim({"--modbus", framing, "--slave", "7"}));
        for (const auto& c : cases) {
            std::vector<std::string> args = {"--mode", std::string("modbus-") + framing, "--slave",
                                             "7"};
            args.insert(args.end(), c.fields.begin(), c.fields.end());
            const test::CCliRun run = RunOnDevice(args);
            const bool exception = std::string(c.decoded).rfind("exception", 0) == 0;
            EXPECT_EQ(run.code, exception ? 1 : 0) << framing << " " << c.decoded << run.err;
            EXPECT_NE(run.out.find(std::string("\n") + c.decoded + "\n"), std::string::npos)
                << framing << ": " << run.out;
            EXPECT_NE(run.out.find(exception ? "result exception" : "result ok"),
                      std::string::npos);
        }
        const test::CCliRun other =
            RunOnDevice({"--mode", std::string("modbus-") + framing, "--slave", "8", "--function",
                         "03", "--timeout", "300"});
        EXPECT_EQ(other.code, 2) << "another slave's request gets no answer";
    }
}

TEST(RunCommandTest, TrafficComesAsLinesOfUpTo16BytesAndAnyTtyPathIsAPort) {
    CDevsimProcess devsim({"--echo"});
    std::string script = "<";
    for (int i = 0; i < 20; ++i)
        script += " " + std::to_string(10 + i);
    script = script.substr(2) + " <" + script.substr(2) + ">";
    std::ostringstream out, err;
    EXPECT_EQ(cli::RunCli({"run", "--port", devsim.Path(), script}, out, err), 0) << err.str();
    const std::string first16 = "10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25\n";
    EXPECT_EQ(out.str(),
              "TX " + first16 + "TX 26 27 28 29\nRX " + first16 + "RX 26 27 28 29\nresult match\n");
}

TEST(RunCommandTest, OutOfRangeFieldsAndOptionsAreRefused) {
    std::string manyWords = "0001";
    for (int i = 1; i < 200; ++i)
        manyWords += " 0001";
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"--slave", "256"}, "--slave 256: the slave address must be 0 to 254"},
        {{"--slave", "300"}, "--slave 300: the slave address must be 0 to 254"},
        {{"--length", "0"}, "--length 0: the length must be 1 to 65535"},
        {{"--length", "-1"}, "--length -1: the length must be 1 to 65535"},
        {{"--length", "70000"}, "--length 70000: the length must be 1 to 65535"},
        {{"--start", "xyz"}, "--start xyz: the start address must be 4 hexadecimal digits"},
        {{"--function", "06", "--word", "123456"}, "--word 123456: the word data must be 4 hex"},
        {{"--function", "06", "--word", "ZZZZ"}, "--word ZZZZ: the word data must be 4 hex"},
        {{"--function", "10", "--words", manyWords}, "--words: function 10 writes at most 127"},
        {{"--function", "0F", "--length", "3000", "--bits", "00"}, "for function 0F the length"},
        {{"--function", "0F", "--bits", "ZZ"}, "--bits ZZ: the coil bytes must be hexadecimal"},
        {{"--timeout", "0"}, "--timeout 0: give milliseconds from 1 to 3600000"},
        {{"--timeout", "-5"}, "--timeout -5: give milliseconds"},
        {{"--timeout", "abc"}, "--timeout abc: give milliseconds"},
        {{"--delay", "501"}, "--delay 501: give milliseconds from 0 to 500"},
        {{"--settings", "abc"}, "--settings abc: give BAUD,PARITY,DATA,STOP, as 115200,N,8,1"},
        {{"--settings", "0,N,8,1"}, "--settings 0,N,8,1: baud 0: give a rate from 50 to 12000000"},
        {{"--settings", "12000001,N,8,1"}, "--settings 12000001,N,8,1: baud 12000001"},
        {{"--settings", "115200,Q,8,1"}, "parity Q: give N, E, O, M (mark) or S (space)"},
        {{"--settings", "115200,N,9,1"}, "data bits 9: give 5, 6, 7 or 8"},
        {{"--settings", "115200,N,8,1.5"}, "1.5 stop bits: a serial line has them only with 5"},
        {{"--flow", "dsr"}, "--flow dsr: give none, rtscts or xonxoff"},
        {{"--dtr", "up"}, "--dtr up: give keep, low or high"},
        {{"--pulse", "DTR=2"}, "--pulse DTR=2: "},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"run", "--port", "COM52", "--mode", "modbus-rtu"};
        if (std::find(c.args.begin(), c.args.end(), "--function") == c.args.end())
            args.insert(args.end(), {"--function", "03"});
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::ostringstream out, err;
        EXPECT_EQ(cli::RunCli(args, out, err), 3) << c.message;
        EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
    }
}

TEST(RunCommandTest, APortInUseOrMissingSaysSo) {
    CDevsimProcess devsim(Devsim({"--echo"}));
    test::CRecordingPort holder(52);
    ASSERT_TRUE(holder.Open());
    const test::CCliRun busy = RunOnDevice({"41"});
    EXPECT_EQ(busy.code, 3);
    EXPECT_NE(busy.err.find("Cannot open COM52 (" + devsim.Path() + "): in use by another program"),
              std::string::npos)
        << busy.err;
    std::ostringstream out, err;
    EXPECT_EQ(cli::RunCli({"run", "--port", "COM99", "41"}, out, err), 3);
    EXPECT_NE(err.str().find("Cannot open COM99: no such port"), std::string::npos) << err.str();
}

using Bytes = std::vector<uint8_t>;

// A device of our own that answers one request as a test wants it to: from another slave, with
// another function, too few or too many registers, the request itself, a cut frame, or by going
// away (an empty answer).
class CHostileDevice {
public:
    using Answer = std::function<Bytes(const Bytes& request)>;
    CHostileDevice(size_t requestLength, Answer answer)
        : m_pty(53), m_thread([this, requestLength, answer] {
              const Bytes reply = answer(m_pty.Receive(requestLength, 5000));
              if (reply.empty())
                  m_pty.Pty().Close();
              else
                  m_pty.Send(reply);
          }) {}
    ~CHostileDevice() { m_thread.join(); }

private:
    test::CRegisteredPty m_pty;
    std::thread m_thread;
};

TEST(RunCommandTest, WrongRepliesAreMismatchesAndADeviceThatGoesAwayEndsTheRunAtOnce) {
    auto adu = [](Bytes bytes) { return [bytes](const Bytes&) { return RtuFrameOf(bytes); }; };
    const struct {
        CHostileDevice::Answer answer;
        int code;
        const char* out; // the last lines
    } cases[] = {
        {adu({7, 3, 4, 0, 1, 0, 2}), 0, "registers 0001 0002\nresult ok\n"},
        {adu({8, 3, 4, 0, 1, 0, 2}), 1,
         "result mismatch (reply from slave 8, the request was to 7)"},
        {adu({7, 3, 2, 0, 1}), 1, "result mismatch (byte count 2 in the reply, 4 for the 2 reg"},
        {[](const Bytes& request) { return request; }, 1,
         "result mismatch (an echo of the request"},
        {[](const Bytes&) {
             return Bytes{7, 3, 4};
         },
         2, "RX 07 03 04\nresult timeout\n"},
        {[](const Bytes&) { return Bytes{}; }, 3, "result port-error\n"},
    };
    for (const auto& c : cases) {
        CHostileDevice device(8, c.answer);
        std::ostringstream out, err;
        const int code = cli::RunCli({"run", "--port", "COM53", "--mode", "modbus-rtu", "--slave",
                                      "7", "--function", "03", "--start", "0000", "--length", "2",
                                      "--timeout", "1500"},
                                     out, err);
        EXPECT_EQ(code, c.code) << c.out << err.str();
        EXPECT_NE(out.str().find(c.out), std::string::npos) << out.str();
        EXPECT_EQ(out.str().rfind("TX 07 03 00 00 00 02", 0), 0u) << out.str();
    }
    CHostileDevice gone(1, [](const Bytes&) { return Bytes{}; });
    std::ostringstream out, err;
    EXPECT_EQ(cli::RunCli({"run", "--port", "COM53", "--timeout", "60000", "41 <06>"}, out, err),
              3);
    EXPECT_EQ(out.str(), "TX 41\nresult port-error\n");
    EXPECT_NE(err.str().find("the device went away"), std::string::npos) << err.str();
}

} // namespace
} // namespace brivox
