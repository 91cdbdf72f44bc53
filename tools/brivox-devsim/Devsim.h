#pragma once

#include "brivox-devsim/DeviceModel.h"
#include "brivox-devsim/LineFault.h"
#include "brivox-devsim/ProgramLink.h"
#include "serial/PseudoTerminal.h"
#include "serial/TtyDevice.h"

#include <chrono>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

namespace brivox::devsim {

// Serves a device model on a pseudo-terminal, optionally registered in the port map. A tap, when
// asked for, is a second pseudo-terminal that hears both directions as a third device on an
// RS-485 bus would: what the device receives, as it arrives, and what it answers. A program can
// be the device instead of a model: the line fault then spoils both directions, as a bad cable
// between the program and whoever is on the line.
class CDevsim {
public:
    CDevsim(CDeviceModel& model, CLineFault fault, std::ostream& log, bool verbose)
        : m_model(model), m_fault(fault), m_programFault(fault), m_log(log), m_verbose(verbose) {}
    CDevsim(const CDevsim&) = delete;
    CDevsim& operator=(const CDevsim&) = delete;
    ~CDevsim(); // removes the port-map link it made

    static constexpr int kFreeNumber = -1;

    // Opens the pseudo-terminal and, for a number other than 0, links it as COM<number>
    // (kFreeNumber: the lowest free one).
    std::string Start(int registerNumber);
    // Serves on this device (a real port, or one end of another pseudo-terminal pair) with
    // these line settings ("9600,N,8,1") instead of a terminal of its own.
    std::string Attach(const std::string& path, const std::string& settings);
    // Opens the tap.
    std::string StartTap();
    const std::string& Path() const { return m_attached ? m_attachedPath : m_pty.SlavePath(); }
    const std::string& TapPath() const { return m_tap.SlavePath(); }
    // Starts the program that answers in the model's place; when it ends, "exit N" is logged
    // and the line stays open.
    std::string StartProgram(const std::vector<std::string>& command) {
        return m_program.Start(command);
    }
    // The COM number linked to the terminal; 0 when none.
    int Registered() const { return m_registered; }

    // Sends every received byte straight back before any answer, as a two-wire RS-485
    // adapter echoes what its master sends.
    void SetLineEcho(bool on) { m_lineEcho = on; }

    // Answers what arrives until stopFd becomes readable or the seconds (0: no limit) pass.
    std::string Serve(int seconds, int stopFd);

private:
    std::string LinkTarget() const;
    bool ReadRequests();
    // What the program wrote goes out on the line.
    void ReadProgram();
    void Answer(const std::vector<CExchange>& exchanges);
    void Send(const std::vector<uint8_t>& reply);
    // Sends the delayed replies that are due; when the next one is.
    std::chrono::steady_clock::time_point SendDue();
    void Log(const char* direction, const std::vector<uint8_t>& bytes);
    // A listener that is too slow, or absent, loses bytes of the tap rather than holding up the
    // device.
    void Mirror(const uint8_t* bytes, size_t count);

    CDeviceModel& m_model;
    CLineFault m_fault;
    CLineFault m_programFault; // on the way from the line to the program, counted on its own
    std::ostream& m_log;
    const bool m_verbose;
    CPseudoTerminal m_pty;
    CPseudoTerminal m_tap;
    CProgramLink m_program;
    CTtyDevice m_device;
    bool m_attached = false;
    std::string m_attachedPath;
    int m_lineFd = -1; // the terminal's master or the attached device
    // Replies waiting for their delay, in the order they are due.
    std::vector<std::pair<std::chrono::steady_clock::time_point, std::vector<uint8_t>>> m_delayed;
    int m_registered = 0;
    bool m_lineEcho = false;
};

} // namespace brivox::devsim
