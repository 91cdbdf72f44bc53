// Ports on a serial server: Debian's ser2net on 127.0.0.1, in front of a pseudo-terminal, named
// in the port map as rfc2217://127.0.0.1:PORT or tcp://127.0.0.1:PORT.
#include "CliRun.h"
#include "app/SessionHost.h"
#include "options/GlobalOptions.h"
#include "options/OptionDefaults.h"
#include "serial/LineConfig.h"
#include "serial/PortMap.h"
#include "session/SessionForm.h"
#include "session/SessionFormIds.h"
#include "support/DevsimProcess.h"
#include "support/HttpTestServer.h"
#include "support/LoopbackListener.h"
#include "support/MessageRecorder.h"
#include "support/PortTestSupport.h"
#include "support/QtApp.h"
#include "support/Ser2netProcess.h"
#include "support/UnreachablePeer.h"

#include <QAbstractButton>
#include <QComboBox>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace brivox {
namespace {

using test::CRecordingPort;
using test::CRegisteredPty;
using test::CSer2netProcess;
using Kind = CSer2netProcess::Kind;
using Bytes = std::vector<uint8_t>;

void MapPort(int number, const std::string& url) {
    ASSERT_EQ(RegisterPort(PortMapFolder(), number, url), "");
}

TEST(Ser2netTest, ScriptsAndModbusRequestsRunThroughTheServer) {
    const struct {
        Kind kind;
        std::vector<std::string> device;
        std::vector<std::string> args;
        const char* out;
    } cases[] = {
        {Kind::Rfc2217, {"--reply", "05=06 00 10"}, {"05 <06 00 10>"}, "RX 06 00 10\nresult match"},
        {Kind::Raw, {"--reply", "05=06 00 10"}, {"05 <06 00 10>"}, "RX 06 00 10\nresult match"},
        {Kind::Rfc2217,
         {"--modbus", "rtu", "--slave", "7"},
         {"--mode", "modbus-rtu", "--slave", "7", "--function", "03", "--start", "0010", "--length",
          "3"},
         "registers 0010 0011 0012\nresult ok"},
    };
    for (const auto& c : cases) {
        test::CDevsimProcess devsim(c.device);
        CSer2netProcess server(devsim.Path(), c.kind);
        MapPort(61, server.Url());
        std::vector<std::string> args = {"run", "--port", "COM61", "--settings", "9600,N,8,1"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const test::CCliRun run = test::RunCliCaptured(args);
        EXPECT_EQ(run.code, 0) << server.Url() << ": " << run.err;
        EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
        EXPECT_EQ(run.err, "");
    }
}

TEST(Ser2netTest, EveryByteCrossesTheServerUntouchedBothWays) {
    const std::vector<Bytes> patterns = {
        {0xFF}, {0xFF, 0xFF}, {0x0D}, {0x0D, 0x00}, {0x0D, 0x0A}, {0x41, 0xFF, 0xFA, 0x2C, 0xF0},
    };
    for (const Kind kind : {Kind::Rfc2217, Kind::Telnet, Kind::Raw}) {
        CRegisteredPty device(63);
        CSer2netProcess server(device.Pty().SlavePath(), kind);
        MapPort(62, server.Url());
        CRecordingPort port(62);
        ASSERT_TRUE(port.Open()) << port.GetLastError();
        // A telnet server without RFC 2217 carries the data but no line settings or modem lines.
        EXPECT_EQ(port.GetLastError().find("refused RFC 2217's COM-PORT-OPTION") !=
                      std::string::npos,
                  kind == Kind::Telnet)
            << port.GetLastError();
        EXPECT_EQ(port.SetRTS(true), kind == Kind::Rfc2217);
        for (const Bytes& bytes : patterns) {
            ASSERT_TRUE(port.Write(bytes.data(), bytes.size()));
            EXPECT_EQ(device.Receive(bytes.size(), 5000), bytes) << server.Url();
            port.chunks.clear();
            device.Send(bytes);
            test::RunEventsUntil([&] { return port.Received().size() >= bytes.size(); }, 5000);
            EXPECT_EQ(port.Received(), bytes) << server.Url();
        }
    }
}

TEST(Ser2netTest, TheWindowListsTheServerAndChangesTheLineWhileOpen) {
    test::CQtAppFirst app;
    GlobalOptions().Clear();
    RegisterDefaultOptions(GlobalOptions(), "eng");
    CRegisteredPty device(64);
    CSer2netProcess server(device.Pty().SlavePath());
    MapPort(65, server.Url());
    test::CMessageRecorder boxes; // a failed change would show a message
    CSessionHost host(false, nullptr);
    CSessionForm& form = *host.Form();
    auto combo = [&](int id) { return qobject_cast<QComboBox*>(form.Control(id)); };
    auto choose = [&](int id, int index) {
        combo(id)->setCurrentIndex(index);
        emit combo(id)->activated(index);
    };
    const int item =
        combo(idc::kPort)->findText(QString::fromStdString("COM65 (" + server.Url() + ")"));
    ASSERT_GE(item, 0);
    choose(idc::kPort, item);
    qobject_cast<QAbstractButton*>(form.Control(idc::kOpenClose))->click();
    ASSERT_TRUE(form.IsPortOpen()) << form.Port().GetLastError();

    // Each change while open closes and opens the port again; the connection stays, and the
    // server has set the line before Open returns. (A pseudo-terminal keeps 8 data bits and no
    // parity whatever it is told.)
    const struct {
        int control;
        int index;
        const char* line;
    } changes[] = {
        {idc::kBaud, 4, "9600,N,8,1"},
        {idc::kStopBits, 1, "9600,N,8,2"},
        {idc::kBaud, 12, "256000,N,8,2"},
        {idc::kStopBits, 0, "256000,N,8,1"},
    };
    for (const auto& change : changes) {
        choose(change.control, change.index);
        ASSERT_TRUE(boxes.Requests().empty()) << boxes.Requests()[0].text;
        ASSERT_TRUE(form.IsPortOpen());
        CLineConfig line;
        ASSERT_EQ(ReadAppliedLine(device.Pty().Slave(), line), "");
        EXPECT_EQ(LineConfigText(line), change.line);
    }

    // A server that goes away is an adapter pulled: the port shows closed, without a message.
    server.Kill();
    auto* open = qobject_cast<QAbstractButton*>(form.Control(idc::kOpenClose));
    EXPECT_TRUE(test::RunEventsUntil([&] { return open->text() == "Open"; }, 5000));
    EXPECT_TRUE(boxes.Requests().empty());
}

TEST(Ser2netTest, FaultsNameTheAddressAndLeaveThePortClosed) {
    const test::CUnreachablePeer silent;
    // A label over 63 bytes: the resolver refuses the name without asking a name server.
    const std::string unknown = "rfc2217://" + std::string(70, 'x') + ".invalid:2001";
    const std::string unused = std::to_string(test::CHttpTestServer::UnusedPort());
    const struct {
        std::string url;
        std::string reason;
    } cases[] = {
        {"rfc2217://127.0.0.1", "not a serial server address; write rfc2217://HOST:PORT or "
                                "tcp://HOST:PORT"},
        {"telnet://127.0.0.1:23", "not a serial server address"},
        {unknown, "unknown host"},
        {"rfc2217://127.0.0.1:" + unused, "connection refused"},
        {"tcp://127.0.0.1:" + std::to_string(silent.Port()), "no answer within 3 s"},
    };
    for (const auto& c : cases) {
        MapPort(66, c.url);
        CRecordingPort port(66);
        EXPECT_FALSE(port.Open());
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(port.GetLastError().rfind("Cannot open COM66 (" + c.url + "): " + c.reason, 0),
                  0u)
            << port.GetLastError();
    }
}

// A server that says why it turns the client away and closes, as ser2net does for a busy port,
// is quoted in the error.
TEST(Ser2netTest, TheWordsOfAServerThatTurnsTheClientAwayAreQuoted) {
    int serverPort = 0;
    const int listener = test::ListenOnLoopback(1, serverPort);
    ASSERT_GE(listener, 0);
    std::thread server([listener] {
        const int client = accept(listener, nullptr, nullptr);
        const std::string words = "\r\nPort's device already in use\r\n";
        EXPECT_EQ(write(client, words.data(), words.size()), static_cast<ssize_t>(words.size()));
        // Closed after everything the client sent was read: a FIN, never a reset.
        shutdown(client, SHUT_WR);
        char discard[256];
        while (read(client, discard, sizeof discard) > 0) {
        }
        close(client);
    });
    MapPort(70, "rfc2217://127.0.0.1:" + std::to_string(serverPort));
    CRecordingPort port(70);
    EXPECT_FALSE(port.Open());
    server.join();
    close(listener);
    EXPECT_NE(port.GetLastError().find(
                  "): the server closed the connection (Port's device already in use)"),
              std::string::npos)
        << port.GetLastError();
}

TEST(Ser2netTest, AServerThatGoesAwayClosesThePortWhichReopensOnceItIsBack) {
    CRegisteredPty device(67);
    CSer2netProcess server(device.Pty().SlavePath());
    MapPort(68, server.Url());
    CRecordingPort port(68);
    ASSERT_TRUE(port.Open()) << port.GetLastError();
    CRecordingPort second(68);
    EXPECT_FALSE(second.Open()) << "ser2net serves one client at a time";
    // ser2net says why before it closes, but a reset can overtake its words: they are shown when
    // they arrive and never required.
    EXPECT_NE(second.GetLastError().find(": the server closed the connection"), std::string::npos)
        << second.GetLastError();

    server.Kill();
    ASSERT_TRUE(test::RunEventsUntil([&] { return port.lost == 1; }, 5000));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.GetLastError(),
              "COM68 (" + server.Url() + "): the server closed the connection");
    EXPECT_FALSE(port.Open());
    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(port.Open()) << port.GetLastError();
    device.Send({0x42});
    EXPECT_TRUE(test::RunEventsUntil([&] { return port.Received() == Bytes{0x42}; }, 5000));
}

TEST(Ser2netTest, AServerKilledMidRunEndsTheRunWithAPortError) {
    test::CDevsimProcess devsim({"--reply", "07=08"});
    CSer2netProcess server(devsim.Path());
    MapPort(69, server.Url());
    std::thread killer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        server.Kill();
    });
    const test::CCliRun run =
        test::RunCliCaptured({"run", "--port", "COM69", "--timeout", "60000", "41 <06>"});
    killer.join();
    EXPECT_EQ(run.code, 3);
    EXPECT_EQ(run.out, "TX 41\nresult port-error\n");
    EXPECT_NE(run.err.find("COM69 (" + server.Url() + "): the server closed the connection"),
              std::string::npos)
        << run.err;
}

} // namespace
} // namespace brivox
