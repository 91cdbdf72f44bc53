#include "transfer/TransferProgress.h"

#include "transfer/TransferProtocol.h"

#include <gtest/gtest.h>

namespace brivox {
namespace {

TEST(TransferProgressTest, LrzszStatusLinesGiveBytesTotalAndRate) {
    const struct {
        const char* line;
        bool read;
        int64_t bytes, total, rate;
    } cases[] = {
        {"Bytes Sent:   1024/ 100000   BPS:1268823  ETA 00:00  ", true, 1024, 100000, 1268823},
        {"Bytes received:  100000/ 100000   BPS:82225132", true, 100000, 100000, 82225132},
        {"Bytes Sent: 100096   BPS:99408", true, 100096, -1, 99408},
        {"Xmodem sectors/kbytes sent:   8/ 1k", true, 1024, -1, 0},
        {"Ymodem sectors/kbytes sent:  16/ 2k", true, 2048, -1, 0},
        {"Sending: f.bin", false, 0, -1, 0},
        {"Bytes Sent: BPS:12", false, 0, -1, 0},
        {"Xmodem sectors/kbytes sent:", false, 0, -1, 0},
    };
    for (const auto& c : cases) {
        CTransferProgress progress;
        EXPECT_EQ(ReadLrzszStatus(c.line, progress), c.read) << c.line;
        EXPECT_EQ(progress.bytes, c.bytes) << c.line;
        EXPECT_EQ(progress.total, c.total) << c.line;
        EXPECT_EQ(progress.bytesPerSecond, c.rate) << c.line;
    }
}

TEST(TransferProgressTest, StatusTextIsCutAtCarriageReturnsAndLineFeedsAcrossWrites) {
    CStatusLines lines;
    EXPECT_EQ(lines.Feed("Sending: f.bin\n\rBytes Sent:  10"),
              std::vector<std::string>{"Sending: f.bin"});
    EXPECT_EQ(lines.Feed("24\r   \r\nTransfer incomplete\n"),
              (std::vector<std::string>{"Bytes Sent:  1024", "Transfer incomplete"}));
    EXPECT_EQ(lines.LastLine(), "Transfer incomplete");
}

TEST(TransferProgressTest, EachProtocolHasItsProgramAndNamesAreChecked) {
    const struct {
        TransferProtocol protocol;
        const char* send;
        const char* receive;
    } cases[] = {
        {TransferProtocol::Xmodem, "sx -vv -b a", "rx -vv -b -c got"},
        {TransferProtocol::Xmodem1k, "sx -vv -b -k a", "rx -vv -b -c got"},
        {TransferProtocol::Ymodem, "sb -vv -b a b", "rb -vv -b -E"},
        {TransferProtocol::Zmodem, "sz -vv -b a b", "rz -vv -b -E"},
    };
    auto text = [](const CTransferCommand& command) {
        std::string line = command.program;
        for (const std::string& arg : command.args)
            line += " " + arg;
        return line;
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text(SendCommand(c.protocol, {"a", "b"})), c.send);
        const CTransferCommand receive = ReceiveCommand(c.protocol, "/tmp/in", "got");
        EXPECT_EQ(text(receive), c.receive);
        EXPECT_EQ(receive.folder, "/tmp/in");
    }
    TransferProtocol protocol = TransferProtocol::Raw;
    EXPECT_EQ(ParseTransferProtocol("xmodem-1k", protocol), "");
    EXPECT_EQ(protocol, TransferProtocol::Xmodem1k);
    EXPECT_EQ(ParseTransferProtocol("kermit", protocol),
              "unknown protocol \"kermit\" (raw, xmodem, xmodem-1k, ymodem or zmodem)");
}

} // namespace
} // namespace brivox
