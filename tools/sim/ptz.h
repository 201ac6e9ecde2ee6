#pragma once
// PTZ from the recorder's side: PTZ_CHANNEL_REQ is answered with
// PTZ_CHANNEL_ACK (byte 0 = 1 for a channel with a PTZ camera), and every
// PTZ_MOVE_REQ and PTZ_MOVE_STOP is logged for the channel it steers, as an
// event line ("ptz ch 3 preset-go 300") and in the shared PTZ log that tests
// read.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "sim/client_link.h"
#include "sim/sim_feature.h"

namespace kalix::sim {

// One command the client sent, with the channel it was chosen for.
struct PtzRecord {
    int connection = 0;
    int channel = -1;  // -1: no channel chosen yet
    int command = -1;  // -1: PTZ_MOVE_STOP
    unsigned number = 0;
    friend bool operator==(const PtzRecord&, const PtzRecord&) = default;
};

// Every PTZ command of every connection, in order. Any thread.
class PtzLog {
public:
    void add(const PtzRecord& record);
    std::vector<PtzRecord> records() const;
    bool waitForCount(std::size_t n, std::chrono::milliseconds timeout) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<PtzRecord> records_;  // guarded by mutex_
};

// "right", "preset-go 300", "stop": how event lines name a command.
std::string ptzCommandText(int command, unsigned number);

class Ptz final : public SimFeature {
public:
    Ptz(ClientLink& link, PtzLog& log) : link_(link), log_(log) {}

    void registerHandlers(HandlerTable& table) override;

private:
    void onChannel(std::span<const std::uint8_t> payload);
    void onMove(std::span<const std::uint8_t> payload);
    void onStop();

    ClientLink& link_;
    PtzLog& log_;
    int channel_ = -1;
};

}  // namespace kalix::sim
