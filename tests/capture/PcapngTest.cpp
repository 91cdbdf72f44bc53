// pcapng files as the program writes them, read back here and by Debian's tshark: whole, cut at
// any point, appended to after a crash, and when the disk fills.
#include "capture/CaptureFile.h"
#include "capture/PcapngReader.h"
#include "capture/PcapngWriter.h"
#include "serial/LineErrorDecoder.h"
#include "support/FileSizeLimit.h"
#include "support/TempFolder.h"
#include "support/TsharkRun.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace brivox {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr int64_t kWallStartUs = 1'700'000'000'000'000;

int64_t SizeOf(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_size : -1;
}

std::vector<CPcapngPacket> ReadAll(const std::string& path, std::string& problem) {
    CPcapngReader reader;
    std::vector<CPcapngPacket> packets;
    problem = reader.Open(path);
    for (CPcapngPacket packet; problem.empty() && reader.Next(packet);)
        packets.push_back(packet);
    if (problem.empty())
        problem = reader.Problem();
    return packets;
}

// Where each block of a file ends.
std::vector<size_t> BlockEnds(const std::string& file) {
    std::vector<size_t> ends;
    for (size_t at = 0; at + 8 <= file.size();) {
        uint32_t length;
        std::memcpy(&length, file.data() + at + 4, sizeof length);
        ends.push_back(at += length);
    }
    return ends;
}

// Packets of two ports, with where each packet's block ends.
std::vector<int64_t> WriteTraffic(const std::string& path, int packets) {
    CPcapngWriter writer({0, kWallStartUs});
    EXPECT_EQ(writer.Open(path), "");
    std::vector<int64_t> ends = {SizeOf(path)};
    for (int i = 0; i < packets; ++i) {
        const Bytes bytes(static_cast<size_t>(1 + i * 7 % 23), static_cast<uint8_t>(i));
        writer.Write(i % 2 ? "COM6" : "COM5", PacketDirection::Inbound, i * 1000,
                     {bytes.data(), nullptr, bytes.size()});
        ends.push_back(SizeOf(path));
    }
    return ends;
}

TEST(PcapngTest, PacketsReadBackWithTheirPortsTimesDirectionsAndLineErrors) {
    const test::CTempFolder folder;
    const std::string path = folder.Path("c.pcapng");
    const Bytes request = {0x01, 0x03, 0x00, 0x00, 0x00, 0x02, 0xC4, 0x0B};
    const Bytes reply = {0x01, 0x03, 0x04, 0x00, 0x00, 0x00, 0x01, 0x3B, 0xF3};
    constexpr auto kMarked = static_cast<uint8_t>(LineMark::Error);
    const uint8_t marks[9] = {0, 0, 0, 0, kMarked, 0, kMarked};
    {
        CPcapngWriter writer({500, kWallStartUs});
        ASSERT_EQ(writer.Open(path), "");
        writer.Write("COM5", PacketDirection::Outbound, 1500, {request.data(), nullptr, 8});
        writer.Write("COM6", PacketDirection::Inbound, 4123, {reply.data(), marks, 9});
        writer.Write("COM6", PacketDirection::Unknown, 9000, {}, "device lost: gone");
    }
    std::string problem;
    const std::vector<CPcapngPacket> packets = ReadAll(path, problem);
    EXPECT_EQ(problem, "");
    ASSERT_EQ(packets.size(), 3u);
    EXPECT_EQ(packets[0].bytes, request);
    EXPECT_EQ(packets[0].timeUs, kWallStartUs + 1000);
    EXPECT_EQ(packets[0].direction, PacketDirection::Outbound);
    EXPECT_EQ(packets[1].timeUs, kWallStartUs + 3623);
    EXPECT_TRUE(packets[1].lineError);
    EXPECT_EQ(packets[1].comment, "BREAK at offset 4, Parity or framing error at offset 6");
    EXPECT_EQ(packets[2].comment, "device lost: gone");

    const test::CTsharkRun fields = test::RunTshark(
        path, {"-T", "fields", "-e", "frame.time_epoch", "-e", "frame.interface_name", "-e",
               "frame.p2p_dir", "-e", "frame.packet_flags_symbol_error", "-e", "frame.comment"});
    EXPECT_EQ(fields.code, 0) << fields.errors;
    EXPECT_EQ(fields.errors, "");
    const std::vector<std::string> expected = {
        "1700000000.001000000\tCOM5 tx\t0\t0\t",
        "1700000000.003623000\tCOM6 rx\t1\t1\tBREAK at offset 4, Parity or framing error at "
        "offset 6",
        "1700000000.008500000\tCOM6 rx\t\t\tdevice lost: gone"};
    EXPECT_EQ(fields.lines, expected);

    const test::CTsharkRun modbus = test::RunTshark(
        path, {"-o", test::kUser0AsModbusRtu, "-Y", "modbus", "-T", "fields", "-e", "mbrtu.unit_id",
               "-e", "modbus.func_code", "-e", "modbus.regval_uint16"});
    EXPECT_EQ(modbus.code, 0) << modbus.errors;
    EXPECT_EQ(modbus.lines, std::vector<std::string>({"1\t3\t", "1\t3\t0,1"}));
}

