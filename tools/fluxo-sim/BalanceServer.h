#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>

namespace fluxosim {

// A lab balance under the simulated pump's outlet, on a pseudo-terminal of its own (9600 8N1,
// CR LF): it answers S (stable weight), SI (weight now), Z (zero) of the simple serial dialect
// such balances speak, and ES to anything else. It weighs what the pump delivered since the
// last zero, times a density, plus a little noise; while the motor turns and for a short while
// after it stops the weight is unstable, and S answers "S D".
class BalanceServer
{
public:
    struct Options
    {
        double density = 0.998; // g/ml
        double noiseG = 0.0005; // uniform, either side
        int settleMs = 400;     // unstable this long after the motor stopped
        std::uint32_t seed = 1;
    };
    // volume: thousandths of a ml delivered so far, and whether the motor turns.
    using Delivery = std::function<void(std::int64_t *volume, bool *moving)>;

    BalanceServer(Options options, Delivery delivery);
    ~BalanceServer();
    BalanceServer(const BalanceServer &) = delete;
    BalanceServer &operator=(const BalanceServer &) = delete;

    bool start(std::string *error = nullptr);
    void stop();
    std::string devicePath() const { return path; }

    // The answer line to one command line (without CR LF), given the gross weight in grams and
    // whether it is stable; zeroG is moved by Z.
    static std::string answer(const std::string &command, double grossG, bool stable,
                              double &zeroG);

private:
    void serve();
    void handle(const std::string &line);

    const Options options;
    const Delivery delivery;
    int masterFd = -1;
    int slaveFd = -1;
    std::string path;
    std::thread thread;
    std::atomic<bool> running{false};
    std::mt19937 random;
    double zeroG = 0;
    std::chrono::steady_clock::time_point lastMoving{};
    bool everMoved = false;
};

} // namespace fluxosim
