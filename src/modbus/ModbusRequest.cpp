#include "modbus/ModbusRequest.h"

#include "modbus/ModbusChecksum.h"
#include "options/OptionKeys.h"
#include "trace/TraceClient.h"
#include "util/Text.h"

#include <optional>
#include <vector>

namespace brivox {

namespace {

enum FunctionIndex : int32_t {
    kBitRead01,
    kOneBitWrite,
    kWordRead03,
    kOneWordWrite,
    kMultipleBitWrite,
    kMultipleWordWrite,
    kBitRead02,
    kWordRead04,
};

std::string Hex(int32_t value, int width) {
    return FormatNumber(value, 16, width);
}

std::string LastFour(const std::string& typed) {
    const std::string padded = "0000" + typed;
    return padded.substr(padded.size() - 4);
}

// The fields of the form, read and checked before anything is appended.
struct CRequestFields {
    int32_t functionIndex = 0;
    int32_t slave = 0;
    int32_t length = 0;
    int32_t byteCount = 0;
    std::string start;
    std::string word;
    std::vector<uint32_t> coilBytes;
    std::vector<uint32_t> words;
    bool bitOn = false;
};

// Splits at every space (neighbouring spaces give an empty field); every field must have the
// width given. Values are read as hex, stopping at the first non-hex character.
std::optional<std::vector<uint32_t>> ReadHexFields(const std::string& text, size_t width) {
    std::vector<uint32_t> values;
    for (const std::string& field : SplitText(text, " ")) {
        if (field.size() != width)
            return std::nullopt;
        values.push_back(ReadHexPrefix(field));
    }
    return values;
}

class CFieldReader {
public:
    explicit CFieldReader(const COptionStore& options) : m_options(options) {}

    CModbusBuildResult Read(const CModbusBoxes& boxes, CRequestFields& fields) {
        if (!Int(opt::kModbusFunctionIndex, fields.functionIndex))
            return {"Cannot get Function Code"};
        if (!Int(opt::kModbusSlaveAddress, fields.slave))
            return {"Cannot get Slave Address"};
        if (!Int(opt::kModbusLength, fields.length))
            return {"Cannot get Length"};
        // Length / 8 rounded up, as a whole number of coil bytes.
        fields.byteCount = fields.length / 8 + (fields.length % 8 > 0 ? 1 : 0);
        if (!m_options.TryGetString(opt::kModbusStartAddress, fields.start))
            return {"Cannot get Start Address"};
        if (!m_options.TryGetString(opt::kModbusWordData, fields.word))
            return {"Cannot get Word data"};
        if (boxes.bitsEnabled) {
            if (CModbusBuildResult result = ReadCoilBytes(fields); !result.Succeeded())
                return result;
        }
        if (boxes.wordsEnabled) {
            if (CModbusBuildResult result = ReadWords(fields); !result.Succeeded())
                return result;
        }
        int32_t bitOn = 0;
        if (!Int(opt::kModbusBitOn, bitOn))
            return {"Cannot get Bit ON/OFF Data"};
        fields.bitOn = bitOn != 0;
        return {};
    }

private:
    bool Int(const char* name, int32_t& value) const { return m_options.TryGetInt(name, value); }

    CModbusBuildResult ReadCoilBytes(CRequestFields& fields) const {
        std::string text;
        if (!m_options.TryGetString(opt::kModbusBitsData, text))
            return {"Cannot get Bits-In-Hexa Data"};
        if (text.empty())
            return {"Bits-In-Hexa Data is null", ModbusFocus::BitsBox};
        const auto bytes = ReadHexFields(text, 2);
        if (!bytes)
            return {"Incorrect Bits-In-Hexa Expression.", ModbusFocus::BitsBox};
        if (static_cast<int64_t>(bytes->size()) < fields.byteCount)
            return {"Please input at least " + std::to_string(fields.byteCount) +
                        " bytes of hexa value in Bits-In-Hexa Expression",
                    ModbusFocus::BitsBox};
        fields.coilBytes = *bytes;
        return {};
    }

    CModbusBuildResult ReadWords(CRequestFields& fields) const {
        std::string text;
        if (!m_options.TryGetString(opt::kModbusWordsData, text))
            return {"Cannot get Multiple Word Data"};
        if (text.empty())
            return {"Multiple Word Data is null", ModbusFocus::WordsBox};
        const auto words = ReadHexFields(text, 4);
        if (!words)
            return {"Incorrect Multiple Word Data.", ModbusFocus::WordsBox};
        fields.words = *words;
        return {};
    }

    const COptionStore& m_options;
};

int FunctionCode(int32_t index) {
    return index >= 0 && index < static_cast<int32_t>(std::size(kModbusFunctionCodes))
               ? kModbusFunctionCodes[index]
               : 0x00;
}

// The request after the slave address as hex text, two characters a byte.
std::string RequestText(const CRequestFields& f) {
    std::string text = Hex(f.slave, 2) + Hex(FunctionCode(f.functionIndex), 2) + LastFour(f.start);
    switch (f.functionIndex) {
    case kBitRead01:
    case kWordRead03:
    case kBitRead02:
    case kWordRead04:
        return text + Hex(f.length, 4);
    case kOneBitWrite:
        return text + (f.bitOn ? "FF00" : "0000");
    case kOneWordWrite:
        return text + LastFour(f.word);
    case kMultipleBitWrite:
        text += Hex(f.length, 4) + Hex(f.byteCount, 2);
        for (int32_t i = 0; i < f.byteCount; ++i) {
            // With the bits box disabled there are no coil bytes to read: send zeros.
            const auto at = static_cast<size_t>(i);
            text += Hex(at < f.coilBytes.size() ? static_cast<int32_t>(f.coilBytes[at]) : 0, 2);
        }
        return text;
    case kMultipleWordWrite: {
        const auto count = static_cast<int32_t>(f.words.size());
        text += Hex(count, 4) + Hex(2 * count, 2);
        for (const uint32_t word : f.words)
            text += Hex(static_cast<int32_t>(word >> 8), 2) + Hex(static_cast<int32_t>(word), 2);
        return text;
    }
    default:
        return text;
    }
}

// LRC over the hex characters, each pair one byte; every byte summed goes to the trace.
std::string AsciiLrc(const std::string& text) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(ReadHexPrefix(text.substr(i, 2))));
        TraceLine("plus " + Hex(bytes.back(), 2));
    }
    return Hex(ModbusLrc(bytes.data(), bytes.size()), 2);
}

} // namespace

CModbusBuildResult BuildModbusRequest(CJPScript& script, bool ascii, const CModbusBoxes& boxes) {
    script.Clear();
    CRequestFields fields;
    if (CModbusBuildResult result = CFieldReader(script.Options()).Read(boxes, fields);
        !result.Succeeded())
        return result;
    const std::string text = RequestText(fields);
    if (ascii) {
        script.AppendByte(':', JPItemKind::Send);
        script.AppendText(text + AsciiLrc(text) + "\r\n", JPItemKind::Send, true);
        return {};
    }
    script.AppendText(text, JPItemKind::Send, false);
    const std::vector<uint8_t> frame = script.Items().back().bytes.ToVector();
    const CModbusCrc crc = ModbusCrc16(frame.data(), frame.size());
    script.AppendByte(crc.first, JPItemKind::Send);
    script.AppendByte(crc.second, JPItemKind::Send);
    return {};
}

} // namespace brivox
