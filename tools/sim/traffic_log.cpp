#include "sim/traffic_log.h"

#include <cstdio>
#include <iostream>

namespace kalix::sim {
namespace {

std::string hex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const std::uint8_t b : bytes) {
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 0xF]);
    }
    return out;
}

std::string lineStart(std::chrono::milliseconds at, int connection, std::string_view dir) {
    return "{\"t_ms\":" + std::to_string(at.count()) + ",\"conn\":" + std::to_string(connection) +
           ",\"dir\":\"" + std::string(dir) + "\"";
}

}  // namespace

std::string formatMessageLine(const TrafficRecord& r) {
    const bool received = r.direction == TrafficDirection::Received;
    char word0[16];
    std::snprintf(word0, sizeof word0, "0x%08x", r.header.word0);
    // Message names are upper-case letters, digits and underscores: nothing to escape.
    std::string line = lineStart(r.at, r.connection, received ? "recv" : "send");
    line += ",\"code\":" + std::to_string(r.header.code());
    line += ",\"name\":\"" + std::string(r.name) + "\"";
    line += ",\"len\":" + std::to_string(r.header.payloadLen());
    line += ",\"word0\":\"" + std::string(word0) + "\"";
    line += r.header.lastFragment() ? ",\"last\":true" : ",\"last\":false";
    if (received) line += ",\"payload\":\"" + hex(r.payload) + "\"";
    if (r.bad) line += ",\"bad\":true";
    line += "}";
    return line;
}

std::string formatRawLine(std::chrono::milliseconds at, int connection, std::size_t len) {
    return lineStart(at, connection, "raw") + ",\"len\":" + std::to_string(len) + "}";
}

std::string formatEventLine(std::chrono::milliseconds at, int connection, std::string_view event) {
    return lineStart(at, connection, "event") + ",\"event\":\"" + std::string(event) + "\"}";
}

bool TrafficLog::open(const std::string& path) {
    std::lock_guard lock(mutex_);
    file_.reset();
    out_ = nullptr;
    if (path.empty()) return true;
    if (path == "-") {
        out_ = &std::cout;
        return true;
    }
    file_ = std::make_unique<std::ofstream>(path, std::ios::out | std::ios::trunc);
    if (!*file_) {
        file_.reset();
        return false;
    }
    out_ = file_.get();
    return true;
}

bool TrafficLog::enabled() const {
    std::lock_guard lock(mutex_);
    return out_ != nullptr;
}

void TrafficLog::write(const std::string& line) {
    std::lock_guard lock(mutex_);
    if (out_ == nullptr) return;
    *out_ << line << '\n';
    out_->flush();
}

}  // namespace kalix::sim
