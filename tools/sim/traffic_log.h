#pragma once
// The traffic log: one line of JSON per message, flushed per line, so a
// script can follow a run while it happens.
//
//   {"t_ms":123,"conn":1,"dir":"recv","code":511,"name":"KEEP_ALIVE","len":0,
//    "word0":"0x0000ff80","last":false,"payload":""}
//
// "dir" is "recv" for a client message (with "payload" in hex, and
// "bad":true when its length breaks the catalogue's rule), "send" for ours
// (no payload), "raw" for bytes sent outside any message and "event" for
// connection events ("event":"accepted" / "closed").

#include <chrono>
#include <cstdint>
#include <fstream>
#include <memory>
#include <mutex>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "protocol/message_header.h"

namespace kalix::sim {

enum class TrafficDirection : std::uint8_t { Received, Sent };

struct TrafficRecord {
    std::chrono::milliseconds at{};
    int connection = 0;
    TrafficDirection direction = TrafficDirection::Received;
    protocol::MessageHeader header;
    std::string_view name;
    std::span<const std::uint8_t> payload;  // written only for received messages
    bool bad = false;
};

std::string formatMessageLine(const TrafficRecord& record);
std::string formatRawLine(std::chrono::milliseconds at, int connection, std::size_t len);
std::string formatEventLine(std::chrono::milliseconds at, int connection, std::string_view event);

class TrafficLog {
public:
    // Empty path: the log goes nowhere; "-": standard output. False when the
    // file cannot be created.
    bool open(const std::string& path);
    bool enabled() const;

    // Writes the line and a newline, then flushes. Any thread.
    void write(const std::string& line);

private:
    mutable std::mutex mutex_;
    // -- guarded by mutex_ once open() returned --
    std::unique_ptr<std::ofstream> file_;
    std::ostream* out_ = nullptr;  // file_ or std::cout
};

}  // namespace kalix::sim
