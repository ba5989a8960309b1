#pragma once

#include "ControlCommand.h"
#include "DosingRun.h"
#include "Faults.h"
#include "PumpConfig.h"

#include <cstdint>
#include <map>
#include <random>
#include <string>

namespace fluxosim {

// The pump behind the line, without any I/O: one received frame and the current time in, the
// bytes to answer (possibly none) and a verdict for the log out. Times are milliseconds of an
// injected clock, so a run can be driven through minutes without sleeping.
class PumpModel
{
public:
    struct Reply
    {
        std::string bytes;   // ACK, NAK, a data frame, or empty for silence
        std::string verdict; // what the pump made of the frame, for the log
    };

    explicit PumpModel(const PumpConfig &config = {}, const Faults &faults = {});

    Reply handle(const std::string &frame, std::int64_t nowMs);
    // A fault command (see ControlCommand.h); an error switched on stops the motor.
    ControlResult control(const std::string &line, std::int64_t nowMs);

    const Faults &faults() const { return currentFaults; }
    int address() const;
    PumpType type() const;
    int statusWord(int group, std::int64_t nowMs) const;
    // Everything delivered since the model was made, in thousandths of a ml: what a balance
    // under the outlet would hold. Unlike the pump's own count it survives a new start.
    std::int64_t deliveredVolume(std::int64_t nowMs) const;
    bool moving(std::int64_t nowMs) const;

private:
    Reply obey(const std::string &body, std::int64_t nowMs);
    Reply query(const std::string &what, std::int64_t nowMs);
    Reply runCommand(long key, std::int64_t nowMs);
    void startRun(bool prime, std::int64_t nowMs);
    void resetSettings();
    long maxFlow() const;
    bool chance(double share);

    PumpConfig config;
    Faults currentFaults;
    std::map<std::string, long> settings;
    DosingRun run;
    std::int64_t earlierRunsVolume = 0;
    bool priming = false;
    std::mt19937 random;
};

} // namespace fluxosim
