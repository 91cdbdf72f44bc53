#pragma once

#include "cli/CliArguments.h"

#include <string>

namespace brivox::cli {

// The line and timing options of brivox-cli run, checked as the form checks its fields.
struct CRunOptions {
    int portNumber = 0;     // COM<n>, or 0 when a device path was given
    std::string devicePath; // any path to a tty (/dev/pts/4, /dev/serial/by-id/...)
    std::string settings = "115200,N,8,1";
    int timeoutMs = 2000;
    int delayMs = 0;
};

// --port's COM<n>, device path or server address into the options; error text.
std::string ParsePort(const std::string& port, CRunOptions& options);

// Error text naming the option and what it takes, empty on success.
std::string ParseRunOptions(const CCliArguments& args, CRunOptions& options);

// --seconds N (1 to a year) into seconds, which keeps its value when the option is not given;
// error text.
std::string ParseSeconds(const CCliArguments& args, int& seconds);

// BAUD,PARITY,DATA,STOP with one of the program's 13 rates, N, O or E, 7 or 8, 1 or 2; error text.
std::string CheckLineSettings(const std::string& text);

} // namespace brivox::cli
