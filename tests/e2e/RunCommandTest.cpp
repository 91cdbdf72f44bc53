// brivox-cli run against brivox-devsim, each on its own pseudo-terminal in this test's port map.
#include "cli/Cli.h"
#include "support/DevsimProcess.h"

#include <gtest/gtest.h>
#include <sstream>

namespace brivox {
namespace {

using test::CDevsimProcess;

constexpr char kPort[] = "COM52";

struct CliRun {
    int code;
    std::string out;
    std::string err;
};

CliRun RunOnDevice(std::vector<std::string> args) {
    args.insert(args.begin(), {"run", "--port", kPort});
    std::ostringstream out, err;
    const int code = cli::RunCli(args, out, err);
    return {code, out.str(), err.str()};
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
        const CliRun run = RunOnDevice(c.args);
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
            const CliRun run = RunOnDevice(args);
            const bool exception = std::string(c.decoded).rfind("exception", 0) == 0;
            EXPECT_EQ(run.code, exception ? 1 : 0) << framing << " " << c.decoded << run.err;
            EXPECT_NE(run.out.find(std::string("\n") + c.decoded + "\n"), std::string::npos)
                << framing << ": " << run.out;
            EXPECT_NE(run.out.find(exception ? "result exception" : "result ok"),
                      std::string::npos);
        }
        const CliRun other = RunOnDevice({"--mode", std::string("modbus-") + framing, "--slave",
                                          "8", "--function", "03", "--timeout", "300"});
        EXPECT_EQ(other.code, 2) << "another slave's request gets no answer";
    }
}

} // namespace
} // namespace brivox