TEST(PcapngTest, AFileCutAnywhereIsReadUpToItsLastWholeBlock) {
    const test::CTempFolder folder;
    const std::string path = folder.Path("whole.pcapng");
    const std::vector<int64_t> ends = WriteTraffic(path, 12);
    const std::string whole = test::ReadTestFile(path);
    const std::vector<size_t> blockEnds = BlockEnds(whole);
    const std::string cutPath = folder.Path("cut.pcapng");
    std::mt19937 random(25);
    std::vector<size_t> tsharkCuts;
    for (int i = 0; i < 4; ++i)
        tsharkCuts.push_back(std::uniform_int_distribution<size_t>(ends[0], whole.size())(random));
    for (size_t cut = static_cast<size_t>(ends[0]); cut <= whole.size(); ++cut) {
        test::WriteTestFile(cutPath, std::string_view(whole).substr(0, cut));
        const auto wholeBlocks = static_cast<size_t>(
            std::upper_bound(ends.begin(), ends.end(), static_cast<int64_t>(cut)) - ends.begin() -
            1);
        std::string problem;
        EXPECT_EQ(ReadAll(cutPath, problem).size(), wholeBlocks) << "cut at " << cut;
        const bool atBlockEnd =
            std::find(blockEnds.begin(), blockEnds.end(), cut) != blockEnds.end();
        EXPECT_EQ(problem.empty(), atBlockEnd) << problem;
        if (std::find(tsharkCuts.begin(), tsharkCuts.end(), cut) == tsharkCuts.end())
            continue;
        const test::CTsharkRun run = test::RunTshark(cutPath, {"-T", "fields", "-e", "frame.len"});
        EXPECT_EQ(run.lines.size(), wholeBlocks) << "cut at " << cut << ": " << run.errors;
    }
}

TEST(PcapngTest, ACaptureCutByACrashIsAppendedToAfterItsLastWholeBlockOtherFilesAreRefused) {
    const test::CTempFolder folder;
    const std::string path = folder.Path("c.pcapng");
    const std::vector<int64_t> ends = WriteTraffic(path, 5);
    ASSERT_EQ(truncate(path.c_str(), ends.back() - 3), 0);
    WriteTraffic(path, 3);
    std::string problem;
    EXPECT_EQ(ReadAll(path, problem).size(), 4u + 3u);
    EXPECT_EQ(problem, "");
    const test::CTsharkRun run = test::RunTshark(path, {"-T", "fields", "-e", "frame.len"});
    EXPECT_EQ(run.code, 0) << run.errors;
    EXPECT_EQ(run.lines.size(), 7u);

    const std::string text = folder.Path("notes.pcapng");
    test::WriteTestFile(text, "my notes\n");
    std::vector<std::shared_ptr<CCaptureSink>> sinks;
    EXPECT_EQ(OpenCaptures(text, {"COM5"}, sinks),
              "Cannot write " + text +
                  ": not a pcapng file; a capture is appended only to a whole pcapng file");
    EXPECT_EQ(test::ReadTestFile(text), "my notes\n");
    EXPECT_EQ(OpenCaptures(folder.Path("two.log"), {"COM5", "COM6"}, sinks),
              "a text capture takes one port; give several a capture ending in .pcapng");
    EXPECT_EQ(OpenCaptures(folder.Path("two.PCAPNG"), {"COM5", "COM6"}, sinks), "");
    EXPECT_EQ(sinks.size(), 2u);
}

TEST(PcapngTest, AFullDiskCutsTheFileBackToItsLastWholeBlockAndSaysWhatWasLost) {
    const test::CTempFolder folder;
    const std::string path = folder.Path("full.pcapng");
    CPcapngWriter writer;
    ASSERT_EQ(writer.Open(path), "");
    int failures = 0;
    writer.SetFailureHook([&](const std::string&) { ++failures; });
    const Bytes bytes(100, 0x55);
    int written = 0;
    {
        const test::CFileSizeLimit diskFull(1000);
        for (int i = 0; i < 20; ++i)
            written +=
                writer.Write("COM5", PacketDirection::Inbound, i, {bytes.data(), nullptr, 100});
    }
    EXPECT_EQ(failures, 1);
    std::string problem;
    const size_t kept = ReadAll(path, problem).size();
    EXPECT_EQ(problem, "");
    EXPECT_EQ(kept, static_cast<size_t>(written));
    EXPECT_EQ(writer.Error(), path + ": File too large: " + std::to_string(kept) +
                                  " packets written, the rest lost");
}

} // namespace
} // namespace brivox
