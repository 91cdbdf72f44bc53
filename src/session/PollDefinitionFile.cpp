#include "session/PollDefinitionFile.h"

#include "platform/FileIO.h"
#include "util/Text.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace brivox {

namespace {

constexpr char kExtension[] = ".poll";
constexpr char kAlias[] = "alias ";

bool ReadFile(const std::string& path, std::string& text) {
    std::ifstream file(path);
    if (!file)
        return false;
    std::stringstream content;
    content << file.rdbuf();
    text = content.str();
    return true;
}

// A whole number in [low, high]; value untouched otherwise.
void ReadNumber(const std::string& text, int low, int high, int& value, int radix = 10) {
    try {
        size_t used = 0;
        const int number = std::stoi(text, &used, radix);
        if (used == text.size() && number >= low && number <= high)
            value = number;
    } catch (const std::exception&) {
    }
}

void ReadSetting(const std::string& key, const std::string& value, CPollWindowDefinition& d) {
    if (key == "slave")
        ReadNumber(value, 1, 247, d.poll.slave);
    else if (key == "function")
        ReadNumber(value, 1, 4, d.poll.function, 16);
    else if (key == "start")
        ReadNumber(value, 0, 0xFFFF, d.poll.start, 16);
    else if (key == "count")
        ReadNumber(value, 1, 2000, d.poll.count);
    else if (key == "interval")
        ReadNumber(value, 0, 3600000, d.poll.intervalMs);
    else if (key == "timeout")
        ReadNumber(value, 1, 60000, d.poll.timeoutMs);
    else if (key == "ascii")
        d.poll.transport = value == "1" ? ModbusTransport::Ascii : ModbusTransport::Rtu;
    else if (key == "type")
        ParseModbusValueType(value, d.values.type);
    else if (key == "order")
        ParseModbusWordOrder(value, d.values.order);
}

} // namespace

std::string CPollDefinitionFiles::PathOf(int slave, int function, int start) const {
    return m_folder + "/" + std::to_string(slave) + "-" + FormatNumber(function, 16, 2) + "-" +
           FormatNumber(start, 16, 4) + kExtension;
}

std::string CPollDefinitionFiles::Format(const CPollWindowDefinition& d) {
    std::string text = "slave=" + std::to_string(d.poll.slave) +
                       "\nfunction=" + FormatNumber(d.poll.function, 16, 2) +
                       "\nstart=" + FormatNumber(d.poll.start, 16, 4) +
                       "\ncount=" + std::to_string(d.poll.count) +
                       "\ninterval=" + std::to_string(d.poll.intervalMs) +
                       "\ntimeout=" + std::to_string(d.poll.timeoutMs) +
                       "\nascii=" + (d.poll.transport == ModbusTransport::Ascii ? "1" : "0") +
                       "\ntype=" + ModbusValueTypeName(d.values.type) +
                       "\norder=" + ModbusWordOrderName(d.values.order) + "\n";
    for (const auto& [address, name] : d.aliases)
        if (!name.empty())
            text += kAlias + FormatNumber(address, 16, 4) + "=" + name + "\n";
    return text;
}

CPollWindowDefinition CPollDefinitionFiles::Parse(const std::string& text) {
    CPollWindowDefinition d;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (key.rfind(kAlias, 0) != 0) {
            ReadSetting(key, value, d);
            continue;
        }
        int address = -1;
        ReadNumber(key.substr(std::strlen(kAlias)), 0, 0xFFFF, address, 16);
        if (address >= 0)
            d.aliases[address] = value;
    }
    d.values.stringRegisters = d.poll.count;
    return d;
}

std::string CPollDefinitionFiles::Save(const CPollWindowDefinition& d) const {
    const std::string path = PathOf(d.poll.slave, d.poll.function, d.poll.start);
    int systemError = 0;
    if (WriteWholeFile(path, Format(d), &systemError) == FileWriteError::None)
        return "";
    return "cannot write " + path + ": " + std::strerror(systemError);
}

bool CPollDefinitionFiles::Load(int slave, int function, int start,
                                CPollWindowDefinition& definition) const {
    std::string text;
    if (!ReadFile(PathOf(slave, function, start), text))
        return false;
    definition = Parse(text);
    return true;
}

bool CPollDefinitionFiles::LoadLatest(CPollWindowDefinition& definition) const {
    namespace fs = std::filesystem;
    std::error_code error;
    std::string latest;
    fs::file_time_type latestTime;
    for (const fs::directory_entry& entry : fs::directory_iterator(m_folder, error)) {
        if (entry.path().extension() != kExtension)
            continue;
        const fs::file_time_type written = entry.last_write_time(error);
        if (!error && (latest.empty() || written > latestTime)) {
            latest = entry.path().string();
            latestTime = written;
        }
    }
    std::string text;
    if (latest.empty() || !ReadFile(latest, text))
        return false;
    definition = Parse(text);
    return true;
}

} // namespace brivox
