#include "modbus/ModbusRequest.h"

#include "options/OptionDefaults.h"
#include "options/OptionKeys.h"
#include "support/TraceCapture.h"
#include "util/Text.h"

#include <gtest/gtest.h>

namespace brivox {
namespace {

struct Fields {
    int function = 2; // combo index
    int slave = 1;
    int length = 10;
    const char* start = "0000";
    const char* word = "1234";
    int bitOn = 1;
    const char* bits = "";
    const char* words = "";
};

struct Built {
    CModbusBuildResult result;
    std::string frame; // hex pairs, or the characters for ASCII
    size_t items = 0;
};

Built Build(const Fields& f, bool ascii) {
    COptionStore options;
    RegisterDefaultOptions(options, "eng");
    options.SetInt(opt::kModbusFunctionIndex, f.function);
    options.SetInt(opt::kModbusSlaveAddress, f.slave);
    options.SetInt(opt::kModbusLength, f.length);
    options.SetString(opt::kModbusStartAddress, f.start);
    options.SetString(opt::kModbusWordData, f.word);
    options.SetInt(opt::kModbusBitOn, f.bitOn);
    options.SetString(opt::kModbusBitsData, f.bits);
    options.SetString(opt::kModbusWordsData, f.words);
    CJPScript script(options);
    script.AppendByte(0x99, JPItemKind::Expect); // emptied by every build
    const CModbusBoxes boxes{f.function == 4, f.function == 5};
    Built built;
    built.result = BuildModbusRequest(script, ascii, boxes);
    built.items = script.Items().size();
    if (built.items == 1) {
        const CByteBuffer& bytes = script.Items()[0].bytes;
        built.frame = ascii ? bytes.ToString() : HexPairs(bytes.ToVector());
    }
    return built;
}

// Expected checksums come from a bit-by-bit CRC and a plain byte sum, not from the tables.
TEST(ModbusRequest, RtuFramesForEveryFunction) {
    const struct {
        Fields fields;
        const char* frame;
    } cases[] = {
        {{.function = 2}, "01 03 00 00 00 0A C5 CD"},
        {{.function = 0}, "01 01 00 00 00 0A BC 0D"},
        {{.function = 6}, "01 02 00 00 00 0A F8 0D"},
        {{.function = 7}, "01 04 00 00 00 0A 70 0D"},
        {{.function = 1}, "01 05 00 00 FF 00 8C 3A"},
        {{.function = 1, .bitOn = 0}, "01 05 00 00 00 00 CD CA"},
        {{.function = 3, .word = "ABCD"}, "01 06 00 00 AB CD 37 6F"},
        {{.function = 4, .bits = "CD 01"}, "01 0F 00 00 00 0A 02 CD 01 70 68"},
        {{.function = 4, .bits = "CD 01 FF"}, "01 0F 00 00 00 0A 02 CD 01 70 68"},
        {{.function = 5, .length = 99, .words = "000A 0102"},
         "01 10 00 00 00 02 04 00 0A 01 02 53 FC"},
        {{.function = 2, .slave = 300, .start = "12345"}, "2C 03 23 45 00 0A D9 E1"},
        {{.function = 9}, "01 00 00 00 01 D8"},
    };
    for (const auto& c : cases) {
        const Built built = Build(c.fields, false);
        EXPECT_TRUE(built.result.Succeeded()) << built.result.message;
        EXPECT_EQ(built.frame, c.frame) << "function index " << c.fields.function;
    }
}

TEST(ModbusRequest, AsciiFramesCarryTheLrcAndCrLf) {
    EXPECT_EQ(Build({.function = 2}, true).frame, ":01030000000AF2\r\n");
    EXPECT_EQ(Build({.function = 1}, true).frame, ":01050000FF00FB\r\n");
    // A start address is sent as typed, lower case kept, and the LRC reads it as hex.
    EXPECT_EQ(Build({.function = 2, .start = "a0"}, true).frame, ":010300a0000A52\r\n");
    EXPECT_EQ(Build({.function = 5, .words = "000A 0102"}, true).frame,
              ":01100000000204000A0102DC\r\n");
}

TEST(ModbusRequest, EveryByteOfTheLrcGoesToTheTrace) {
    const test::CTraceCapture trace;
    Build({.function = 2, .start = "a0"}, true);
    EXPECT_EQ(trace.Lines(), (std::vector<std::string>{"plus 01", "plus 03", "plus 00", "plus A0",
                                                       "plus 00", "plus 0A"}));
    Build({.function = 2}, false);
    EXPECT_EQ(trace.Lines().size(), 6u) << "RTU traces nothing";
}

TEST(ModbusRequest, FieldMessagesAndFocus) {
    const struct {
        Fields fields;
        const char* message;
        ModbusFocus focus;
    } cases[] = {
        {{.function = 4, .bits = ""}, "Bits-In-Hexa Data is null", ModbusFocus::BitsBox},
        {{.function = 4, .bits = "D1  05"},
         "Incorrect Bits-In-Hexa Expression.",
         ModbusFocus::BitsBox},
        {{.function = 4, .bits = "D1 5"},
         "Incorrect Bits-In-Hexa Expression.",
         ModbusFocus::BitsBox},
        {{.function = 4, .bits = "CD"},
         "Please input at least 2 bytes of hexa value in Bits-In-Hexa Expression",
         ModbusFocus::BitsBox},
        {{.function = 5, .words = ""}, "Multiple Word Data is null", ModbusFocus::WordsBox},
        {{.function = 5, .words = "000A 12"},
         "Incorrect Multiple Word Data.",
         ModbusFocus::WordsBox},
    };
    for (const auto& c : cases) {
        const Built built = Build(c.fields, false);
        EXPECT_EQ(built.result.message, c.message);
        EXPECT_EQ(built.result.focus, c.focus) << c.message;
        EXPECT_EQ(built.items, 0u) << "nothing is left to send";
    }
}

TEST(ModbusRequest, MissingOptionsAreNamedInOrder) {
    const std::pair<const char*, const char*> cases[] = {
        {opt::kModbusFunctionIndex, "Cannot get Function Code"},
        {opt::kModbusSlaveAddress, "Cannot get Slave Address"},
        {opt::kModbusLength, "Cannot get Length"},
        {opt::kModbusStartAddress, "Cannot get Start Address"},
        {opt::kModbusWordData, "Cannot get Word data"},
        {opt::kModbusBitsData, "Cannot get Bits-In-Hexa Data"},
        {opt::kModbusWordsData, "Cannot get Multiple Word Data"},
        {opt::kModbusBitOn, "Cannot get Bit ON/OFF Data"},
    };
    for (const auto& [missing, message] : cases) {
        COptionStore options;
        RegisterDefaultOptions(options, "eng");
        options.SetString(opt::kModbusBitsData, "01 02");
        options.SetString(opt::kModbusWordsData, "0001");
        options.Remove(missing);
        CJPScript script(options);
        const CModbusBuildResult result =
            BuildModbusRequest(script, false, CModbusBoxes{true, true});
        EXPECT_EQ(result.message, message);
        EXPECT_EQ(result.focus, ModbusFocus::None);
        EXPECT_TRUE(script.Items().empty());
    }
}

} // namespace
} // namespace brivox
